// The one-entry macro schedule and the argument slots of the touch buttons, and how the hot
// spots feed them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/GUIDEMO.h"
#include "comm/Rtosinit.h"
#include "fw_harness.h"
#include "macros/KT_macros.h"
#include "touch/KT_touch.h"
#include "touch/buttons.h"

namespace {

struct Macros : ::testing::Test {
    void SetUp() override {
        memset(argStore, 0, sizeof argStore);
        macroQueued = 0;
        KT_Touch_HotSpot_Clear();
        waitForRelease = 0;
        typematicTimer = 0;
    }
};

}  // namespace

TEST_F(Macros, ScheduleKeepsOnlyTheLatestAndRunningTakesItOff) {
    scheduleMacro(0, "ignored");
    EXPECT_EQ(pendingMacro(), 0);
    scheduleMacro(5, "one");
    scheduleMacro(9, nullptr);
    EXPECT_EQ(pendingMacro(), 9);
    EXPECT_STREQ(macroQueuedArgs, "");
    processScheduledMacro();
    EXPECT_EQ(pendingMacro(), 0);

    std::string longArgs(300, 'a');
    scheduleMacro(3, longArgs.c_str());
    EXPECT_EQ(strlen(macroQueuedArgs), 129u);
}

TEST_F(Macros, FiftySlotsOneTextPerHotSpotAndEdge) {
    for (int i = 0; i < MACRO_ARG_SLOTS; ++i) ASSERT_EQ(assignMacroArgs(i, i & 1, "x"), 1) << i;
    EXPECT_EQ(assignMacroArgs(200, 1, "full"), 0);
    // Replacing the text of a hot spot's edge reuses its slot even when all are taken.
    EXPECT_EQ(assignMacroArgs(4, 0, "again"), 1);
    EXPECT_STREQ(getMacroArgs(4, 0), "again");
    EXPECT_EQ(getMacroArgs(4, 1), nullptr);
    releaseMacroArgs(4, 0);
    EXPECT_EQ(getMacroArgs(4, 0), nullptr);
    EXPECT_EQ(assignMacroArgs(200, 1, "now"), 1);
    // Out-of-range hot spots touch nothing.
    EXPECT_EQ(assignMacroArgs(256, 1, "x"), 0);
    EXPECT_EQ(getMacroArgs(-1, 1), nullptr);
    releaseMacroArgs(1000, 0);

    std::string longArgs(200, 'b');
    releaseMacroArgs(0, 0);
    ASSERT_EQ(assignMacroArgs(0, 0, longArgs.c_str()), 1);
    EXPECT_EQ(strlen(getMacroArgs(0, 0)), 129u);
}

TEST_F(Macros, HotSpotEdgesScheduleTheirMacrosWithTheirArguments) {
    HotSpot *h = &TouchHotSpots[200];
    h->kind = KIND_REGION;
    h->x0 = 10;
    h->y0 = 10;
    h->x1 = 20;
    h->y1 = 20;
    h->flags = 0;  // no reports, no click
    h->pressMacro = 7;
    h->releaseMacro = 8;
    assignMacroArgs(200, 1, "down args");
    assignMacroArgs(200, 0, "up args");

    updateSpot(1, 200, 1, 15, 15, 1);  // quiet: no macro
    EXPECT_EQ(pendingMacro(), 0);
    updateSpot(1, 200, 1, 15, 15, 0);
    EXPECT_EQ(pendingMacro(), 7);
    EXPECT_STREQ(macroQueuedArgs, "down args");
    updateSpot(0, 200, 1, 15, 15, 0);
    EXPECT_EQ(pendingMacro(), 8);
    EXPECT_STREQ(macroQueuedArgs, "up args");

    // Freeing the hot spot frees its slots.
    KT_Touch_HotSpot_Unset(200);
    EXPECT_EQ(getMacroArgs(200, 1), nullptr);
    EXPECT_EQ(getMacroArgs(200, 0), nullptr);
    EXPECT_EQ(h->kind, (u32)KIND_FREE);
    EXPECT_EQ(KT_Touch_HotSpot_Unset(256), 0);
    EXPECT_EQ(KT_Touch_HotSpot_Unset(-1), 0);
}

TEST_F(Macros, SearchTakesTheLowestActiveIndex) {
    TouchHotSpots[140] = HotSpot{KIND_REGION, 0, 0, 100, 100, 0, 0, 0, 0};
    TouchHotSpots[130] = HotSpot{KIND_REGION, 50, 50, 150, 150, 0, 0, 0, 0};
    EXPECT_EQ(KT_SearchHotSpot(75, 75), 130);
    EXPECT_EQ(KT_SearchHotSpot(10, 10), 140);
    EXPECT_EQ(KT_SearchHotSpot(150, 150), 130);  // corners are inside
    EXPECT_EQ(KT_SearchHotSpot(151, 150), -1);
    EXPECT_EQ(KT_SearchHotSpot(-1, 75), -1);
    EXPECT_EQ(buttonDisable(130), 1);
    EXPECT_EQ(KT_SearchHotSpot(75, 75), 140);
    EXPECT_EQ(buttonDisable(130), 1);  // twice disabled is still disabled once
    EXPECT_EQ(TouchHotSpots[130].kind, (u32)(KIND_REGION + KIND_DISABLED));
    EXPECT_EQ(buttonReEnable(130, 1), 1);
    EXPECT_EQ(KT_SearchHotSpot(75, 75), 130);
    EXPECT_EQ(buttonReEnable(131, 1), 1);  // a free spot stays free
    EXPECT_EQ(TouchHotSpots[131].kind, (u32)KIND_FREE);
    EXPECT_EQ(buttonDisable(256), 0);
    EXPECT_EQ(buttonReEnable(-5, 0), 0);
}

// The main loop takes the scheduled macro off the queue in its own step, with the start and end
// notifications the host asked for, as text or as binary records.
TEST_F(Macros, MainLoopRunsTheScheduledMacroBetweenItsNotifications) {
    std::string dir = fwtest::freshStateDir();
    ASSERT_TRUE(fwtest::runFirmware(dir, [] {
        KT_Touch_HotSpot_Clear();
        macroNotify = 3;
        binaryResponses = 0;
        scheduleMacro(5, "a b");
        GUIDEMO_pass();
        macroNotify = 1;
        binaryResponses = 1;
        scheduleMacro(200, nullptr);
        GUIDEMO_pass();
        macroNotify = 2;
        scheduleMacro(7, nullptr);
        GUIDEMO_pass();
        macroNotify = 0;
        scheduleMacro(9, nullptr);
        GUIDEMO_pass();
        GUIDEMO_pass();  // nothing scheduled: nothing sent
    }, true));
    EXPECT_EQ(fwtest::hostText(), std::string("m5\re5\rM\xC8" "E\x07", 10));
    EXPECT_EQ(pendingMacro(), 0);
}
