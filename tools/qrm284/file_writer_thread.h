// A file written by a thread of its own, so that the disk's time overlaps the
// player's: get asks for the next piece while the last ones are written.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
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

    bool Good() const { return fd_ >= 0; }
    // The system's error number when the file could not be opened.
    int OpenError() const { return openError_; }
    // Room for `size` more bytes, to be filled and then committed. When every
    // batch waits to be written, the caller writes the oldest itself.
    uint8_t* Space(size_t size);
    void Commit(size_t size);
    // A write has failed: nothing more will be written.
    bool Failed() const { return failed_; }
    // Writes what is left and closes the file; true when every write succeeded.
    bool Close();

private:
    enum class State { Empty, Filling, Filled, Writing };
    struct Batch {
        std::vector<uint8_t> bytes;   // its first `size` are the file's from `at`
        size_t size = 0;
        std::atomic<uint64_t> at = 0;
        std::atomic<State> state = State::Empty;
    };

    void Run();
    void Hand();
    // Takes the filled batch that comes first in the file and writes it;
    // false when there was none.
    bool WriteOldest();
    bool Write(const Batch& batch) const;

    // Batches of 1 MiB: a few MiB of memory at most.
    static constexpr size_t BatchBytes = 1024 * 1024;
    static constexpr size_t BatchCount = 4;
    static constexpr int LowerPriority = 5;   // added to the nice value

    int fd_ = -1;
    int openError_ = 0;
    std::array<Batch, BatchCount> batches_;
    Batch* filling_ = nullptr;   // the caller's; its first filled_ bytes are the file's
    size_t filled_ = 0;
    uint64_t handed_ = 0;        // bytes handed on, the next batch's place
    std::atomic<uint32_t> handings_ = 0;   // counts hand-overs and the close: the thread waits on it
    std::atomic<bool> closing_ = false;
    std::atomic<bool> failed_ = false;
    bool closed_ = false;
    std::thread thread_;
};

} // namespace qrm284
