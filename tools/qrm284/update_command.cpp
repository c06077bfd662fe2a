// qrm284 update: the updater's whole run on the command line, with the same
// engine, workers and texts as the wizard. The terminal stands in for the
// wizard sheet: texts are printed when a page refreshes, the progress bar is
// drawn on a terminal, and the buttons a worker enables decide the next step.
#include "tools/qrm284/commands.h"
#include "updater/wizard/page_activation.h"
#include "updater/wizard/sheet.h"
#include "updater/wizard/worker_threads.h"
#include "updater/wizard/version_page.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qrm284 {

namespace {

using updater::LPARAM;
using updater::Page;
using updater::UINT;
using updater::WPARAM;

struct UpdateOptions {
    bool yes = false;
    bool dryRun = false;
    std::string language;   // a language ID such as 0x0411; empty: the locale's
    unsigned waitSeconds = 0;   // how long to wait for the player; 0: no limit
};

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

class ConsoleSheet final : public updater::Sheet {
public:
    explicit ConsoleSheet(bool yes) : yes_(yes), terminal_(isatty(STDOUT_FILENO) != 0) {}

    ~ConsoleSheet() override {
        closing_ = true;
        workers_.JoinAll();
    }

    void PostSheetMessage(UINT message, WPARAM /*wParam*/, LPARAM lParam) override {
        if (message != updater::PSM_SETWIZBUTTONS) {
            return;
        }
        std::lock_guard lock(mutex_);
        buttons_.push_back(lParam);
        posted_.notify_all();
    }

    updater::LRESULT SendSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        std::lock_guard lock(outputMutex_);
        if (message == updater::WM_WIZ_PROGRESS) {
            Progress(wParam, lParam);
        } else if (message == updater::WM_WIZ_LABEL) {
            if (wParam == 1) {
                firmware.stageLabel = updater::g_strStepText;
            }
            ShowLabels();
        } else if (message == updater::WM_WIZ_REFRESH) {
            ShowLabels();
            ShowText(firmware.mainText);
        }
        return 0;
    }

    updater::LRESULT SendPageMessage(Page page, UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) override {
        std::lock_guard lock(outputMutex_);
        if (message == updater::WM_WIZ_REFRESH && page == Page::Format) {
            ShowText(format.mainText);
        }
        return 0;
    }

    void RefreshPage(Page page) override {
        std::lock_guard lock(outputMutex_);
        switch (page) {
        case Page::Intro: ShowText(intro.text); break;
        case Page::Connect: ShowText(connect.text); break;
        case Page::Version: ShowText(version.informationText); break;
        case Page::Firmware: ShowText(firmware.mainText); break;
        case Page::Format: ShowText(format.mainText); break;
        }
    }

    int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) override {
        std::lock_guard lock(outputMutex_);
        EndBar();
        if ((style & 0xF) != updater::MB_YESNO) {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), Trimmed(text).c_str());
            return updater::IDOK;
        }
        std::printf("%s [y/N] ", Trimmed(text).c_str());
        if (yes_) {
            std::printf("yes\n");
            std::fflush(stdout);
            return updater::IDYES;
        }
        std::fflush(stdout);
        std::string answer;
        if (!std::getline(std::cin, answer)) {
            std::printf("\n");
        }
        return answer == "y" || answer == "Y" || answer == "yes" ? updater::IDYES : updater::IDNO;
    }

    void BeginThread(std::function<unsigned()> worker) override {
        workers_.Start([worker = std::move(worker)] { worker(); });
    }

    bool Closing() const override { return closing_; }

    // The next button state a page or worker enables (all-off states are
    // passed over: they only precede the worker's own). With a limit, 0 when
    // none came in time; the sheet is closing then.
    LPARAM NextButtons(unsigned limitSeconds = 0) {
        std::unique_lock lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(limitSeconds);
        for (;;) {
            const auto ready = [this] { return !buttons_.empty(); };
            if (limitSeconds == 0) {
                posted_.wait(lock, ready);
            } else if (!posted_.wait_until(lock, deadline, ready)) {
                closing_ = true;
                return 0;
            }
            const LPARAM buttons = buttons_.front();
            buttons_.pop_front();
            if (buttons != 0) {
                return buttons;
            }
        }
    }

    void PrintVersions() {
        std::lock_guard lock(outputMutex_);
        std::printf("Player firmware version  : %s\n", version.versionText.c_str());
        std::printf("New firmware version     : %s\n", updater::CarriedVersionText);
        std::fflush(stdout);
    }

