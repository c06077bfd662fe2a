// Completion scripts for bash, zsh and fish, written from the command line's
// own definitions, so that they know every subcommand and option there is.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace qrm284 {

// The script for `shell` ("bash", "zsh" or "fish"); empty for another shell.
std::string CompletionScript(const CLI::App& app, const std::string& shell);

} // namespace qrm284
