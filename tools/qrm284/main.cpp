// qrm284: the QRM-284 player from a terminal or a script.
#include "tools/qrm284/commands.h"

int main(int argc, char** argv) {
    CLI::App app{"Service the QRM-284 portable audio player over USB.\n"
                 "The player is reached as KVX512_USB says: libusb (default), sim, or usbip://HOST[:PORT][/BUSID]."};
    app.set_version_flag("--version", "qrm284 " QRM284_VERSION);
    app.require_subcommand(1);
    int exitStatus = 0;
    qrm284::AddInfoCommand(app, exitStatus);
    qrm284::AddLsCommand(app, exitStatus);
    qrm284::AddUpdateCommand(app, exitStatus);
    CLI11_PARSE(app, argc, argv);
    return exitStatus;
}
