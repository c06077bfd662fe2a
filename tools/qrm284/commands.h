// The subcommands of qrm284, each in a file of its own.
#pragma once

#include <CLI/CLI.hpp>

namespace qrm284 {

// Exit status of a failed command; the message has gone to stderr.
inline constexpr int ExitFailure = 1;

// Prints one sentence for a person and gives the failure exit status.
int Fail(const char* sentence);

void AddInfoCommand(CLI::App& app, int& exitStatus);
void AddLsCommand(CLI::App& app, int& exitStatus);
void AddUpdateCommand(CLI::App& app, int& exitStatus);

} // namespace qrm284
