// The pixel/value scale shared by sliders, bars and charts, and strip charts on hostile
// rectangles and steps.
#include <climits>

#include "gui_test_util.h"
#include "widgets/KT_chart.h"

namespace {

// The travel of a 200-pixel track with a 20-pixel knob at x = 100: pixels 110..290.
ChartScale slider(s32 min, s32 max, int reversed = 0) {
    ChartScale s{};
    EXPECT_EQ(KT_Chart_Common(&s, 110, 60, 290, 60, 1, reversed, max, min, 0), 1);
    return s;
}

TEST(ChartScale, CommonStoresSpanAndReversedBitAndRefusesOtherDirections) {
    ChartScale s{};
    EXPECT_EQ(KT_Chart_Common(&s, 10, 20, 30, 120, 0, 7, 100, 0, 0x123456), 1);
    EXPECT_EQ(s.span, 100);
    EXPECT_EQ(s.flags, SCALE_REVERSED);
    EXPECT_EQ(s.extra, 0x123456);
    ChartScale before = s;
    EXPECT_EQ(KT_Chart_Common(&s, 0, 0, 5, 5, 2, 0, 9, 1, 0), 0);
    EXPECT_EQ(memcmp(&before, &s, sizeof s), 0);
    EXPECT_EQ(KT_Chart_Common(&s, INT_MIN, 0, INT_MAX, 0, 1, 0, 1, 0, 0), 1);
    EXPECT_EQ(s.span, INT_MAX);  // held at the edge of the range, not wrapped negative
}

TEST(ChartScale, PixelToValueEndsMiddleAndRounding) {
    ChartScale s = slider(0, 100);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 110), 0);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 290), 100);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 200), 50);
    // Doubled share truncated, plus one, halved: 1.1 -> 1, 2.2 -> 1, 3.3 -> 2, 0.55 -> 1.
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 111), 1);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 112), 1);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 113), 2);
    ChartScale t = slider(0, 1000);
    EXPECT_EQ(KT_Chart_pixel_to_value(&t, 111), 6);
    // Beyond either end: the end's value, whatever the direction.
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 50), 0);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 400), 100);
    ChartScale r = slider(-50, 50, 1);
    EXPECT_EQ(KT_Chart_pixel_to_value(&r, 50), -50);
    EXPECT_EQ(KT_Chart_pixel_to_value(&r, 400), 50);
}

TEST(ChartScale, ReversedRunsFromMaxAtTheNearEnd) {
    ChartScale r = slider(-50, 50, 1);
    EXPECT_EQ(KT_Chart_pixel_to_value(&r, 110), 50);
    EXPECT_EQ(KT_Chart_pixel_to_value(&r, 290), -50);
    EXPECT_EQ(KT_Chart_pixel_to_value(&r, 200), 0);
    EXPECT_EQ(KT_Chart_pixel_to_value(&r, 155), 25);
}

TEST(ChartScale, DegenerateScales) {
    EXPECT_EQ(KT_Chart_pixel_to_value(nullptr, 5), 0);
    EXPECT_EQ(KT_Chart_value_to_pixel(nullptr, 5), -1);
    // No travel: the only pixel reads 0.
    ChartScale z{};
    KT_Chart_Common(&z, 200, 0, 200, 0, 1, 0, 100, 10, 0);
    EXPECT_EQ(KT_Chart_pixel_to_value(&z, 200), 0);
    EXPECT_EQ(KT_Chart_pixel_to_value(&z, 201), 100);
    // max = min: every value at the near end; min above max: nothing in range.
    ChartScale e = slider(7, 7);
    EXPECT_EQ(KT_Chart_value_to_pixel(&e, 7), 0);
    ChartScale d = slider(10, 0);
    EXPECT_EQ(KT_Chart_value_to_pixel(&d, 5), -1);
    EXPECT_EQ(KT_Chart_value_to_pixel(&d, 10), -2);
    EXPECT_EQ(KT_Chart_pixel_to_value(&d, 200), 5);
}

TEST(ChartScale, ValueToPixelTruncatesAndSignalsOutOfRange) {
    ChartScale s{};
    KT_Chart_Common(&s, 100, 100, 130, 300, 0, 0, 100, 0, 0);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, 70), 140);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, 33), 66);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, 0), 0);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, 100), 200);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, -1), -1);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, 101), -2);
    ChartScale t = slider(0, 100);
    EXPECT_EQ(KT_Chart_value_to_pixel(&t, 33), 59);  // 59.4
}

