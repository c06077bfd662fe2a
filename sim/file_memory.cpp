#include "sim/file_memory.h"

#include <algorithm>
#include <mutex>

namespace kvx512sim {

namespace {

// Smaller buffers come from the heap, whose memory is reused anyway; larger
// ones come straight from the system, page by page, every time.
constexpr size_t KeptFrom = size_t{1} << 20;
constexpr size_t KeptAtMost = size_t{256} << 20;
constexpr size_t KeptBuffers = 8;

class Keeping {
public:
    std::unique_ptr<std::vector<uint8_t>> Take(size_t capacity) {
        std::lock_guard lock(mutex_);
        // The smallest that is large enough, and not so large that a small
        // file would hold on to much more than it needs.
        auto best = kept_.end();
        for (auto it = kept_.begin(); it != kept_.end(); ++it) {
            const size_t room = (*it)->capacity();
            if (room >= capacity && room <= 2 * capacity + KeptFrom &&
                (best == kept_.end() || room < (*best)->capacity())) {
                best = it;
            }
        }
        if (best == kept_.end()) {
            return nullptr;
        }
        auto buffer = std::move(*best);
        kept_.erase(best);
        bytes_ -= buffer->capacity();
        return buffer;
    }

    void Give(std::vector<uint8_t>* buffer) {
        std::unique_ptr<std::vector<uint8_t>> owned(buffer);
        const size_t room = owned->capacity();
        if (room < KeptFrom) {
            return;
        }
        owned->clear();
        std::lock_guard lock(mutex_);
        if (kept_.size() < KeptBuffers && bytes_ + room <= KeptAtMost) {
            bytes_ += room;
            kept_.push_back(std::move(owned));
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::unique_ptr<std::vector<uint8_t>>> kept_;
    size_t bytes_ = 0;
};

// Never destroyed: files may outlive everything else at exit.
Keeping& TheKeeping() {
    static Keeping* const keeping = new Keeping;
    return *keeping;
}

} // namespace

std::shared_ptr<std::vector<uint8_t>> NewFileMemory(size_t capacity) {
    auto buffer = TheKeeping().Take(capacity);
    if (!buffer) {
        buffer = std::make_unique<std::vector<uint8_t>>();
        buffer->reserve(capacity);
    }
    return {buffer.release(), [](std::vector<uint8_t>* released) { TheKeeping().Give(released); }};
}

} // namespace kvx512sim
