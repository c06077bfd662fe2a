#include "wire/reply_view.h"

#include <algorithm>

namespace wire {

namespace {

bool IsFramed(const Block& bytes) { return bytes[0] == '#' && bytes[3] == ':'; }

} // namespace

bool ReplyView::IsAccepted() const { return IsFramed(bytes_) && Length() >= 2 && Result() == ResultAccepted; }

bool ReplyView::IsAcceptedAndTerminated() const {
    // Byte n + 2 lies inside the block for every length byte.
    return Length() >= 3 && IsFramed(bytes_) && bytes_[Length() + 2u] == '.' && Result() == ResultAccepted;
}

bool ReplyView::IsOk() const { return std::equal(OkReply.begin(), OkReply.end(), bytes_.begin()); }

bool ReplyView::IsRefusal() const {
    return IsFramed(bytes_) && Length() == 4 && Result() == ResultRefused && bytes_[6] == '.';
}

} // namespace wire
