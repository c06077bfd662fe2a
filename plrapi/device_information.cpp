// The player's identification and presence, and the record that shows them.
#include "plrapi.h"
#include "plrapi/process_state.h"
#include "plrapi/record_fields.h"

#include <new>

using plrapi::LastError;
using plrapi::Process;

namespace {

// Where portio puts the texts in the identification buffer, and how many
// bytes of each are taken.
constexpr size_t ReplySize = 42;
constexpr size_t VersionAt = 0, VersionBytes = 20;
constexpr size_t PlayerIdAt = 21, PlayerIdBytes = 8;
constexpr size_t PlayerNameAt = 29, PlayerNameBytes = 12;
// Each device text keeps at least two NULs.
constexpr size_t Terminators = 2;

char emptyText[1] = "";

template <size_t N>
void CopyDeviceText(char (&field)[N], const char* reply, size_t at, size_t bytes) {
    static_assert(N >= Terminators + 1);
    plrapi::CopyText(field, N, reply + at, bytes, Terminators);
}

} // namespace

long CDeviceAPI::PlrGetDeviceInfo(CDeviceInfo*& info) {
    auto& process = Process();
    char reply[ReplySize] = {};
    if (!process.open || process.state == nullptr || dll_fn_FindDeivce() != 0 ||
        dll_fn_get_player_version(reply) != 0) {
        return plrapi::Fail(LastError::Unavailable);
    }
    if (process.deviceInfo == nullptr) {
        process.deviceInfo = new (std::nothrow) CDeviceInfo;
    }
    info = process.deviceInfo;
    plrapi::DeviceState& state = *process.state;
    CopyDeviceText(state.version, reply, VersionAt, VersionBytes);
    CopyDeviceText(state.playerId, reply, PlayerIdAt, PlayerIdBytes);
    CopyDeviceText(state.playerName, reply, PlayerNameAt, PlayerNameBytes);
    return 1;
}

long CDeviceAPI::PlrIsDocked() {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    if (dll_fn_FindDeivce() != 0 || dll_fn_IsDockDeivce() != 0) {
        return plrapi::Fail(LastError::Unavailable);
    }
    return 1;
}

long CDeviceAPI::PlrGetStorageCount() {
    if (plrapi::OpenState() == nullptr) {
        return 0;
    }
    if (dll_fn_FindDeivce() != 0 || dll_fn_get_player_status() != 0) {
        return plrapi::Fail(LastError::Unavailable);
    }
    return 1;
}

CDeviceInfo::CDeviceInfo() = default;
CDeviceInfo::~CDeviceInfo() = default;
CDeviceInfo& CDeviceInfo::operator=(const CDeviceInfo& /*other*/) { return *this; }

char* CDeviceInfo::GetDeviceVersion() {
    auto* state = Process().state;
    return state != nullptr ? state->version : emptyText;
}

char* CDeviceInfo::GetPlayerName() {
    auto* state = Process().state;
    return state != nullptr ? state->playerName : emptyText;
}

char* CDeviceInfo::GetPlayerId() {
    auto* state = Process().state;
    return state != nullptr ? state->playerId : emptyText;
}
