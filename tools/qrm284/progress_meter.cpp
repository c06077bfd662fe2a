#include "tools/qrm284/progress_meter.h"

#include "tools/qrm284/json_output.h"
#include "tools/qrm284/terminal_text.h"

#include <cstdio>
#include <unistd.h>

namespace qrm284 {

namespace {

// About ten redraws a second: enough to look live, cheap on a fast transfer.
constexpr auto ShowInterval = std::chrono::milliseconds(100);
// Before this much has gone by, a rate is mostly noise.
constexpr auto RateSettle = std::chrono::milliseconds(500);

std::string Duration(double seconds) {
    const auto whole = static_cast<unsigned long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lu:%02lu:%02lu", whole / 3600, whole / 60 % 60, whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lu:%02lu", whole / 60, whole % 60);
    }
    return text;
}

} // namespace

std::string ByteCount(uint64_t bytes) {
    char text[32];
    const auto value = static_cast<double>(bytes);
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024ull * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", value / 1024);
    } else if (bytes < 1024ull * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f MiB", value / (1024.0 * 1024));
    } else {
        std::snprintf(text, sizeof text, "%.2f GiB", value / (1024.0 * 1024 * 1024));
    }
    return text;
}

ProgressMeter::ProgressMeter(const char* command, std::string item, uint64_t total, ProgressUnit unit, bool json)
    : command_(command), item_(std::move(item)), total_(total), unit_(unit), json_(json),
      terminal_(!json && DrawsOnTerminal(STDERR_FILENO)), start_(Clock::now()), lastShown_(start_) {}

ProgressMeter::~ProgressMeter() { Finish(); }

void ProgressMeter::Update(uint64_t done) {
    if (finished_) {
        return;
    }
    done_ = done;
    if (!json_ && !terminal_) {
        return;
    }
    const auto now = Clock::now();
    if (shownOnce_ && now - lastShown_ < ShowInterval) {
        return;
    }
    lastShown_ = now;
    Show();
}

void ProgressMeter::Finish() {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (json_ && (!shownOnce_ || shownDone_ != done_)) {
        Show();
    }
    if (drawn_) {
        std::fprintf(stderr, "\r\x1b[K");
        std::fflush(stderr);
    }
}

void ProgressMeter::Show() {
    if (json_) {
        if (shownOnce_ && shownDone_ == done_) {
            return;
        }
        Emit(true,
             {{"event", "progress"},
              {"command", command_},
              {"item", item_},
              {"done", done_},
              {"total", total_},
              {"unit", unit_ == ProgressUnit::Bytes ? "bytes" : "percent"}},
             {});
        std::fflush(stdout);
    } else if (terminal_) {
        Draw();
    }
    shownOnce_ = true;
    shownDone_ = done_;
}

void ProgressMeter::Draw() {
    std::string line = Printable(item_) + "  ";
    if (unit_ == ProgressUnit::Percent) {
        line += std::to_string(total_ == 0 ? 100 : done_ * 100 / total_) + "%";
    } else {
        line += ByteCount(done_) + " / " + ByteCount(total_);
        const std::chrono::duration<double> elapsed = Clock::now() - start_;
        if (elapsed >= RateSettle && done_ > 0) {
            const double rate = static_cast<double>(done_) / elapsed.count();
            line += "  " + ByteCount(static_cast<uint64_t>(rate)) + "/s";
            if (total_ > done_) {
                line += "  " + Duration(static_cast<double>(total_ - done_) / rate) + " left";
            }
        }
    }
    std::fprintf(stderr, "\r%s\x1b[K", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

} // namespace qrm284
