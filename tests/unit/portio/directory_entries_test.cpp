// Entries the host builds for new files and folders, and records it reads back.
#include "platform/system/clock.h"
#include "platform/text/code_page.h"
#include "wire/byte_order.h"
#include "portio/directory_entry.h"
#include "portio/file_entries.h"
#include "portio/file_record.h"
#include "portio/folder_entries.h"
#include "tests/support/case_name.h"
#include "tests/support/file_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using portio::EntrySize;

class FixedClock : public ::testing::Test {
protected:
    void SetUp() override {
        platform::SystemTime time;
        time.year = 2005;
        time.month = 1;
        time.day = 1;
        time.hour = 11;
        time.minute = 34;
        time.second = 30;
        time.milliseconds = 500;
        platform::SetFixedTime(&time);
    }
    void TearDown() override {
        platform::SetFixedTime(nullptr);
        platform::SetCodePage("");
    }

    static FileRecord Record(const std::string& longName, const char* base, const char* extension, uint32_t size) {
        return testsupport::MakeRecord(longName, base, extension, size);
    }

    static std::u16string Chars(const uint8_t* entry) {
        std::u16string text;
        for (uint16_t value : portio::ReadLongNameChars(entry)) {
            text.push_back(static_cast<char16_t>(value));
        }
        return text;
    }
};

struct FileEntryCase {
    const char* name;
    std::string longName;
    size_t longEntries;
    uint8_t firstSequence;
};

class FileWriteEntries : public FixedClock, public ::testing::WithParamInterface<FileEntryCase> {};

TEST_P(FileWriteEntries, CountAndTerminator) {
    const auto& c = GetParam();
    const auto payload = portio::BuildFileWritePayload(Record(c.longName, "TRACK", "mp3", 5000));
    ASSERT_TRUE(payload.has_value());
    const size_t entryBytes = (c.longEntries + 1) * EntrySize;
    ASSERT_EQ(payload->size(), 2 + entryBytes);
    EXPECT_EQ(wire::LoadBe16(payload->data()), entryBytes + 1);
    const uint8_t* entries = payload->data() + 2;
    EXPECT_EQ(entries[0], c.firstSequence);
    // Every part in order spells the name, its terminator, then 0xFFFF fill.
    std::u16string all;
    for (size_t part = 1; part <= c.longEntries; ++part) {
        all += Chars(entries + (c.longEntries - part) * EntrySize);
    }
    std::u16string expected(c.longName.begin(), c.longName.end());
    expected.push_back(u'\0');
    expected.resize(c.longEntries * 13, u'\xFFFF');
    EXPECT_EQ(all, expected);
    const uint8_t* shortEntry = entries + c.longEntries * EntrySize;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(shortEntry), 11), "TRACK   MP3");
    EXPECT_EQ(shortEntry[12], 1) << "mp3 in lower case still marks the header flag";
    EXPECT_EQ(wire::LoadLe32(shortEntry + 28), 5000u);
    EXPECT_EQ(wire::LoadLe16(shortEntry + 22), 0x5C4F);
    EXPECT_EQ(wire::LoadLe16(shortEntry + 24), 0x3221);
    for (size_t j = 0; j < c.longEntries; ++j) {
        EXPECT_EQ(entries[j * EntrySize + 13], portio::LfnChecksum(shortEntry));
        EXPECT_EQ(entries[j * EntrySize + 11], 0x0F);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, FileWriteEntries,
                         ::testing::Values(FileEntryCase{"Empty", "", 1, 0x41},
                                           FileEntryCase{"Twelve", "Track twelve", 1, 0x41},
                                           FileEntryCase{"Thirteen", "Track thirtee", 2, 0x42},
                                           FileEntryCase{"Eighteen", "Track thirteen.mp3", 2, 0x42},
                                           FileEntryCase{"MostThatFit", std::string(181, 'a'), 14, 0x4E}),
                         testsupport::CaseName());

TEST_F(FixedClock, FileNameTooLongForTheBlockIsRefused) {
    EXPECT_FALSE(portio::BuildFileWritePayload(Record(std::string(182, 'a'), "A", "MP3", 1)).has_value());
}

