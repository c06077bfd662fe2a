// The named shared-memory section: the user's own, mode 0600, held for the
// process's life, and never kept from the user by another user's object.
#include "platform/system/shared_memory.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class NamedSection : public ::testing::Test {
protected:
    void TearDown() override { shm_unlink(objectName.c_str()); }

    // The object's size, or -1 when there is none.
    long Size() {
        struct stat status {};
        return stat(("/dev/shm" + objectName).c_str(), &status) == 0 ? status.st_size : -1;
    }
    // Makes the object as `owner` with `mode`, `size` bytes.
    void MakeObject(uid_t owner, mode_t mode, off_t size) {
        const int fd = shm_open(objectName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(ftruncate(fd, size), 0);
        ASSERT_EQ(fchown(fd, owner, owner), 0);
        ASSERT_EQ(fchmod(fd, mode), 0);
        close(fd);
    }

    std::string name = "plrapi_test_" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) +
                       "_" + std::to_string(getpid());
    std::string objectName = platform::SectionObjectName(name);
};

TEST_F(NamedSection, IsMadeUnderTheUsersNameWithMode0600AndHeld) {
    EXPECT_EQ(objectName, "/" + name + "." + std::to_string(geteuid()));
    const mode_t previous = umask(0);
    ASSERT_TRUE(platform::OpenNamedSection(name, 16));
    umask(previous);
    struct stat status {};
    ASSERT_EQ(stat(("/dev/shm" + objectName).c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
    EXPECT_EQ(status.st_size, 16);
    EXPECT_EQ(status.st_uid, geteuid());
    shm_unlink(objectName.c_str());
    EXPECT_TRUE(platform::OpenNamedSection(name, 16));
    EXPECT_EQ(Size(), -1) << "held, not made again";
}

TEST_F(NamedSection, AnExistingOneOfTheUserIsOpenedAsItIs) {
    MakeObject(geteuid(), 0600, 64);
    EXPECT_TRUE(platform::OpenNamedSection(name, 16));
    EXPECT_EQ(Size(), 64);
}

TEST_F(NamedSection, AnObjectTheUserCannotUseDoesNotBlockIt) {
    // Someone else's as root; else the user's own, unreadable.
    MakeObject(geteuid() == 0 ? 54321 : geteuid(), geteuid() == 0 ? 0600 : 0, 8);
    EXPECT_TRUE(platform::OpenNamedSection(name, 16));
    EXPECT_EQ(Size(), 8) << "the object is left alone";
}

} // namespace
