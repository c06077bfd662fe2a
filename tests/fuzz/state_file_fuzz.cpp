// The simulated player's state file: what the reader accepts is written
// back and read again unchanged, and what the player accepts it can list
// and serve: the protocol library reads the listing and the folder path of
// each storage from the player on the in-process bus.
#include "portio/protocol_session.h"
#include "sim/bus.h"
#include "sim/state_file.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/simulated_session.h"
#include "tests/fuzz/scratch_file.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool SameContents(const kvx512sim::Storage::State& a, const kvx512sim::Storage::State& b) {
    if (a.current != b.current || a.folders.size() != b.folders.size() || a.data.size() != b.data.size()) {
        return false;
    }
    for (const auto& [number, folder] : a.folders) {
        const auto other = b.folders.find(number);
        if (other == b.folders.end() || other->second.parent != folder.parent || other->second.slots != folder.slots) {
            return false;
        }
    }
    for (const auto& [cluster, bytes] : a.data) {
        const auto other = b.data.find(cluster);
        if (other == b.data.end() || *other->second != *bytes) {
            return false;
        }
    }
    return true;
}

bool SameState(const kvx512sim::PlayerState& a, const kvx512sim::PlayerState& b) {
    for (size_t i = 0; i < a.storages.size(); ++i) {
        if (a.storages[i].present != b.storages[i].present ||
            a.storages[i].capacityUnits != b.storages[i].capacityUnits ||
            !SameContents(a.storages[i].contents, b.storages[i].contents)) {
            return false;
        }
    }
    return a.fontName == b.fontName && a.fontData == b.fontData;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzcheck::UseSimulatedPlayer();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string inputPath = fuzzcheck::ScratchPath("state.in");
    static const std::string againPath = fuzzcheck::ScratchPath("state.again");
    if (!fuzzcheck::WriteScratch(inputPath, data, size)) {
        return 0;
    }
    const auto state = kvx512sim::ReadStateFile(inputPath);
    if (!state) {
        return 0;
    }
    fuzzcheck::Require(kvx512sim::WriteStateFile(againPath, *state), "an accepted state can be written");
    const auto again = kvx512sim::ReadStateFile(againPath);
    fuzzcheck::Require(again.has_value() && SameState(*state, *again), "a written state reads back the same");

    kvx512sim::Player& player = kvx512sim::Bus::Instance().GetPlayer(0);
    if (player.LoadState(inputPath)) {
        auto image = std::make_unique<StorageImage>();
        for (int storage = 0; storage < kvx512sim::StorageCount; ++storage) {
            const auto& contents = state->storages[static_cast<size_t>(storage)].contents;
            fuzzcheck::Require(player.CurrentFolder(storage) == contents.current, "the current folder is the file's");
            const auto& folder = contents.folders.at(contents.current);
            fuzzcheck::Require(player.RawDirectory(storage, contents.current) == folder.slots,
                               "the current folder's entries are the file's");
            (void)portio::Session().ReadListing(*image, storage);
            std::array<char, 1024> path{};
            (void)portio::Session().GetFolderPath(storage, path);
            fuzzcheck::Require(strnlen(path.data(), path.size()) < path.size(), "the folder path is terminated");
            // What the library left unread does not reach the next input.
            player.EndLink(true);
        }
        fuzzcheck::Require(player.SaveState(againPath), "a loaded state can be saved");
        const auto saved = kvx512sim::ReadStateFile(againPath);
        fuzzcheck::Require(saved.has_value() && saved->fontData == state->fontData, "a saved state reads back");
    }
    return 0;
}
