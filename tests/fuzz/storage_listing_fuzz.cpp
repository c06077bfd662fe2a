// The "GG" listing as the protocol library reads it: the simulated player
// sends the input's first 512 bytes as the header block and the rest as the
// directory image. Whatever arrives, the image handed back stays within its
// 256 records, with every text terminated within its field.
//
// So that no read waits for a time-out, the image is repeated up to the
// blocks the header announces; so that an input stays cheap, the header's
// entry count is cut to MaxEntries first (that still runs well past the 256
// records an image holds).
#include "portio/protocol_session.h"
#include "sim/bus.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/simulated_session.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr size_t HeaderSize = 512;
constexpr size_t EntryCountAt = 8;
constexpr size_t EntrySize = 32;
constexpr size_t MaxEntries = 2048;

template <size_t N>
void RequireTerminated(const char (&field)[N], const char* property) {
    fuzzcheck::Require(strnlen(field, N) < N, property);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzcheck::UseSimulatedPlayer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> header(HeaderSize, 0);
    std::memcpy(header.data(), data, std::min(size, HeaderSize));
    const size_t announced = std::min<size_t>(size_t{header[EntryCountAt]} << 8 | header[EntryCountAt + 1], MaxEntries);
    header[EntryCountAt] = static_cast<uint8_t>(announced >> 8);
    header[EntryCountAt + 1] = static_cast<uint8_t>(announced);
    std::vector<uint8_t> entries;
    if (size > HeaderSize) {
        entries.assign(data + HeaderSize, data + size);
    }
    const size_t wanted = (announced * EntrySize + HeaderSize - 1) / HeaderSize * HeaderSize;
    const size_t given = entries.size();
    if (entries.size() < wanted) {
        entries.resize(wanted, 0);
        for (size_t at = given; given > 0 && at < wanted; at += given) {
            std::memcpy(entries.data() + at, entries.data(), std::min(given, wanted - at));
        }
    }

    kvx512sim::Player& player = kvx512sim::Bus::Instance().GetPlayer(0);
    player.OverrideNextListing(header, std::move(entries));
    auto image = std::make_unique<StorageImage>();
    const portio::Result result = portio::Session().ReadListing(*image, 0);
    // Blocks the library did not read do not reach the next input.
    player.EndLink(true);
    player.OverrideNextListing({}, {});

    if (result == portio::Result::Ok) {
        fuzzcheck::Require(image->folderCount <= 256, "at most 256 folders among 256 records");
        for (const FileRecord& record : image->records) {
            RequireTerminated(record.longName, "long name terminated");
            RequireTerminated(record.baseName, "base name terminated");
            RequireTerminated(record.extension, "extension terminated");
            RequireTerminated(record.displayName, "display name terminated");
        }
    }
    return 0;
}