private:
    void ShowText(const std::string& text) {
        if (text.empty() || text == lastText_) {
            return;
        }
        EndBar();
        lastText_ = text;
        std::printf("\n%s\n", Trimmed(text).c_str());
        std::fflush(stdout);
    }

    void ShowLabels() {
        std::string labels = firmware.stageLabel;
        if (!firmware.partLabel.empty()) {
            labels += (labels.empty() ? "" : " ") + firmware.partLabel;
        }
        if (labels.empty() || labels == lastLabels_) {
            return;
        }
        EndBar();
        lastLabels_ = labels;
        std::printf("%s\n", labels.c_str());
        std::fflush(stdout);
    }

    void Progress(WPARAM command, LPARAM value) {
        if (command == updater::ProgressShow) {
            barShown_ = true;
        } else if (command == updater::ProgressHide) {
            EndBar();
            barShown_ = false;
        } else if (command == updater::ProgressPosition && barShown_ && terminal_) {
            const long percent = value < 0 ? 0 : (value > 100 ? 100 : static_cast<long>(value));
            const int filled = static_cast<int>(percent / 2);
            std::printf("\r[%.*s%*s] %3ld%%", filled, "##################################################",
                        50 - filled, "", percent);
            std::fflush(stdout);
            barDrawn_ = true;
        }
    }

    void EndBar() {
        if (barDrawn_) {
            std::printf("\n");
            barDrawn_ = false;
        }
    }

    const bool yes_;
    const bool terminal_;
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<LPARAM> buttons_;
    std::atomic<bool> closing_{false};
    updater::WorkerThreads workers_;
    std::mutex outputMutex_;
    std::string lastText_;
    std::string lastLabels_;
    bool barShown_ = false;
    bool barDrawn_ = false;
};

bool Finished(LPARAM buttons) { return (buttons & updater::PSWIZB_FINISH) != 0; }

int FailWithText(const std::string& text) { return Fail(Trimmed(text).c_str()); }

int RunUpdate(const UpdateOptions& options) {
    if (!options.language.empty()) {
        try {
            updater::SetSystemDefaultLangIdOverride(static_cast<uint16_t>(std::stoul(options.language, nullptr, 0)));
        } catch (const std::exception&) {
            return Fail("The language must be a number such as 0x0411.");
        }
    }
    updater::SelectTextLanguage();
    updater::ResetWizardState();
    ConsoleSheet sheet(options.yes);

    updater::ActivateIntroPage(sheet);
    if (Finished(sheet.NextButtons())) {
        return Fail("The list of running programs cannot be read.");
    }
    updater::ActivateConnectPage(sheet);
    if (sheet.NextButtons(options.waitSeconds) == 0) {
        return Fail("No player is connected.");
    }

    updater::ActivateVersionPage(sheet);
    if (Finished(sheet.NextButtons())) {
        return FailWithText(sheet.version.informationText);
    }
    sheet.PrintVersions();
    if (options.dryRun) {
        return 0;
    }
    if (updater::LeaveVersionPage(sheet) != 0) {
        return Fail("The update was declined; the player keeps its firmware.");
    }

    updater::ActivateFirmwarePage(sheet);
    // Finish when the step failed or nothing more is needed; Next once the
    // player has come back in USB mode after text 113.
    const LPARAM buttons = sheet.NextButtons();
    if (Finished(buttons)) {
        return sheet.firmware.mainText == updater::WizardText(122) ? 0 : FailWithText(sheet.firmware.mainText);
    }
    // The player has come back after the firmware step: format and font.
    updater::ActivateFormatPage(sheet);
    sheet.NextButtons();
    return sheet.format.mainText == updater::WizardText(122) ? 0 : FailWithText(sheet.format.mainText);
}

} // namespace

void AddUpdateCommand(CLI::App& app, int& exitStatus) {
    auto options = std::make_shared<UpdateOptions>();
    CLI::App* update = app.add_subcommand(
        "update", "Bring the player to the firmware this program carries (1.43.22), with the format and font download "
                  "that older firmware needs.");
    update->add_flag("--yes,-y", options->yes, "Answer yes when asked whether to replace current firmware");
    update->add_flag("--dry-run", options->dryRun, "Stop after showing the running and the carried firmware version");
    update->add_option("--wait", options->waitSeconds,
                       "Seconds to wait for the player to appear (0, the default: as long as it takes)");
    update->add_option("--language", options->language,
                       "Language ID of the texts (0x0409 English, 0x0412 Korean, 0x0411 Japanese, 0x0404 and 0x0804 "
                       "Chinese); default: the locale's");
    update->callback([options, &exitStatus] { exitStatus = RunUpdate(*options); });
}

} // namespace qrm284
