// libportio.so offers exactly its 21 exports and nothing else.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> DefinedDynamicSymbols(const std::string& library) {
    const std::string command = "nm -D --defined-only '" + library + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::vector<std::string> names;
    if (!pipe) {
        return names;
    }
    std::array<char, 512> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), pipe.get()) != nullptr) {
        std::istringstream fields(line.data());
        std::string address, type, name;
        if (fields >> address >> type >> name) {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(ExportTable, ExactlyTheTwentyOneExports) {
    std::vector<std::string> expected{
        "dll_fn_Cancel",          "dll_fn_Close_Readfile",      "dll_fn_Close_Writefile",
        "dll_fn_CreateDirectory", "dll_fn_DownloadFont",        "dll_fn_FindDeivce",
        "dll_fn_GetCurrentDirectory", "dll_fn_IsDockDeivce",    "dll_fn_Open_Readfile",
        "dll_fn_Open_Writefile",  "dll_fn_Read_file",           "dll_fn_RemoveDirectory",
        "dll_fn_Replace_file",    "dll_fn_SetCurrentDirectory", "dll_fn_SetTimeout",
        "dll_fn_Write_file",      "dll_fn_delete_file",         "dll_fn_format_device",
        "dll_fn_get_player_status", "dll_fn_get_player_version", "dll_fn_refresh_device"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(DefinedDynamicSymbols(PORTIO_LIBRARY), expected);
}

} // namespace
