// The simulated player as a whole USB device: the standard control requests
// answered here, everything else passed to the player's pipes.
#pragma once

#include "sim/player.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kvx512sim::server {

// Vendor requests (bmRequestType 0x40) reserved for tests; the player never
// sees them. wValue is the count.
inline constexpr uint8_t TestRequestWithholdReplies = 0xF0;   // the next wValue replies are dropped
inline constexpr uint8_t TestRequestFailTransfers = 0xF1;     // the next wValue transfers fail
// bmRequestType 0xC0, answered by the server itself: how many bulk IN
// requests it holds for the connection, 2 bytes little-endian.
inline constexpr uint8_t TestRequestPendingCount = 0xF3;

// Linux error numbers as USB/IP carries them in a reply's status.
inline constexpr int32_t UrbOk = 0;
inline constexpr int32_t UrbStall = -32;        // EPIPE
inline constexpr int32_t UrbNoDevice = -19;     // ENODEV
inline constexpr int32_t UrbProtocol = -71;     // EPROTO
inline constexpr int32_t UrbTimedOut = -110;    // ETIMEDOUT
inline constexpr int32_t UrbUnlinked = -104;    // ECONNRESET

struct UrbResult {
    int32_t status = UrbOk;
    uint32_t actual = 0;
    std::vector<uint8_t> inData;   // IN transfers: what goes back
};

// The player a request goes to, looked up for every request (a test may replace it).
// A shared handle: the bus may replace its player while a request runs.
using PlayerSource = std::function<std::shared_ptr<Player>()>;

class UsbDevice {
public:
    // verboseOut: where the player's transcript is printed as it grows; null for
    // silence (the player records one only if asked to). Unless
    // keepTranscript, the transcript is dropped once printed, so that a
    // server running for hours does not grow without end.
    UsbDevice(PlayerSource player, std::FILE* verboseOut, bool keepTranscript = false);

    std::shared_ptr<Player> GetPlayer() { return player_(); }
    // The importing host let go: what it left behind (unread replies, and the
    // test requests it made) does not reach the next one.
    void EndSession();

    // A control transfer on endpoint 0; outData/outLength is the data stage
    // of an OUT request, inLength the room the host gave an IN request.
    UrbResult Control(const std::array<uint8_t, 8>& setup, uint8_t* outData, uint32_t outLength,
                      uint32_t inLength);
    // The data is the caller's and only read.
    UrbResult BulkOut(uint32_t endpoint, uint8_t* data, uint32_t length);
    // When a bulk IN request on the endpoint would be answered (see
    // Player::InDueAt): empty while the player has nothing to send.
    std::optional<std::chrono::steady_clock::time_point> BulkInDueAt(uint32_t endpoint);
    // The player's answer straight into `buffer` (actual bytes there; inData
    // stays empty); null while it has nothing to send on that endpoint.
    std::optional<UrbResult> BulkIn(uint32_t endpoint, uint8_t* buffer, uint32_t length);

private:
    UrbResult Standard(const std::array<uint8_t, 8>& setup, uint32_t inLength);
    UrbResult Vendor(const std::array<uint8_t, 8>& setup, uint8_t* outData, uint32_t outLength, uint32_t inLength);
    UrbResult PlayerTransfer(UsbRequest request, bool in);
    void DrainTranscript();

    PlayerSource player_;
    std::FILE* verboseOut_;
    bool keepTranscript_;
    size_t printed_ = 0;
    uint8_t configuration_ = 0;
    bool testRequestsMade_ = false;
};

int32_t UrbStatus(UsbStatus status);

} // namespace kvx512sim::server
