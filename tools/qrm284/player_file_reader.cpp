#include "tools/qrm284/player_file_reader.h"

#include "tools/qrm284/pc_file_info.h"

namespace qrm284 {

namespace {

// The API's fastest request size.
constexpr long PieceBytes = 32768;
// A voice piece may grow by a block, and the first by the WAV header.
constexpr size_t BufferBytes = PieceBytes + 256 + 48;
// The API's code for a failed read.
constexpr long ReadFailed = 10;

} // namespace

const size_t PlayerFileReader::PieceCapacity = BufferBytes;

PlayerFileReader::PlayerFileReader(CDeviceAPI& api) : api_(api), buffer_(BufferBytes) {}

PlayerFileReader::~PlayerFileReader() { Close(); }

bool PlayerFileReader::Open(int storage, const std::string& name, const std::string& extension, unsigned long size) {
    PcFileInfo info(name, extension, size);
    if (api_.PlrReadFileStart(storage) != 1 || api_.PlrReadFileInfo(&info) != 1) {
        return false;
    }
    open_ = true;
    ended_ = false;
    received_ = 0;
    return true;
}

std::optional<size_t> PlayerFileReader::Next(uint8_t* target) {
    if (!open_ || ended_) {
        return 0;
    }
    long length = PieceBytes;
    const long before = api_.PlrGetLastError();
    if (api_.PlrReadFileBlock(target, &length, 0) != 1) {
        // After the piece that reached the end the call fails without a code.
        ended_ = true;
        if (api_.PlrGetLastError() == ReadFailed && (before != ReadFailed || received_ == 0)) {
            return std::nullopt;
        }
        return 0;
    }
    // A short piece is not the end: a voice piece holds whole blocks only.
    // The end is the failing call after the last piece.
    received_ += static_cast<uint64_t>(length);
    if (length <= 0) {
        ended_ = true;
        return 0;
    }
    return static_cast<size_t>(length);
}

void PlayerFileReader::Close() {
    if (open_) {
        api_.PlrCloseReadFile();
        open_ = false;
    }
}

} // namespace qrm284
