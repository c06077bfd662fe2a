#include "tools/qrm284/upload_source.h"

#include "tools/qrm284/pc_file_info.h"
#include "tools/qrm284/terminal_text.h"
#include "tools/qrm284/voice_wav.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <strings.h>

namespace qrm284 {

namespace {

bool HasExtension(const std::string& extension, std::initializer_list<const char*> list) {
    for (const char* candidate : list) {
        if (strcasecmp(extension.c_str(), candidate) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string PrepareUploadSource(const std::string& path, UploadSource& source) {
    source = UploadSource{};
    source.path = path;
    SplitName(path, source.name, source.extension);
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return "Cannot read \"" + Printable(path) + "\".";
    }
    const auto size = static_cast<unsigned long long>(in.tellg());
    if (size > 0xFFFFFFFFull) {
        return "\"" + Printable(path) + "\" is larger than the player can hold (4 GiB).";
    }
    source.size = static_cast<unsigned long>(size);
    if (HasExtension(source.extension, {"wav", "adp"})) {
        in.seekg(0);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        VoiceCheck check = PackVoiceWav(bytes);
        if (!check.packed) {
            return "\"" + Printable(path) + "\" " + (check.isWav ? check.problem : "is not a WAV file") +
                   "; the player plays voice recordings only in that form. Convert it with: " + SoxCommandFor(path);
        }
        source.voice = std::move(*check.packed);
        source.extension = "ADP";
        source.size = static_cast<unsigned long>(source.voice.size());
        return {};
    }
    if (HasExtension(source.extension, {"flac", "ogg", "oga", "opus", "m4a", "aac", "aif", "aiff", "au", "mp2"})) {
        return "The player does not play \"" + Printable(path) +
               "\"; it plays MP3, WMA and voice recordings. Convert it to MP3 with: " + Mp3CommandFor(path);
    }
    return {};
}

UploadReader::UploadReader(const UploadSource& source) : source_(source) {
    if (source.voice.empty()) {
        in_.open(source.path, std::ios::binary);
    }
}

size_t UploadReader::Read(uint8_t* buffer, size_t size) {
    if (!source_.voice.empty()) {
        const size_t count = std::min(size, source_.voice.size() - offset_);
        if (count > 0) {   // an empty buffer may be null
            std::memcpy(buffer, source_.voice.data() + offset_, count);
        }
        offset_ += count;
        return count;
    }
    in_.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(size));
    return static_cast<size_t>(in_.gcount());
}

bool UploadReader::Seek(uint64_t offset) {
    if (!source_.voice.empty()) {
        offset_ = static_cast<size_t>(std::min<uint64_t>(offset, source_.voice.size()));
        return offset_ == offset;
    }
    return static_cast<bool>(in_.seekg(static_cast<std::streamoff>(offset)));
}

} // namespace qrm284
