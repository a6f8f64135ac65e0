// The animation player's rules: packed steps and who may grow, deletion closing the gap,
// frame positioning, yield steps of every form, the player's timing arithmetic, and steps
// that clear or delete animations while the player runs them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/animation.h"
#include "command/cmd_draw.h"
#include "command/parse_command.h"
#include "gui/LCD.h"
#include "memmap.h"
#include "sim.h"

namespace {

class Animation : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::mapSdram();
        GUI_Init();
        init_animation();
        last_minT = 1;  // as after a run that programmed 1 ms: a started slot is due at once
        ExecState = EXEC_IDLE;
        for (int x = 0; x < 8; ++x) LCD_SetPixelIndex(x, 0, 0);
    }
    void TearDown() override { init_animation(); }

    static void add(int n, const char *text) { ASSERT_EQ(aniAppendStep(n, text, int(strlen(text)) + 6), 1) << text; }
    static std::string steps(int n) { return std::string(dta[n].start, size_t(dta[n].end - dta[n].start + 1)); }
    // One player run, as the main loop makes it once the shared timer has run out.
    static void run() {
        animateTimer = 0;
        handle_animation();
    }
    static u16 pixel(int x) { return LCD_GetPixelIndex(x, 0); }
};

TEST_F(Animation, StepsArePackedAndOnlyTheLastExtendedGrows) {
    EXPECT_EQ(aniFreeSpace(), ANIBUF_SIZE);
    add(0, "l 0 0 9 9");
    add(0, "y 100");
    EXPECT_EQ(aniFreeSpace(), ANIBUF_SIZE - 16);
    EXPECT_EQ(dta[0].timer, ANI_STOPPED);  // a new animation waits for its start
    EXPECT_EQ(steps(0), std::string("l 0 0 9 9\0y 100\0", 16));
    add(2, "c 5 5 5");
    EXPECT_EQ(aniAppendStep(0, "l 1 1 2 2", 16), 0);  // 2 was extended after 0
    add(1, "r 0 0 5 5");                                // an empty slot may always begin
    EXPECT_EQ(aniAppendStep(2, "x", 8), 0);
    EXPECT_EQ(aniAppendStep(10, "x", 8), 0);
    EXPECT_EQ(aniAppendStep(-1, "x", 8), 0);
    EXPECT_EQ(dta[1].start, dta[2].end + 1);
}

TEST_F(Animation, TheWholeLineMustFitInTheFreeSpace) {
    std::string big(100, 'a');
    while (aniFreeSpace() > 300) add(0, big.c_str());
    int free = aniFreeSpace();
    char *ptr = anibuf_ptr;
    // The line is counted, not only the step: a step that would fit is refused when its line does not.
    EXPECT_EQ(aniAppendStep(0, "l 0 0 1 1", free + 1), 0);
    EXPECT_EQ(aniAppendStep(0, std::string(size_t(free), 'b').c_str(), free), 0);  // no room for the NUL
    EXPECT_EQ(anibuf_ptr, ptr);
    EXPECT_EQ(aniAppendStep(0, std::string(size_t(free - 1), 'b').c_str(), free), 1);
    EXPECT_EQ(aniFreeSpace(), 0);
    EXPECT_EQ(aniAppendStep(1, "", 0), 0);
    EXPECT_EQ(aniStoreScript(1, "y 5\n", 500), 0);
}

TEST_F(Animation, DeletionMovesLaterAnimationsDownAndEmptiesTheSlot) {
    add(1, "pw 1 0 1111");
    add(2, "pw 2 0 2222");
    add(2, "y 5");
    add(2, "pw 3 0 3333");
    add(3, "pw 4 0 4444");
    dta[2].cur = dta[2].start + 12;  // at its yield step
    std::string two = steps(2), three = steps(3);
    int free = aniFreeSpace();
    long len = dta[1].end - dta[1].start + 1;
    char *start2 = dta[2].start;
    ASSERT_EQ(DeleteAnimation(1), 1);
    EXPECT_EQ(dta[1].start, nullptr);
    EXPECT_EQ(dta[1].timer, ANI_STOPPED);
    EXPECT_EQ(dta[2].start, start2 - len);
    EXPECT_EQ(steps(2), two);
    EXPECT_EQ(steps(3), three);
    EXPECT_EQ(dta[2].cur, dta[2].start + 12);
    EXPECT_EQ(aniFreeSpace(), free + len);
    EXPECT_EQ(dta[2].start, anibuf);
    EXPECT_EQ(DeleteAnimation(1), 0);
    EXPECT_EQ(DeleteAnimation(10), 0);
    // The last animation deleted: the one before it is the last again and may grow.
    ASSERT_EQ(DeleteAnimation(3), 1);
    EXPECT_EQ(aniAppendStep(2, "pw 5 0 5555", 20), 1);
}

TEST_F(Animation, FramesAreCountedByYieldSteps) {
    add(4, "pw 0 0 1");
    add(4, "y 10");
    add(4, "pw 1 0 2");
    add(4, "y 10");
    add(4, "pw 2 0 3");
    char *frame1 = dta[4].start + 14;
    dta[4].timer = 7;
    ASSERT_EQ(aniSetFrame(4, 1), 1);
    EXPECT_EQ(dta[4].cur, frame1);
    EXPECT_EQ(dta[4].timer, ANI_IDLE);
    ASSERT_EQ(aniSetFrame(4, 0), 1);
    EXPECT_EQ(dta[4].cur, dta[4].start);
    aniSetFrame(4, 1);
    aniSetFrame(4, 2);  // frame 2 ends without a yield step: not found, cur stays
    EXPECT_EQ(dta[4].cur, frame1);
    aniSetFrame(4, -1);
    EXPECT_EQ(dta[4].cur, frame1);
    EXPECT_EQ(aniSetFrame(5, 0), 0);
    // Started again, the player goes on from the frame.
    ASSERT_EQ(aniStart(4), 1);
    run();
    EXPECT_EQ(pixel(1), 2);
    EXPECT_EQ(pixel(0), 0);
    EXPECT_EQ(dta[4].timer, 10);
}

