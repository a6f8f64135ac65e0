// The on-board harness: the whole firmware run twice in one process starts from power-on RAM
// both times, and the jobs of one session share it.
#include <gtest/gtest.h>

#include "command/parse_command.h"
#include "onboard.h"
#include "sim.h"

namespace {

// The host's drawing origin lives in RAM only: a value left from the first run would show
// in the second one's report.
TEST(Onboard, TheModuleStartsFromPowerOnRamEveryTime) {
    std::string dir = onboard::freshStateDir();
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        ASSERT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir));
        EXPECT_TRUE(onboard::exchange(0, "o\r", "\r>\r"));
        EXPECT_EQ(onboard::hostText(0), "0 0\r>\r");
        ASSERT_TRUE(onboard::exchange(0, "o 10 20\r", ">\r"));
        EXPECT_TRUE(onboard::exchange(0, "o\r", "\r>\r"));
        EXPECT_EQ(onboard::hostText(0), "10 20\r>\r");
        onboard::powerOff();
    }
}

// A session stays up across jobs: what one job leaves in RAM the next one finds, until the
// power goes.
TEST(Onboard, JobsShareOneSessionUntilPowerOff) {
    onboard::configure(onboard::freshStateDir(), onboard::Bringup{});
    ASSERT_TRUE(onboard::run([] { Origin_X = 7; }));
    s32 seen = -1;
    ASSERT_TRUE(onboard::run([&seen] { seen = Origin_X; }));
    EXPECT_EQ(seen, 7);
    onboard::powerOff();
    Origin_X = 0;
}

}  // namespace
