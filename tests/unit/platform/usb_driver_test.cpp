// The seam's public members: what they hand a backend, what they give back,
// and the trace line KVX512_DEBUG=1 (and nothing else) switches on.
#include "platform/usb/usb_driver.h"
#include "platform/usb/usb_trace.h"

#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace platform::usb;

// Records the buffer and size a transfer reaches it with; answers a stall
// that claims one byte more than it was given.
class RecordingDriver final : public Driver {
public:
    uint8_t* buffer = nullptr;
    uint32_t size = 0xFFFFFFFF;

private:
    TransferResult Record(uint8_t* received, uint32_t receivedSize) {
        buffer = received;
        size = receivedSize;
        return {Status::Stall, receivedSize + 1, "FAKE_STALL"};
    }
    DriverVersion QueryVersion() override { return {}; }
    ScanResult ScanDevices(uint16_t, uint16_t) override { return {}; }
    Status SelectInterface(uint32_t, uint8_t, uint8_t) override { return Status::Failed; }
    TransferResult SubmitBulk(const BulkRequest& request) override { return Record(request.buffer, request.size); }
    TransferResult SubmitControl(const ControlRequest& request) override {
        return Record(request.buffer, request.size);
    }
    TransferResult SubmitClearHalt(uint32_t, uint8_t, uint32_t) override { return {}; }
};

struct SeamCase {
    const char* name;
    bool control;
    bool withBuffer;
    uint32_t size;
    uint16_t wLength;      // control only
    uint32_t handedOn;     // the size the backend is given
    const char* debug;     // KVX512_DEBUG; null: unset
    std::string traced;    // all of stderr
};

class DriverSeam : public ::testing::TestWithParam<SeamCase> {
protected:
    void TearDown() override {
        unsetenv("KVX512_DEBUG");
        trace::ReadSwitch();
    }
};

TEST_P(DriverSeam, HandsOnAgreeingBufferAndSizeAndTracesWhenAsked) {
    const auto& c = GetParam();
    if (c.debug != nullptr) {
        setenv("KVX512_DEBUG", c.debug, 1);
    }
    trace::ReadSwitch();
    std::vector<uint8_t> storage(512);
    uint8_t* buffer = c.withBuffer ? storage.data() : nullptr;
    const SetupPacket setup{0xC0, 0x01, 0, 0, 0, 0, static_cast<uint8_t>(c.wLength),
                            static_cast<uint8_t>(c.wLength >> 8)};
    RecordingDriver driver;

    testing::internal::CaptureStderr();
    const TransferResult result = c.control ? driver.ControlTransfer({0x100, setup, buffer, c.size, 2000})
                                            : driver.BulkTransfer({0x100, 0x83, buffer, c.size, 2000});
    const std::string traced = testing::internal::GetCapturedStderr();

    EXPECT_EQ(driver.buffer, buffer);
    EXPECT_EQ(driver.size, c.handedOn);
    EXPECT_EQ(result.status, Status::Stall);
    EXPECT_EQ(result.bytesMoved, c.handedOn) << "never more than the backend was given";
    EXPECT_EQ(traced, c.traced);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, DriverSeam,
    ::testing::Values(
        SeamCase{"BulkNullBufferMovesNothing", false, false, 512, 0, 0, nullptr, ""},
        SeamCase{"BulkTraced", false, true, 512, 0, 512, "1",
                 "kvx512: BulkTransfer id 0x100 endpoint 0x83 length 512 timeout 2000: Stall, 512 moved "
                 "(FAKE_STALL)\n"},
        SeamCase{"ControlCutToWLengthTraced", true, true, 64, 18, 18, "1",
                 "kvx512: ControlTransfer id 0x100 setup c0 01 00 00 00 00 12 00 length 18 timeout 2000: Stall, "
                 "18 moved (FAKE_STALL)\n"},
        SeamCase{"ControlCutToBufferDebugZero", true, true, 8, 255, 8, "0", ""},
        SeamCase{"ControlNullBufferMovesNothing", true, false, 64, 8, 0, nullptr, ""}),
    testsupport::CaseName());

} // namespace
