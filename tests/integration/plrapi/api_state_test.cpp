// The API's states and the last error each operation leaves.
#include "platform/system/shared_memory.h"
#include "tests/integration/plrapi/plrapi_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <sys/stat.h>

namespace {

using Operation = std::function<long(CDeviceAPI&)>;

struct NamedOperation {
    const char* name;
    Operation run;
    friend void PrintTo(const NamedOperation& c, std::ostream* out) { *out << c.name; }
};

int NeverCalled(unsigned long, unsigned long) {
    ADD_FAILURE() << "the progress function was called";
    return 0;
}

unsigned char someBytes[512] = {};
char someName[] = "A.MP3";

long DeviceInfo(CDeviceAPI& a) {
    CDeviceInfo* info = nullptr;
    return a.PlrGetDeviceInfo(info);
}
long StorageInfo(CDeviceAPI& a) {
    CStorageInfo* info = nullptr;
    return a.PlrGetStorageInfo(0, info);
}

// The operations that talk to the player, and those that only check that
// the API is open.
const NamedOperation talkers[] = {
    {"GetDeviceInfo", DeviceInfo},
    {"IsDocked", [](CDeviceAPI& a) { return a.PlrIsDocked(); }},
    {"GetStorageCount", [](CDeviceAPI& a) { return a.PlrGetStorageCount(); }},
    {"GetStorageInfo", StorageInfo},
    {"GetFIleInfo", [](CDeviceAPI& a) { return a.PlrGetFIleInfo(0, 0, nullptr); }},
    {"DeleteByindex", [](CDeviceAPI& a) { return a.PlrDeleteByindex(0, 0); }},
    {"SortByIndex", [](CDeviceAPI& a) { return a.PlrSortByIndex(1, 0); }},
    {"CreateDirectory", [](CDeviceAPI& a) { return a.PlrCreateDirectory(0, "New", 0); }},
    {"SetCurrentDirectory", [](CDeviceAPI& a) { return a.PlrSetCurrentDirectory(0, ""); }},
    {"RemoveDirectory", [](CDeviceAPI& a) { return a.PlrRemoveDirectory(0, "Old"); }},
    {"GetCurrentDirectory", [](CDeviceAPI& a) { return a.PlrGetCurrentDirectory(0, someName, sizeof someName); }},
    {"Format", [](CDeviceAPI& a) { return a.PlrFormat(0); }},
    {"FormatWithWindow", [](CDeviceAPI& a) { return a.PlrFormat(0, nullptr, 0x8123, 0); }},
    {"DownloadFont", [](CDeviceAPI& a) { return a.PlrDownloadFont("FONT", 512); }},
    {"WriteFontData", [](CDeviceAPI& a) { return a.PlrWriteFontData(someBytes, sizeof someBytes); }},
    {"WriteFontClose", [](CDeviceAPI& a) { return a.PlrWriteFontClose(); }},
};
const NamedOperation inert[] = {
    {"FormatWithFunction", [](CDeviceAPI& a) { return a.PlrFormat(0, NeverCalled); }},
    {"FormatThreeLongs", [](CDeviceAPI& a) { return a.PlrFormat(0L, 0L, 0L); }},
    {"BootFormat", [](CDeviceAPI& a) { return a.PlrBootFormat(0); }},
    {"FirmwareStart", [](CDeviceAPI& a) { return a.PlrFirmwareStart(1024, 0); }},
    {"FirmwareData", [](CDeviceAPI& a) { return a.PlrFirmwareData(someBytes); }},
    {"FirmwareDone", [](CDeviceAPI& a) { return a.PlrFirmwareDone(); }},
    {"OpenPDFile", [](CDeviceAPI& a) { return a.OpenPDFile(someName, 0, 0); }},
    {"WriteBuffer", [](CDeviceAPI& a) { return a.WriteBuffer(sizeof someBytes, someBytes); }},
    {"ClosePDFile", [](CDeviceAPI& a) { return a.ClosePDFile(); }},
};

class ClosedApi : public testsupport::PlrapiSessionTest, public ::testing::WithParamInterface<NamedOperation> {};

TEST_P(ClosedApi, FailsWithOneSendsNothingAndKeepsTheCache) {
    ASSERT_TRUE(Player().PutFile(0, "/Song.mp3", Pattern(100)));
    ASSERT_EQ(List(), 1);
    MakeLastError(14);
    Player().ClearTranscript();
    EXPECT_EQ(api->CloseDevice(), 1);
    EXPECT_EQ(GetParam().run(*api), 0);
    EXPECT_EQ(api->PlrGetLastError(), 1);
    EXPECT_TRUE(NothingSent()) << Player().GetTranscript().Describe();
    EXPECT_EQ(api->PlrGetFileCount(0), 1) << "the counters answer while closed";
    ASSERT_EQ(CDeviceAPI::OpenDevice(), api);
    EXPECT_EQ(Cached(0).name, "Song");
}

INSTANTIATE_TEST_SUITE_P(Talkers, ClosedApi, ::testing::ValuesIn(talkers), testsupport::CaseName());
INSTANTIATE_TEST_SUITE_P(Inert, ClosedApi, ::testing::ValuesIn(inert), testsupport::CaseName());

class InertMember : public ClosedApi {};

TEST_P(InertMember, SucceedsOnAnOpenApiAndSendsNothing) {
    MakeLastError(13);
    EXPECT_EQ(GetParam().run(*api), 1);
    EXPECT_EQ(api->PlrGetLastError(), 13);
    EXPECT_TRUE(NothingSent());
}

INSTANTIATE_TEST_SUITE_P(Members, InertMember, ::testing::ValuesIn(inert), testsupport::CaseName());

// A failure: its result, its last error and whether it reached the player.
// Each starts from last error 14 (13 where 14 is expected), so a failure that
// records no code shows the earlier one.
using Arrangement = std::function<void(kvx512sim::Player&)>;

struct FailureCase {
    const char* name;
    Arrangement disturb;   // just before the operation
    Operation run;
    long code;   // 0: the earlier code stays
    bool sendsNothing;
    long result = 0;
    friend void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }
};

