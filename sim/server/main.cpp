// kvx512-sim: the simulated player in a process of its own, reachable over
// USB/IP by any host (our backend, Debian's usbip client, a virtual host controller).
#include "sim/player.h"
#include "sim/server/usb_device.h"
#include "sim/server/usbip_server.h"
#include "sim/server/usbip_wire.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void OnStopSignal(int) { stopRequested = 1; }

struct Options {
    kvx512sim::server::ServerOptions server;
    std::string productId = "0301";
    std::string identity = "APPL";
    std::string firmwareVersion = kvx512sim::Identification{}.version;
    std::string portFile;
    uint32_t mainMiB = 64;
    uint32_t secondMiB = 32;          // 0: no second storage
    std::string stateFile;
    // Progress at 33, 66 and 99 %: the updater waits for 99 before the end.
    int formatStep = 33;
    uint32_t formatDelayMs = 0;
    uint16_t eraseSteps = kvx512sim::FirmwareSettings{}.eraseSteps;   // 0: the plain erase
    uint32_t eraseDelayMs = 0;
    uint32_t restartPauseMs = 1000;
    std::string newFirmwareVersion = kvx512sim::FirmwareSettings{}.newVersion;
    uint32_t detachAfterBytes = 0;
    unsigned players = 1;
    std::string vanishing;   // the bus ID of a player that is unplugged for good
    uint32_t vanishAfterMs = 1000;
};

constexpr unsigned MaxPlayers = 64;

// Storage sizes are given in MiB; the player counts units of 16 KiB.
constexpr uint32_t UnitsPerMiB = 64;
constexpr uint32_t MaxStorageMiB = 0xFFFF / UnitsPerMiB;

bool ParseProductId(const std::string& text, uint16_t& productId) {
    try {
        size_t used = 0;
        const unsigned long value = std::stoul(text, &used, 16);
        if (used != text.size() || value > 0xFFFF) {
            return false;
        }
        productId = static_cast<uint16_t>(value);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The state file is read at start and replaced (written beside it, then
// renamed) whenever a client lets go: both must be possible before we serve.
bool CheckStateFile(const std::string& path, std::string& problem) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            problem = "is not a regular file";
            return false;
        }
        if (!std::ifstream(path, std::ios::binary)) {
            problem = "cannot be read";
            return false;
        }
    } else if (error && error != std::errc::no_such_file_or_directory) {
        problem = error.message();
        return false;
    }
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    if (!fs::is_directory(folder, error) || ::access(folder.c_str(), W_OK | X_OK) != 0) {
        problem = "cannot be written: no writable folder " + folder.string();
        return false;
    }
    return true;
}

// A storage size given on the command line that differs from the one the
// state file restored: which one is meant cannot be known, so neither wins.
bool SizesAgree(const CLI::App& app, const Options& options, const kvx512sim::Player& player, std::string& conflict) {
    const auto kept = [&](int storage) {
        return storage == 1 && !player.SecondStoragePresent() ? 0u : uint32_t{player.CapacityUnits(storage)};
    };
    if (app.count("--main-size") > 0 && kept(0) != options.mainMiB * UnitsPerMiB) {
        conflict = "--main-size is " + std::to_string(options.mainMiB) + " MiB";
    } else if (app.count("--second-size") > 0 && kept(1) != options.secondMiB * UnitsPerMiB) {
        conflict = "--second-size is " + std::to_string(options.secondMiB) + " MiB";
    } else {
        return true;
    }
    return false;
}

// One player of the bench, with the knobs of the command line.
struct Served {
    std::string busId;
    std::shared_ptr<kvx512sim::Player> player;
    std::string stateFile;
    uint32_t vanishAfterMs = 0;
    std::unique_ptr<kvx512sim::server::UsbDevice> device;
};

// The first player keeps the file as named, so a server grown from one player
// keeps its storage; every other keeps its own beside it.
std::string StateFileOf(const std::string& stateFile, const std::string& busId) {
    return stateFile.empty() ? stateFile : stateFile + "." + busId;
}

