// The storage: listing it into the cache, and the record that shows its figures.
#include "plrapi.h"
#include "plrapi/cached_listing.h"
#include "plrapi/process_state.h"

#include <memory>
#include <new>

using plrapi::LastError;
using plrapi::Process;

namespace {

constexpr unsigned long MultiBlockSize = 32768;

} // namespace

long CDeviceAPI::PlrGetStorageInfo(int storage, CStorageInfo*& info) {
    plrapi::DeviceState* state = plrapi::OpenState();
    if (state == nullptr) {
        return 0;
    }
    state->storageIndex = storage;
    if (dll_fn_FindDeivce() != 0) {
        return plrapi::Fail(LastError::Unavailable);
    }
    // 64 KiB: too much for the stack of every caller's thread.
    std::unique_ptr<StorageImage> image(new (std::nothrow) StorageImage());
    if (image == nullptr || dll_fn_refresh_device(image.get(), storage) != 0) {
        return plrapi::Fail(LastError::ListingFailed);
    }
    const bool whole = image->entryCount <= static_cast<uint32_t>(plrapi::TableRows);
    if (!whole) {
        plrapi::Fail(LastError::TableFull);
    }
    plrapi::CacheListing(*image, *state);
    auto& process = Process();
    if (process.storageInfo == nullptr) {
        process.storageInfo = new (std::nothrow) CStorageInfo;
    }
    info = process.storageInfo;
    return whole ? 1 : 0;
}

CStorageInfo::CStorageInfo() = default;
CStorageInfo::~CStorageInfo() = default;
CStorageInfo& CStorageInfo::operator=(const CStorageInfo& /*other*/) { return *this; }

unsigned long CStorageInfo::GetPDTotalSpace() {
    const auto* state = Process().state;
    return state != nullptr ? state->totalSpace : 0;
}

unsigned long CStorageInfo::GetPDFreeSpace() {
    const auto* state = Process().state;
    return state != nullptr ? state->freeSpace : 0;
}

unsigned long CStorageInfo::GetAttribMask() { return 0; }

unsigned long CStorageInfo::GetMultiBlockSize() {
    const auto* state = Process().state;
    if (state == nullptr) {
        return 0;
    }
    return state->storageIndex == 0 || state->storageIndex == 1 ? MultiBlockSize : 0;
}
