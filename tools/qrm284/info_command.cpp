// qrm284 info: is the player there, which firmware does it run, which model is it.
#include "platform/usb/transport_error.h"
#include "portio.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/firmware_text.h"
#include "tools/qrm284/json_output.h"

#include <cstdio>
#include <memory>

namespace qrm284 {

namespace {

int RunInfo(bool json) {
    if (dll_fn_FindDeivce() != 0) {
        return FailNoPlayer();
    }
    if (dll_fn_get_player_status() != 0) {
        const std::string why = platform::usb::LastTransportError();
        return Fail(why.empty() ? "The player is connected but cannot be reached over USB." : why, ExitNoPlayer);
    }
    // Room as the manager programs give it: version at 0, model at 29.
    char text[42] = {};
    if (dll_fn_get_player_version(text) != 0) {
        return Fail("The player did not send a valid identification.");
    }
    const FirmwareText firmware = SplitFirmwareText(text);
    if (json) {
        Emit(true,
             {{"event", "info"},
              {"present", true},
              {"mode", firmware.mode},
              {"firmware", firmware.version},
              {"model", text + 29}},
             {});
        return 0;
    }
    std::printf("Player:   present\n");
    std::printf("Firmware: %s (%s)\n", firmware.version.c_str(), firmware.mode.c_str());
    std::printf("Model:    %s\n", text + 29);
    return 0;
}

} // namespace

void AddInfoCommand(CLI::App& app, int& exitStatus) {
    CLI::App* info = app.add_subcommand("info", "Report the player's presence, firmware version and model.");
    auto json = std::make_shared<bool>(false);
    info->add_flag("--json", *json, "One JSON object per line");
    info->callback([json, &exitStatus] {
        exitStatus = RunInfo(*json);
        EmitResult(*json, "info", exitStatus);
    });
}

} // namespace qrm284
