// qrm284 update: the updater's whole run on the command line, the same steps
// in the same order as the wizard's pages, driving the engine directly and
// deciding by the engine's outcomes. Texts are the wizard's, except that a
// terminal has no buttons to press (update_texts.h).
#include "tools/qrm284/commands.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/language_id.h"
#include "tools/qrm284/player_session.h"
#include "tools/qrm284/update_terminal.h"
#include "tools/qrm284/update_texts.h"
#include "updater/engine/engine_link.h"
#include "updater/engine/firmware_download.h"
#include "updater/engine/firmware_update.h"
#include "updater/engine/font_download.h"
#include "updater/engine/player_wait.h"
#include "updater/engine/storage_format.h"
#include "updater/engine/system_message.h"
#include "updater/wizard/manager_check.h"
#include "updater/wizard/player_identity.h"
#include "updater/wizard/version_page.h"
#include "updater/wizard/wizard_texts.h"

#include "platform/system/clock.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unistd.h>

namespace qrm284 {

namespace {

using updater::Outcome;
using updater::TextId;

struct UpdateOptions {
    bool yes = false;
    bool dryRun = false;
    bool json = false;
    std::string language;       // a language ID such as 0x0411; empty: the locale's
    unsigned waitSeconds = 0;   // how long to wait for the player; 0: no limit
};

// Shows the text as the page would and fails with it.
int FailWithText(UpdateTerminal& terminal, TextId id) {
    terminal.ShowText(id);
    return Fail(TerminalText(id).c_str());
}

std::function<bool()> GiveUpAfter(unsigned seconds) {
    if (seconds == 0) {
        return [] { return false; };
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    return [deadline] { return std::chrono::steady_clock::now() >= deadline; };
}

// Page 1: no manager program may hold the player.
bool ManagersEnded(UpdateTerminal& terminal) {
    const auto wait = updater::WaitForManagersToEnd([&] { terminal.Tell("WARNING", updater::CloseManagerText); },
                                                    [] { return false; });
    if (wait == updater::ManagerWait::ListUnreadable) {
        char text[updater::SystemMessageCapacity];
        updater::SystemMessageText(static_cast<uint32_t>(errno), {}, text);
        terminal.Tell("ERROR", text);
        terminal.Tell("ERROR", updater::RestartProgramText);
    }
    return wait == updater::ManagerWait::Ended;
}

// Page 5: the format, then the font.
int FormatAndFont(UpdateTerminal& terminal) {
    terminal.ShowText(TextId::Formatting);
    if (updater::ReopenEngineLink() == nullptr) {
        return FailWithText(terminal, TextId::FormatFailed);
    }
    terminal.ShowBar();
    if (updater::FormatMainStorage(terminal) != Outcome::Done) {
        return FailWithText(terminal, TextId::FormatFailed);
    }
    terminal.ShowText(TextId::FontDownloading);
    std::string path;
    const Outcome font = updater::DownloadCarriedFont(terminal, path);
    if (font == Outcome::NoFile) {
        char text[updater::SystemMessageCapacity];
        updater::SystemMessageText(updater::STG_E_FILENOTFOUND, path, text);
        terminal.Tell(updater::WizardCaption, text);
    }
    terminal.HideBar();
    if (font != Outcome::Done) {
        return FailWithText(terminal, TextId::FontFailed);
    }
    terminal.ShowText(TextId::AllDone);
    return 0;
}

// Off a terminal nobody can answer: only --yes consents.
int Consent(UpdateTerminal& terminal, bool yes, const std::string& sentence, const std::string& question) {
    std::fprintf(stderr, "qrm284: %s\n", sentence.c_str());
    if (yes) {
        return 0;
    }
    if (isatty(STDIN_FILENO) == 0) {
        return Fail("Nothing was written to the player; add --yes to update from a script.", ExitUsage);
    }
    return terminal.Ask(question) ? 0 : Fail("The update was declined; the player keeps its firmware.");
}

// What the format after the firmware takes: the files of the main memory,
// counted through the file-transfer library while the player still runs
// application firmware that can list them.
std::string FormatWarning(bool appFirmware) {
    const std::optional<int> files =
        appFirmware && ConnectToPlayer().empty() ? CountFiles(0) : std::optional<int>{};
    if (!files) {
        return "Updating formats the player: the files on it will be erased.";
    }
    return "Updating formats the player: the " + std::to_string(*files) + (*files == 1 ? " file" : " files") +
           " on it will be erased.";
}

int RunUpdate(const UpdateOptions& options) {
    if (!options.language.empty()) {
        const auto langId = ParseLanguageId(options.language);
        if (!langId) {
            return Fail("The language must be en, ko, ja, zh-TW, zh-CN or a language ID from 0x0000 to 0xFFFF, "
                        "such as 0x0411.");
        }
        updater::SetSystemDefaultLangIdOverride(*langId);
    }
    updater::SelectTextLanguage();
    UpdateTerminal terminal(options.yes, options.json);

    terminal.ShowText(TextId::Welcome);
    if (!ManagersEnded(terminal)) {
        return Fail("The list of running programs cannot be read.");
    }
    terminal.ShowText(TextId::ConnectPlayer);
    Emit(options.json, {{"event", "waiting"}}, "Waiting for the player…");
    if (updater::WaitForPlayer(GiveUpAfter(options.waitSeconds)) != Outcome::Done) {
        return FailNoPlayer();
    }

    updater::IdentityText identity{};
    uint32_t version = 0;
    if (!updater::ReadPlayerIdentity(identity, version)) {
        return FailWithText(terminal, TextId::VersionUnread);
    }
    const bool appFirmware = !updater::IsBootIdentity(identity);
    const std::string shown = updater::ShownVersionText(version, !appFirmware);
    terminal.ShowText(TextId::VersionShown);
    terminal.ShowVersions(shown);
    if (options.dryRun) {
        return 0;
    }
    if (updater::AsksBeforeReplacing(appFirmware, shown)) {
        if (!options.yes && isatty(STDIN_FILENO) == 0) {
            terminal.ShowText(TextId::VersionKept);
            return Fail("The player runs this firmware already; add --yes to write it again from a script.",
                        ExitUsage);
        }
        if (!terminal.Ask(TextId::AlreadyCurrent)) {
            terminal.ShowText(TextId::VersionKept);
            return Fail("The update was declined; the player keeps its firmware.");
        }
    }
    if (updater::FormatFollowsFirmware(appFirmware, version)) {
        if (int status = Consent(terminal, options.yes, FormatWarning(appFirmware), "Go on?"); status != 0) {
            return status;
        }
    }

    terminal.ShowText(TextId::FirmwareUpdating);
    terminal.ShowBar();
    const Outcome firmware = updater::UpdateFirmware(terminal);
    terminal.HideBar();
    if (firmware != Outcome::Done) {
        return FailWithText(terminal, TextId::FirmwareFailed);
    }
    if (!updater::FormatFollowsFirmware(appFirmware, version)) {
        terminal.ShowText(TextId::AllDone);
        return 0;
    }
    // The player restarts and is to come back in USB mode.
    terminal.ShowText(TextId::ReconnectForFormat);
    platform::Sleep(updater::RestartPauseMs);
    Emit(options.json, {{"event", "waiting"}}, "Waiting for the player…");
    updater::WaitForPlayer([] { return false; });
    return FormatAndFont(terminal);
}

} // namespace

void AddUpdateCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<UpdateOptions>();
    CLI::App* update = app.add_subcommand(
        "update", "Bring the player to the firmware this program carries (1.43.22), with the format and font download "
                  "that older firmware needs.");
    update->add_flag("--yes,-y", options->yes,
                     "Answer yes to the questions: to erase the player's files when the update formats it, and to "
                     "replace firmware that is already current (needed when standard input is not a terminal)");
    update->add_flag("--dry-run", options->dryRun, "Stop after showing the running and the carried firmware version");
    update->add_flag("--json", options->json, "One JSON object per line");
    update->add_option("--wait", options->waitSeconds,
                       "Seconds to wait for the player to appear (0, the default: as long as it takes)");
    update->add_option("--language", options->language,
                       "Language of the texts: en, ko, ja, zh-TW, zh-CN, or a language ID (0x0409 English, 0x0412 "
                       "Korean, 0x0411 Japanese, 0x0404 and 0x0804 Chinese); default: the locale's");
    update->callback([options, &exitStatus] {
        exitStatus = RunUpdate(*options);
        EmitResult(options->json, "update", exitStatus);
    });
}

} // namespace qrm284
