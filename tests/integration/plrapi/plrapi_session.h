// Driving libplrapi.so as a manager program does, against the in-process
// simulated player: one open API object per test, deleted at its end.
#pragma once

#include "platform/text/code_page.h"
#include "plrapi.h"
#include "tests/support/portio_session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class PlrapiSessionTest : public PortioSessionTest {
protected:
    void SetUp() override {
        PortioSessionTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        api = CDeviceAPI::OpenDevice();
        ASSERT_NE(api, nullptr);
        CDeviceInfo* info = nullptr;
        ASSERT_EQ(api->PlrGetDeviceInfo(info), 1);
        Player().ClearTranscript();
    }
    void TearDown() override {
        delete api;
        PortioSessionTest::TearDown();
    }

    // Lists `storage` into the cache; the API's result.
    long List(int storage = 0) {
        CStorageInfo* info = nullptr;
        return api->PlrGetStorageInfo(storage, info);
    }

    struct Entry {
        std::string name;
        std::string extension;
        unsigned long attribute = 0;
        unsigned long size = 0;
    };
    // Cached entry `position` as the library's CPDFileInfo reports it.
    Entry Cached(int position, int storage = 0) {
        EXPECT_EQ(api->PlrGetFIleInfo(storage, position, nullptr), 1) << "position " << position;
        return Current();
    }
    Entry Current() {
        CPDFileInfo file;
        return {file.GetFileName(), file.GetFileExt(), file.GetAttribMark(), file.GetFileSize()};
    }
    std::vector<std::string> CachedNames(int storage = 0) {
        std::vector<std::string> names;
        for (int i = 0; i < api->PlrGetFileCount(0); ++i) {
            // A folder's name is whole; a file's extension is apart.
            const Entry entry = Cached(i, storage);
            const bool folder = (entry.attribute & 0x10) != 0;
            names.push_back(folder || entry.extension.empty() ? entry.name : entry.name + "." + entry.extension);
        }
        return names;
    }
    // The player's names of its top folder in directory order: long names
    // (in the code page), else the 11 bytes of the 8.3 name.
    std::vector<std::string> StoredNames() {
        std::vector<std::string> names;
        for (const auto& item : Player().ListFolder(0, "/")) {
            names.push_back(item.longName.empty() ? item.shortName
                                                  : platform::WideToMultiByte(item.longName.data(), item.longName.size()));
        }
        return names;
    }

    // Makes the last error `code` (13 or 14) with a refused position or
    // storage, which sends nothing.
    void MakeLastError(long code) {
        if (code == 14) {
            api->PlrGetFIleInfo(7, 0, nullptr);
        } else {
            api->PlrDeleteByindex(0, 100000);
        }
        ASSERT_EQ(api->PlrGetLastError(), code);
    }

    bool NothingSent() { return Player().GetTranscript().Transfers().empty(); }

    // The time-outs of the transfers since the transcript was cleared:
    // {read, write}, or {0, 0} when they were not the same for every transfer.
    std::pair<uint32_t, uint32_t> Timeouts() {
        std::pair<uint32_t, uint32_t> found{0, 0};
        bool mixed = false;
        for (const auto& transfer : Player().GetTranscript().Transfers()) {
            const bool read = transfer.in || transfer.options == 1;
            uint32_t& slot = read ? found.first : found.second;
            mixed = mixed || (slot != 0 && slot != transfer.timeoutMs);
            slot = transfer.timeoutMs;
        }
        return mixed ? std::pair<uint32_t, uint32_t>{0, 0} : found;
    }
    // The time-outs in force now, as the next exchange shows them.
    std::pair<uint32_t, uint32_t> TimeoutsNow() {
        Player().ClearTranscript();
        EXPECT_EQ(api->PlrIsDocked(), 1);
        return Timeouts();
    }

    CDeviceAPI* api = nullptr;
};

} // namespace testsupport
