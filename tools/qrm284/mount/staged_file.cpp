#include "tools/qrm284/mount/staged_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qrm284::mount {

std::shared_ptr<StagedFile> StagedFile::Create(const std::string& cacheFolder, const std::string& longName,
                                               int& error) {
    std::string pattern = cacheFolder + "/fileXXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        error = errno;
        return nullptr;
    }
    const std::string folder(buffer.data());
    const int fd = open((folder + "/" + longName).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = errno;
        rmdir(folder.c_str());
        return nullptr;
    }
    return std::shared_ptr<StagedFile>(new StagedFile(folder, longName, fd));
}

StagedFile::StagedFile(std::string folder, std::string longName, int fd)
    : folder_(std::move(folder)), longName_(std::move(longName)), fd_(fd) {}

StagedFile::~StagedFile() {
    close(fd_);
    unlink(Path().c_str());
    rmdir(folder_.c_str());
}

std::string StagedFile::Path() const {
    std::lock_guard lock(mutex_);
    return folder_ + "/" + longName_;
}

int StagedFile::Rename(const std::string& longName) {
    std::lock_guard lock(mutex_);
    if (std::rename((folder_ + "/" + longName_).c_str(), (folder_ + "/" + longName).c_str()) != 0) {
        return errno;
    }
    longName_ = longName;
    return 0;
}

void StagedFile::StartFilling(uint64_t expected) {
    std::lock_guard lock(mutex_);
    size_ = expected;
    arrived_ = 0;
    filling_ = true;
    complete_ = false;
    error_ = 0;
}

void StagedFile::Arrived(uint64_t arrived) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        arrived_ = arrived;
        size_ = std::max(size_, arrived);
        // Readers are woken when the first of them has its bytes, not at every piece.
        wake = arrived_ >= nextWake_;
        if (wake) {
            nextWake_ = UINT64_MAX;
        }
    }
    if (wake) {
        changed_.notify_all();
    }
}

void StagedFile::Complete() {
    {
        std::lock_guard lock(mutex_);
        size_ = arrived_;   // what the player sent is the file
        filling_ = false;
        complete_ = true;
    }
    changed_.notify_all();
}

void StagedFile::Fail(int error) {
    {
        std::lock_guard lock(mutex_);
        filling_ = false;
        error_ = error;
    }
    changed_.notify_all();
}

int StagedFile::WaitFor(uint64_t end) {
    std::unique_lock lock(mutex_);
    while (!complete_ && error_ == 0 && arrived_ < end) {
        nextWake_ = std::min(nextWake_, end);
        changed_.wait(lock);
    }
    return complete_ || arrived_ >= end ? 0 : error_;
}

bool StagedFile::IsComplete() const {
    std::lock_guard lock(mutex_);
    return complete_;
}

bool StagedFile::IsFilling() const {
    std::lock_guard lock(mutex_);
    return filling_;
}

int StagedFile::Write(const char* data, size_t size, uint64_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t written = pwrite(fd_, data + done, size - done, static_cast<off_t>(offset + done));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<size_t>(written);
    }
    std::lock_guard lock(mutex_);
    size_ = std::max(size_, offset + size);
    dirty_ = true;
    return 0;
}

int StagedFile::Truncate(uint64_t size) {
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0) {
        return errno;
    }
    std::lock_guard lock(mutex_);
    size_ = size;
    dirty_ = true;
    return 0;
}

uint64_t StagedFile::Size() const {
    std::lock_guard lock(mutex_);
    return size_;
}

bool StagedFile::Dirty() const {
    std::lock_guard lock(mutex_);
    return dirty_;
}

void StagedFile::SetDirty(bool dirty) {
    std::lock_guard lock(mutex_);
    dirty_ = dirty;
}

void StagedFile::Opened() {
    std::lock_guard lock(mutex_);
    ++openCount_;
}

void StagedFile::Closed() {
    std::lock_guard lock(mutex_);
    --openCount_;
}

bool StagedFile::Abandoned() const {
    std::lock_guard lock(mutex_);
    return openCount_ <= 0;
}

} // namespace qrm284::mount
