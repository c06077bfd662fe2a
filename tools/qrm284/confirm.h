// Commands that destroy data ask for --yes when no person can be asked.
#pragma once

#include <string>

namespace qrm284 {

// 0 when the command may go on, else ExitUsage with the sentence printed.
int RequireYesWithoutTerminal(bool yes, const char* what);

// Whether standard input is a terminal, where a person can answer.
bool PersonCanAnswer();
// Asks "`question` [y/N] " on stderr; true for a yes.
bool AskPerson(const std::string& question);

} // namespace qrm284
