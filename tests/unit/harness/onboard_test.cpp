// The on-board harness: the firmware run twice in one process, loaded as a module or linked
// in, starts from power-on RAM both times, and the jobs of one session share it.
#include <gtest/gtest.h>

#include "command/parse_command.h"
#include "storage/KT_extmem.h"
#include "linked.h"
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
}

// Firmware linked into the test program gets its RAM back at every power-on too: zeroed
// variables read 0 again and initialised ones their initial value.
TEST(Onboard, LinkedFirmwareStartsFromPowerOnRamEveryTime) {
    ASSERT_GT(sim::linkedFirmwareRamSize(), 0u);
    onboard::configure(onboard::freshStateDir(), onboard::Bringup{});
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        s32 origin = -1;
        u32 flashSize = 0;
        ASSERT_TRUE(onboard::run([&] {
            origin = Origin_X;
            flashSize = Flash1Size;
            Origin_X = 7;
            Flash1Size = 1;
        }));
        EXPECT_EQ(origin, 0);
        EXPECT_EQ(flashSize, 0x400000u);
        onboard::powerOff();
    }
}

}  // namespace
