// The identification reply: whatever the block holds, the parser reads no
// byte past the text its length byte announces (the rest of the block is
// poisoned while it parses), and what it reports stays within that text.
#include "tests/fuzz/fuzz_check.h"
#include "wire/identification.h"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto block = std::make_unique<wire::Block>();
    std::memcpy(block->data(), data, std::min(size, block->size()));
    // The text ends just before n + 2; the reader may look at bytes up to
    // there, and at the four bytes before the text in any case.
    const size_t end = std::clamp<size_t>(size_t{(*block)[2]} + 2, 4, block->size());
    ASAN_POISON_MEMORY_REGION(block->data() + end, block->size() - end);
    const wire::Identification parsed = wire::ParseIdentification(*block);
    ASAN_UNPOISON_MEMORY_REGION(block->data() + end, block->size() - end);

    fuzzcheck::Require(parsed.identityText.size() <= 224, "the identity text is at most 224 bytes");
    fuzzcheck::Require(parsed.recognised || (parsed.identityText.empty() && !parsed.hasIdentityWord),
                       "an unrecognised reply reports nothing more");
    fuzzcheck::Require(parsed.hasIdentityWord || parsed.version == 0, "a version needs an identity word");
    fuzzcheck::Require(!parsed.bootCode || parsed.identityText.starts_with("BOOT"), "boot code says BOOT");
    if (!parsed.identityText.empty()) {
        const char* text = reinterpret_cast<const char*>(block->data());
        fuzzcheck::Require(std::equal(parsed.identityText.rbegin(), parsed.identityText.rend(),
                                      std::make_reverse_iterator(text + end)),
                           "the identity text is the tail of the reply's text");
    }
    return 0;
}