class Failures : public testsupport::PlrapiSessionTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failures, LeaveTheirResultAndCode) {
    const auto& c = GetParam();
    // Folder A, then two files.
    ASSERT_TRUE(Player().MakeFolder(0, "/A"));
    ASSERT_TRUE(Player().PutFile(0, "/one.mp3", {1}));
    ASSERT_TRUE(Player().PutFile(0, "/two.mp3", {2}));
    ASSERT_EQ(List(), 1);
    const long earlier = c.code == 14 ? 13 : 14;
    MakeLastError(earlier);
    Player().ClearTranscript();
    c.disturb(Player());
    EXPECT_EQ(c.run(*api), c.result);
    EXPECT_EQ(api->PlrGetLastError(), c.code == 0 ? earlier : c.code);
    if (c.sendsNothing) {
        EXPECT_TRUE(NothingSent()) << Player().GetTranscript().Describe();
    }
}

const Arrangement none = [](kvx512sim::Player&) {};
const Arrangement detach = [](kvx512sim::Player& p) { p.Detach(); };
const Arrangement refuse = [](kvx512sim::Player& p) { p.RefuseNextCommand(0x05); };
const Arrangement noIdentification = [](kvx512sim::Player& p) {
    kvx512sim::Identification broken;
    broken.version = "0.00";
    p.SetIdentification(broken);
};

