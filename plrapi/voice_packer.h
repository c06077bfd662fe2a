// Repacks a voice file while it is uploaded: the PC's WAV form in, the
// player's 260-byte blocks out, in pieces of 32,768 bytes.
#pragma once

#include "plrapi/voice_blocks.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace plrapi {

inline constexpr size_t PackedPieceSize = 32768;

// Where packed bytes go: whole pieces are sent at once, the rest is held
// for the close.
class PackedBytesSink {
public:
    virtual bool Send(const uint8_t* data, size_t size) = 0;   // false: the write failed
    virtual void Hold(const uint8_t* data, size_t size) = 0;
protected:
    ~PackedBytesSink() = default;
};

// The player's size for a PC voice file of `pcSize` bytes (at least the
// 48-byte header): its data plus a 4-byte mark per started 256-byte block.
uint64_t PackedVoiceSize(uint64_t pcSize);

class VoicePacker {
public:
    enum class Step {
        Taking,       // wants more of the file
        Finished,     // the announced size has arrived; the rest is held
        SendFailed,
        NotVoice,     // the first bytes are not the WAV header the player's blocks need
    };

    // A new file of `pcSize` bytes, its 48-byte header included.
    void Start(uint64_t pcSize);
    bool Active() const { return active_; }
    void Stop() { active_ = false; }
    // The next `size` bytes of the file. Bytes beyond the announced size are dropped.
    Step Feed(const uint8_t* data, size_t size, PackedBytesSink& sink);

private:
    bool AppendOut(const uint8_t* data, size_t size, PackedBytesSink& sink);

    bool active_ = false;
    bool headerPending_ = false;
    uint64_t total_ = 0;
    uint64_t consumed_ = 0;
    std::array<uint8_t, VoiceBlockSize> block_{};
    size_t blockFill_ = 0;
    std::array<uint8_t, PackedPieceSize> out_{};
    size_t outFill_ = 0;
};

} // namespace plrapi
