// "DG": the path of the current folder, sent as the directory entries of
// every folder on the way, over as many blocks as they take.
#include "portio/folder_path.h"

#include "platform/text/code_page.h"
#include "portio/directory_entry.h"
#include "portio/protocol_session.h"
#include "portio/short_name.h"
#include "wire/reply_view.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace portio {

namespace {

// The first reply: the entries' length in bytes (big-endian), then the entries.
constexpr size_t EntryBytesAt = 5;
constexpr size_t EntriesAt = 7;

} // namespace

std::string FolderPathFromEntries(std::span<const uint8_t> entries) {
    std::string path;
    std::u16string collected;
    for (size_t at = 0; entries.size() - at >= EntrySize; at += EntrySize) {
        const uint8_t* entry = entries.data() + at;
        if (IsLongNameEntry(entry)) {
            std::u16string part;
            for (uint16_t value : ReadLongNameChars(entry)) {
                part.push_back(static_cast<char16_t>(value));
            }
            collected.insert(0, part);
            continue;
        }
        if (!path.empty()) {
            path += '\\';
        }
        if (collected.empty()) {
            path += FormatShortName(entry);
        } else {
            const size_t end = std::min(collected.find(u'\0'), collected.size());
            path += platform::WideToMultiByte(collected.data(), end);
        }
        collected.clear();
    }
    return path;
}

Result ProtocolSession::GetFolderPath(int storage, std::span<char> text) {
    text[0] = '\0';
    if (!FoldersSupported()) {
        return Result::Ok;
    }
    if (!OpenCurrentLink()) {
        return Result::Unreachable;
    }
    wire::Block block{};
    if (const Result sent = Exchange(wire::FormGroupWord, storage, wire::TwoLetterCode('D', 'G'), {}, block);
        sent != Result::Ok) {
        return sent;
    }
    const wire::ReplyView reply(block);
    if (!reply.IsAccepted()) {
        return Result::Failed;
    }
    const size_t entryCount = reply.WordAt(EntryBytesAt) / EntrySize;
    // The entries begin in the reply and go on in whole blocks.
    const size_t entryBytes = entryCount * EntrySize;
    std::vector<uint8_t> received(block.begin() + EntriesAt, block.end());
    while (received.size() < entryBytes) {
        if (!link_.ReadReply(current_, block)) {
            return Result::Failed;
        }
        received.insert(received.end(), block.begin(), block.end());
    }
    const std::string path = FolderPathFromEntries(std::span<const uint8_t>(received).first(entryBytes));
    // The path is cut to the caller's buffer, always terminated.
    const size_t length = std::min(path.size(), text.size() - 1);
    std::memcpy(text.data(), path.data(), length);
    text[length] = '\0';
    // Entries that end exactly with a block are followed by one more block;
    // then comes the closing reply.
    if (received.size() == entryBytes && !link_.ReadReply(current_, block)) {
        CloseCurrentLink();
        return Result::NoReply;
    }
    if (!link_.ReadReply(current_, block)) {
        CloseCurrentLink();
        return Result::NoReply;
    }
    return reply.IsAccepted() ? Result::Ok : Result::Failed;
}

} // namespace portio
