// The subcommands of qrm284, each in a file of its own.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

namespace qrm284 {

// Exit statuses every command keeps; the message has gone to stderr.
inline constexpr int ExitFailure = 1;    // the operation failed
inline constexpr int ExitUsage = 2;      // the command line cannot be used
inline constexpr int ExitNoPlayer = 3;   // no player answered
inline constexpr int ExitRefused = 4;    // the player refused the operation
inline constexpr int ExitInterrupted = 130;   // Ctrl-C (SIGINT) or SIGTERM stopped a transfer or an update, as shells count 128 + 2

// Prints one sentence for a person and gives the exit status (by default the failure one).
int Fail(const char* sentence, int status = ExitFailure);
inline int Fail(const std::string& sentence, int status = ExitFailure) { return Fail(sentence.c_str(), status); }
// No player answered: why, when the USB layer knows ("Cannot reach the USB/IP
// server ..."), else "No player is connected."; gives ExitNoPlayer.
int FailNoPlayer();

// --device LOCATION (or the environment variable KVX512_DEVICE) on the app:
// every command reaches only the player there; an unknown location ends the
// run with ExitNoPlayer (CLI::RuntimeError). Add it before the subcommands,
// so that it may also follow them.
void AddDeviceOption(CLI::App& app);
void AddDevicesCommand(CLI::App& app, int& exitStatus);
void AddInfoCommand(CLI::App& app, int& exitStatus);
void AddLsCommand(CLI::App& app, int& exitStatus);
void AddUpdateCommand(CLI::App& app, int& exitStatus);
void AddPutCommand(CLI::App& app, int& exitStatus);
void AddPreviewCommand(CLI::App& app, int& exitStatus);
void AddGetCommand(CLI::App& app, int& exitStatus);
void AddRmCommand(CLI::App& app, int& exitStatus);
void AddOrderCommand(CLI::App& app, int& exitStatus);
void AddFolderCommands(CLI::App& app, int& exitStatus);
void AddFormatCommand(CLI::App& app, int& exitStatus);
void AddFontCommand(CLI::App& app, int& exitStatus);
// In mount/, with libfuse3.
void AddMountCommand(CLI::App& app, int& exitStatus);

} // namespace qrm284
