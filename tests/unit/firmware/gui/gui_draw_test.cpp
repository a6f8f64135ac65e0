// Rectangles, pixels, points, thin lines with styles, thick lines and the fixed-point tables.
#include <climits>
#include <cmath>
#include <cstdlib>

#include "gui_test_util.h"

using namespace guitest;

class GuiDraw : public GuiTest {};

static PixelSet rect(int x0, int y0, int x1, int y1) {
    PixelSet s;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) s.insert({x, y});
    return s;
}

TEST_F(GuiDraw, FillRectIsInclusiveAndInvertedRectanglesDrawNothing) {
    GUI_FillRect(10, 20, 13, 22);
    EXPECT_EQ(drawn(), rect(10, 20, 13, 22));
    clearScreen();
    GUI_FillRect(13, 20, 10, 22);
    GUI_FillRect(10, 22, 13, 20);
    GUI_DrawRect(13, 22, 10, 20);
    GUI_ClearRect(5, 5, 4, 4);
    EXPECT_TRUE(drawn().empty());
}

TEST_F(GuiDraw, CoordinatesAnywhereIn16BitsAreClipped) {
    GUI_FillRect(-32768, -32768, 32767, 32767);
    EXPECT_EQ(drawn().size(), 640u * 480u);
    clearScreen();
    GUI_FillRect(640, 0, 32767, 479);
    GUI_FillRect(-32768, 0, -1, 479);
    GUI_FillRect(0, 480, 639, 32767);
    GUI_DrawPixel(-1, -1);
    GUI_DrawPixel(640, 480);
    EXPECT_TRUE(drawn().empty());
}

TEST_F(GuiDraw, ClearUsesTheBackgroundAndHomesTheCursor) {
    GUI_SetBkColor(0x0000FF);
    GUI_SetDrawMode(GUI_DRAWMODE_XOR);  // clearing paints whatever the draw mode
    GUI_GotoXY(50, 60);
    GUI_Clear();
    EXPECT_EQ(GUI_GetDispPosX(), 0);
    EXPECT_EQ(GUI_GetDispPosY(), 0);
    EXPECT_TRUE(drawn(0xF800).empty());
    GUI_SetBkColor(0);
    GUI_ClearRect(1, 1, 2, 2);
    EXPECT_EQ(drawn(0xF800), rect(1, 1, 2, 2));
}

TEST_F(GuiDraw, DrawRectInvertsEachOutlinePixelOnceInXorMode) {
    GUI_SetDrawMode(GUI_DRAWMODE_XOR);
    GUI_DrawRect(10, 10, 14, 13);
    PixelSet outline = rect(10, 10, 14, 13);
    for (auto p : rect(11, 11, 13, 12)) outline.erase(p);
    EXPECT_EQ(drawn(), outline);
    for (auto p : outline) EXPECT_EQ(at(p.first, p.second), 0xFFFF);
    clearScreen();
    GUI_DrawRect(3, 3, 3, 3);  // a single pixel, inverted once
    EXPECT_EQ(drawn(), PixelSet({{3, 3}}));
}

TEST_F(GuiDraw, FixedPointSineAndAngle) {
    EXPECT_EQ(GUI_sin(0), 0);
    EXPECT_EQ(GUI_sin(64), 100);      // a table entry
    EXPECT_EQ(GUI_sin(32), 50);       // (0 * 32 + 100 * 32 + 32) >> 6
    EXPECT_EQ(GUI_sin(1000), 1022);   // (1019 * 24 + 1024 * 40 + 32) >> 6
    EXPECT_EQ(GUI_sin(1024), 1024);
    EXPECT_EQ(GUI_sin(2048), 0);
    EXPECT_EQ(GUI_sin(3072), -1024);
    EXPECT_EQ(GUI_sin(2048 + 64), -100);
    EXPECT_EQ(GUI_cos(0), 1024);
    EXPECT_EQ(GUI_cos(2048), -1024);
    EXPECT_EQ(GUI_sin(4096 + 64), 100);
    EXPECT_EQ(GUI_atan2(10, 0), 0);
    EXPECT_EQ(GUI_atan2(0, 10), 1024);
    EXPECT_EQ(GUI_atan2(-10, 0), 2048);
    EXPECT_EQ(GUI_atan2(0, -10), 3072);
    EXPECT_EQ(GUI_atan2(7, 7), 512);
    EXPECT_EQ(GUI_atan2(16, 1), 41);   // atan(1/16)
    EXPECT_EQ(GUI_atan2(-7, -7), 2560);
    // Within a unit of the true angle everywhere.
    for (int a = 0; a < 360; a += 7) {
        double r = a * 3.14159265358979 / 180;
        int dx = (int)lround(1000 * cos(r)), dy = (int)lround(1000 * sin(r));
        int got = GUI_atan2(dx, dy), want = (int)lround(a * 4096.0 / 360) & 4095;
        int diff = std::abs(got - want);
        EXPECT_LE(std::min(diff, 4096 - diff), 2) << a;
    }
}