INSTANTIATE_TEST_SUITE_P(
    Codes, Failures,
    ::testing::Values(
        FailureCase{"DeviceInfoWithoutPlayer", detach, DeviceInfo, 1, true},
        FailureCase{"DeviceInfoWithoutIdentification", noIdentification, DeviceInfo, 1, false},
        FailureCase{"DockedWithoutPlayer", detach, [](CDeviceAPI& a) { return a.PlrIsDocked(); }, 1, true},
        FailureCase{"StorageCountWithoutPlayer", detach, [](CDeviceAPI& a) { return a.PlrGetStorageCount(); }, 1, true},
        FailureCase{"StorageInfoWithoutPlayer", detach, StorageInfo, 1, true},
        FailureCase{"ListingRefused", refuse, StorageInfo, 10, false},
        FailureCase{"ListingKeepsTheCode", none, StorageInfo, 0, false, 1},
        FailureCase{"FileInfoOtherStorage", none, [](CDeviceAPI& a) { return a.PlrGetFIleInfo(1, 0, nullptr); }, 14,
                    true},
        FailureCase{"FileInfoPastTheListing", none, [](CDeviceAPI& a) { return a.PlrGetFIleInfo(0, 3, nullptr); }, 13,
                    true},
        FailureCase{"FileInfoNegative", none, [](CDeviceAPI& a) { return a.PlrGetFIleInfo(0, -1, nullptr); }, 13, true},
        FailureCase{"DeleteRefused", refuse, [](CDeviceAPI& a) { return a.PlrDeleteByindex(0, 1); }, 9, false},
        FailureCase{"DeletePastTheFiles", none, [](CDeviceAPI& a) { return a.PlrDeleteByindex(0, 2); }, 13, true},
        FailureCase{"DeleteNegative", none, [](CDeviceAPI& a) { return a.PlrDeleteByindex(0, -1); }, 13, true},
        FailureCase{"SortPastTheListing", none, [](CDeviceAPI& a) { return a.PlrSortByIndex(1, 3); }, 13, true},
        FailureCase{"SortNegative", none, [](CDeviceAPI& a) { return a.PlrSortByIndex(-1, 1); }, 13, true},
        FailureCase{"SortFromAFolder", none, [](CDeviceAPI& a) { return a.PlrSortByIndex(0, 2); }, 0, true},
        FailureCase{"CreateRefused", refuse, [](CDeviceAPI& a) { return a.PlrCreateDirectory(0, "New", 0); }, 0, false},
        FailureCase{"EnterUnknownFolder", none, [](CDeviceAPI& a) { return a.PlrSetCurrentDirectory(0, "B"); }, 0, true},
        FailureCase{"EnterAFile", none, [](CDeviceAPI& a) { return a.PlrSetCurrentDirectory(0, "one"); }, 0, true},
        FailureCase{"RemoveWithoutName", none, [](CDeviceAPI& a) { return a.PlrRemoveDirectory(0, nullptr); }, 0, true},
        FailureCase{"RemoveEmptyName", none, [](CDeviceAPI& a) { return a.PlrRemoveDirectory(0, ""); }, 0, true},
        FailureCase{"PathWithoutBuffer", none, [](CDeviceAPI& a) { return a.PlrGetCurrentDirectory(0, nullptr, 9); }, 0,
                    true},
        FailureCase{"FormatRefused", refuse, [](CDeviceAPI& a) { return a.PlrFormat(0); }, 34, false},
        FailureCase{"WindowFormatRefused", refuse, [](CDeviceAPI& a) { return a.PlrFormat(0, nullptr, 1, 0); }, 34,
                    false},
        FailureCase{"WindowLowLevelRefused", refuse, [](CDeviceAPI& a) { return a.PlrFormat(0, nullptr, 1, 1); }, 35,
                    false},
        FailureCase{"WindowModeThreeRefused", refuse, [](CDeviceAPI& a) { return a.PlrFormat(0, nullptr, 1, 3); }, 37,
                    false},
        FailureCase{"FontRefused", refuse, [](CDeviceAPI& a) { return a.PlrDownloadFont("FONT", 512); }, 35, false},
        FailureCase{"FontOf4GiB", none, [](CDeviceAPI& a) { return a.PlrDownloadFont("FONT", 0x100000000UL); }, 35,
                    true},
        FailureCase{"FontDataWriteFails", none,
                    [](CDeviceAPI& a) {
                        a.PlrDownloadFont("FONT", 70000);
                        kvx512sim::Bus::Instance().GetPlayer(0).FailNextTransfers(1);
                        return a.PlrWriteFontData(someBytes, sizeof someBytes);
                    },
                    35, false},
        FailureCase{"FontDataEmpty", none, [](CDeviceAPI& a) { return a.PlrWriteFontData(someBytes, 0); }, 0, true},
        FailureCase{"FontDataWithoutBuffer", none, [](CDeviceAPI& a) { return a.PlrWriteFontData(nullptr, 9); }, 35,
                    true}),
    testsupport::CaseName());

