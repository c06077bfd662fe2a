// A stand-in for the wizard sheet that records everything the workers and
// the page logic do to it, with a clock whose sleeps pass at once.
#pragma once

#include "platform/system/clock.h"
#include "sim/bus.h"
#include "updater/engine/engine_link.h"
#include "updater/wizard/sheet.h"
#include "updater/wizard/worker_threads.h"
#include "updater/wizard/wizard_state.h"
#include "updater/wizard/wizard_texts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace updatertest {

using updater::LPARAM;
using updater::Page;
using updater::UINT;
using updater::WPARAM;

struct SheetEvent {
    enum class Kind { Post, SendSheet, SendPage, Refresh, MessageBox };
    Kind kind = Kind::Post;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    Page page = Page::Intro;
    std::string text;      // message box text, or the refreshed page's main text
    std::string caption;   // message box caption
    UINT style = 0;        // message box style

    static SheetEvent Of(Kind kind, UINT message = 0, WPARAM wParam = 0, LPARAM lParam = 0, Page page = Page::Intro) {
        SheetEvent event;
        event.kind = kind;
        event.message = message;
        event.wParam = wParam;
        event.lParam = lParam;
        event.page = page;
        return event;
    }
};

class RecordingSheet : public updater::Sheet {
public:
    ~RecordingSheet() override {
        closing_ = true;
        JoinAll();
    }

    void PostSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        Record(SheetEvent::Of(SheetEvent::Kind::Post, message, wParam, lParam));
    }
    updater::LRESULT SendSheetMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == updater::WM_WIZ_LABEL) {
            // What page 4 does with it.
            if (wParam == 0) {
                firmware.partLabel = updater::g_strStepText;
            } else if (wParam == 1) {
                firmware.stageLabel = updater::g_strStepText;
            } else if (wParam == 2) {
                firmware.mainText = updater::g_strStepText;
            }
        }
        auto event = SheetEvent::Of(SheetEvent::Kind::SendSheet, message, wParam, lParam);
        if (message == updater::WM_WIZ_REFRESH || message == updater::WM_WIZ_LABEL) {
            event.text = firmware.mainText;
        }
        Record(std::move(event));
        return 0;
    }
    updater::LRESULT SendPageMessage(Page page, UINT message, WPARAM wParam, LPARAM lParam) override {
        auto event = SheetEvent::Of(SheetEvent::Kind::SendPage, message, wParam, lParam, page);
        if (message == updater::WM_WIZ_REFRESH) {
            event.text = MainText(page);
        }
        Record(std::move(event));
        return 0;
    }
    void RefreshPage(Page page) override {
        auto event = SheetEvent::Of(SheetEvent::Kind::Refresh);
        event.page = page;
        event.text = MainText(page);
        Record(std::move(event));
    }
    int ShowMessageBox(const std::string& text, const std::string& caption, UINT style) override {
        auto event = SheetEvent::Of(SheetEvent::Kind::MessageBox);
        event.text = text;
        event.caption = caption;
        event.style = style;
        int answer = (style & 0xF) == updater::MB_YESNO ? updater::IDYES : updater::IDOK;
        {
            std::lock_guard lock(mutex_);
            if (!answers_.empty()) {
                answer = answers_.front();
                answers_.pop_front();
            }
        }
        if (onMessageBox) {
            onMessageBox(text);
        }
        Record(std::move(event));
        return answer;
    }
    void BeginThread(std::function<unsigned()> worker) override {
        workers_.Start([this, worker = std::move(worker)] {
            const unsigned result = worker();
            std::lock_guard lock(mutex_);
            results_.push_back(result);
            cv_.notify_all();
        });
    }
    bool Closing() const override { return closing_; }

    // Answers of the next message boxes, in order.
    void Answer(int answer) {
        std::lock_guard lock(mutex_);
        answers_.push_back(answer);
    }
    void Close() { closing_ = true; }

    // Waits (real time) until a button state is posted that satisfies `pred`.
    bool WaitForPost(LPARAM buttons, std::chrono::seconds limit = std::chrono::seconds(60)) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, limit, [&] {
            for (const auto& event : events_) {
                if (event.kind == SheetEvent::Kind::Post && event.lParam == buttons) {
                    return true;
                }
            }
            return false;
        });
    }

    // Joins every worker, those started by workers included.
    void JoinAll() { workers_.JoinAll(); }

    std::vector<SheetEvent> Events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    std::vector<unsigned> Results() const {
        std::lock_guard lock(mutex_);
        return results_;
    }
    // Button states posted, in order.
    std::vector<LPARAM> Buttons() const { return Values(SheetEvent::Kind::Post, updater::PSM_SETWIZBUTTONS, -1); }
    // Positions of the progress bar sent to the sheet (WM_WIZ_PROGRESS 2).
    std::vector<LPARAM> Positions() const {
        return Values(SheetEvent::Kind::SendSheet, updater::WM_WIZ_PROGRESS, updater::ProgressPosition);
    }
    // WM_WIZ_PROGRESS wParams sent to the sheet, in order.
    std::vector<WPARAM> ProgressCommands() const {
        std::vector<WPARAM> commands;
        for (const auto& event : Events()) {
            if (event.kind == SheetEvent::Kind::SendSheet && event.message == updater::WM_WIZ_PROGRESS) {
                commands.push_back(event.wParam);
            }
        }
        return commands;
    }
    std::vector<SheetEvent> MessageBoxes() const {
        std::vector<SheetEvent> boxes;
        for (const auto& event : Events()) {
            if (event.kind == SheetEvent::Kind::MessageBox) {
                boxes.push_back(event);
            }
        }
        return boxes;
    }

    std::function<void(const std::string&)> onMessageBox;