// Pattern of the first 24 pixels of each line style: 1 drawn, 0 left out.
TEST_F(GuiDraw, LineStylesFollowTheirPatterns) {
    struct {
        int style;
        const char *pattern;
    } cases[] = {
        {GUI_LS_SOLID, "111111111111111111111111111111111111111111111111"},
        {GUI_LS_DASH, "111111000011111111111100001111111111110000111111"},
        {GUI_LS_DOT, "110011001100110011001100110011001100110011001100"},
        {GUI_LS_DASHDOT, "111111111111000011001111111111110000110011111111"},
        {GUI_LS_DASHDOTDOT, "111111111111000011001100111111111111000011001100"},
    };
    for (auto &c : cases) {
        clearScreen();
        GUI_SetLineStyle(c.style);
        GUI_DrawLine(100, 50, 147, 50);
        std::string got;
        for (int x = 100; x < 148; ++x) got += at(x, 50) ? '1' : '0';
        EXPECT_EQ(got, c.pattern) << "style " << c.style;
        // Vertical lines count the same way.
        clearScreen();
        GUI_DrawLine(10, 100, 10, 147);
        got.clear();
        for (int y = 100; y < 148; ++y) got += at(10, y) ? '1' : '0';
        EXPECT_EQ(got, c.pattern) << "style " << c.style;
    }
}

TEST_F(GuiDraw, ThinLinesHaveOnePixelPerStepAndHitBothEnds) {
    struct {
        int x0, y0, x1, y1;
    } lines[] = {{10, 10, 30, 17}, {30, 17, 10, 10}, {5, 100, 9, 140}, {200, 200, 180, 150},
                 {50, 50, 60, 60}, {7, 7, 7, 7}};
    for (auto &l : lines) {
        clearScreen();
        GUI_DrawLine(l.x0, l.y0, l.x1, l.y1);
        PixelSet s = drawn();
        int dx = std::abs(l.x1 - l.x0), dy = std::abs(l.y1 - l.y0);
        EXPECT_EQ(s.size(), (size_t)std::max(dx, dy) + 1);
        EXPECT_TRUE(s.count({l.x0, l.y0}));
        EXPECT_TRUE(s.count({l.x1, l.y1}));
        for (auto p : s) {
            // Every pixel lies within half a pixel of the ideal line along the minor axis.
            double t, ideal;
            if (dx >= dy) {
                t = dx ? double(p.first - l.x0) / (l.x1 - l.x0) : 0;
                ideal = l.y0 + t * (l.y1 - l.y0);
                EXPECT_LE(std::fabs(p.second - ideal), 0.5);
            } else {
                t = double(p.second - l.y0) / (l.y1 - l.y0);
                ideal = l.x0 + t * (l.x1 - l.x0);
                EXPECT_LE(std::fabs(p.first - ideal), 0.5);
            }
        }
    }
}

TEST_F(GuiDraw, FarAwayLinesAreClippedExactly) {
    GUI_DrawLine(-32768, 240, 32767, 240);
    EXPECT_EQ(drawn(), spans({{240, 0, 639}}));
    clearScreen();
    GUI_SetLineStyle(GUI_LS_DOT);
    GUI_DrawLine(-32768, -32768, 32767, 32767);  // the diagonal through the screen
    PixelSet s = drawn();
    EXPECT_FALSE(s.empty());
    for (auto p : s) {
        EXPECT_EQ(p.first, p.second);
        EXPECT_LT((p.first + 32768) % 4, 2);  // the dot pattern counts from the far start
    }
    clearScreen();
    GUI_SetLineStyle(GUI_LS_SOLID);
    GUI_DrawLine(-20000, -30000, -10000, 32767);
    GUI_DrawLine(1000, 1000, 32767, -32768);
    EXPECT_TRUE(drawn().empty());
    // Beyond 16 bits the arithmetic still holds (the sanitizer build checks for overflow).
    GUI_DrawLine(INT_MIN, 240, INT_MAX, 240);
    EXPECT_EQ(drawn(), spans({{240, 0, 639}}));
    GUI_SetPenSize(3);
    GUI_DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    GUI_MoveTo(0, 0);
    GUI_DrawLineRel(INT_MAX, INT_MAX);
}

