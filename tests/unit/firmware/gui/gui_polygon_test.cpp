// Polygon filling by scan lines: crossings, rounding, vertex and horizontal-edge rules, the
// crossing limit; outlines and rotation.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gui_test_util.h"

using namespace guitest;

class GuiPolygon : public GuiTest {};

TEST_F(GuiPolygon, RectangleAndTriangle) {
    GUI_POINT r[] = {{10, 10}, {20, 10}, {20, 15}, {10, 15}};
    GUI_FillPolygon(r, 4, 0, 0);
    EXPECT_EQ(drawn(), spans({{10, 10, 20}, {11, 10, 20}, {12, 10, 20}, {13, 10, 20}, {14, 10, 20},
                              {15, 10, 20}}));
    clearScreen();
    // Right triangle moved by (100, 100): row y spans 0 .. 10 - y; the bottom vertex is a
    // single pixel.
    GUI_POINT t[] = {{0, 0}, {10, 0}, {0, 10}};
    GUI_FillPolygon(t, 3, 100, 100);
    PixelSet want;
    for (int y = 0; y <= 10; ++y)
        for (int x = 0; x <= 10 - y; ++x) want.insert({100 + x, 100 + y});
    EXPECT_EQ(drawn(), want);
}

TEST_F(GuiPolygon, CrossingsRoundHalvesTowardPositiveX) {
    // Right-leaning: the edges cross rows 1 and 3 at x = 0.5, which rounds to 1.
    GUI_POINT a[] = {{0, 0}, {1, 2}, {0, 4}};
    GUI_FillPolygon(a, 3, 50, 50);
    EXPECT_EQ(drawn(), spans({{50, 50, 50}, {51, 50, 51}, {52, 50, 51}, {53, 50, 51}, {54, 50, 50}}));
    clearScreen();
    // Left-leaning: x = -0.5 rounds to 0.
    GUI_POINT b[] = {{0, 0}, {-1, 2}, {0, 4}};
    GUI_FillPolygon(b, 3, 50, 50);
    EXPECT_EQ(drawn(), spans({{50, 50, 50}, {51, 50, 50}, {52, 49, 50}, {53, 50, 50}, {54, 50, 50}}));
}

TEST_F(GuiPolygon, PeaksAndValleysAreSinglePixels) {
    // A "V" notch in the top edge: the valley vertex (5, 4) has both edges going up.
    GUI_POINT v[] = {{0, 0}, {5, 4}, {10, 0}, {10, 8}, {0, 8}};
    GUI_FillPolygon(v, 5, 0, 0);
    PixelSet s = drawn();
    EXPECT_TRUE(s.count({5, 4}));
    EXPECT_FALSE(s.count({5, 3}));
    EXPECT_TRUE(s.count({0, 0}) && s.count({10, 0}));
    EXPECT_FALSE(s.count({1, 0}));
    for (int x = 0; x <= 10; ++x) EXPECT_TRUE(s.count({x, 5}));
}

TEST_F(GuiPolygon, HorizontalEdgesBetweenRisingAndFallingEdgesLeaveNoGap) {
    // A step: the row of the horizontal edge at y = 5 is filled all the way from x = 0.
    GUI_POINT p[] = {{0, 0}, {10, 0}, {10, 5}, {20, 5}, {20, 10}, {0, 10}};
    GUI_FillPolygon(p, 6, 0, 0);
    PixelSet want;
    for (int y = 0; y <= 10; ++y)
        for (int x = 0; x <= (y < 5 ? 10 : 20); ++x) want.insert({x, y});
    EXPECT_EQ(drawn(), want);
}

TEST_F(GuiPolygon, AtMostTwelveCrossingsPerLine) {
    // A comb of 7 teeth (x = 4k .. 4k + 2) above a base: 14 crossings on a tooth row, of which
    // the 12 leftmost are kept, so the 7th tooth is missing there; the base is whole.
    std::vector<GUI_POINT> comb = {{0, 12}};
    for (int k = 0; k < 7; ++k) {
        comb.push_back({(s16)(4 * k), 0});
        comb.push_back({(s16)(4 * k + 2), 0});
        comb.push_back({(s16)(4 * k + 2), 10});
        if (k < 6) comb.push_back({(s16)(4 * k + 4), 10});
    }
    comb.push_back({26, 12});
    GUI_FillPolygon(comb.data(), (int)comb.size(), 100, 100);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(at(100 + 4 * k + 1, 105), 0xFFFF) << k;
    EXPECT_EQ(at(100 + 25, 105), 0);
    EXPECT_EQ(at(100 + 3, 105), 0);  // gaps between teeth stay empty
    for (int x = 0; x <= 26; ++x) EXPECT_EQ(at(100 + x, 111), 0xFFFF);
}

