#include "tools/qrm284/update_terminal.h"

#include "updater/wizard/erase_timer.h"
#include "updater/wizard/version_page.h"

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace qrm284 {

using updater::Phase;

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

UpdateTerminal::UpdateTerminal(bool yes) : yes_(yes), terminal_(isatty(STDOUT_FILENO) != 0) {}

UpdateTerminal::~UpdateTerminal() { StopEraseTimer(); }

void UpdateTerminal::ShowText(updater::TextId id) {
    std::lock_guard lock(outputMutex_);
    EndBar();
    std::printf("\n%s\n", Trimmed(updater::WizardText(id)).c_str());
    std::fflush(stdout);
}

void UpdateTerminal::ShowVersions(const std::string& running) {
    std::lock_guard lock(outputMutex_);
    std::printf("Player firmware version  : %s\n", running.c_str());
    std::printf("New firmware version     : %s\n", updater::CarriedVersionText);
    std::fflush(stdout);
}

bool UpdateTerminal::Ask(updater::TextId id) {
    std::lock_guard lock(outputMutex_);
    EndBar();
    std::printf("%s [y/N] ", Trimmed(updater::WizardText(id)).c_str());
    if (yes_) {
        std::printf("yes\n");
        std::fflush(stdout);
        return true;
    }
    std::fflush(stdout);
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::printf("\n");
    }
    return answer == "y" || answer == "Y" || answer == "yes";
}

void UpdateTerminal::Tell(const std::string& caption, const std::string& text) {
    std::lock_guard lock(outputMutex_);
    EndBar();
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), Trimmed(text).c_str());
}

void UpdateTerminal::ShowBar() {
    std::lock_guard lock(outputMutex_);
    barShown_ = true;
}

void UpdateTerminal::HideBar() {
    std::lock_guard lock(outputMutex_);
    EndBar();
    barShown_ = false;
}

void UpdateTerminal::Begin(Phase phase, updater::Pace pace) {
    const char* stage = phase == Phase::SetUp     ? updater::InitializingLabel
                        : phase == Phase::Program ? updater::UpgradingLabel
                                                  : nullptr;
    if (stage != nullptr) {
        std::lock_guard lock(outputMutex_);
        EndBar();
        std::printf("%s %s\n", stage, updater::ApplicationLabel);
        std::fflush(stdout);
    }
    if (phase == Phase::Erase && pace == updater::Pace::Uncounted && terminal_) {
        StopEraseTimer();
        stopEraseTimer_ = false;
        eraseTimer_ = std::thread([this] { updater::RunEraseTimer(stopEraseTimer_, [this](updater::LPARAM p) { Draw(p); }); });
    }
}

void UpdateTerminal::Report(Phase /*phase*/, int percent) { Draw(percent); }

void UpdateTerminal::End(Phase phase, updater::Outcome /*outcome*/) {
    if (phase == Phase::Erase) {
        StopEraseTimer();
    }
}

void UpdateTerminal::Draw(long percent) {
    std::lock_guard lock(outputMutex_);
    if (!barShown_ || !terminal_) {
        return;
    }
    percent = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    const int filled = static_cast<int>(percent / 2);
    std::printf("\r[%.*s%*s] %3ld%%", filled, "##################################################", 50 - filled, "",
                percent);
    std::fflush(stdout);
    barDrawn_ = true;
}

void UpdateTerminal::EndBar() {
    if (barDrawn_) {
        std::printf("\n");
        barDrawn_ = false;
    }
}

void UpdateTerminal::StopEraseTimer() {
    stopEraseTimer_ = true;
    if (eraseTimer_.joinable()) {
        eraseTimer_.join();
    }
}

} // namespace qrm284
