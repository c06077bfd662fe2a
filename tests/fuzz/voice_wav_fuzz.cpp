// Voice WAV files: the repacker of any WAV (qrm284) and the 48-byte header
// check (plrapi). What the repacker accepts is a header the check accepts,
// sized for the data that follows; a header the check accepts is the one
// the header builder makes, size fields aside.
#include "plrapi/voice_wav_header.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/qrm284/voice_wav.h"
#include "wire/byte_order.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void CheckRepacked(const std::vector<uint8_t>& input) {
    const qrm284::VoiceCheck check = qrm284::PackVoiceWav(input);
    if (!check.packed) {
        return;
    }
    const std::vector<uint8_t>& packed = *check.packed;
    fuzzcheck::Require(check.isWav && check.problem.empty(), "an accepted file is a WAV without a problem");
    fuzzcheck::Require(packed.size() >= plrapi::VoiceWavHeaderSize, "the packed form has its header");
    // The header grows to 48 bytes from at least 44 around the data; other chunks are dropped.
    fuzzcheck::Require(packed.size() <= input.size() + 4, "the packed form is no larger than the data it came from");
    fuzzcheck::Require(plrapi::IsVoiceWavHeader(packed.data()), "the packed header is a voice header");
    const uint32_t dataSize = wire::LoadLe32(packed.data() + plrapi::wav::DataSize);
    fuzzcheck::Require(dataSize == packed.size() - plrapi::VoiceWavHeaderSize, "the data size counts the data");
    fuzzcheck::Require(wire::LoadLe32(packed.data() + plrapi::wav::RiffSize) == packed.size() - 8,
                       "the RIFF size counts the file");
}

void CheckHeader(const uint8_t* data, size_t size) {
    if (size < plrapi::VoiceWavHeaderSize || !plrapi::IsVoiceWavHeader(data)) {
        return;
    }
    // Same fields as a built header, apart from the sizes and the byte rate the check leaves alone.
    auto built = plrapi::BuildVoiceWavHeader(0);
    std::vector<uint8_t> seen(data, data + plrapi::VoiceWavHeaderSize);
    for (const size_t ignored : {plrapi::wav::RiffSize, plrapi::wav::ByteRate, plrapi::wav::DataSize}) {
        std::memset(built.data() + ignored, 0, 4);
        std::memset(seen.data() + ignored, 0, 4);
    }
    std::memset(built.data() + plrapi::wav::ExtraSize, 0, 2);
    std::memset(seen.data() + plrapi::wav::ExtraSize, 0, 2);
    fuzzcheck::Require(std::memcmp(built.data(), seen.data(), seen.size()) == 0,
                       "an accepted header is a built one, sizes aside");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckRepacked(std::vector<uint8_t>(data, data + size));
    CheckHeader(data, size);
    return 0;
}