TEST_F(GuiPolygon, RepeatedAndCollinearPointsChangeNothing) {
    GUI_POINT plain[] = {{10, 10}, {30, 10}, {30, 20}, {10, 20}};
    GUI_FillPolygon(plain, 4, 0, 0);
    PixelSet want = drawn();
    clearScreen();
    GUI_POINT messy[] = {{10, 10}, {10, 10}, {20, 10}, {30, 10}, {30, 10}, {30, 15},
                         {30, 20}, {20, 20}, {10, 20}, {10, 15}, {10, 10}};
    GUI_FillPolygon(messy, 11, 0, 0);
    EXPECT_EQ(drawn(), want);
    clearScreen();
    GUI_POINT same[] = {{5, 5}, {5, 5}, {5, 5}};
    GUI_FillPolygon(same, 3, 0, 0);
    EXPECT_EQ(drawn(), PixelSet({{5, 5}}));
    clearScreen();
    GUI_POINT flat[] = {{5, 5}, {9, 5}, {7, 5}};
    GUI_FillPolygon(flat, 3, 0, 0);
    EXPECT_EQ(drawn(), spans({{5, 5, 9}}));
    clearScreen();
    GUI_FillPolygon(plain, 0, 0, 0);
    GUI_FillPolygon(nullptr, 4, 0, 0);
    GUI_FillPolygon(plain, -3, 0, 0);
    EXPECT_TRUE(drawn().empty());
}

TEST_F(GuiPolygon, ExtremeCoordinatesAreClipped) {
    GUI_POINT big[] = {{-32768, -32768}, {32767, -32768}, {32767, 32767}, {-32768, 32767}};
    GUI_FillPolygon(big, 4, 0, 0);
    EXPECT_EQ(drawn().size(), 640u * 480u);
    clearScreen();
    GUI_FillPolygon(big, 4, 32767, 32767);  // the offset moves it further out
    GUI_POINT thin[] = {{-32768, 0}, {32767, 479}, {32767, 480}};
    GUI_FillPolygon(thin, 3, -32768, 0);
    GUI_DrawPolygon(big, 4, -32768, 32767);
    EXPECT_TRUE(guardsIntact());
}

TEST_F(GuiPolygon, EdgesSpanningTheWholeIntRangeCrossAtTheExactPixel) {
    // The right edge rises 2^32 - 1 rows and runs 2^32 - 601 columns, crossing the screen's
    // rows near x = 300 + y; its crossings multiply two values of 32 bits each. The left edge
    // stays far off to the left, so each row is filled from 0 to the crossing.
    const int xs[] = {INT32_MIN + 600, INT32_MAX, INT32_MIN};
    const int ys[] = {INT32_MIN, INT32_MAX, INT32_MAX};
    GUI_FillPolygonInt(xs, ys, 3);
    auto crossing = [](long long y) {  // the exact value, rounded half up, in 128 bits
        const __int128 t = y - INT32_MIN, dx = (__int128)INT32_MAX - (INT32_MIN + 600ll), d = 0xFFFFFFFFll;
        return (long long)(INT32_MIN + 600ll + (long long)((2 * t * dx + d) / (2 * d)));
    };
    ASSERT_EQ(crossing(0), 300);
    PixelSet want;
    for (int y = 0; y < 480; ++y)
        for (long long x = 0; x <= std::min(639ll, crossing(y)); ++x) want.insert({int(x), y});
    EXPECT_EQ(drawn(), want);
    EXPECT_TRUE(guardsIntact());
}

TEST_F(GuiPolygon, OutlineJoinsTheLastPointToTheFirst) {
    GUI_POINT t[] = {{0, 0}, {10, 0}, {10, 10}};
    GUI_DrawPolygon(t, 3, 20, 20);
    PixelSet s = drawn();
    for (int i = 0; i <= 10; ++i) {
        EXPECT_TRUE(s.count({20 + i, 20}));
        EXPECT_TRUE(s.count({30, 20 + i}));
        EXPECT_TRUE(s.count({20 + i, 20 + i}));
    }
    EXPECT_EQ(s.size(), 30u);
}

TEST_F(GuiPolygon, RotationTruncatesTowardZero) {
    GUI_POINT src[] = {{100, 0}, {10, 0}, {0, 10}, {32767, 32767}, {-10, 0}};
    GUI_POINT dst[5];
    GUI_RotatePolygon(dst, src, 5, 3.14159265f / 2);
    EXPECT_EQ(dst[0].x, 0);
    EXPECT_EQ(dst[0].y, -100);
    EXPECT_EQ(dst[2].x, 10);
    GUI_RotatePolygon(dst, src, 5, 0.1f);
    EXPECT_EQ(dst[1].x, 9);   // 9.95
    EXPECT_EQ(dst[1].y, 0);   // -0.998
    EXPECT_EQ(dst[2].x, 0);   // 0.998
    EXPECT_EQ(dst[2].y, 9);   // 9.95
    EXPECT_EQ(dst[4].x, -9);
    GUI_RotatePolygon(dst, src, 5, 3.14159265f / 4);
    EXPECT_EQ(dst[3].x, 32767);  // 46340 does not fit: held at the limit
    GUI_RotatePolygon(dst, src, 5, NAN);
    EXPECT_EQ(dst[0].x, 0);
    GUI_RotatePolygon(src, src, 1, 0.0f);  // in place
    EXPECT_EQ(src[0].x, 100);
}
