// Circles, ellipses and arcs, against point and span lists worked out by hand from their rules.
#include <cmath>

#include "gui_test_util.h"

using namespace guitest;

class GuiCircle : public GuiTest {};

// Mirror images of the offsets in both axes.
static PixelSet mirrored4(int cx, int cy, std::initializer_list<Pixel> offsets) {
    PixelSet s;
    for (auto o : offsets)
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) s.insert({cx + sx * o.first, cy + sy * o.second});
    return s;
}

// Rows y0 +- k filled over x0 - w[k] .. x0 + w[k].
static PixelSet rows(int cx, int cy, std::initializer_list<int> halfWidths) {
    PixelSet s;
    int k = 0;
    for (int w : halfWidths) {
        for (int x = cx - w; x <= cx + w; ++x) {
            s.insert({x, cy + k});
            s.insert({x, cy - k});
        }
        k++;
    }
    return s;
}

TEST_F(GuiCircle, OutlinesOfSmallRadii) {
    GUI_DrawCircle(100, 100, 0);
    EXPECT_EQ(drawn(), PixelSet({{100, 100}}));
    clearScreen();
    // r = 1: (0, 1) on the axes, then a = 1 passes the threshold 1 and plots (1, 1), then (1, 0).
    GUI_DrawCircle(100, 100, 1);
    EXPECT_EQ(drawn(), mirrored4(100, 100, {{0, 1}, {1, 0}, {1, 1}}));
    clearScreen();
    // r = 3: n = 2, threshold 10: (0,3); a=1: (1,3); a=2: (2,3), r=2, (2,2); a=3: (3,2), r=1, (3,1).
    GUI_DrawCircle(200, 100, 3);
    EXPECT_EQ(drawn(), mirrored4(200, 100, {{0, 3}, {3, 0}, {1, 3}, {3, 1}, {2, 3}, {3, 2}, {2, 2}}));
}

TEST_F(GuiCircle, OutlineIsSymmetricAndNearTheRadius) {
    GUI_DrawCircle(320, 240, 50);
    PixelSet s = drawn();
    for (auto p : s) {
        int dx = p.first - 320, dy = p.second - 240;
        EXPECT_TRUE(s.count({320 - dx, 240 + dy}) && s.count({320 + dy, 240 + dx}));
        EXPECT_NEAR(std::sqrt(double(dx * dx + dy * dy)), 50.0, 1.0);
    }
    EXPECT_TRUE(s.count({370, 240}) && s.count({320, 190}));
}

TEST_F(GuiCircle, FilledCirclesSpanByRow) {
    // r = 3: rows 0 and 1 at 3; a = 2 shrinks r to 2; a = 3 to 1 (n + 1 < r never holds).
    GUI_FillCircle(50, 50, 3);
    EXPECT_EQ(drawn(), rows(50, 50, {3, 3, 2, 1}));
    clearScreen();
    // r = 10: n = 7, threshold 105. a = 3 and a = 5 fill the cap rows 10 and 9 (n + 1 < r),
    // a = 7 and 8 only shrink.
    GUI_FillCircle(100, 100, 10);
    EXPECT_EQ(drawn(), rows(100, 100, {10, 10, 10, 9, 9, 8, 8, 7, 6, 4, 2}));
    clearScreen();
    GUI_FillCircle(10, 10, 0);
    EXPECT_EQ(drawn(), PixelSet({{10, 10}}));
    GUI_FillCircle(10, 10, -1);
    GUI_DrawCircle(10, 10, -5);
    EXPECT_EQ(drawn().size(), 1u);
}

TEST_F(GuiCircle, HugeRadiiAndFarCentresStayInside) {
    GUI_FillCircle(320, 240, 32767);
    EXPECT_EQ(drawn().size(), 640u * 480u);
    clearScreen();
    GUI_DrawCircle(-32768, -32768, 32767);
    GUI_FillCircle(32767, 32767, 1000);
    GUI_DrawCircle(320, 240, 0x7FFFFFFF);
    GUI_FillEllipse(320, 240, 32767, 32767);
    GUI_DrawEllipse(-32768, 240, 32767, 32767);
    EXPECT_TRUE(guardsIntact());
}

TEST_F(GuiCircle, FilledEllipseRows) {
    // rx 4, ry 2: threshold 80; rows 0 and 1 keep x = 4 (64, 80), row 2 shrinks to x = 2.
    GUI_FillEllipse(100, 100, 4, 2);
    EXPECT_EQ(drawn(), rows(100, 100, {4, 4, 2}));
    clearScreen();
    GUI_FillEllipse(100, 100, 0, 3);
    EXPECT_EQ(drawn(), rows(100, 100, {0, 0, 0, 0}));
}

