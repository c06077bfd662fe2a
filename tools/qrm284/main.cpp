// qrm284: the QRM-284 player from a terminal or a script.
#include "tools/qrm284/bench_supervisor.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/shell_completion.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// --json belongs to each subcommand; written before the subcommand's name it
// is moved after it, so that both orders mean the same.
std::vector<std::string> WithJsonAfterSubcommand(const CLI::App& app, int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    bool moved = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--json") {
            moved = true;
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i--));
            continue;
        }
        if (arguments[i] == "--") {
            break;
        }
        const std::string& argument = arguments[i];
        if (!app.get_subcommands([&argument](const CLI::App* sub) { return sub->check_name(argument); }).empty()) {
            if (moved) {
                arguments.insert(arguments.begin() + static_cast<std::ptrdiff_t>(i + 1), "--json");
            }
            return arguments;
        }
    }
    if (moved) {
        arguments.emplace_back("--json");   // no subcommand: the parser says what is missing
    }
    return arguments;
}

} // namespace

#include <cstdio>
#include <iostream>

namespace {

// Output that never arrived (a full disk, a closed pipe) is a failure, as a
// script reading it would otherwise take what it got for all there is.
int CheckOutput(int status) {
    std::cout.flush();
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && std::cout.good()) {
        return status;
    }
    // The write that failed may have been any earlier one: its errno is gone.
    std::fprintf(stderr, "qrm284: The output could not be written.\n");
    return status == 0 ? qrm284::ExitFailure : status;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Service the QRM-284 portable audio player over USB.\n"
                 "The player is reached as KVX512_USB says: libusb (default), sim, or usbip://HOST[:PORT][/BUSID]."};
    app.set_version_flag("--version", "qrm284 " QRM284_VERSION);
    app.require_subcommand(1);
    qrm284::KeepCommandLine(argc, argv);
    int exitStatus = 0;
    qrm284::AddDeviceOption(app);
    qrm284::AddDevicesCommand(app, exitStatus);
    qrm284::AddInfoCommand(app, exitStatus);
    qrm284::AddLsCommand(app, exitStatus);
    qrm284::AddUpdateCommand(app, exitStatus);
    qrm284::AddPutCommand(app, exitStatus);
    qrm284::AddPreviewCommand(app, exitStatus);
    qrm284::AddGetCommand(app, exitStatus);
    qrm284::AddRmCommand(app, exitStatus);
    qrm284::AddOrderCommand(app, exitStatus);
    qrm284::AddFolderCommands(app, exitStatus);
    qrm284::AddFormatCommand(app, exitStatus);
    qrm284::AddFontCommand(app, exitStatus);
    qrm284::AddMountCommand(app, exitStatus);
    // The build writes the completion scripts with this; it is no command of its own.
    if (argc == 3 && std::string(argv[1]) == "--shell-completion") {
        const std::string script = qrm284::CompletionScript(app, argv[2]);
        std::fputs(script.c_str(), stdout);
        return CheckOutput(script.empty() ? qrm284::ExitUsage : 0);
    }
    app.failure_message([](const CLI::App*, const CLI::Error& error) {
        return "qrm284: " + std::string(error.what()) + "\nRun \"qrm284 --help\" for the commands and their options.\n";
    });
    std::vector<std::string> arguments = WithJsonAfterSubcommand(app, argc, argv);
    std::reverse(arguments.begin(), arguments.end());   // CLI11 takes them last first
    try {
        app.parse(arguments);
    } catch (const CLI::RuntimeError& error) {
        // A check of the command line that has said why (--device).
        return CheckOutput(error.get_exit_code());
    } catch (const CLI::ParseError& error) {
        // --help and --version are successes; any other parse error is a usage error.
        const int shown = app.exit(error);
        return CheckOutput(shown == 0 ? 0 : qrm284::ExitUsage);
    }
    return CheckOutput(exitStatus);
}
