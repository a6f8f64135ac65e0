// The touch sampler stepped tick by tick against the simulated controller and panel, and the
// calibration mapping.
#include <gtest/gtest.h>

#include <cstring>

#include "storage/KT_eeprom.h"
#include "touch.h"
#include "touch/KT_touch.h"

namespace {

struct Sampler : ::testing::Test {
    void SetUp() override {
        memset(&eepromData, 0, sizeof eepromData);
        eepromData.tspan = 12;
        eepromData.tsamp = 8;
        eepromData.tplo = 250;
        eepromData.tphi = 700;
        eepromData.debounce = 100;
        eepromData.calXLog0 = 15;
        eepromData.calXLog1 = 304;
        eepromData.calXPhys0 = 20;
        eepromData.calXPhys1 = 235;
        eepromData.calYLog0 = 224;
        eepromData.calYLog1 = 15;
        eepromData.calYPhys0 = 235;
        eepromData.calYPhys1 = 20;
        sim::touch::release();
        sim::touch::setNoise(0);
        debug_touch = 0;
        KT_Touch_Init();
        ClearTtrace();
        enableTouch(1);
        touchActive = 0;
        KT_Touch_Set_State(0, -1, -1);
    }
    // Ticks until State shows pressed (0 when it did not within limit).
    static int ticksUntilPressed(int limit) {
        for (int i = 1; i <= limit; ++i) {
            KT_Update_Touch();
            if (State.pressed) return i;
        }
        return 0;
    }
    static void ticks(int n) {
        for (int i = 0; i < n; ++i) KT_Update_Touch();
    }
    static bool traced(s32 c) {
        for (int i = 0; i < ttraceIndex; ++i)
            if (ttraceData[i].c == c) return true;
        return false;
    }
};

}  // namespace

TEST_F(Sampler, PressIsPublishedOnTheNinthTickAndReleasedAfterTheHoldOff) {
    sim::touch::press(320, 240);
    EXPECT_EQ(ticksUntilPressed(50), 9);
    EXPECT_TRUE(KT_Touch_ever());
    int x, y;
    KT_GetLocation(&x, &y);
    EXPECT_NEAR(x, 320, 1);
    EXPECT_NEAR(y, 240, 1);
    EXPECT_EQ(_tState, TS_HOLDOFF);

    sim::touch::release();
    // The hold-off (debounce ticks, then one more to leave it) keeps the touch published.
    ticks(101);
    EXPECT_TRUE(State.pressed);
    KT_Update_Touch();
    EXPECT_FALSE(State.pressed);
    EXPECT_EQ(State.x, -1);
    EXPECT_EQ(touchActive, 0);
}

TEST_F(Sampler, FactoryPanelLandsWithinAPixelEverywhere) {
    for (int px = 0; px < 640; px += 71) {
        for (int py = 0; py < 480; py += 53) {
            sim::touch::press(px, py);
            enableTouch(1);
            touchActive = 0;
            KT_Touch_Set_State(0, -1, -1);
            ASSERT_GT(ticksUntilPressed(20), 0) << px << "," << py;
            int x, y;
            KT_GetLocation(&x, &y);
            EXPECT_NEAR(x, px, 1);
            EXPECT_NEAR(y, py, 1);
            EXPECT_GE(lastPress, 250u);
            EXPECT_LE(lastPress, 700u);
        }
    }
}

TEST_F(Sampler, TapShorterThanABurstPublishesNothing) {
    sim::touch::press(100, 100);
    ticks(5);
    sim::touch::release();
    ticks(20);
    EXPECT_FALSE(State.pressed);
    EXPECT_TRUE(KT_Touch_ever());
}

TEST_F(Sampler, NoisyBurstsAreRejectedForSpread) {
    sim::touch::setNoise(200);
    sim::touch::press(300, 200);
    EXPECT_EQ(ticksUntilPressed(200), 0);
    EXPECT_TRUE(traced(9996));
    // Noise within the allowed spread averages out.
    sim::touch::setNoise(8);
    EXPECT_GT(ticksUntilPressed(200), 0);
}

