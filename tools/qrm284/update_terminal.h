// What `qrm284 update` shows on a terminal: the wizard's texts as its pages
// show them (button sentences turned into terminal ones), page 4's labels,
// the question, messages on stderr, and the engine's progress as a bar
// (drawn only where stdout is a terminal). With --json each of these is one
// object a line, and progress goes through the ProgressMeter.
#pragma once

#include "tools/qrm284/progress_meter.h"
#include "updater/engine/progress.h"
#include "updater/wizard/wizard_texts.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace qrm284 {

class UpdateTerminal final : public updater::Progress {
public:
    UpdateTerminal(bool yes, bool json);
    ~UpdateTerminal() override;
    UpdateTerminal(const UpdateTerminal&) = delete;
    UpdateTerminal& operator=(const UpdateTerminal&) = delete;

    // A blank line, then the terminal's form of the text (TerminalText).
    void ShowText(updater::TextId id);
    // The running and the carried version, one a line.
    void ShowVersions(const std::string& running);
    // The question with [y/N]; --yes answers it. True for yes.
    bool Ask(updater::TextId id);
    // A question of this program's own, asked the same way.
    bool Ask(const std::string& text);
    // "CAPTION: text" on stderr, as a message box with only OK.
    void Tell(const std::string& caption, const std::string& text);

    void ShowBar();
    void HideBar();

    // SetUp and Program print page 4's labels; an uncounted erase moves the
    // bar with the erase timer until the erase ends.
    void Begin(updater::Phase phase, updater::Pace pace) override;
    void Report(updater::Phase phase, int percent) override;
    void End(updater::Phase phase, updater::Outcome outcome) override;

private:
    bool AskText(const std::string& text, int id);
    void Draw(long percent);
    void EndBar();   // the line the bar is on ends
    void StopEraseTimer();

    const bool yes_;
    const bool json_;
    const bool terminal_;
    std::unique_ptr<ProgressMeter> meter_;   // the running phase's, under --json
    int meterPercent_ = 0;
    std::mutex outputMutex_;   // the erase timer draws from a thread of its own
    bool barShown_ = false;
    bool barDrawn_ = false;
    std::atomic<bool> stopEraseTimer_{true};
    std::thread eraseTimer_;
};

// The text without its trailing line ends and spaces.
std::string Trimmed(std::string text);

} // namespace qrm284
