#include "tools/qrm284/update_terminal.h"
#include "tools/qrm284/json_output.h"
#include "tools/qrm284/terminal_text.h"
#include "tools/qrm284/update_texts.h"

#include "updater/wizard/erase_timer.h"
#include "updater/wizard/version_page.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace qrm284 {

using updater::Phase;

namespace {

const char* PhaseName(Phase phase) {
    switch (phase) {
    case Phase::SetUp: return "set-up";
    case Phase::Erase: return "erase";
    case Phase::Program: return "program";
    case Phase::Format: return "format";
    case Phase::Font: return "font";
    }
    return "unknown";
}

const char* OutcomeName(updater::Outcome outcome) {
    switch (outcome) {
    case updater::Outcome::Done: return "done";
    case updater::Outcome::LinkFailed: return "link-failed";
    case updater::Outcome::SendFailed: return "send-failed";
    case updater::Outcome::NoReply: return "no-reply";
    case updater::Outcome::Refused: return "refused";
    case updater::Outcome::Unfinished: return "unfinished";
    case updater::Outcome::NoFile: return "no-file";
    case updater::Outcome::BadFile: return "bad-file";
    case updater::Outcome::Abandoned: return "abandoned";
    }
    return "unknown";
}

} // namespace

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    return text;
}

UpdateTerminal::UpdateTerminal(bool yes, bool json)
    : yes_(yes), json_(json), terminal_(!json && DrawsOnTerminal(STDOUT_FILENO)) {}

UpdateTerminal::~UpdateTerminal() { StopEraseTimer(); }

void UpdateTerminal::ShowText(updater::TextId id) {
    std::lock_guard lock(outputMutex_);
    EndBar();
    const std::string text = TerminalText(id);
    if (json_) {
        Emit(true, {{"event", "text"}, {"id", static_cast<int>(id)}, {"text", text}}, {});
    } else {
        std::printf("\n%s\n", text.c_str());
    }
    std::fflush(stdout);
}

void UpdateTerminal::ShowVersions(const std::string& running) {
    std::lock_guard lock(outputMutex_);
    if (json_) {
        Emit(true, {{"event", "versions"}, {"running", running}, {"carried", updater::CarriedVersionText}}, {});
        std::fflush(stdout);
        return;
    }
    const VersionLabels labels = VersionLabelsForLanguage();
    std::printf("%s %s\n", labels.running, running.c_str());
    std::printf("%s %s\n", labels.carried, updater::CarriedVersionText);
    std::fflush(stdout);
}

bool UpdateTerminal::Ask(updater::TextId id) { return AskText(TerminalText(id), static_cast<int>(id)); }

bool UpdateTerminal::Ask(const std::string& text) { return AskText(text, 0); }

bool UpdateTerminal::AskText(const std::string& text, int id) {
    std::lock_guard lock(outputMutex_);
    EndBar();
    if (json_) {
        std::string answer;
        const bool agreed =
            yes_ || (std::getline(std::cin, answer) && (answer == "y" || answer == "Y" || answer == "yes"));
        Emit(true, {{"event", "question"}, {"id", id}, {"text", text}, {"answer", agreed}}, {});
        std::fflush(stdout);
        return agreed;
    }
    std::printf("%s [y/N] ", text.c_str());
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
    if (json_) {
        Emit(true, {{"event", "message"}, {"caption", caption}, {"text", Trimmed(text)}}, {});
        std::fflush(stdout);
        return;
    }
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
    if (json_) {
        std::lock_guard lock(outputMutex_);
        nlohmann::json event{{"event", "phase"}, {"phase", PhaseName(phase)},
                             {"counted", pace == updater::Pace::Counted}};
        if (stage != nullptr) {
            event["label"] = std::string(stage) + " " + updater::ApplicationLabel;
        }
        Emit(true, event, {});
        // An uncounted phase has no percentages to show.
        meterPercent_ = 0;
        meter_.reset();
        if (pace == updater::Pace::Counted) {
            meter_ = std::make_unique<ProgressMeter>("update", PhaseName(phase), 100, ProgressUnit::Percent, true);
        }
        return;
    }
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

void UpdateTerminal::Report(Phase /*phase*/, int percent) {
    if (json_) {
        std::lock_guard lock(outputMutex_);
        // A counted erase runs one step over its total and reports 0 while
        // its closing reply is awaited: the meter only goes forward, to 100.
        meterPercent_ = std::max(meterPercent_, std::min(percent, 100));
        if (meter_ != nullptr) {
            meter_->Update(static_cast<uint64_t>(meterPercent_));
        }
        return;
    }
    Draw(percent);
}

void UpdateTerminal::End(Phase phase, updater::Outcome outcome) {
    if (phase == Phase::Erase) {
        StopEraseTimer();
    }
    if (json_) {
        std::lock_guard lock(outputMutex_);
        if (meter_ != nullptr && outcome == updater::Outcome::Done) {
            meter_->Update(100);   // a phase that is done is whole, whatever its last report
        }
        meter_.reset();
        Emit(true, {{"event", "phase-end"}, {"phase", PhaseName(phase)}, {"outcome", OutcomeName(outcome)}}, {});
        std::fflush(stdout);
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
