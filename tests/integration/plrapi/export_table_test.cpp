// libplrapi.so offers exactly the classes of plrapi.h, fnPlrapi and nPlrapi,
// and reaches the player only through libportio.so's exports.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// The names `nm` prints for the library's dynamic symbols, one per line.
std::set<std::string> Symbols(const std::string& options) {
    const std::string command = "nm -D " + options + " '" PLRAPI_LIBRARY "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::set<std::string> names;
    if (!pipe) {
        return names;
    }
    std::array<char, 512> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), pipe.get()) != nullptr) {
        std::string text(line.data());
        text.erase(text.find_last_not_of('\n') + 1);
        // "ADDRESS TYPE NAME", or "TYPE NAME" after blanks for an undefined
        // symbol; a demangled name may hold blanks itself.
        const size_t first = text.find_first_not_of(' ');
        const size_t afterFirst = text.find(' ', first);
        if (first == std::string::npos || afterFirst == std::string::npos) {
            continue;
        }
        const size_t typeEnd = afterFirst - first == 1 ? afterFirst : text.find(' ', afterFirst + 1);
        if (typeEnd != std::string::npos) {
            names.insert(text.substr(typeEnd + 1));
        }
    }
    return names;
}

TEST(PlrapiExportTable, ExactlyTheDeviceApi) {
    // Members by class, then the rest.
    const std::map<std::string, std::vector<std::string>> members{
        {"CDeviceAPI", {"CDeviceAPI()", "~CDeviceAPI()", "operator=(CDeviceAPI const&)", "OpenDevice()",
                        "CloseDevice()", "PlrGetLastError()", "PlrGetDeviceInfo(CDeviceInfo*&)", "PlrIsDocked()",
                        "PlrGetStorageCount()", "PlrGetStorageInfo(int, CStorageInfo*&)", "PlrGetFileCount(int)",
                        "PlrGetFolderCount()", "PlrGetFIleInfo(int, int, CPDFileInfo*)", "PlrDeleteByindex(int, int)",
                        "PlrSortByIndex(int, int)", "PlrCreateDirectory(int, char const*, unsigned long)",
                        "PlrSetCurrentDirectory(int, char const*)", "PlrRemoveDirectory(int, char const*)",
                        "PlrGetCurrentDirectory(int, char*, int)", "PlrWriteFileStart(int)",
                        "PlrWriteFileInfo(CPDFileInfo*)", "PlrWriteFileBlock(unsigned char*, long)", "PlrCloseFile()",
                        "OpenPDFile(char*, int, int)",
                        "WriteBuffer(unsigned long, unsigned char*)", "ClosePDFile()", "PlrReadFileStart(int)",
                        "PlrReadFileInfo(CPDFileInfo*)", "PlrReadFileBlock(unsigned char*, long*, long)",
                        "PlrCloseReadFile()", "PlrFormat(int)",
                        "PlrFormat(int, PlatformWindow*, int, int)",
                        "PlrFormat(int, int (*)(unsigned long, unsigned long))", "PlrFormat(long, long, long)",
                        "PlrBootFormat(int)", "PlrFirmwareStart(long, int)", "PlrFirmwareData(unsigned char*)",
                        "PlrFirmwareDone()", "PlrDownloadFont(char const*, unsigned long)",
                        "PlrWriteFontData(unsigned char*, unsigned long)", "PlrWriteFontClose()"}},
        {"CDeviceInfo", {"CDeviceInfo()", "~CDeviceInfo()", "operator=(CDeviceInfo const&)", "GetDeviceVersion()",
                         "GetPlayerName()", "GetPlayerId()"}},
        {"CStorageInfo", {"CStorageInfo()", "~CStorageInfo()", "operator=(CStorageInfo const&)", "GetPDTotalSpace()",
                          "GetPDFreeSpace()", "GetAttribMask()", "GetMultiBlockSize()"}},
        {"CPDFileInfo", {"CPDFileInfo()", "CPDFileInfo(CPDFileInfo const&)", "~CPDFileInfo()",
                         "operator=(CPDFileInfo const&)", "GetFileName()", "GetFileExt()", "GetAttribMark()",
                         "GetFileSize()"}},
        {"CPlrapi", {"CPlrapi()", "operator=(CPlrapi const&)"}},
    };
    std::set<std::string> expected{"vtable for CPDFileInfo", "typeinfo for CPDFileInfo",
                                   "typeinfo name for CPDFileInfo", "fnPlrapi()", "nPlrapi"};
    for (const auto& [type, names] : members) {
        for (const auto& name : names) {
            expected.insert(type + "::" + name);
        }
    }
    EXPECT_EQ(Symbols("-C --defined-only"), expected);
}

TEST(PlrapiExportTable, ThePlayerOnlyThroughPortioExports) {
    const auto undefined = Symbols("--undefined-only");
    EXPECT_TRUE(undefined.contains("dll_fn_refresh_device"));
    for (const auto& name : undefined) {
        for (const char* inside : {"portio", "usblink", "wire"}) {
            EXPECT_EQ(name.find(inside), std::string::npos) << name;
        }
    }
}

} // namespace
