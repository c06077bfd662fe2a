#include "tools/qrm284/commands.h"

#include <cstdio>

namespace qrm284 {

int Fail(const char* sentence) {
    std::fprintf(stderr, "qrm284: %s\n", sentence);
    return ExitFailure;
}

} // namespace qrm284