Served Serve(const Options& options, uint16_t productId, const std::string& busId, const std::string& stateFile) {
    Served served{busId, std::make_shared<kvx512sim::Player>(productId), stateFile,
                  options.vanishing == busId ? options.vanishAfterMs : 0, nullptr};
    kvx512sim::Player& player = *served.player;
    // The transcript is what --verbose prints; without it nothing is recorded.
    player.RecordTranscript(options.server.verbose);
    auto identification = player.GetIdentification();
    identification.identity = options.identity;
    identification.version = options.firmwareVersion;
    player.SetIdentification(identification);
    player.SetCapacityUnits(0, static_cast<uint16_t>(options.mainMiB * UnitsPerMiB));
    player.SetSecondStoragePresent(options.secondMiB > 0);
    if (options.secondMiB > 0) {
        player.SetCapacityUnits(1, static_cast<uint16_t>(options.secondMiB * UnitsPerMiB));
    }
    player.SetFormatPace(options.formatStep, options.formatDelayMs);
    kvx512sim::FirmwareSettings firmware;
    firmware.countedErase = options.eraseSteps > 0;
    firmware.eraseSteps = options.eraseSteps;
    firmware.eraseDelayMs = options.eraseDelayMs;
    firmware.restartPauseMs = options.restartPauseMs;
    firmware.newVersion = options.newFirmwareVersion;
    player.SetFirmwareSettings(firmware);
    if (options.detachAfterBytes > 0) {
        player.DetachAfterDataBytes(options.detachAfterBytes);
    }
    auto shared = served.player;
    served.device = std::make_unique<kvx512sim::server::UsbDevice>([shared] { return shared; },
                                                                   options.server.verbose ? stdout : nullptr);
    return served;
}

