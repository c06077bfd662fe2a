// What a format reports while it runs. The export passes each report on as a
// window message: the stage as wParam, the value as lParam.
#pragma once

#include <functional>

namespace portio {

enum class FormatStage : int {
    Started = 0,
    Format = 2,
    LowLevel = 3,
    SecondStorage = 5,
    Percent = 6,   // the value is the reply's percentage + 1, and 100 at the end
};

using FormatProgress = std::function<void(FormatStage stage, int value)>;

} // namespace portio