TEST_F(FixedClock, OnlyTitledExtensionsGetTheHeaderFlag) {
    for (const char* extension : {"MP4", "WAV", "MP", ""}) {
        const auto payload = portio::BuildFileWritePayload(Record("x", "X", extension, 1));
        ASSERT_TRUE(payload.has_value());
        EXPECT_EQ((*payload)[2 + 32 + 12], 0) << extension;
    }
    for (const char* extension : {"wma", "ADP", "Mp3"}) {
        const auto payload = portio::BuildFileWritePayload(Record("x", "X", extension, 1));
        EXPECT_EQ((*payload)[2 + 32 + 12], 1) << extension;
    }
}

TEST_F(FixedClock, FolderMusicIsOneLongEntryAndAShortEntry) {
    const auto entries = portio::BuildDirEntries("Music", true);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 64u);
    EXPECT_EQ((*entries)[0], 0x41);
    EXPECT_EQ(Chars(entries->data()), std::u16string(u"Music") + u'\0' + std::u16string(7, u'\xFFFF'));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(entries->data() + 32), 11), "MUSIC      ");
    EXPECT_EQ((*entries)[32 + 13], 100) << "milliseconds / 5";
    EXPECT_EQ(wire::LoadLe16(entries->data() + 32 + 22), 0x5C4F);
}

TEST_F(FixedClock, FolderNameOfThirteenHasNoTerminator) {
    const auto thirteen = portio::BuildDirEntries("ABCDEFGHIJKLM", true);
    const auto fourteen = portio::BuildDirEntries("ABCDEFGHIJKLMN", true);
    ASSERT_TRUE(thirteen && fourteen);
    EXPECT_EQ(thirteen->size(), 64u);
    EXPECT_EQ(Chars(thirteen->data()), u"ABCDEFGHIJKLM");
    EXPECT_EQ(fourteen->size(), 96u);
    EXPECT_EQ((*fourteen)[0], 0x42);
}

TEST_F(FixedClock, FolderNamesBeyondTheBlockAreRefused) {
    EXPECT_TRUE(portio::BuildDirEntries(std::string(182, 'a'), true).has_value());    // 14 + 1 entries
    EXPECT_FALSE(portio::BuildDirEntries(std::string(183, 'a'), true).has_value());   // 16 entries
    EXPECT_FALSE(portio::BuildDirEntries(".abc", true).has_value());
}

TEST_F(FixedClock, FolderNameStartingWithE5IsStoredAs05) {
    platform::SetCodePage("CP932");
    const auto entries = portio::BuildDirEntries("\xE5\x40", true);
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ((*entries)[entries->size() - 32], 0x05);
    EXPECT_EQ((*entries)[entries->size() - 31], 0x40);
}

TEST(FileRecordFill, UnpacksDateTimeSizeAndCluster) {
    uint8_t entry[32] = {};
    std::memcpy(entry, "SONG    MP3", 11);
    entry[11] = 0x20;
    entry[12] = 1;
    wire::StoreLe16(entry + 22, 0x5C4F);
    wire::StoreLe16(entry + 24, 0x3221);
    wire::StoreLe16(entry + 20, 0x0001);
    wire::StoreLe16(entry + 26, 0x0203);
    wire::StoreLe32(entry + 28, 5080);
    FileRecord record{};
    portio::FillRecordFromEntry(record, entry);
    EXPECT_STREQ(record.baseName, "SONG    ");
    EXPECT_STREQ(record.extension, "MP3");
    EXPECT_STREQ(record.displayName, "SONG    .MP3");
    EXPECT_EQ(record.size, 3000u);
    EXPECT_EQ(record.headerFlag, 1);
    EXPECT_EQ(record.year, 2005);
    EXPECT_EQ(record.month, 1);
    EXPECT_EQ(record.day, 1);
    EXPECT_EQ(record.hour, 11);
    EXPECT_EQ(record.minute, 34);
    EXPECT_EQ(record.second, 30);
    EXPECT_EQ(record.firstCluster, 0x00010203u);

    wire::StoreLe32(entry + 28, 100);   // shorter than the trailer it claims
    portio::FillRecordFromEntry(record, entry);
    EXPECT_EQ(record.size, 0u);
}

} // namespace
