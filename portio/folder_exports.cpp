// Folders: create, make current, remove, and the path of the current one.
// They need firmware 1.43 or later; older firmware is left alone.
#include "portio.h"
#include "platform/text/code_page.h"
#include "portio/byte_order.h"
#include "portio/directory_entry.h"
#include "portio/folder_entries.h"
#include "portio/protocol_state.h"
#include "portio/reply_block.h"
#include "portio/short_name.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace portio;

namespace {

constexpr uint32_t FolderVersion = 0x14300;

bool FoldersSupported() { return FirmwareVersion() >= FolderVersion; }

// Sends a folder command with a folder number and reads its reply.
int FolderNumberCommand(int storage, char second, int folder) {
    if (!FoldersSupported()) {
        return 0;
    }
    if (!OpenCurrentLink()) {
        return 2;
    }
    uint8_t payload[2];
    StoreBe16(payload, static_cast<uint16_t>(folder));
    Block reply{};
    if (const int failed = Exchange(FormGroupWord, storage, TwoLetterCode('D', second), payload, sizeof payload, reply)) {
        return failed;
    }
    return IsReplyOk(reply.data()) ? 0 : -1;
}

} // namespace

extern "C" PORTIO_API int dll_fn_CreateDirectory(int storage, const char* name) {
    if (!FoldersSupported()) {
        return 0;
    }
    if (name == nullptr) {
        return -1;
    }
    auto entries = BuildDirEntries(name, true);
    if (!entries) {
        // Refused before the player hears of it.
        return -1;
    }
    if (!OpenCurrentLink()) {
        return 2;
    }
    (*entries)[entries->size() - EntrySize + ShortEntry::Attribute] = AttributeFolder;
    Block reply{};
    if (const int failed =
            Exchange(FormGroupLength, storage, TwoLetterCode('D', 'M'), entries->data(), entries->size(), reply)) {
        return failed;
    }
    return IsReplyOk(reply.data()) ? 0 : -1;
}

extern "C" PORTIO_API int dll_fn_SetCurrentDirectory(int storage, int folder) {
    return FolderNumberCommand(storage, 'C', folder);
}

extern "C" PORTIO_API int dll_fn_RemoveDirectory(int storage, int folder) {
    return FolderNumberCommand(storage, 'R', folder);
}

extern "C" PORTIO_API int dll_fn_GetCurrentDirectory(int storage, char* text, int size) {
    if (size < 1 || text == nullptr) {
        return -1;
    }
    text[0] = '\0';
    if (!FoldersSupported()) {
        return 0;
    }
    if (!OpenCurrentLink()) {
        return 2;
    }
    Block block{};
    if (const int failed = Exchange(FormGroupWord, storage, TwoLetterCode('D', 'G'), nullptr, 0, block)) {
        return failed;
    }
    if (!IsReplyOk(block.data())) {
        return -1;
    }
    const size_t entryCount = LoadBe16(&block[5]) / EntrySize;
    // Unread entry bytes, refilled block by block as the entries are taken.
    std::vector<uint8_t> unread(block.begin() + 7, block.end());
    size_t position = 0;
    std::string path;
    std::u16string collected;
    for (size_t i = 0; i < entryCount; ++i) {
        if (unread.size() - position < EntrySize) {
            unread.erase(unread.begin(), unread.begin() + static_cast<std::ptrdiff_t>(position));
            position = 0;
            if (!ReadReply(CurrentLink(), block)) {
                return -1;
            }
            unread.insert(unread.end(), block.begin(), block.end());
        }
        const uint8_t* entry = unread.data() + position;
        position += EntrySize;
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
    // The path is cut to the caller's buffer, always terminated.
    const size_t length = std::min(path.size(), static_cast<size_t>(size) - 1);
    std::memcpy(text, path.data(), length);
    text[length] = '\0';
    if (unread.size() == position && !ReadReply(CurrentLink(), block)) {
        CloseCurrentLink();
        return 3;
    }
    if (!ReadReply(CurrentLink(), block)) {
        CloseCurrentLink();
        return 3;
    }
    return IsReplyOk(block.data()) ? 0 : -1;
}
