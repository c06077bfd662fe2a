// Commands that destroy data ask for --yes when no person can be asked.
#pragma once

namespace qrm284 {

// 0 when the command may go on, else ExitUsage with the sentence printed.
int RequireYesWithoutTerminal(bool yes, const char* what);

} // namespace qrm284
