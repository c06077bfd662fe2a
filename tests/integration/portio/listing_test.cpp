// dll_fn_refresh_device against listings the simulated player makes, and
// against raw directory images it is told to send.
#include "sim/directory_entry.h"
#include "tests/support/portio_session.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A raw directory image, built by hand the way a player lays it out.
struct RawImage {
    std::vector<uint8_t> header = std::vector<uint8_t>(512, 0);
    std::vector<uint8_t> entries;

    RawImage(uint16_t files, uint16_t total, uint16_t used) {
        header[6] = static_cast<uint8_t>(files >> 8);
        header[7] = static_cast<uint8_t>(files);
        header[10] = static_cast<uint8_t>(total >> 8);
        header[11] = static_cast<uint8_t>(total);
        header[12] = static_cast<uint8_t>(used >> 8);
        header[13] = static_cast<uint8_t>(used);
    }
    void Add(std::vector<uint8_t> entry) {
        entry.resize(32, 0);
        entries.insert(entries.end(), entry.begin(), entry.end());
        const auto count = static_cast<uint16_t>(entries.size() / 32);
        header[8] = static_cast<uint8_t>(count >> 8);
        header[9] = static_cast<uint8_t>(count);
    }
    static std::vector<uint8_t> Short(const char* name11, uint8_t attribute, uint32_t size = 0) {
        std::vector<uint8_t> entry(name11, name11 + 11);
        entry.resize(32, 0);
        entry[11] = attribute;
        for (int i = 0; i < 4; ++i) {
            entry[28 + i] = static_cast<uint8_t>(size >> (8 * i));
        }
        return entry;
    }
    // `owner`: the 11 name bytes of the short entry the part belongs to.
    static std::vector<uint8_t> Long(uint8_t sequence, const std::u16string& part13, const char* owner) {
        std::vector<uint8_t> entry(32, 0);
        entry[0] = sequence;
        entry[11] = 0x0F;
        entry[13] = kvx512sim::LfnChecksum(reinterpret_cast<const uint8_t*>(owner));
        const int slots[] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int i = 0; i < 13; ++i) {
            const char16_t c = i < static_cast<int>(part13.size()) ? part13[i] : u'\xFFFF';
            entry[slots[i]] = static_cast<uint8_t>(c);
            entry[slots[i] + 1] = static_cast<uint8_t>(c >> 8);
        }
        return entry;
    }
};

class Listing : public testsupport::PortioSessionTest {};

TEST_F(Listing, GetListingBlockAndCapacity) {
    RawImage raw(0, 100, 40);
    Player().OverrideNextListing(raw.header, raw.entries);
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(Commands().at(0), Block({0x23, 0, 5, 0x3A, 0x4D, 0x47, 0x47, 0x2E}));
    EXPECT_EQ(Image().totalBytes, 1638400u);
    EXPECT_EQ(Image().freeBytes, 983040u);
    EXPECT_EQ(Image().entryCount, 0u);
}

TEST_F(Listing, RecordsFromLongGroupsDeletedEntriesAndFolders) {
    RawImage raw(2, 100, 1);
    raw.Add(RawImage::Short(".          ", 0x10));
    raw.Add(RawImage::Short("..         ", 0x10));
    raw.Add(RawImage::Long(0x42, std::u16string(u"n.mp3") + u'\0', "TRACKT~1MP3"));
    raw.Add(RawImage::Long(0x01, u"Track thirtee", "TRACKT~1MP3"));
    raw.Add(RawImage::Short("TRACKT~1MP3", 0x20, 1234));
    auto deleted = RawImage::Long(0x41, u"Gone", "GONE       ");
    deleted[0] = 0xE5;
    raw.Add(deleted);
    raw.Add(RawImage::Long(0x41, std::u16string(u"Old") + u'\0', "OLD     MP3"));
    auto deletedShort = RawImage::Short("OLD     MP3", 0x20, 9);
    deletedShort[0] = 0xE5;
    raw.Add(deletedShort);
    raw.Add(RawImage::Short("ODD        ", 0x30));
    raw.Add(RawImage::Short("PLAIN   WAV", 0x20, 5));
    Player().OverrideNextListing(raw.header, raw.entries);
    ASSERT_EQ(Refresh(), 0);

    EXPECT_EQ(Image().folderCount, 2u) << "'.' and '..' count; attribute 0x30 does not";
    EXPECT_EQ(Image().entryCount, 4u);
    EXPECT_EQ(Image().imageSize, 10u * 32);
    EXPECT_STREQ(Image().records[2].longName, "Track thirteen.mp3");
    EXPECT_EQ(Image().records[2].longNameFlag, 1);
    EXPECT_STREQ(Image().records[2].baseName, "TRACKT~1");
    EXPECT_EQ(Image().records[2].size, 1234u);
    EXPECT_STREQ(Image().records[3].displayName, "ODD     .   ");
    EXPECT_STREQ(Image().records[4].displayName, "PLAIN   .WAV");
    EXPECT_EQ(Image().records[4].longNameFlag, 0);
}