TEST_F(Sampler, ZeroSamplesPerBurstAndZeroZ1KeepTheSamplerRunning) {
    eepromData.tsamp = 0;
    sim::touch::pressRaw(300, 400, 0, 500);
    EXPECT_EQ(touchPressure(300, 400, 0, 500), 0xFFFFFFFFu);
    EXPECT_EQ(ticksUntilPressed(5), 2);  // one tick sees the pen, the next ends a one-sample burst
    EXPECT_EQ(State.x, 400);
    EXPECT_EQ(State.y, 300);
    // The pressure window refuses a sample without contact.
    eepromData.touchMode = TOUCH_MODE_PRESSURE;
    enableTouch(1);
    touchActive = 0;
    KT_Touch_Set_State(0, -1, -1);
    EXPECT_EQ(ticksUntilPressed(50), 0);
}

TEST_F(Sampler, ExtremeReadingsArePublishedButLieOutsideTheCalibratedRange) {
    sim::touch::pressRaw(1024, 0, 100, 300);
    ASSERT_GT(ticksUntilPressed(20), 0);
    EXPECT_EQ(State.x, 0);
    EXPECT_EQ(State.y, 1024);
    int x, y;
    KT_GetLocation(&x, &y);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
}

TEST_F(Sampler, PressureWindowStopsEveryBurstButTheTouchIsNoticed) {
    eepromData.touchMode = TOUCH_MODE_PRESSURE;
    eepromData.tplo = 500;  // a normal finger presses about 400
    sim::touch::press(200, 200);
    EXPECT_EQ(ticksUntilPressed(300), 0);
    EXPECT_TRUE(KT_Touch_ever());
    eepromData.tplo = 250;
    EXPECT_GT(ticksUntilPressed(300), 0);
}

TEST_F(Sampler, LatchKeepsTheFirstPositionUntilRelease) {
    eepromData.touchMode = TOUCH_MODE_LATCH;
    sim::touch::press(100, 100);
    ASSERT_GT(ticksUntilPressed(20), 0);
    s32 x0 = State.x;
    sim::touch::press(400, 300);
    ticks(400);
    EXPECT_TRUE(State.pressed);
    EXPECT_EQ(State.x, x0);
    sim::touch::release();
    ticks(120);
    EXPECT_FALSE(State.pressed);
    sim::touch::press(400, 300);
    ASSERT_GT(ticksUntilPressed(20), 0);
    EXPECT_NE(State.x, x0);
}

TEST_F(Sampler, WanderingFingerIsReleasedThenPublishedWhereItWent) {
    eepromData.touchMode = TOUCH_MODE_WANDER;
    sim::touch::press(100, 100);
    ASSERT_GT(ticksUntilPressed(20), 0);
    sim::touch::press(200, 100);  // about 74 counts along the Y channel
    ticks(110);                   // through the hold-off into the next burst
    EXPECT_FALSE(State.pressed);
    EXPECT_GT(ticksUntilPressed(120), 0);  // the burst after the next hold-off
    int x, y;
    KT_GetLocation(&x, &y);
    EXPECT_NEAR(x, 200, 1);
}

TEST_F(Sampler, FrozenSamplerLeavesStateAlone) {
    sim::touch::press(100, 100);
    ASSERT_GT(ticksUntilPressed(20), 0);
    enableTouch(0);
    sim::touch::release();
    ticks(500);
    EXPECT_TRUE(State.pressed);
    EXPECT_EQ(_tState, TS_FROZEN);
}

TEST_F(Sampler, TraceStopsAtOneHundredEntries) {
    for (int i = 0; i < 150; ++i) ttrace(i, i, 1);
    EXPECT_EQ(ttraceIndex, TTRACE_SIZE);
    EXPECT_EQ(ttraceData[99].a, 99);
    ClearTtrace();
    ttrace(7, 8, 9);
    EXPECT_EQ(ttraceIndex, 1);
    EXPECT_EQ(ttraceData[0].a, 7);
}

