#include "tools/qrm284/confirm.h"
#include "tools/qrm284/commands.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <unistd.h>

namespace qrm284 {

int RequireYesWithoutTerminal(bool yes, const char* what) {
    if (yes) {
        return 0;
    }
    if (isatty(STDIN_FILENO) == 0) {
        std::fprintf(stderr, "qrm284: %s cannot be undone; add --yes to do it from a script.\n", what);
        return ExitUsage;
    }
    std::fprintf(stderr, "%s cannot be undone. Go on? [y/N] ", what);
    std::string answer;
    std::getline(std::cin, answer);
    if (answer == "y" || answer == "Y" || answer == "yes") {
        return 0;
    }
    std::fprintf(stderr, "qrm284: Nothing was changed.\n");
    return ExitFailure;
}

} // namespace qrm284
