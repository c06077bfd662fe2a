#include "tools/qrm284/file_writer_thread.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace qrm284 {

FileWriterThread::FileWriterThread(const std::string& path)
    : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666)) {
    if (fd_ >= 0) {
        thread_ = std::thread([this] { Run(); });
    } else {
        openError_ = errno;
    }
}

FileWriterThread::~FileWriterThread() { Close(); }

uint8_t* FileWriterThread::Space(size_t size) {
    if (filling_ != nullptr && filled_ > 0 && filled_ + size > filling_->bytes.size()) {
        Hand();
    }
    while (filling_ == nullptr) {
        for (Batch& batch : batches_) {
            if (batch.state.load(std::memory_order_acquire) == State::Empty) {
                filling_ = &batch;
                break;
            }
        }
        // The thread has at most one batch at a time, so there is a filled
        // one to write here, and its batch is free after that.
        if (filling_ == nullptr) {
            WriteOldest();
        }
    }
    filling_->state.store(State::Filling, std::memory_order_relaxed);
    if (filled_ + size > filling_->bytes.size()) {
        filling_->bytes.resize(std::max(BatchBytes, filled_ + size));
    }
    return filling_->bytes.data() + filled_;
}

void FileWriterThread::Commit(size_t size) { filled_ += size; }

void FileWriterThread::Hand() {
    filling_->size = filled_;
    filling_->at.store(handed_, std::memory_order_relaxed);
    handed_ += filled_;
    filled_ = 0;
    filling_->state.store(State::Filled, std::memory_order_release);
    filling_ = nullptr;
    handings_.fetch_add(1, std::memory_order_release);
    handings_.notify_one();
}

bool FileWriterThread::WriteOldest() {
    for (;;) {
        Batch* oldest = nullptr;
        for (Batch& batch : batches_) {
            if (batch.state.load(std::memory_order_acquire) == State::Filled &&
                (oldest == nullptr || batch.at.load(std::memory_order_relaxed) < oldest->at.load(std::memory_order_relaxed))) {
                oldest = &batch;
            }
        }
        if (oldest == nullptr) {
            return false;
        }
        State filled = State::Filled;
        // Both threads take batches: the one that loses looks again.
        if (oldest->state.compare_exchange_strong(filled, State::Writing, std::memory_order_acquire)) {
            // After a failed write nothing more is written.
            if (!failed_ && !Write(*oldest)) {
                failed_ = true;
            }
            oldest->state.store(State::Empty, std::memory_order_release);
            return true;
        }
    }
}

bool FileWriterThread::Write(const Batch& batch) const {
    const uint64_t at = batch.at.load(std::memory_order_relaxed);
    size_t done = 0;
    while (done < batch.size) {
        const ssize_t wrote = ::pwrite(fd_, batch.bytes.data() + done, batch.size - done,
                                       static_cast<off_t>(at + done));
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        done += static_cast<size_t>(wrote);
    }
    return true;
}

bool FileWriterThread::Close() {
    if (closed_) {
        return !failed_;
    }
    closed_ = true;
    if (fd_ < 0) {
        return false;
    }
    if (filling_ != nullptr && filled_ > 0) {
        Hand();
    }
    while (WriteOldest()) {
    }
    closing_ = true;
    handings_.fetch_add(1, std::memory_order_release);
    handings_.notify_one();
    thread_.join();
    if (::close(fd_) != 0) {
        failed_ = true;
    }
    fd_ = -1;
    return !failed_;
}

void FileWriterThread::Run() {
    // The transfer waits on the player's answers and leaves a processor idle
    // much of the time; at a lower priority this thread writes mostly then
    // and keeps out of the way of the transfer's threads (a tenth of the rate
    // on two processors). Not idle priority: a busy machine would starve it,
    // and the close waits for its last write.
    const auto self = static_cast<id_t>(gettid());
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, self);
    if (errno == 0) {
        setpriority(PRIO_PROCESS, self, std::min(nice + LowerPriority, 19));
    }
    for (;;) {
        const uint32_t seen = handings_.load(std::memory_order_acquire);
        if (WriteOldest()) {
            continue;
        }
        if (closing_) {
            return;
        }
        handings_.wait(seen, std::memory_order_acquire);
    }
}

} // namespace qrm284
