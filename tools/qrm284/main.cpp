// qrm284: the QRM-284 player from a terminal or a script.
#include "tools/qrm284/commands.h"

int main(int argc, char** argv) {
    CLI::App app{"Service the QRM-284 portable audio player over USB.\n"
                 "The player is reached as KVX512_USB says: libusb (default), sim, or usbip://HOST[:PORT][/BUSID]."};
    app.set_version_flag("--version", "qrm284 " QRM284_VERSION);
    app.require_subcommand(1);
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
    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& error) {
        // A check of the command line that has said why (--device).
        return error.get_exit_code();
    } catch (const CLI::ParseError& error) {
        // --help and --version are successes; any other parse error is a usage error.
        const int shown = app.exit(error);
        return shown == 0 ? 0 : qrm284::ExitUsage;
    }
    return exitStatus;
}
