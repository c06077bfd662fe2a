// The ASF header walk on any first bytes of a file: no read outside them,
// and each text fits its 260-byte field with its terminator.
#include "plrapi/asf_title.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto title = plrapi::ReadAsfTitle(data, size);
    if (title) {
        fuzzcheck::Require(title->title.size() < plrapi::AsfTextField, "the title fits its field");
        fuzzcheck::Require(title->author.size() < plrapi::AsfTextField, "the author fits its field");
        // A UTF-16 unit becomes at most three bytes in the code page.
        fuzzcheck::Require(2 * (title->title.size() + title->author.size()) <= 3 * size,
                           "the texts come from the input");
    }
    return 0;
}
