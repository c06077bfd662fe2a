// qrm284 devices, and --device: which of several players on a bench a command
// reaches. The choice is the USB seam's, so that the libraries below reach
// only the chosen player without knowing of it.
#include "platform/usb/usb_driver.h"
#include "portio.h"
#include "tools/qrm284/bench_supervisor.h"
#include "tools/qrm284/commands.h"
#include "tools/qrm284/firmware_text.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/transfer_cancel.h"

#include "usblink/link_settings.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qrm284 {

namespace {

struct ListedPlayer {
    std::string location;
    uint16_t productId = 0;
    bool identified = false;
    std::string mode;       // the identity word: APPL (application), BOOT (boot code)
    std::string firmware;   // the version that follows it, "1.43.10"
};

// The player at the location, as portio sees it with that location chosen;
// null when portio finds no player there (another kind of device).
std::optional<ListedPlayer> Identify(const platform::usb::DeviceLocation& location) {
    platform::usb::ChooseDevice(location.id);
    if (dll_fn_FindDeivce() != 0) {
        return std::nullopt;
    }
    ListedPlayer player{location.id, location.productId, false, {}, {}};
    // Room as the manager programs give it; the identity text is at 0: "APPL 1.4310".
    char text[42] = {};
    if (dll_fn_get_player_version(text) == 0) {
        FirmwareText firmware = SplitFirmwareText(text);
        player.mode = std::move(firmware.mode);
        player.firmware = std::move(firmware.version);
        player.identified = true;
    }
    return player;
}

std::vector<ListedPlayer> FindPlayers() {
    const std::string chosen = platform::usb::ChosenDevice();
    std::vector<ListedPlayer> players;
    for (const auto& location : platform::usb::ListLocations()) {
        if (chosen.empty() || location.id == chosen) {
            if (auto player = Identify(location)) {
                players.push_back(std::move(*player));
            }
        }
    }
    // What runs after this in the process reaches what it reached before.
    platform::usb::ChooseDevice(chosen);
    return players;
}

// A player by its IDs, as portio scans for them; not opened.
bool IsPlayer(const platform::usb::DeviceLocation& location) {
    const auto& ids = usblink::PortioProductIds;
    return location.vendorId == usblink::PlayerVendorId &&
           std::find(std::begin(ids), std::end(ids), location.productId) != std::end(ids);
}

std::string ProductIdText(uint16_t productId) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", productId);
    return text;
}

// Its JSON line: mode and firmware null where it does not identify.
nlohmann::json PlayerObject(const char* event, const ListedPlayer& player) {
    nlohmann::json object{{"event", event},
                          {"device", player.location},
                          {"productId", ProductIdText(player.productId)},
                          {"mode", nullptr},
                          {"firmware", nullptr}};
    if (player.identified) {
        object["mode"] = player.mode;
        object["firmware"] = player.firmware;
    }
    return object;
}

constexpr auto WatchPoll = std::chrono::milliseconds(250);

// A line per player that arrives or leaves, until SIGINT or SIGTERM. An
// arriving player is opened once to read its mode; then let go of, so that
// the program meant for it can have it.
int WatchDevices(bool json) {
    const CancelOnInterrupt endsTheWatch;
    const std::string chosen = platform::usb::ChosenDevice();
    std::map<std::string, ListedPlayer> known;
    const auto show = [json](const char* event, const ListedPlayer& player) {
        char line[160];
        std::snprintf(line, sizeof line, "%-7s  %s  %s  %s", event, player.location.c_str(),
                      ProductIdText(player.productId).c_str(),
                      player.identified ? (player.mode + "  " + player.firmware).c_str() : "-");
        Emit(json, PlayerObject(event, player), line);
        std::fflush(stdout);
    };
    while (!CancelRequested()) {
        std::map<std::string, platform::usb::DeviceLocation> present;
        for (const auto& location : platform::usb::ListLocations()) {
            if (IsPlayer(location) && (chosen.empty() || location.id == chosen)) {
                present.emplace(location.id, location);
            }
        }
        for (auto it = known.begin(); it != known.end();) {
            const auto now = present.find(it->first);
            if (now == present.end() || now->second.productId != it->second.productId) {
                show("left", it->second);
                it = known.erase(it);
            } else {
                ++it;
            }
        }
        for (const auto& [id, location] : present) {
            if (known.count(id) == 0) {
                ListedPlayer player{id, location.productId, false, {}, {}};
                if (auto identified = Identify(location)) {
                    player = *identified;
                }
                // Not held: " " is no location, so the backend lets go of what it imported.
                platform::usb::ChooseDevice(" ");
                platform::usb::ChooseDevice(chosen);
                show("arrived", player);
                known.emplace(id, player);
            }
        }
        std::this_thread::sleep_for(WatchPoll);
    }
    return 0;
}

