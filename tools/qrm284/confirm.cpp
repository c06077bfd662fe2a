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
    if (!PersonCanAnswer()) {
        std::fprintf(stderr, "qrm284: %s cannot be undone; add --yes to do it from a script.\n", what);
        return ExitUsage;
    }
    if (AskPerson(std::string(what) + " cannot be undone. Go on?")) {
        return 0;
    }
    std::fprintf(stderr, "qrm284: Nothing was changed.\n");
    return ExitFailure;
}

bool PersonCanAnswer() { return isatty(STDIN_FILENO) != 0; }

bool AskPerson(const std::string& question) {
    std::fprintf(stderr, "%s [y/N] ", question.c_str());
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

} // namespace qrm284
