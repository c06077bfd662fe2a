// The system's language for the whole window: the texts' source, Qt's
// translations of the frame and the face, chosen once before the sheet is
// made.
#pragma once

#include <cstdint>

namespace updater::window {

// Returns the language the texts come in.
uint16_t UseSystemLanguage();

} // namespace updater::window
