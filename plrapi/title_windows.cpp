#include "plrapi/title_windows.h"

#include <algorithm>
#include <cstring>

namespace plrapi {

void TitleWindows::Reset() {
    firstBlockSeen_ = false;
    tail_.fill(0);
    captureSize_ = 0;
}

void TitleWindows::Keep(const uint8_t* data, size_t size) {
    if (!firstBlockSeen_) {
        firstBlockSeen_ = true;
        head_.fill(0);
        std::memcpy(head_.data(), data, std::min(size, head_.size()));
        capture_.fill(0);
        captureSize_ = std::min(size, capture_.size());
        std::memcpy(capture_.data(), data, captureSize_);
    }
    if (size >= tail_.size()) {
        std::memcpy(tail_.data(), data + size - tail_.size(), tail_.size());
    } else {
        std::memmove(tail_.data(), tail_.data() + size, tail_.size() - size);
        std::memcpy(tail_.data() + tail_.size() - size, data, size);
    }
}

TitleSources TitleWindows::Sources(std::string_view longName) const {
    return {longName, head_.data(), tail_.data(), capture_.data(), captureSize_};
}

} // namespace plrapi