private:
    std::string MainText(Page page) const {
        switch (page) {
        case Page::Intro: return intro.text;
        case Page::Connect: return connect.text;
        case Page::Version: return version.informationText;
        case Page::Firmware: return firmware.mainText;
        case Page::Format: return format.mainText;
        }
        return {};
    }
    std::vector<LPARAM> Values(SheetEvent::Kind kind, UINT message, long wParam) const {
        std::vector<LPARAM> values;
        for (const auto& event : Events()) {
            if (event.kind == kind && event.message == message &&
                (wParam < 0 || event.wParam == static_cast<WPARAM>(wParam))) {
                values.push_back(event.lParam);
            }
        }
        return values;
    }
    void Record(SheetEvent event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        cv_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<SheetEvent> events_;
    std::vector<unsigned> results_;
    std::deque<int> answers_;
    std::atomic<bool> closing_{false};
    updater::WorkerThreads workers_;
};

// A fresh simulated player, English texts, a clean wizard and engine state,
// and a clock that does not wait.
class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override {
        kvx512sim::Bus::Instance().Reset();
        kvx512sim::Bus::Instance().RecordTranscripts(true);
        updater::ResetWizardState();
        updater::CloseEngineLink();
        updater::SetLinkTimeouts(300000, 100000);
        updater::SetSystemDefaultLangIdOverride(0x0409);
        updater::SelectTextLanguage();
        platform::SetClockHooks({[this](uint32_t ms) { slept_ += ms; }, [this] { return slept_.load(); }});
    }
    void TearDown() override {
        updater::CloseEngineLink();
        platform::SetClockHooks({});
        updater::SetSystemDefaultLangIdOverride(std::nullopt);
    }

    kvx512sim::Player& Player() { return kvx512sim::Bus::Instance().GetPlayer(0); }
    // The blocks the host wrote to pipe 0x02, in order.
    std::vector<std::vector<uint8_t>> Writes() { return Player().GetTranscript().Writes(); }
    uint32_t Slept() const { return slept_; }

    static std::vector<uint8_t> Block(std::initializer_list<int> leading) {
        std::vector<uint8_t> bytes;
        for (int value : leading) {
            bytes.push_back(static_cast<uint8_t>(value));
        }
        bytes.resize(512, 0);
        return bytes;
    }

    std::atomic<uint32_t> slept_{0};
};

} // namespace updatertest
