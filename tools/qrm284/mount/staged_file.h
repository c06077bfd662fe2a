// The mount's copy of one player file in the cache folder: the bytes a
// download has brought so far (reads wait for the part they ask for), or a
// file being written, which goes to the player whole when it is closed.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace qrm284::mount {

class StagedFile {
public:
    // A new, empty copy named `longName` in a folder of its own under
    // `cacheFolder` (the upload takes the name from the file); null with
    // `error` set when it cannot be made.
    static std::shared_ptr<StagedFile> Create(const std::string& cacheFolder, const std::string& longName,
                                              int& error);
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    int Fd() const { return fd_; }
    std::string Path() const;
    // The file in the cache folder follows the player file's new name.
    int Rename(const std::string& longName);

    // Download side: `expected` bytes are coming; `arrived` of them are there.
    void StartFilling(uint64_t expected);
    void Arrived(uint64_t arrived);
    void Complete();
    void Fail(int error);
    // Waits until bytes [0, end) have arrived (or the file is complete);
    // 0, or the errno the download failed with.
    int WaitFor(uint64_t end);
    bool IsComplete() const;
    bool IsFilling() const;

    // Write side.
    int Write(const char* data, size_t size, uint64_t offset);
    int Truncate(uint64_t size);
    uint64_t Size() const;
    bool Dirty() const;
    void SetDirty(bool dirty);

    // Open handles on the copy; a download stops when the last goes away.
    void Opened();
    void Closed();
    bool Abandoned() const;

private:
    StagedFile(std::string folder, std::string longName, int fd);

    std::string folder_;
    std::string longName_;
    int fd_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    uint64_t size_ = 0;
    uint64_t arrived_ = 0;
    uint64_t nextWake_ = UINT64_MAX;   // the least end a reader waits for
    bool filling_ = false;
    bool complete_ = true;
    int error_ = 0;
    bool dirty_ = false;
    int openCount_ = 0;
};

} // namespace qrm284::mount
