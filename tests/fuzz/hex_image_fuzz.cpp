// The Intel HEX converter on any text: a flat image no larger than its
// limit, and no flat file left behind when it says no.
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/scratch_file.h"
#include "updater/engine/hex_image.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace {

constexpr uint64_t ImageLimit = 64ull << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string hexPath = fuzzcheck::ScratchPath("image.hex");
    static const std::string flatPath = fuzzcheck::ScratchPath("image.bin");
    if (!fuzzcheck::WriteScratch(hexPath, data, size)) {
        return 0;
    }
    // The last byte picks the base, so that records below it are reached too.
    const uint32_t base = size > 0 && (data[size - 1] & 1) != 0 ? 0 : updater::ApplicationBase;
    const bool converted = updater::ConvertHexImage(hexPath, flatPath, base);
    std::error_code error;
    const bool exists = std::filesystem::exists(flatPath, error);
    if (converted) {
        fuzzcheck::Require(exists, "a converted image has its flat file");
        fuzzcheck::Require(std::filesystem::file_size(flatPath, error) <= ImageLimit,
                           "the flat image stays within 64 MiB");
    } else {
        fuzzcheck::Require(!exists, "a refused image leaves no flat file");
    }
    std::filesystem::remove(flatPath, error);
    return 0;
}
