#include "sim/state_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace kvx512sim {

namespace {

// Layout after the magic: per storage u8 present, u16 capacity, u32 current
// folder, u32 folder count, per folder (u32 number, u32 parent, u32 byte
// count, entries), u32 file count, per file (u32 cluster, u64 size, bytes);
// then u32 font name length, name, u64 font size, font bytes.
constexpr char Magic[] = "KVX512SIM STATE 1\n";

// Buffered writes to a file descriptor; any failure sticks.
class Writer {
public:
    explicit Writer(int fd) : fd_(fd) {}
    template <class T>
    void Number(T value) {
        uint8_t bytes[sizeof(T)];
        for (size_t i = 0; i < sizeof(T); ++i) {
            bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
        }
        Bytes(bytes, sizeof bytes);
    }
    void Bytes(const void* data, size_t size) {
        const auto* at = static_cast<const uint8_t*>(data);
        while (size > 0) {
            const size_t taken = std::min(size, buffer_.size() - fill_);
            std::memcpy(buffer_.data() + fill_, at, taken);
            fill_ += taken;
            at += taken;
            size -= taken;
            if (fill_ == buffer_.size()) {
                Flush();
            }
        }
    }
    // True when every byte reached the file.
    bool Finish() {
        Flush();
        return ok_ && ::fsync(fd_) == 0;
    }

private:
    void Flush() {
        for (size_t done = 0; ok_ && done < fill_;) {
            const ssize_t n = ::write(fd_, buffer_.data() + done, fill_ - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            ok_ = n > 0;
            done += n > 0 ? static_cast<size_t>(n) : 0;
        }
        fill_ = 0;
    }

    int fd_;
    bool ok_ = true;
    std::array<uint8_t, 65536> buffer_{};
    size_t fill_ = 0;
};

class Reader {
public:
    explicit Reader(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    template <class T>
    bool Number(T& value) {
        if (bytes_.size() - at_ < sizeof(T)) {
            return false;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < sizeof(T); ++i) {
            v |= uint64_t{bytes_[at_ + i]} << (8 * i);
        }
        value = static_cast<T>(v);
        at_ += sizeof(T);
        return true;
    }
    bool Bytes(uint64_t size, std::vector<uint8_t>& out) {
        if (bytes_.size() - at_ < size) {
            return false;
        }
        out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                   bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + size));
        at_ += static_cast<size_t>(size);
        return true;
    }
    bool Text(const char* expected, size_t size) {
        if (bytes_.size() - at_ < size || std::memcmp(bytes_.data() + at_, expected, size) != 0) {
            return false;
        }
        at_ += size;
        return true;
    }
    bool AtEnd() const { return at_ == bytes_.size(); }

private:
    std::vector<uint8_t> bytes_;
    size_t at_ = 0;
};

bool ReadStorage(Reader& in, PlayerState::StorageState& storage) {
    uint8_t present = 0;
    uint32_t folders = 0;
    uint32_t files = 0;
    if (!in.Number(present) || !in.Number(storage.capacityUnits) || !in.Number(storage.contents.current) ||
        !in.Number(folders)) {
        return false;
    }
    storage.present = present != 0;
    for (uint32_t i = 0; i < folders; ++i) {
        uint32_t number = 0;
        uint32_t size = 0;
        Folder folder;
        if (!in.Number(number) || !in.Number(folder.parent) || !in.Number(size) || !in.Bytes(size, folder.slots)) {
            return false;
        }
        storage.contents.folders[number] = std::move(folder);
    }
    if (!in.Number(files)) {
        return false;
    }
    for (uint32_t i = 0; i < files; ++i) {
        uint32_t cluster = 0;
        uint64_t size = 0;
        std::vector<uint8_t> bytes;
        if (!in.Number(cluster) || !in.Number(size) || !in.Bytes(size, bytes)) {
            return false;
        }
        storage.contents.data[cluster] = std::make_shared<const std::vector<uint8_t>>(std::move(bytes));
    }
    return true;
}

} // namespace

bool WriteStateFile(const std::string& path, const PlayerState& state) {
    // A name of its own beside the file, created new (mkstemp opens with
    // O_EXCL): nothing planted under a fixed name is followed or overwritten.
    std::string temporary = path + ".new.XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool written = false;
    {
        // 64 KiB of buffer: kept off the caller's stack.
        auto w = std::make_unique<Writer>(fd);
        w->Bytes(Magic, sizeof Magic - 1);
        for (const auto& storage : state.storages) {
            w->Number<uint8_t>(storage.present ? 1 : 0);
            w->Number<uint16_t>(storage.capacityUnits);
            w->Number<uint32_t>(storage.contents.current);
            w->Number<uint32_t>(static_cast<uint32_t>(storage.contents.folders.size()));
            for (const auto& [number, folder] : storage.contents.folders) {
                w->Number<uint32_t>(number);
                w->Number<uint32_t>(folder.parent);
                w->Number<uint32_t>(static_cast<uint32_t>(folder.slots.size()));
                w->Bytes(folder.slots.data(), folder.slots.size());
            }
            w->Number<uint32_t>(static_cast<uint32_t>(storage.contents.data.size()));
            for (const auto& [cluster, bytes] : storage.contents.data) {
                w->Number<uint32_t>(cluster);
                w->Number<uint64_t>(bytes->size());
                w->Bytes(bytes->data(), bytes->size());
            }
        }
        w->Number<uint32_t>(static_cast<uint32_t>(state.fontName.size()));
        w->Bytes(state.fontName.data(), state.fontName.size());
        w->Number<uint64_t>(state.fontData.size());
        w->Bytes(state.fontData.data(), state.fontData.size());
        written = w->Finish();
    }
    if (::close(fd) != 0 || !written) {
        std::remove(temporary.c_str());
        return false;
    }
    // Replace the old state only once the new one is whole.
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<PlayerState> ReadStateFile(const std::string& path) {
    // A folder opens as a stream but throws on the first read.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return std::nullopt;
    }
    Reader in(std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {}));
    PlayerState state;
    if (!in.Text(Magic, sizeof Magic - 1)) {
        return std::nullopt;
    }
    for (auto& storage : state.storages) {
        if (!ReadStorage(in, storage)) {
            return std::nullopt;
        }
    }
    uint32_t nameLength = 0;
    uint64_t fontSize = 0;
    std::vector<uint8_t> name;
    if (!in.Number(nameLength) || !in.Bytes(nameLength, name) || !in.Number(fontSize) ||
        !in.Bytes(fontSize, state.fontData) || !in.AtEnd()) {
        return std::nullopt;
    }
    state.fontName.assign(name.begin(), name.end());
    return state;
}

} // namespace kvx512sim
