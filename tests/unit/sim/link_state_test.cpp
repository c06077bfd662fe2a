// Replies a host never reads are capped, so that it cannot grow the player without end.
#include "tests/unit/sim/wire_host.h"

namespace {

using namespace simtest;

// Identification commands never read: the player keeps no more than its cap.
TEST(LinkState, RepliesNobodyReadsAreCapped) {
    kvx512sim::Player player;
    WireHost host(player);
    const size_t sent = kvx512sim::Player::MaxPendingReplies + 100;
    for (size_t i = 0; i < sent; ++i) {
        host.Send(CommandBlock("Y"));
    }
    size_t kept = 0;
    while (host.Read()) {
        ++kept;
    }
    EXPECT_EQ(kept, kvx512sim::Player::MaxPendingReplies);
    host.Send(CommandBlock("Y"));
    EXPECT_EQ(Head(host.Reply(), 2), (Bytes{'#', 0})) << "room again once read";
}

} // namespace