int RunDevices(bool json) {
    const auto players = FindPlayers();
    if (players.empty()) {
        return FailNoPlayer();
    }
    size_t width = 6;
    for (const auto& player : players) {
        width = std::max(width, player.location.size());
    }
    if (!json) {
        std::printf("%-*s  Product  Mode  Firmware\n", static_cast<int>(width), "Device");
    }
    for (const auto& player : players) {
        const std::string productId = ProductIdText(player.productId);
        char line[160];
        std::snprintf(line, sizeof line, "%-*s  %-7s  %-4s  %s", static_cast<int>(width), player.location.c_str(),
                      productId.c_str(), player.identified ? player.mode.c_str() : "-",
                      player.identified ? player.firmware.c_str() : "(does not identify)");
        Emit(json, PlayerObject("device", player), line);
    }
    return 0;
}

// Narrows the process to the player at `location`, or ends the run when
// nothing is attached there.
void ChoosePlayer(const std::string& location) {
    const auto locations = platform::usb::ListLocations();
    const bool attached = std::any_of(locations.begin(), locations.end(),
                                      [&location](const auto& candidate) { return candidate.id == location; });
    if (!attached) {
        std::fprintf(stderr,
                     "qrm284: No player is connected at \"%s\"; \"qrm284 devices\" lists the connected players.\n",
                     location.c_str());
        throw CLI::RuntimeError(ExitNoPlayer);
    }
    platform::usb::ChooseDevice(location);
}

} // namespace

std::vector<std::string> PlayerLocations() {
    std::vector<std::string> locations;
    for (const auto& location : platform::usb::ListLocations()) {
        if (IsPlayer(location)) {
            locations.push_back(location.id);
        }
    }
    return locations;
}

void AddDeviceOption(CLI::App& app) {
    auto location = std::make_shared<std::string>();
    app.add_option("--device", *location,
                   "Reach only the player at this location (as `qrm284 devices` lists them); "
                   "default: the first player found")
        ->envname("KVX512_DEVICE")
        ->type_name("LOCATION");
    // Subcommands added from now on pass the option on, so it may follow them too.
    app.fallthrough();
    // After --help and the other checks of the command line, before any subcommand runs.
    app.parse_complete_callback([location] {
        if (!location->empty()) {
            ChoosePlayer(*location);
        }
    });
}

void AddDevicesCommand(CLI::App& app, int& exitStatus) {
    CLI::App* devices =
        app.add_subcommand("devices", "List the connected players: location, product ID, mode and firmware version.");
    auto json = std::make_shared<bool>(false);
    auto watch = std::make_shared<bool>(false);
    devices->add_flag("--json", *json, "One JSON object per line");
    devices->add_flag("--watch", *watch,
                      "Keep watching: a line whenever a player arrives (those connected first) or leaves, until Ctrl-C");
    devices->callback([&exitStatus, json, watch] {
        exitStatus = *watch ? WatchDevices(*json) : RunDevices(*json);
        EmitResult(*json, "devices", exitStatus);
    });
}

} // namespace qrm284