TEST(Calibration, DefaultPairsAndTheMapping) {
    debug_touch = 0;
    KT_Touch_Calibrate_Default();
    EXPECT_EQ(xyPhysMinMax[0], 9);
    EXPECT_EQ(xyPhysMinMax[1], 484);
    EXPECT_EQ(xyPhysMinMax[2], 5);
    EXPECT_EQ(xyPhysMinMax[3], 497);
    EXPECT_EQ(ADC2X(9), 0);
    EXPECT_EQ(ADC2X(484), 639);
    EXPECT_EQ(ADC2Y(497), 479);
    // Truncation toward zero on both sides of the reference point.
    EXPECT_EQ(KT_Touch_Log2Phys(0, 20, 619, 100, 700), 80);
    EXPECT_EQ(KT_Touch_Log2Phys(-7, 0, 10, 0, 5), -3);
}

TEST(Calibration, ReversedAxesStillSpanTheScreen) {
    debug_touch = 0;
    ASSERT_TRUE(KT_Touch_Calibrate(0, 20, 619, 900, 100));
    ASSERT_TRUE(KT_Touch_Calibrate(1, 459, 20, 150, 850));
    EXPECT_GT(xyPhysMinMax[0], xyPhysMinMax[1]);
    State.pressed = 1;
    State.x = xyPhysMinMax[0];
    State.y = xyPhysMinMax[2];
    int x, y;
    KT_GetLocation(&x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    State.x = xyPhysMinMax[1];
    State.y = xyPhysMinMax[3];
    KT_GetLocation(&x, &y);
    EXPECT_EQ(x, 639);
    EXPECT_EQ(y, 479);
    State.x = xyPhysMinMax[0] + 1;  // beyond the panel edge
    KT_GetLocation(&x, &y);
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    State.pressed = 0;
}

TEST(Calibration, RefusalsKeepThePreviousPair) {
    debug_touch = 0;
    KT_Touch_Calibrate_Default();
    EXPECT_FALSE(KT_Touch_Calibrate(0, 20, 619, 300, 319));  // 19 counts apart
    EXPECT_FALSE(KT_Touch_Calibrate(0, 20, 39, 100, 900));   // 19 pixels apart
    EXPECT_FALSE(KT_Touch_Calibrate(1, 20, 20, 100, 100));   // equal points
    EXPECT_FALSE(KT_Touch_Calibrate(0, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MIN));
    EXPECT_EQ(xyPhysMinMax[0], 9);
    EXPECT_EQ(xyPhysMinMax[1], 484);
    EXPECT_EQ(xyPhysMinMax[3], 497);
    // Stored points from a blank EEPROM are refused without dividing by zero.
    memset(&eepromData, 0xFF, sizeof eepromData);
    EXPECT_FALSE(KT_Touch_Calibrate_from_EEPROM());
    EXPECT_EQ(xyPhysMinMax[0], 9);
    // Points far apart compute without overflowing.
    EXPECT_TRUE(KT_Touch_Calibrate(0, -2000000000, 2000000000, -2000000000, 2000000000));
}

TEST(Calibration, GetTouchReportsTheLiftOnce) {
    KT_Touch_Calibrate_Default();
    State.pressed = 0;
    touchSeen = 0;
    int x, y;
    EXPECT_EQ(KT_GetTouch(&x, &y), 1);
    EXPECT_EQ(KT_GetTouch(&x, &y), 0);
    State.pressed = 1;
    State.x = 200;
    State.y = 200;
    EXPECT_EQ(KT_GetTouch(&x, &y), 0);
    EXPECT_NE(x, -1);
    State.pressed = 0;
    EXPECT_EQ(KT_GetTouch(&x, &y), 1);
    EXPECT_EQ(KT_GetTouch(&x, &y), 0);
}