TEST_F(GuiDraw, ThickLinesAreBandsWithRoundCaps) {
    GUI_SetPenSize(5);
    GUI_DrawLine(100, 100, 200, 100);
    PixelSet s = drawn();
    // Angle 0: the offset is (0, 4), split 2 above and 2 below; caps of radius 2.
    for (int y = 98; y <= 102; ++y)
        for (int x = 100; x <= 200; ++x) EXPECT_TRUE(s.count({x, y})) << x << "," << y;
    EXPECT_TRUE(s.count({98, 100}));
    EXPECT_TRUE(s.count({202, 100}));
    for (auto p : s) {
        EXPECT_GE(p.second, 98);
        EXPECT_LE(p.second, 102);
        EXPECT_GE(p.first, 98);
        EXPECT_LE(p.first, 202);
    }
    clearScreen();
    GUI_DrawLine(300, 50, 300, 150);
    s = drawn();
    for (auto p : s) {
        EXPECT_GE(p.first, 298);
        EXPECT_LE(p.first, 302);
    }
    for (int y = 50; y <= 150; ++y) EXPECT_TRUE(s.count({298, y}) && s.count({302, y}));
    // A diagonal band is as wide as the pen across its direction.
    clearScreen();
    GUI_SetPenSize(9);
    GUI_DrawLine(100, 300, 200, 400);
    s = drawn();
    for (auto p : s) {
        double d = std::fabs((p.first - 100) - (p.second - 300)) / std::sqrt(2.0);
        EXPECT_LE(d, 5.0);
    }
    EXPECT_TRUE(s.count({150 + 3, 350 - 3}));
    EXPECT_TRUE(s.count({150 - 3, 350 + 3}));
}

TEST_F(GuiDraw, ThickLineOfZeroLengthDrawsNothing) {
    GUI_SetPenSize(6);
    GUI_DrawLine(100, 100, 100, 100);
    EXPECT_TRUE(drawn().empty());
    GUI_DrawLine(-32768, -32768, 32767, 32767);  // and a huge one stays inside
    EXPECT_FALSE(drawn().empty());
}

TEST_F(GuiDraw, PointsLinesToAndRelativeLines) {
    GUI_DrawPoint(5, 5);
    EXPECT_EQ(drawn(), PixelSet({{5, 5}}));
    clearScreen();
    GUI_SetPenSize(5);
    GUI_DrawPoint(50, 50);  // a dot of radius 2: the filled circle of that radius
    EXPECT_EQ(drawn(), spans({{48, 49, 51}, {49, 48, 52}, {50, 48, 52}, {51, 48, 52}, {52, 49, 51}}));
    clearScreen();
    GUI_SetPenSize(1);
    GUI_MoveTo(10, 10);
    GUI_DrawLineTo(20, 10);
    GUI_DrawLineRel(0, 5);
    EXPECT_EQ(drawn(), spans({{10, 10, 20}, {11, 20, 20}, {12, 20, 20}, {13, 20, 20}, {14, 20, 20},
                              {15, 20, 20}}));
    EXPECT_EQ(GUI_Context.DrawPosX, 20);
    EXPECT_EQ(GUI_Context.DrawPosY, 15);
}

TEST_F(GuiDraw, XorModeInvertsAndDrawingTwiceRestores) {
    clearScreen(0x1234);
    GUI_SetDrawMode(GUI_DRAWMODE_XOR);
    GUI_FillRect(0, 0, 9, 9);
    EXPECT_EQ(at(5, 5), (uint16_t)~0x1234);
    GUI_DrawLine(0, 20, 30, 25);
    GUI_DrawLine(0, 20, 30, 25);
    GUI_FillRect(0, 0, 9, 9);
    EXPECT_TRUE(drawn(0x1234).empty());
}
