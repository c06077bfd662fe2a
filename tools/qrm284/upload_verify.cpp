#include "tools/qrm284/upload_verify.h"

#include "tools/qrm284/player_file_reader.h"
#include "tools/qrm284/transfer_cancel.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qrm284 {

namespace {

constexpr uint64_t VoiceHeaderBytes = 48;

} // namespace

VerifyOutcome VerifyUpload(DeviceSession& session, const UploadSource& source) {
    // The read-back takes as many bytes as were sent: a copy the player keeps
    // longer or shorter shows in its listed size. (Voice recordings are
    // listed in the player's block form, not as sent.)
    if (source.voice.empty()) {
        const std::vector<ListedEntry> listing = session.Listing();
        const std::string longName = source.extension.empty() ? source.name : source.name + "." + source.extension;
        const ListedEntry* stored = DeviceSession::FindLongName(listing, longName);
        if (stored != nullptr && stored->size != source.size) {
            return {VerifyOutcome::Result::Differs, std::min<uint64_t>(stored->size, source.size)};
        }
    }
    PlayerFileReader reader(session.Api());
    if (!reader.Open(session.Storage(), source.name, source.extension, source.size)) {
        return {VerifyOutcome::Result::Unreadable};
    }
    UploadReader sent(source);
    std::vector<uint8_t> expected;
    const uint64_t skipped = source.voice.empty() ? 0 : VoiceHeaderBytes;
    uint64_t compared = 0;
    for (;;) {
        if (CancelRequested()) {
            return {VerifyOutcome::Result::Cancelled};
        }
        const std::optional<size_t> length = reader.Next();
        if (!length) {
            return {VerifyOutcome::Result::Unreadable};
        }
        expected.resize(std::max<size_t>(*length, 1));
        const size_t have = sent.Read(expected.data(), *length);
        // Bytes before `from` in this piece are the voice header: not compared.
        const size_t from = static_cast<size_t>(std::min<uint64_t>(have, compared < skipped ? skipped - compared : 0));
        const uint8_t* mine =
            std::mismatch(expected.data() + from, expected.data() + have, reader.Data() + from).first;
        if (mine != expected.data() + have || have < *length) {
            return {VerifyOutcome::Result::Differs, compared + static_cast<uint64_t>(mine - expected.data())};
        }
        compared += *length;
        if (*length == 0) {
            break;
        }
    }
    uint8_t more = 0;
    if (sent.Read(&more, 1) != 0) {
        return {VerifyOutcome::Result::Differs, compared};   // the player's copy is shorter
    }
    return {VerifyOutcome::Result::Same};
}

} // namespace qrm284
