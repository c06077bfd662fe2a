// A file of this computer as an upload takes it: its name and extension for
// the device API, and the bytes to send, voice recordings repacked into the
// player's WAV form; other audio the player cannot play is refused.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace qrm284 {

struct UploadSource {
    std::string path;
    std::string name;
    std::string extension;        // "ADP" for a voice recording
    unsigned long size = 0;       // the bytes that will be sent
    std::vector<uint8_t> voice;   // the whole repacked file, for voice recordings
};

// Empty on success, else the sentence saying why the file cannot go to the
// player (a usage error: nothing was sent).
std::string PrepareUploadSource(const std::string& path, UploadSource& source);

// The bytes an upload sends, in order: the file streamed from disk, or the
// repacked voice recording already in memory.
class UploadReader {
public:
    explicit UploadReader(const UploadSource& source);
    // Up to `size` next bytes into `buffer`; their count, fewer at the end
    // (or when the file has shrunk since it was measured).
    size_t Read(uint8_t* buffer, size_t size);
    // Goes on from byte `offset`; false when the file cannot.
    bool Seek(uint64_t offset);

private:
    const UploadSource& source_;
    std::ifstream in_;
    size_t offset_ = 0;   // in source_.voice
};

} // namespace qrm284