TEST_F(GuiCircle, EllipseOutlineJoinsTheRows) {
    GUI_DrawEllipse(100, 100, 4, 2);
    PixelSet s = drawn();
    // Row ends 4, 4, then 0 on the last row, joined by lines.
    for (auto p : mirrored4(100, 100, {{4, 0}, {4, 1}, {0, 2}})) EXPECT_TRUE(s.count(p));
    for (auto p : s) {
        int dx = p.first - 100, dy = p.second - 100;
        EXPECT_TRUE(s.count({100 - dx, 100 + dy}) && s.count({100 + dx, 100 - dy}));
        EXPECT_LE(std::abs(dx), 4);
        EXPECT_LE(std::abs(dy), 2);
    }
    EXPECT_FALSE(s.count({100, 100}));
    clearScreen();
    GUI_DrawEllipse(50, 50, 3, 0);  // a flat ellipse is its middle row
    EXPECT_EQ(drawn(), spans({{50, 47, 53}}));
}

TEST_F(GuiCircle, ArcBandRowsFollowTheRule) {
    // Pen 1: band 20 -+ 1.25. Row 0 of the first quadrant: outer x^2 < 451.56 -> 21,
    // inner x^2 < 351.56 -> 18, so 19..21.
    GL_DrawArc(300, 200, 20, 0, 0, 90);
    PixelSet s = drawn();
    for (int x = 319; x <= 321; ++x) EXPECT_TRUE(s.count({x, 200}));
    EXPECT_FALSE(s.count({318, 200}));
    EXPECT_FALSE(s.count({322, 200}));
    for (auto p : s) {
        int dx = p.first - 300, dy = 200 - p.second;
        EXPECT_GE(dx, 0);
        EXPECT_GE(dy, 0);
        double d2 = dx * dx + dy * dy;
        EXPECT_LT(d2, 21.25 * 21.25);
        EXPECT_GT(d2, 18.75 * 18.75);
    }
    // Column 0 going up: the same band on the vertical axis.
    EXPECT_TRUE(s.count({300, 179}) && s.count({300, 181}));
}

TEST_F(GuiCircle, ArcAnglesSelectTheQuadrants) {
    auto quadrantsOf = [](const PixelSet &s) {
        std::set<int> q;
        for (auto p : s) {
            int dx = p.first - 300, dy = 200 - p.second;
            if (dx > 0 && dy > 0) q.insert(0);
            if (dx < 0 && dy > 0) q.insert(1);
            if (dx < 0 && dy < 0) q.insert(2);
            if (dx > 0 && dy < 0) q.insert(3);
        }
        return q;
    };
    GL_DrawArc(300, 200, 30, 0, 100, 170);
    EXPECT_EQ(quadrantsOf(drawn()), std::set<int>({1}));
    clearScreen();
    GL_DrawArc(300, 200, 30, 0, -90, 0);  // brought to 270..360
    EXPECT_EQ(quadrantsOf(drawn()), std::set<int>({3}));
    clearScreen();
    GUI_DrawArc(300, 200, 30, 99, 45, 225);
    PixelSet s = drawn();
    EXPECT_EQ(quadrantsOf(s), std::set<int>({0, 1, 2}));
    for (auto p : s) {
        double a = std::atan2(200.0 - p.second, p.first - 300.0) * 180 / M_PI;
        if (a < -90) a += 360;
        EXPECT_GE(a, 45 - 3);
        EXPECT_LE(a, 225 + 3);
    }
    clearScreen();
    GL_DrawArc(300, 200, 30, 0, 350, 10);  // end before start
    EXPECT_TRUE(drawn().empty());
    GL_DrawArc(300, 200, 30, 0, -7200, 100000);  // more than a turn is one turn
    EXPECT_EQ(quadrantsOf(drawn()), std::set<int>({0, 1, 2, 3}));
}

TEST_F(GuiCircle, ArcBandGrowsWithThePen) {
    GUI_SetPenSize(6);
    GL_DrawArc(300, 200, 40, 0, 0, 90);
    PixelSet s = drawn();
    // Band 40 -+ 3.75: row 0 covers 37..43.
    for (int x = 337; x <= 343; ++x) EXPECT_TRUE(s.count({x, 200})) << x;
    EXPECT_FALSE(s.count({336, 200}));
    EXPECT_FALSE(s.count({344, 200}));
}