TEST_F(Listing, EntryBlocksAreCountedFromTheHeader) {
    for (int entries : {16, 17}) {
        RawImage raw(static_cast<uint16_t>(entries), 100, 1);
        for (int i = 0; i < entries; ++i) {
            raw.Add(RawImage::Short("FILE    DAT", 0x20, 1));
        }
        Player().OverrideNextListing(raw.header, raw.entries);
        Player().ClearTranscript();
        ASSERT_EQ(Refresh(), 0);
        // The reads after the "GG" command: header plus entry blocks.
        const auto transfers = Player().GetTranscript().Transfers();
        size_t afterCommand = 0;
        bool seen = false;
        for (const auto& t : transfers) {
            if (!t.in && t.bytes.size() == 512 && t.bytes[4] == 'M' && t.bytes[5] == 'G') {
                seen = true;
            } else if (seen && t.in) {
                ++afterCommand;
            }
        }
        EXPECT_EQ(afterCommand, entries == 16 ? 2u : 3u);
        EXPECT_EQ(Image().entryCount, static_cast<uint32_t>(entries));
    }
}

struct MalformedCase {
    const char* name;
    std::vector<std::vector<uint8_t>> entries;
    uint16_t files;
    int result;
    // What each filled record shows: its display name, and "=" and its long
    // name when it has one. Empty: not looked at.
    std::vector<std::string> records;
};

class MalformedListing : public Listing, public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedListing, IsReportedNotTrusted) {
    RawImage raw(GetParam().files, 10, 1);
    for (const auto& entry : GetParam().entries) {
        raw.Add(entry);
    }
    Player().OverrideNextListing(raw.header, raw.entries);
    Image() = StorageImage{};
    ASSERT_EQ(Refresh(), GetParam().result);
    if (GetParam().records.empty()) {
        return;
    }
    std::vector<std::string> records;
    for (const FileRecord& record : Image().records) {
        if (record.baseName[0] != '\0') {
            records.push_back(std::string(record.displayName) + (record.longNameFlag != 0 ? "=" + std::string(record.longName) : ""));
        }
    }
    EXPECT_EQ(records, GetParam().records);
}

std::vector<std::vector<uint8_t>> LongGroup(int parts) {
    std::vector<std::vector<uint8_t>> group;
    for (int k = parts; k >= 1; --k) {
        group.push_back(RawImage::Long(static_cast<uint8_t>(k | (k == parts ? 0x40 : 0)), u"abcdefghijklm", "LONG    TXT"));
    }
    group.push_back(RawImage::Short("LONG    TXT", 0x20, 1));
    return group;
}

// As an interrupted write leaves it: the group's short entry never came.
const std::vector<std::vector<uint8_t>> strayGroup{RawImage::Short("A       B  ", 0x20),
                                                   RawImage::Long(0x43, u"x", "C       D  "),
                                                   RawImage::Short("C       D  ", 0x20)};
// A group left of a name whose short entry was rewritten since.
const std::vector<std::vector<uint8_t>> foreignGroup{RawImage::Long(0x41, std::u16string(u"Other") + u'\0', "OTHER   TXT"),
                                                     RawImage::Short("PLAIN   TXT", 0x20),
                                                     RawImage::Long(0x41, std::u16string(u"kept.txt") + u'\0', "KEPT    TXT"),
                                                     RawImage::Short("KEPT    TXT", 0x20)};

INSTANTIATE_TEST_SUITE_P(
    Images, MalformedListing,
    ::testing::Values(MalformedCase{"GroupPastTheEndEndsTheWalk", strayGroup, 2, 0, {"A       .B  "}},
                      MalformedCase{"GroupOfAnotherNameIsPassedOver", foreignGroup, 2, 0,
                                    {"PLAIN   .TXT", "KEPT    .TXT=kept.txt"}},
                      MalformedCase{"NameOver512Bytes", LongGroup(21), 1, 9, {}},
                      MalformedCase{"LongestNameThatFits", LongGroup(20), 1, 0, {}},
                      MalformedCase{"CountMarkedInvalid", {}, 0xFFFF, 3, {}}),
    testsupport::CaseName());

TEST_F(Listing, MoreThan256RecordsStopAtTheLast) {
    RawImage raw(300, 1000, 1);
    for (int i = 0; i < 300; ++i) {
        raw.Add(RawImage::Short("MANY    DAT", 0x20, static_cast<uint32_t>(i)));
    }
    Player().OverrideNextListing(raw.header, raw.entries);
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(Image().records[255].size, 255u);
    EXPECT_EQ(Image().entryCount, 300u);
}

TEST_F(Listing, OldFirmwareWithNoFilesReadsOnlyTheHeader) {
    kvx512sim::Identification old;
    old.version = "1.42";
    Player().SetIdentification(old);
    char version[42];
    ASSERT_EQ(dll_fn_get_player_version(version), 0);
    RawImage raw(0, 10, 1);
    raw.Add(RawImage::Short("FOLDER     ", 0x10));
    Player().OverrideNextListing(raw.header, raw.entries);
    Image().imageSize = 0xABCD;
    ASSERT_EQ(Refresh(), 0);
    EXPECT_EQ(Image().imageSize, 0xABCDu);
}

TEST_F(Listing, SimulatedPlayerListingOfFoldersAndFiles) {
    ASSERT_TRUE(Player().MakeFolder(0, "/Music"));
    ASSERT_TRUE(Player().PutFile(0, "/song.mp3", Pattern(3000), 1));
    ASSERT_EQ(Refresh(), 0);
    const FileRecord* folder = Find("Music");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->attribute, 0x10);
    EXPECT_EQ(folder->firstCluster, Player().FolderNumber(0, "/Music"));
    const FileRecord* song = Find("song.mp3");
    ASSERT_NE(song, nullptr);
    EXPECT_EQ(song->size, 3000u - 2080u);
    EXPECT_EQ(song->headerFlag, 1);
}

TEST_F(Listing, AbsentSecondStorageIsNoListing) {
    Player().SetSecondStoragePresent(false);
    EXPECT_EQ(Refresh(1), 3);
}

} // namespace