TEST(ChartScale, FullRangeValuesDoNotOverflow) {
    ChartScale s = slider(INT_MIN, INT_MAX);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 200), 0);
    EXPECT_EQ(KT_Chart_pixel_to_value(&s, 289), INT_MAX - 23860929);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, INT_MAX), 180);
    EXPECT_EQ(KT_Chart_value_to_pixel(&s, 0), 90);
    // Span and range both near 2^32: the product no longer fits in 64 bits.
    ChartScale w{};
    KT_Chart_Common(&w, 0, INT_MIN, 0, INT_MAX, 0, 0, INT_MAX, INT_MIN, 0);
    EXPECT_EQ(KT_Chart_value_to_pixel(&w, INT_MAX), INT_MAX);
    EXPECT_NEAR(KT_Chart_value_to_pixel(&w, 0), INT_MAX / 2, 2);
}

class Charts : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        KT_Chart_Init();
    }
};

TEST_F(Charts, SetupRefusesBadNumbersModesAndPensOfFreeCharts) {
    EXPECT_EQ(KT_Chart_Setup(10, 0, 5, 0, 0, 10, 10, 0, 100, 0), 0);
    EXPECT_EQ(KT_Chart_Setup(-1, 0, 5, 0, 0, 10, 10, 0, 100, 0), 0);
    EXPECT_EQ(KT_Chart_Setup(0, 2, 5, 0, 0, 10, 10, 0, 100, 0), 0);
    EXPECT_EQ(KT_Chart_Set_Pen(0, 0, 0xFF, 1), 0);
    s32 v[4] = {1, 2, 3, 4};
    EXPECT_EQ(KT_Chart_Show(0, 1, v), 0);
    ASSERT_EQ(KT_Chart_Setup(0, 0, 5, 0, 0, 10, 10, 0, 100, 0), 1);
    EXPECT_EQ(KT_Chart_Set_Pen(0, 4, 0xFF, 1), 0);
    EXPECT_EQ(KT_Chart_Show(0, 5, v), 0);
    EXPECT_EQ(KT_Chart_Show(0, 4, v), 1);
}

TEST_F(Charts, ShowReturnsThePixelOffsetsUsed) {
    ASSERT_EQ(KT_Chart_Setup(1, 1, 10, 100, 200, 200, 300, 0, 100, 0), 1);
    ASSERT_EQ(KT_Chart_Set_Pen(1, 0, 0xFFFFFF, 1), 1);
    ASSERT_EQ(KT_Chart_Set_Pen(1, 1, 0xFFFFFF, 1), 1);
    s32 v[3] = {150, -5, 42};
    EXPECT_EQ(KT_Chart_Show(1, 3, v), 1);
    EXPECT_EQ(v[0], 100);  // above max: the top
    EXPECT_EQ(v[1], 0);    // below min: the bottom
    EXPECT_EQ(v[2], 42);   // pen 2 is not enabled: its value is not plotted nor turned into an offset
}

