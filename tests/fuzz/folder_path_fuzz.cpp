// The "DG" entries turned into the current folder's path: any run of
// entries gives a path, each entry adding a bounded number of bytes. Read as
// a folder name, the input goes through the entries "DM" would carry for it
// and must come back unchanged.
#include "platform/text/code_page.h"
#include "portio/folder_entries.h"
#include "portio/folder_path.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>
#include <span>
#include <string>

namespace {

constexpr size_t EntrySize = 32;
// A short entry gives at most "NAME8888.EXT" and a separator; a long-name
// part 13 characters of at most 4 bytes each in the code page.
constexpr size_t MaxBytesPerEntry = 13 * 4 + 1;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = portio::FolderPathFromEntries(std::span<const uint8_t>(data, size));
    fuzzcheck::Require(path.size() <= size / EntrySize * MaxBytesPerEntry, "each entry adds a bounded number of bytes");
    fuzzcheck::Require(size >= EntrySize || path.empty(), "no whole entry, no path");

    // Names the code page can hold, without the characters that end or split a path.
    const std::string name(reinterpret_cast<const char*>(data), size);
    if (name.empty() || name.find_first_of(std::string("/:\\\0", 4)) != std::string::npos) {
        return 0;
    }
    const std::u16string wide = platform::MultiByteToWide(name.data(), name.size());
    if (platform::WideToMultiByte(wide.data(), wide.size()) != name) {
        return 0;
    }
    if (const auto entries = portio::BuildDirEntries(name, true)) {
        fuzzcheck::Require(portio::FolderPathFromEntries(*entries) == name, "a folder's entries give back its name");
    }
    return 0;
}