TEST_F(Animation, StepsWithoutYieldRunTwiceThenStop) {
    add(0, "pw 0 0 7");
    add(0, "pw 1 0 8");
    ASSERT_EQ(aniStart(0), 1);
    EXPECT_EQ(animateTimer, 1);
    run();
    EXPECT_EQ(pixel(0), 7);
    EXPECT_EQ(pixel(1), 8);
    EXPECT_EQ(dta[0].timer, ANI_FREE);
    EXPECT_EQ(animateTimer, 0);  // nothing waits: the player runs again at the next pass
    LCD_SetPixelIndex(0, 0, 0);
    handle_animation();
    EXPECT_EQ(pixel(0), 7);
    EXPECT_EQ(dta[0].timer, ANI_STOPPED);
    LCD_SetPixelIndex(0, 0, 0);
    handle_animation();
    EXPECT_EQ(pixel(0), 0);
}

TEST_F(Animation, YieldStepForms) {
    struct Case {
        const char *yield;
        s32 timer;
    } cases[] = {
        {"y 250", 250}, {"y100", 0},   {"y", 0},     {"y s", ANI_STOPPED}, {"y 5x", 5},
        {"y -3", 0},    {"y  7", 0},   {"y\tq", 0}, {"yes", ANI_STOPPED},
    };
    for (const Case &c : cases) {
        init_animation();
        add(6, "pw 0 0 1");
        add(6, c.yield);
        aniStart(6);
        last_minT = 1;
        run();
        EXPECT_EQ(dta[6].timer, c.timer) << c.yield;
        EXPECT_EQ(dta[6].cur, dta[6].end) << c.yield;  // parked on the yield's terminator
    }
}

TEST_F(Animation, ThePlayerWaitsForTheNearestSlotAndCountsWhatPassed) {
    add(0, "pw 0 0 1");
    add(0, "y 300");
    add(1, "pw 1 0 1");
    add(1, "y 120");
    aniStart(0);
    aniStart(1);
    run();
    EXPECT_EQ(dta[0].timer, 300);
    EXPECT_EQ(dta[1].timer, 120);
    EXPECT_EQ(animateTimer, 120);
    EXPECT_EQ(last_minT, 120);
    run();  // 120 ms later: slot 1 is due again, slot 0 has 180 ms left
    EXPECT_EQ(dta[0].timer, 180);
    EXPECT_EQ(dta[1].timer, 120);
    EXPECT_EQ(animateTimer, 120);
    // A wait longer than the timer holds is served in pieces.
    init_animation();
    add(2, "y 100000");
    aniStart(2);
    run();
    EXPECT_EQ(dta[2].timer, 100000);
    EXPECT_EQ(animateTimer, 32766);
    run();
    EXPECT_EQ(dta[2].timer, 100000 - 32766);
}

TEST_F(Animation, TheHostsGraphicsStateSurvivesTheSteps) {
    add(0, "o 100 100");
    add(0, "S FF0000 00FF00");
    add(0, "y 10");
    GDI_STATE before;
    SaveState(&before);
    aniStart(0);
    run();
    EXPECT_EQ(Origin_X, before.originX);
    EXPECT_EQ(GUI_GetColor(), before.color);
    EXPECT_EQ(ExecState, EXEC_IDLE);
}

TEST_F(Animation, StepsMayClearButNeverMoveTheBuffer) {
    // The interpreter refuses what would add or move steps while they run.
    add(0, "anix 0");
    add(0, "ani 0 pw 0 0 1");
    add(0, "tf 1 \"x\"");
    add(0, "y 5");
    aniStart(0);
    int free = aniFreeSpace();
    run();
    EXPECT_NE(dta[0].start, nullptr);
    EXPECT_EQ(dta[1].start, nullptr);
    EXPECT_EQ(aniFreeSpace(), free);
    EXPECT_EQ(dta[0].timer, 5);
    // Clearing everything from a step ends the run at once; later slots are gone too.
    init_animation();
    add(3, "anic");
    add(3, "pw 0 0 9");
    add(4, "pw 1 0 9");
    aniStart(3);
    aniStart(4);
    run();
    EXPECT_EQ(pixel(0), 0);
    EXPECT_EQ(pixel(1), 0);
    EXPECT_EQ(dta[3].start, nullptr);
    EXPECT_EQ(anibuf_ptr, anibuf);
    EXPECT_EQ(ExecState, EXEC_IDLE);
}

TEST_F(Animation, BlinkScriptIsDueAndProgramsThePeriod) {
    const char script[] = "tm N\nT \"a\"\ny 400\ntm N\ny 400\n";
    ASSERT_EQ(aniStoreScript(3, script, 400), 1);
    EXPECT_EQ(dta[3].timer, 1);
    EXPECT_EQ(animateTimer, 400);
    EXPECT_EQ(*dta[3].end, 0);
    EXPECT_EQ(dta[3].end - dta[3].start, long(sizeof script - 1));
    EXPECT_EQ(aniStoreScript(3, script, 400), 0);  // the slot is used
    // Runs frame by frame across the LF-separated steps and wraps at the final NUL.
    last_minT = 1;
    for (int i = 0; i < 5; ++i) run();
    EXPECT_EQ(dta[3].timer, 400);
    EXPECT_GE(dta[3].cur, dta[3].start);
    EXPECT_LE(dta[3].cur, dta[3].end);
}

}  // namespace