TEST_F(Charts, HostileRectanglesAndStepsStayInsideTheChartAndTheFrameBuffer) {
    guitest::clearScreen(0x1111);
    // Far larger than the screen, and reversed corners.
    ASSERT_EQ(KT_Chart_Setup(0, 0, 255, 100000, 100000, -100000, -100000, INT_MIN, INT_MAX, 0xFFFFFF), 1);
    ASSERT_EQ(KT_Chart_Set_Pen(0, 0, 0x0000FF, 200), 1);
    s32 v[1] = {INT_MAX};
    for (int i = 0; i < 3; ++i) EXPECT_EQ(KT_Chart_Show(0, 1, v), 1);
    // A sweeping chart whose step is wider than itself, and one with step 0.
    ASSERT_EQ(KT_Chart_Setup(1, 1, 200, 600, 400, 620, 470, 0, 10, 0), 1);
    ASSERT_EQ(KT_Chart_Set_Pen(1, 0, 0xFFFFFF, 5), 1);
    ASSERT_EQ(KT_Chart_Setup(2, 1, 0, 10, 10, 30, 30, 0, 10, 0), 1);
    ASSERT_EQ(KT_Chart_Set_Pen(2, 0, 0xFFFFFF, 1), 1);
    guitest::clearScreen(0x1111);
    for (int i = 0; i < 5; ++i) {
        s32 a[1] = {i * 3}, b[1] = {i};
        EXPECT_EQ(KT_Chart_Show(1, 1, a), 1);
        EXPECT_EQ(KT_Chart_Show(2, 1, b), 1);
    }
    for (auto p : guitest::drawn(0x1111)) {
        bool inOne = p.first >= 600 && p.first <= 620 && p.second >= 400 && p.second <= 470;
        bool inTwo = p.first >= 10 && p.first <= 30 && p.second >= 10 && p.second <= 30;
        EXPECT_TRUE(inOne || inTwo) << p.first << "," << p.second;
    }
    // Reaching far past the screen's right edge: drawn on the screen, still inside the chart.
    ASSERT_EQ(KT_Chart_Setup(4, 1, 10, 100, 100, 70000, 200, 0, 10, 0x00FF00), 1);
    ASSERT_EQ(KT_Chart_Set_Pen(4, 0, 0xFFFFFF, 1), 1);
    guitest::clearScreen(0x1111);
    s32 e[1] = {5};
    EXPECT_EQ(KT_Chart_Show(4, 1, e), 1);
    guitest::PixelSet shown = guitest::drawn(0x1111);
    EXPECT_FALSE(shown.empty());
    for (auto p : shown) EXPECT_TRUE(p.first >= 100 && p.second >= 100 && p.second <= 200);
    // Off the screen altogether: nothing is drawn.
    ASSERT_EQ(KT_Chart_Setup(3, 0, 10, -500, -500, -100, -100, 0, 10, 0), 1);
    guitest::clearScreen(0x1111);
    s32 c[1] = {5};
    EXPECT_EQ(KT_Chart_Show(3, 1, c), 1);
    EXPECT_TRUE(guitest::drawn(0x1111).empty());
}

TEST_F(Charts, ScrollingMovesThePictureRightInsideTheChartOnly) {
    // Columns 100..140, rows 50..60, ten columns per sample; no pen, so only the move and the
    // clearing strip change the screen.
    ASSERT_EQ(KT_Chart_Setup(0, 0, 10, 100, 50, 140, 60, 0, 10, 0), 1);
    guitest::clearScreen(0x1111);
    guitest::fb()[55 * 640 + 120] = 0x2222;  // inside: moves to 130
    guitest::fb()[55 * 640 + 135] = 0x3333;  // within a step of the right edge: scrolled out
    guitest::fb()[55 * 640 + 95] = 0x4444;   // left of the chart: stays
    guitest::fb()[61 * 640 + 120] = 0x5555;  // below the chart: stays
    EXPECT_EQ(KT_Chart_Show(0, 0, nullptr), 1);
    EXPECT_EQ(guitest::at(130, 55), 0x2222);
    EXPECT_EQ(guitest::at(120, 55), 0x1111);  // what was at 110
    EXPECT_EQ(guitest::at(135, 55), 0x1111);
    EXPECT_EQ(guitest::at(145, 55), 0x1111);  // nothing is pushed past the right edge
    EXPECT_EQ(guitest::at(95, 55), 0x4444);
    EXPECT_EQ(guitest::at(120, 61), 0x5555);
    for (int x = 100; x <= 110; ++x) EXPECT_EQ(guitest::at(x, 55), 0) << x;  // the clearing strip
    for (auto p : guitest::drawn(0x1111)) {
        bool marker = p == guitest::Pixel{95, 55} || p == guitest::Pixel{120, 61};
        EXPECT_TRUE(marker || (p.first >= 100 && p.first <= 140 && p.second >= 50 && p.second <= 60))
            << p.first << "," << p.second;
    }
    // Hanging over the left edge of the screen: only the visible part moves, and what comes in
    // from beyond the edge reads as an empty pixel.
    ASSERT_EQ(KT_Chart_Setup(1, 0, 10, -5, 100, 30, 110, 0, 10, 0), 1);
    guitest::clearScreen(0x1111);
    guitest::fb()[105 * 640 + 0] = 0x2222;
    EXPECT_EQ(KT_Chart_Show(1, 0, nullptr), 1);
    EXPECT_EQ(guitest::at(10, 105), 0x2222);
    for (int x = 6; x <= 9; ++x) EXPECT_EQ(guitest::at(x, 105), 0) << x;
    EXPECT_EQ(guitest::at(31, 105), 0x1111);
}

}  // namespace
