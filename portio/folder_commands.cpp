// Folders: create, make current and remove. They need firmware 1.43 or
// later; older firmware is left alone.
#include "portio/directory_entry.h"
#include "portio/folder_entries.h"
#include "portio/protocol_session.h"
#include "wire/byte_order.h"
#include "wire/reply_view.h"

namespace portio {

namespace {

constexpr uint32_t FolderVersion = 0x14300;

} // namespace

bool ProtocolSession::FoldersSupported() const { return firmwareVersion_ >= FolderVersion; }

Result ProtocolSession::CreateFolder(int storage, const std::string& name) {
    if (!FoldersSupported()) {
        return Result::Ok;
    }
    auto entries = BuildDirEntries(name, true);
    if (!entries) {
        // Refused before the player hears of it.
        return Result::Failed;
    }
    if (!OpenCurrentLink()) {
        return Result::Unreachable;
    }
    (*entries)[entries->size() - EntrySize + ShortEntry::Attribute] = AttributeFolder;
    wire::Block reply{};
    if (const Result sent = Exchange(wire::FormGroupLength, storage, wire::TwoLetterCode('D', 'M'), *entries, reply);
        sent != Result::Ok) {
        return sent;
    }
    return wire::ReplyView(reply).IsAccepted() ? Result::Ok : Result::Failed;
}

Result ProtocolSession::SetCurrentFolder(int storage, int folder) { return FolderNumberCommand(storage, 'C', folder); }

Result ProtocolSession::RemoveFolder(int storage, int folder) { return FolderNumberCommand(storage, 'R', folder); }

Result ProtocolSession::FolderNumberCommand(int storage, char second, int folder) {
    if (!FoldersSupported()) {
        return Result::Ok;
    }
    if (!OpenCurrentLink()) {
        return Result::Unreachable;
    }
    uint8_t payload[2];
    wire::StoreBe16(payload, static_cast<uint16_t>(folder));
    wire::Block reply{};
    if (const Result sent = Exchange(wire::FormGroupWord, storage, wire::TwoLetterCode('D', second), payload, reply);
        sent != Result::Ok) {
        return sent;
    }
    return wire::ReplyView(reply).IsAccepted() ? Result::Ok : Result::Failed;
}

} // namespace portio