class Lifecycle : public testsupport::PlrapiSessionTest {};

TEST_F(Lifecycle, OneStateForEveryObjectUntilAnObjectIsDestroyed) {
    EXPECT_EQ(CDeviceAPI::OpenDevice(), api) << "one API object";
    struct stat section {};
    ASSERT_EQ(stat(("/dev/shm" + platform::SectionObjectName("Plr_MICOMRunstatus")).c_str(), &section), 0);
    EXPECT_EQ(section.st_mode & 0777, 0600u);
    EXPECT_EQ(section.st_size, 16);
    ASSERT_TRUE(Player().PutFile(0, "/Song.mp3", Pattern(100)));
    ASSERT_EQ(List(), 1);
    CDeviceInfo* device = nullptr;
    ASSERT_EQ(api->PlrGetDeviceInfo(device), 1);
    EXPECT_STREQ(device->GetDeviceVersion(), "APPL 1.4310");
    EXPECT_STREQ(device->GetPlayerName(), "QRM-284");
    EXPECT_STREQ(device->GetPlayerId(), "");
    {
        // Another object works on the same state and leaves it in place...
        CDeviceAPI other;
        other = *api;
        EXPECT_EQ(other.PlrGetFileCount(0), 1);
        other.CloseDevice();
        EXPECT_EQ(api->PlrIsDocked(), 0) << "closed for every object";
        EXPECT_EQ(CDeviceAPI::OpenDevice(), api);
        EXPECT_STREQ(device->GetDeviceVersion(), "APPL 1.4310") << "kept through a close";
    }
    // ...until it is destroyed, which releases the state and closes the API.
    EXPECT_EQ(api->PlrGetFileCount(0), 0);
    EXPECT_EQ(api->PlrIsDocked(), 0);
    EXPECT_STREQ(CDeviceInfo().GetDeviceVersion(), "");
    EXPECT_EQ(CStorageInfo().GetPDTotalSpace(), 0u);
    EXPECT_EQ(Current().name, "");
    delete api;
    api = CDeviceAPI::OpenDevice();
    ASSERT_NE(api, nullptr);
    EXPECT_EQ(api->PlrIsDocked(), 1);
}

TEST_F(Lifecycle, TheBlockSizeFollowsTheStorageIndex) {
    for (const auto& [storage, size] : {std::pair{1, 32768ul}, std::pair{2, 0ul}, std::pair{0, 32768ul}}) {
        List(storage);
        EXPECT_EQ(CStorageInfo().GetMultiBlockSize(), size) << "storage " << storage;
    }
}

TEST_F(Lifecycle, OpenWithoutPlayerGivesNullAndClosesTheApi) {
    Player().Detach();
    EXPECT_EQ(CDeviceAPI::OpenDevice(), nullptr);
    EXPECT_EQ(api->PlrGetLastError(), 1);
    Player().Attach();
    EXPECT_EQ(api->PlrIsDocked(), 0) << "closed until opened again";
    EXPECT_EQ(CDeviceAPI::OpenDevice(), api);
    EXPECT_EQ(api->PlrIsDocked(), 1);
}

} // namespace
