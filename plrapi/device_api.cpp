// The API object: its life, opening and closing, and the last error.
#include "platform/system/shared_memory.h"
#include "plrapi.h"
#include "plrapi/process_state.h"

#include <new>

using plrapi::Process;

namespace {

constexpr char SectionName[] = "Plr_MICOMRunstatus";
constexpr size_t SectionSize = 16;

} // namespace

CDeviceAPI::CDeviceAPI() {
    // The shared objects start empty with the process. An object made while
    // another exists leaves them alone: dropping them would lose the cache
    // and leave the open API without one.
    Process().sectionOk = platform::OpenNamedSection(SectionName, SectionSize);
}

CDeviceAPI::~CDeviceAPI() {
    auto& process = Process();
    delete process.state;
    process.state = nullptr;
    delete process.deviceInfo;
    process.deviceInfo = nullptr;
    delete process.storageInfo;
    process.storageInfo = nullptr;
    process.instance = nullptr;
    process.open = false;
}

CDeviceAPI& CDeviceAPI::operator=(const CDeviceAPI& /*other*/) { return *this; }

CDeviceAPI* CDeviceAPI::OpenDevice() {
    auto& process = Process();
    process.open = false;
    if (dll_fn_FindDeivce() != 0) {
        plrapi::Fail(plrapi::LastError::Unavailable);
        return nullptr;
    }
    if (process.instance == nullptr) {
        process.instance = new (std::nothrow) CDeviceAPI;
        if (process.instance == nullptr) {
            return nullptr;
        }
    }
    if (process.sectionOk) {
        if (process.state == nullptr) {
            process.state = new (std::nothrow) plrapi::DeviceState();
        }
        process.open = process.state != nullptr;
    }
    return process.instance;
}

long CDeviceAPI::CloseDevice() {
    Process().open = false;
    return 1;
}

long CDeviceAPI::PlrGetLastError() { return Process().lastError; }
