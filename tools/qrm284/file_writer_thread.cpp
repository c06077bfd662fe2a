#include "tools/qrm284/file_writer_thread.h"

#include <algorithm>

namespace qrm284 {

FileWriterThread::FileWriterThread(const std::string& path)
    : out_(path, std::ios::binary | std::ios::trunc), opened_(static_cast<bool>(out_)) {
    if (opened_) {
        thread_ = std::thread([this] { Run(); });
    }
}

FileWriterThread::~FileWriterThread() { Close(); }

uint8_t* FileWriterThread::Space(size_t size) {
    if (filled_ + size > filling_.size()) {
        if (filled_ > 0) {
            std::unique_lock lock(mutex_);
            Hand(lock);
        }
        filling_.resize(std::max(BatchBytes, size));
    }
    return filling_.data() + filled_;
}

void FileWriterThread::Commit(size_t size) { filled_ += size; }

void FileWriterThread::Hand(std::unique_lock<std::mutex>& lock) {
    changed_.wait(lock, [this] { return queued_.size() < MaxQueued; });
    std::vector<uint8_t> next;
    if (!spare_.empty()) {
        next = std::move(spare_.back());   // its pages are already mapped
        spare_.pop_back();
    }
    filling_.resize(filled_);
    filled_ = 0;
    queued_.push_back(std::move(filling_));
    filling_ = std::move(next);
    changed_.notify_all();
}

bool FileWriterThread::Close() {
    if (closed_) {
        return !failed_;
    }
    closed_ = true;
    if (!opened_) {
        return false;
    }
    {
        std::unique_lock lock(mutex_);
        if (filled_ > 0) {
            Hand(lock);
        }
        closing_ = true;
        changed_.notify_all();
    }
    thread_.join();
    out_.close();
    failed_ = failed_ || !out_;
    return !failed_;
}

void FileWriterThread::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queued_.empty() || closing_; });
        if (queued_.empty()) {
            return;
        }
        std::vector<uint8_t> batch = std::move(queued_.front());
        lock.unlock();
        if (!failed_) {
            out_.write(reinterpret_cast<const char*>(batch.data()), static_cast<std::streamsize>(batch.size()));
        }
        const bool wrote = static_cast<bool>(out_);
        lock.lock();
        failed_ = failed_ || !wrote;
        queued_.pop_front();
        spare_.push_back(std::move(batch));
        changed_.notify_all();
    }
}

} // namespace qrm284
