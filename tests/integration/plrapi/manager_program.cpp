// A manager program as others write one: it knows plrapi.h and the two
// libraries, nothing else of this project.
#include <plrapi.h>

#include <cstdio>
#include <cstring>

namespace {

// A file on the PC, described to the library through its own getters.
class PcFile : public CPDFileInfo {
public:
    char* GetFileName() override { return name; }
    char* GetFileExt() override { return extension; }
    unsigned long GetAttribMark() override { return 0x20; }
    unsigned long GetFileSize() override { return 1234; }

private:
    char name[8] = "Track";
    char extension[4] = "mp3";
};

int Failed(CDeviceAPI* api, const char* step) {
    std::fprintf(stderr, "manager: %s failed (last error %ld)\n", step, api != nullptr ? api->PlrGetLastError() : -1L);
    return 1;
}

} // namespace

int main() {
    if (fnPlrapi() != 42 || nPlrapi != 0) {
        return Failed(nullptr, "the marker exports");
    }
    CDeviceAPI* api = CDeviceAPI::OpenDevice();
    if (api == nullptr) {
        return Failed(nullptr, "OpenDevice");
    }
    if (api->PlrGetLastError() != 0) {
        return Failed(api, "a fresh last error");
    }
    CDeviceInfo* device = nullptr;
    if (api->PlrGetDeviceInfo(device) != 1 || device == nullptr) {
        return Failed(api, "PlrGetDeviceInfo");
    }
    std::printf("version %s model %s\n", device->GetDeviceVersion(), device->GetPlayerName());
    CStorageInfo* storage = nullptr;
    if (api->PlrGetStorageInfo(0, storage) != 1 || storage == nullptr) {
        return Failed(api, "PlrGetStorageInfo");
    }
    std::printf("capacity %lu block %lu\n", storage->GetPDTotalSpace(), storage->GetMultiBlockSize());
    if (api->PlrCreateDirectory(0, "Manager", 0) != 1 || api->PlrSetCurrentDirectory(0, "Manager") != 1) {
        return Failed(api, "making and entering a folder");
    }
    char path[64] = {};
    if (api->PlrGetCurrentDirectory(0, path, sizeof path) != 1) {
        return Failed(api, "PlrGetCurrentDirectory");
    }
    std::printf("path %s entries", path);
    CPDFileInfo file;
    for (long i = 0; i < api->PlrGetFileCount(0); ++i) {
        if (api->PlrGetFIleInfo(0, static_cast<int>(i), &file) != 1) {
            return Failed(api, "PlrGetFIleInfo");
        }
        std::printf(" %s", file.GetFileName());
    }
    std::printf("\n");
    if (api->PlrSetCurrentDirectory(0, "..") != 1 || api->PlrRemoveDirectory(0, "Manager") != 1) {
        return Failed(api, "leaving and removing the folder");
    }
    // The client's class is a CPDFileInfo; a copy of the library's object
    // reports the current record too.
    PcFile pc;
    CPDFileInfo* described = &pc;
    CPDFileInfo copy(file);
    if (std::strcmp(described->GetFileName(), "Track") != 0 || dynamic_cast<PcFile*>(described) != &pc ||
        std::strcmp(copy.GetFileName(), "..") != 0) {
        return Failed(api, "a derived CPDFileInfo");
    }
    api->CloseDevice();
    if (api->PlrIsDocked() != 0 || api->PlrGetLastError() != 1) {
        return Failed(api, "closing");
    }
    delete api;
    std::printf("manager: done\n");
    return 0;
}
