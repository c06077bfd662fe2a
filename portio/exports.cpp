// The dll_fn_* exports: each checks its C arguments, calls the session and
// returns the result's code.
#include "platform/window/window_messages.h"
#include "portio.h"
#include "portio/protocol_session.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

using portio::Code;
using portio::Result;
using portio::Session;

namespace {

// Where the version text, an empty text and the model go in the caller's
// buffer, as manager programs show them.
constexpr size_t EmptyTextOffset = 21;
constexpr size_t ModelOffset = 29;
constexpr char ModelName[] = "QRM-284";
// The version text is cut here so that nothing lands past byte 36: the only
// caller's buffer holds 42 bytes, and the model name must stay readable.
constexpr size_t MaxShownVersion = EmptyTextOffset - 1;

void ShowVersion(char* text, const std::string& version) {
    // The text as a C string: it ends at its first NUL.
    const size_t length = std::min(std::strlen(version.c_str()), MaxShownVersion);
    std::memcpy(text, version.data(), length);
    text[length] = '\0';
    text[EmptyTextOffset] = '\0';
    std::memcpy(text + ModelOffset, ModelName, sizeof ModelName);
}

// The font download knows one failure.
int OkOrFailed(Result result) { return Code(result == Result::Ok ? Result::Ok : Result::Failed); }

} // namespace

extern "C" {

PORTIO_API int dll_fn_FindDeivce(void) {
    return Code(Session().IsPlayerPresent() ? Result::Ok : Result::NotPresent);
}

PORTIO_API void dll_fn_SetTimeout(int readTimeoutMs, int writeTimeoutMs) {
    Session().SetTimeouts(readTimeoutMs, writeTimeoutMs);
}

PORTIO_API int dll_fn_get_player_status(void) { return Code(Session().CheckStatus()); }

PORTIO_API int dll_fn_IsDockDeivce(void) { return Code(Session().CheckStatus()); }

PORTIO_API int dll_fn_get_player_version(char* text) {
    if (text == nullptr) {
        return Code(Result::Invalid);
    }
    const auto identification = Session().QueryVersion();
    if (!identification) {
        return Code(Result::Invalid);
    }
    ShowVersion(text, identification->identityText);
    return Code(Result::Ok);
}

PORTIO_API int dll_fn_Cancel(void) { return Code(Session().Cancel()); }

PORTIO_API int dll_fn_refresh_device(StorageImage* image, int storage) {
    if (image == nullptr) {
        return Code(Result::Invalid);
    }
    return Code(Session().ReadListing(*image, storage));
}

PORTIO_API int dll_fn_Open_Writefile(FileRecord record, int storage) {
    return Code(Session().OpenFileWrite(record, storage));
}

PORTIO_API int dll_fn_Write_file(const void* data, uint32_t size) {
    if (data == nullptr || size == 0) {
        return Code(Result::Ok);
    }
    return Code(Session().WriteData(static_cast<const uint8_t*>(data), size));
}

PORTIO_API int dll_fn_Close_Writefile(void) {
    Session().CloseDataPhase();
    return Code(Result::Ok);
}

// One entry point under both names.
PORTIO_API int dll_fn_Close_Readfile(void) __attribute__((alias("dll_fn_Close_Writefile")));

PORTIO_API int dll_fn_Open_Readfile(FileRecord /*record*/, int storage, int position) {
    return Code(Session().OpenFileRead(storage, position));
}

PORTIO_API int dll_fn_Read_file(void* buffer, uint32_t size) {
    if (buffer == nullptr || size == 0) {
        return Code(Result::NoReply);
    }
    return Code(Session().ReadData(static_cast<uint8_t*>(buffer), size));
}

PORTIO_API int dll_fn_delete_file(int position, int storage) { return Code(Session().DeleteFile(storage, position)); }

PORTIO_API int dll_fn_Replace_file(int first, int second, int storage) {
    return Code(Session().SwapFiles(storage, first, second));
}

PORTIO_API int dll_fn_CreateDirectory(int storage, const char* name) {
    if (name == nullptr) {
        // Firmware without folders ignores the call, whatever its arguments.
        return Code(Session().FoldersSupported() ? Result::Failed : Result::Ok);
    }
    return Code(Session().CreateFolder(storage, name));
}

PORTIO_API int dll_fn_SetCurrentDirectory(int storage, int folder) {
    return Code(Session().SetCurrentFolder(storage, folder));
}

PORTIO_API int dll_fn_RemoveDirectory(int storage, int folder) { return Code(Session().RemoveFolder(storage, folder)); }

PORTIO_API int dll_fn_GetCurrentDirectory(int storage, char* text, int size) {
    if (text == nullptr || size < 1) {
        return Code(Result::Failed);
    }
    return Code(Session().GetFolderPath(storage, std::span<char>(text, static_cast<size_t>(size))));
}

PORTIO_API int dll_fn_format_device(int storage, PORTIO_HWND window, int message, int lowLevel) {
    const auto notify = [&](portio::FormatStage stage, int value) {
        platform::SendMessage(window, static_cast<platform::UINT>(message), static_cast<platform::WPARAM>(stage),
                              value);
    };
    return Code(Session().Format(storage, lowLevel != 0, notify));
}

PORTIO_API int dll_fn_DownloadFont(const char* name, uint32_t size) {
    if (name == nullptr) {
        return Code(Result::Failed);
    }
    return OkOrFailed(Session().StartFontDownload(name, size));
}

} // extern "C"
