// Progress of one long operation (a transfer, a format), for a person on a
// terminal or for a script reading --json.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace qrm284 {

enum class ProgressUnit { Bytes, Percent };

// On a terminal (stderr is a tty) it redraws one line on stderr: item,
// done/total (KiB/MiB/GiB for Bytes, % for Percent), rate and time left (for
// Bytes), at most ~10 times a second, and clears it at Finish.
// Not a terminal and not json: prints nothing. json: one line on stdout per
// visible change (throttled the same way, plus the final one):
// {"event":"progress","command":"put","item":"song.mp3","done":N,"total":M,"unit":"bytes"|"percent"}
class ProgressMeter {
public:
    ProgressMeter(const char* command, std::string item, uint64_t total, ProgressUnit unit, bool json);
    ~ProgressMeter();   // Finish() if not done
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;

    void Update(uint64_t done);
    void Finish();

private:
    using Clock = std::chrono::steady_clock;

    void Show();
    void Draw();

    const char* command_;
    std::string item_;
    uint64_t total_;
    ProgressUnit unit_;
    bool json_;
    bool terminal_;
    bool finished_ = false;
    bool drawn_ = false;
    uint64_t done_ = 0;
    uint64_t shownDone_ = 0;
    bool shownOnce_ = false;
    Clock::time_point start_;
    Clock::time_point lastShown_;
};

// Transfers no larger than this are over in a blink: put and get show no
// progress for them, so that a script's small copies stay one line each.
inline constexpr uint64_t ProgressFloor = 1024 * 1024;

// "512 B", "12.0 KiB", "3.4 MiB", "1.00 GiB".
std::string ByteCount(uint64_t bytes);

} // namespace qrm284
