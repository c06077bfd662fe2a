// A small manager program on libplrapi: shows the connected player, uploads a
// file from the PC to its main memory and lists what is there. It reaches the
// player that KVX512_USB names (a real one through libusb by default).
//   qrm284-manager [FILE]
#include <plrapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The file on the PC, described to the library through the getters it reads.
class PcFile : public CPDFileInfo {
public:
    PcFile(const std::string& path, unsigned long size) : size_(size) {
        const std::string leaf = path.substr(path.find_last_of('/') + 1);
        const size_t dot = leaf.find_last_of('.');
        name_ = leaf.substr(0, dot);
        extension_ = dot == std::string::npos ? "" : leaf.substr(dot + 1);
    }
    char* GetFileName() override { return name_.data(); }
    char* GetFileExt() override { return extension_.data(); }
    unsigned long GetAttribMark() override { return 0x20; }   // an ordinary file
    unsigned long GetFileSize() override { return size_; }

private:
    std::string name_;
    std::string extension_;
    unsigned long size_;
};

bool Upload(CDeviceAPI& api, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "Cannot read %s.\n", path.c_str());
        return false;
    }
    std::vector<unsigned char> data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    PcFile file(path, static_cast<unsigned long>(data.size()));
    if (api.PlrWriteFileStart(0) != 1 || api.PlrWriteFileInfo(&file) != 1) {
        return false;
    }
    // Every block but the last a whole multiple of 32 KiB.
    constexpr size_t Block = 32768;
    for (size_t at = 0; at < data.size(); at += Block) {
        const size_t piece = std::min(Block, data.size() - at);
        if (api.PlrWriteFileBlock(data.data() + at, static_cast<long>(piece)) != 1) {
            api.PlrCloseFile();
            return false;
        }
    }
    return api.PlrCloseFile() == 1;   // also lists the storage again
}

int Run(CDeviceAPI& api, const char* upload) {
    CDeviceInfo* device = nullptr;
    CStorageInfo* storage = nullptr;
    if (api.PlrGetDeviceInfo(device) != 1 || device == nullptr || api.PlrGetStorageInfo(0, storage) != 1 ||
        storage == nullptr) {
        std::fprintf(stderr, "The player cannot be read (error %ld).\n", api.PlrGetLastError());
        return 1;
    }
    std::printf("Player: %s, firmware %s\n", device->GetPlayerName(), device->GetDeviceVersion());
    if (upload != nullptr && !Upload(api, upload)) {
        std::fprintf(stderr, "Uploading %s failed (error %ld).\n", upload, api.PlrGetLastError());
        return 1;
    }
    std::printf("Main memory: %lu of %lu bytes free\n", storage->GetPDFreeSpace(), storage->GetPDTotalSpace());
    for (long i = 0; i < api.PlrGetFileCount(0); ++i) {
        api.PlrGetFIleInfo(0, static_cast<int>(i), nullptr);   // entry i becomes the current record
        CPDFileInfo entry;
        if ((entry.GetAttribMark() & 0x10) != 0) {
            std::printf("  <folder> %s\n", entry.GetFileName());
        } else {
            std::printf("  %8lu %s.%s\n", entry.GetFileSize(), entry.GetFileName(), entry.GetFileExt());
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CDeviceAPI* api = CDeviceAPI::OpenDevice();
    if (api == nullptr) {
        std::fprintf(stderr, "No player is connected.\n");
        return 1;
    }
    const int status = Run(*api, argc > 1 ? argv[1] : nullptr);
    api->CloseDevice();
    delete api;
    return status;
}