void AddOptions(CLI::App& app, Options& options) {
    app.add_option("--listen", options.server.listenAddress, "IPv4 address to listen on")
        ->capture_default_str();
    app.add_option("--port", options.server.port, "TCP port; 0 picks a free one (see --port-file)")
        ->capture_default_str();
    app.add_option("--port-file", options.portFile, "write the port to this file once listening");
    app.add_option("--bus-id", options.server.busId, "bus ID the device is exported under (one player only)")
        ->capture_default_str();
    app.add_option("--players", options.players,
                   "serve this many independent players, as bus IDs 1-1 to 1-N, each with its own storage, "
                   "state and knobs")
        ->check(CLI::Range(1u, MaxPlayers))
        ->capture_default_str();
    app.add_option("--product-id", options.productId, "USB product ID in hex (0301, 1001 or 0321)")
        ->capture_default_str();
    app.add_option("--identity", options.identity, "identity word: APPL (application) or BOOT (boot code)")
        ->check(CLI::IsMember({"APPL", "BOOT"}))
        ->capture_default_str();
    app.add_option("--firmware-version", options.firmwareVersion, "version text of the identification")
        ->capture_default_str();
    app.add_option("--main-size", options.mainMiB, "size of the main storage in MiB")
        ->check(CLI::Range(1u, MaxStorageMiB))
        ->capture_default_str();
    app.add_option("--second-size", options.secondMiB, "size of the second storage in MiB; 0: none")
        ->check(CLI::Range(0u, MaxStorageMiB))
        ->capture_default_str();
    app.add_option("--state-file", options.stateFile,
                   "keep the storages and the font in this file: read at start if it exists, "
                   "written when a client lets go of the player and at exit");
    app.add_option("--format-step", options.formatStep, "format progress step in percent")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    app.add_option("--format-delay", options.formatDelayMs, "milliseconds between format progress replies")
        ->capture_default_str();
    app.add_option("--erase-steps", options.eraseSteps,
                   "progress replies of a counted firmware erase; 0: only the plain erase, one late reply")
        ->capture_default_str();
    app.add_option("--erase-delay", options.eraseDelayMs, "milliseconds a firmware erase takes")
        ->capture_default_str();
    app.add_option("--restart-pause", options.restartPauseMs,
                   "milliseconds the player is away after a firmware download before it comes back")
        ->capture_default_str();
    app.add_option("--new-firmware-version", options.newFirmwareVersion,
                   "version the player reports after a firmware download")
        ->capture_default_str();
    app.add_option("--reattach-after", options.server.reattachMs,
                   "milliseconds until a detached player comes back; 0: never")
        ->capture_default_str();
    app.add_option("--detach-after-bytes", options.detachAfterBytes,
                   "unplug the player once this many data-phase bytes crossed the wire (once); 0: never");
    app.add_option("--vanish", options.vanishing,
                   "unplug the player of this bus ID for good, --vanish-after milliseconds after it was first imported")
        ->type_name("BUSID");
    app.add_option("--vanish-after", options.vanishAfterMs, "milliseconds for --vanish")
        ->check(CLI::Range(1u, 3600000u))
        ->capture_default_str();
    app.add_option("--idle-timeout", options.server.idleTimeoutMs,
                   "milliseconds a connection that has not imported the player may stay silent; 0: forever")
        ->capture_default_str();
    app.add_flag("--verbose,-v", options.server.verbose, "print connections and every request (the transcript)");
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"Serve a simulated KVX512 player over USB/IP.\n"
                 "Point a program at it with KVX512_USB=usbip://127.0.0.1:PORT."};
    app.set_version_flag("--version", "kvx512-sim " QRM284_VERSION);
    Options options;
    AddOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        // --help and --version end well; every bad option ends with 2, as the other refusals at start.
        return app.exit(error) == 0 ? 0 : 2;
    }

    uint16_t productId = 0;
    if (!ParseProductId(options.productId, productId)) {
        std::fprintf(stderr, "kvx512-sim: --product-id wants a hex number up to FFFF\n");
        return 2;
    }
    // The import request holds the bus ID in a field of 32 bytes ending in a zero.
    if (options.server.busId.empty() || options.server.busId.size() >= kvx512sim::server::BusIdSize) {
        std::fprintf(stderr, "kvx512-sim: --bus-id wants 1 to %zu characters\n",
                     kvx512sim::server::BusIdSize - 1);
        return 2;
    }
    if (options.players > 1 && app.count("--bus-id") > 0) {
        std::fprintf(stderr, "kvx512-sim: --bus-id names one player; --players gives them 1-1 to 1-N\n");
        return 2;
    }
    std::string stateProblem;
    if (!options.stateFile.empty() && !CheckStateFile(options.stateFile, stateProblem)) {
        std::fprintf(stderr, "kvx512-sim: --state-file %s %s\n", options.stateFile.c_str(), stateProblem.c_str());
        return 2;
    }
    std::vector<Served> served;
    for (unsigned index = 0; index < options.players; ++index) {
        const std::string busId =
            options.players == 1 ? options.server.busId : "1-" + std::to_string(index + 1);
        served.push_back(Serve(options, productId, busId, index == 0 ? options.stateFile
                                                                     : StateFileOf(options.stateFile, busId)));
        if (!served.back().stateFile.empty() && std::ifstream(served.back().stateFile).good() &&
            !served.back().player->LoadState(served.back().stateFile)) {
            std::fprintf(stderr, "kvx512-sim: %s is no storage file of ours\n", served.back().stateFile.c_str());
            return 2;
        }
        std::string conflict;
        if (!served.back().stateFile.empty() && std::ifstream(served.back().stateFile).good() &&
            !SizesAgree(app, options, *served.back().player, conflict)) {
            std::fprintf(stderr, "kvx512-sim: %s, but %s keeps the storages as they were saved: leave the size out "
                                 "or start from another state file\n",
                         conflict.c_str(), served.back().stateFile.c_str());
            return 2;
        }
    }
    if (!options.vanishing.empty() &&
        std::none_of(served.begin(), served.end(), [&options](const Served& player) {
            return player.busId == options.vanishing;
        })) {
        std::fprintf(stderr, "kvx512-sim: --vanish names no bus ID this server exports\n");
        return 2;
    }

    // Stop signals are held back except while the server waits, so none is lost.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<kvx512sim::server::ExportedPlayer> exported;
    for (const Served& player : served) {
        exported.push_back({player.busId, player.device.get(), player.vanishAfterMs});
    }
    kvx512sim::server::UsbipServer server(std::move(exported), options.server);
    bool saveFailed = false;
    const auto saveState = [&served, &saveFailed](size_t index) {
        const Served& player = served[index];
        if (!player.stateFile.empty() && !player.player->SaveState(player.stateFile)) {
            std::fprintf(stderr, "kvx512-sim: cannot write %s\n", player.stateFile.c_str());
            saveFailed = true;
        }
    };
    server.OnSessionEnd(saveState);
    std::string error;
    if (!server.Listen(error)) {
        std::fprintf(stderr, "kvx512-sim: %s\n", error.c_str());
        return 1;
    }
    for (const Served& player : served) {
        std::printf("kvx512-sim: player %04x:%04x as bus ID %s on %s:%u\n", kvx512sim::VendorId, productId,
                    player.busId.c_str(), options.server.listenAddress.c_str(), server.Port());
    }
    std::fflush(stdout);
    if (!options.portFile.empty()) {
        // Written whole under another name first, so a reader never sees half a number.
        const std::string partial = options.portFile + ".partial";
        std::ofstream(partial) << server.Port() << '\n';
        if (std::rename(partial.c_str(), options.portFile.c_str()) != 0) {
            std::fprintf(stderr, "kvx512-sim: cannot write %s\n", options.portFile.c_str());
            return 1;
        }
    }
    server.Run(stopRequested, waitMask);
    for (size_t index = 0; index < served.size(); ++index) {
        saveState(index);
    }
    std::printf("kvx512-sim: stopped\n");
    // A state that was not kept is a failure, even if a later save succeeded.
    return saveFailed ? 1 : 0;
}
