// Debug texts reach stderr only while KVX512_DEBUG=1.
#include "platform/system/debug_output.h"
#include "tests/support/case_name.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct SwitchCase {
    const char* name;
    const char* value;   // null: unset
    bool shown;
};

class DebugOutput : public ::testing::TestWithParam<SwitchCase> {
protected:
    void TearDown() override {
        unsetenv("KVX512_DEBUG");
        platform::ReadDebugSwitch();
    }
};

TEST_P(DebugOutput, FollowsTheSwitch) {
    const auto& c = GetParam();
    if (c.value != nullptr) {
        setenv("KVX512_DEBUG", c.value, 1);
    } else {
        unsetenv("KVX512_DEBUG");
    }
    platform::ReadDebugSwitch();
    EXPECT_EQ(platform::DebugOutputOn(), c.shown);
    testing::internal::CaptureStderr();
    platform::OutputDebugText("===================32768/70000 \n");
    platform::OutputDebugText("===================70000/70000");
    platform::OutputDebugText(nullptr);
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, c.shown ? "===================32768/70000 \n===================70000/70000" : "");
}

INSTANTIATE_TEST_SUITE_P(Switch, DebugOutput,
                         ::testing::Values(SwitchCase{"Unset", nullptr, false}, SwitchCase{"Empty", "", false},
                                           SwitchCase{"Zero", "0", false}, SwitchCase{"One", "1", true}),
                         testsupport::CaseName());

} // namespace
