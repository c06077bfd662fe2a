// A file written by a thread of its own, so that the disk's time overlaps the
// player's: get asks for the next piece while the last ones are written.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qrm284 {

class FileWriterThread {
public:
    // Opens (truncates) `path`; Good() says whether that worked.
    explicit FileWriterThread(const std::string& path);
    ~FileWriterThread();   // Close()
    FileWriterThread(const FileWriterThread&) = delete;
    FileWriterThread& operator=(const FileWriterThread&) = delete;

    bool Good() const { return opened_; }
    // Room for `size` more bytes, to be filled and then committed; waits
    // while MaxQueued batches wait for the disk.
    uint8_t* Space(size_t size);
    void Commit(size_t size);
    // Writes what is left and closes the file; true when every write succeeded.
    bool Close();

private:
    void Run();
    void Hand(std::unique_lock<std::mutex>& lock);

    // Batches of 1 MiB, at most three waiting: a few MiB of memory at most.
    static constexpr size_t BatchBytes = 1024 * 1024;
    static constexpr size_t MaxQueued = 3;

    std::ofstream out_;
    bool opened_ = false;
    std::vector<uint8_t> filling_;   // its first filled_ bytes are the file's
    size_t filled_ = 0;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<uint8_t>> queued_;
    std::vector<std::vector<uint8_t>> spare_;   // written batches, to fill again
    bool closing_ = false;
    bool failed_ = false;
    bool closed_ = false;
    std::thread thread_;
};

} // namespace qrm284
