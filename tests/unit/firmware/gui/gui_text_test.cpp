// Text layout and the font types: widths, alignment, line breaks, the cursor, blending, the
// SIF reader's bounds, the decimal writers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gui/GUI.h"
#include "gui/GUI_FontDraw.h"
#include "memmap.h"
#include "sim.h"

namespace {

constexpr uint16_t kScreen = 0x1234;  // what the screen holds before a test draws
constexpr uint16_t kBk = 0xFFFF;
constexpr uint16_t kFg = 0x0000;

uint16_t *fb() { return static_cast<uint16_t *>(sdramPtr(VRAM_ADDR)); }

struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
    bool empty() const { return x1 < 0; }
};

// The rectangle around every pixel that no longer holds kScreen: in opaque text modes, the
// cells the text painted.
Box touched() {
    Box b;
    for (int y = 0; y < LCD_YSIZE; ++y)
        for (int x = 0; x < LCD_XSIZE; ++x)
            if (fb()[y * LCD_XSIZE + x] != kScreen) {
                if (x < b.x0) b.x0 = x;
                if (y < b.y0) b.y0 = y;
                if (x > b.x1) b.x1 = x;
                if (y > b.y1) b.y1 = y;
            }
    return b;
}

std::vector<uint16_t> screen() { return std::vector<uint16_t>(fb(), fb() + LCD_XSIZE * LCD_YSIZE); }

class Text : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::mapSdram();
        GUI_Init();
        GUI_SetFont(&GUI_FontArial16AA4);
        GUI_SetColorIndex(kFg);
        GUI_SetBkColorIndex(kBk);
        wipe();
    }
    static void wipe() {
        for (int i = 0; i < LCD_XSIZE * LCD_YSIZE; ++i) fb()[i] = kScreen;
    }
};

TEST_F(Text, WidthIsTheSumOfTheAdvancesUpToTheLineEnd) {
    int w = 0;
    for (const char *p = "Hello"; *p; ++p) w += GUI_GetCharDistX((u8)*p);
    EXPECT_GT(w, 20);
    EXPECT_EQ(GUI_GetStringDistX("Hello"), w);
    EXPECT_EQ(GUI_GetStringDistX("Hello\nWorld, longer"), w);
    EXPECT_EQ(GUI_GetStringDistX("Hello\rx"), w);
    EXPECT_EQ(GUI_GetStringDistX(""), 0);
    // Characters no font has count nothing.
    EXPECT_EQ(GUI_GetCharDistX(0x01), 0);
    EXPECT_EQ(GUI_GetCharDistX(0x4E2D), 0);
}

TEST_F(Text, LeftTextFillsItsCellsAndLeavesTheCursorBehind) {
    int w = GUI_GetStringDistX("Hello");
    GUI_DispStringAt("Hello", 100, 50);
    Box b = touched();
    EXPECT_EQ(b.x0, 100);
    EXPECT_EQ(b.y0, 50);
    EXPECT_EQ(b.y1, 50 + 16 - 1);
    EXPECT_LE(b.x1, 100 + w - 1 + 2);  // ink may overhang the last advance a little
    EXPECT_EQ(GUI_GetDispPosX(), 100 + w);
    EXPECT_EQ(GUI_GetDispPosY(), 50);
}

TEST_F(Text, RightAndCentreAlignApplyToOneStringOnly) {
    int w = GUI_GetStringDistX("Right");
    GUI_SetTextAlign(GUI_TA_RIGHT);
    GUI_DispStringAt("Right", 300, 10);
    Box b = touched();
    EXPECT_EQ(b.x0, 300 - w);
    EXPECT_EQ(GUI_GetDispPosX(), 300);
    EXPECT_EQ(GUI_GetTextAlign() & GUI_TA_HORIZONTAL, GUI_TA_LEFT);
    wipe();
    GUI_DispStringAt("Right", 300, 10);  // left-aligned now
    EXPECT_EQ(touched().x0, 300);

    wipe();
    int wc = GUI_GetStringDistX("Centre");
    GUI_SetTextAlign(GUI_TA_CENTER | GUI_TA_BOTTOM);
    GUI_DispStringAt("Centre", 320, 100);
    b = touched();
    EXPECT_EQ(b.x0, 320 - wc / 2);
    EXPECT_EQ(b.y0, 100 - 15);
    EXPECT_EQ(b.y1, 100);
    // The vertical alignment stays, the horizontal one is gone.
    EXPECT_EQ(GUI_GetTextAlign(), GUI_TA_BOTTOM);
    EXPECT_EQ(GUI_GetDispPosY(), 100);
}

TEST_F(Text, VerticalAlignmentMovesTheCellUpWhileTheCallRuns) {
    struct Case {
        int align, top;
    } cases[] = {{GUI_TA_TOP, 200}, {GUI_TA_BOTTOM, 185}, {GUI_TA_BASELINE, 192}, {GUI_TA_VCENTER, 192}};
    for (const Case &c : cases) {
        wipe();
        GUI_SetTextAlign(c.align);
        GUI_DispStringAt("Xg", 10, 200);
        EXPECT_EQ(touched().y0, c.top) << c.align;
        EXPECT_EQ(GUI_GetDispPosY(), 200) << c.align;
    }
}

TEST_F(Text, NewLineGoesDownToTheBorderOrBackToTheStartingX) {
    GUI_SetLBorder(40);
    GUI_DispStringAt("ab\ncd\n", 100, 20);
    EXPECT_EQ(GUI_GetDispPosX(), 40);
    EXPECT_EQ(GUI_GetDispPosY(), 20 + 32);
    Box b = touched();
    EXPECT_EQ(b.x0, 40);  // the second line starts at the border
    EXPECT_EQ(b.y1, 20 + 32 - 1);

    // Right-aligned lines each end at the starting x.
    wipe();
    GUI_SetTextAlign(GUI_TA_RIGHT);
    GUI_DispStringAt("long line\nx", 300, 100);
    b = touched();
    EXPECT_EQ(b.x0, 300 - GUI_GetStringDistX("long line"));
    EXPECT_EQ(GUI_GetDispPosX(), 300);
    EXPECT_EQ(GUI_GetDispPosY(), 116);

    // A carriage return goes back to the border without a line feed.
    wipe();
    GUI_SetLBorder(5);
    GUI_DispStringAt("abc\rX", 50, 300);
    EXPECT_EQ(GUI_GetDispPosY(), 300);
    EXPECT_EQ(GUI_GetDispPosX(), 5 + GUI_GetCharDistX('X'));
    GUI_DispNextLine();
    EXPECT_EQ(GUI_GetDispPosX(), 5);
    EXPECT_EQ(GUI_GetDispPosY(), 316);
}

TEST_F(Text, LengthLimitStopsTheText) {
    GUI_GotoXY(0, 0);
    GUI_DispStringLen("abcdef", 3);
    EXPECT_EQ(GUI_GetDispPosX(), GUI_GetStringDistX("abc"));
    GUI_DispStringLen("abc", 0);
    GUI_DispStringLen(nullptr, 10);
    EXPECT_EQ(GUI_GetDispPosX(), GUI_GetStringDistX("abc"));
}

TEST_F(Text, TransparentTextLeavesTheBackgroundAndBlendsOverIt) {
    GUI_SetTextMode(GUI_TM_TRANS);
    GUI_DispStringAt("l", 10, 10);
    // Uncovered pixels keep the screen, covered ones are ink, partly covered ones are the
    // screen's colour blended towards the ink (never the text background).
    int ink = 0, screenLeft = 0;
    for (int y = 10; y < 26; ++y)
        for (int x = 10; x < 10 + GUI_GetCharDistX('l'); ++x) {
            uint16_t v = fb()[y * LCD_XSIZE + x];
            if (v == kFg) ++ink;
            else if (v == kScreen) ++screenLeft;
            else EXPECT_LT(v >> 11, kScreen >> 11) << x << "," << y;
            EXPECT_NE(v, kBk);
        }
    EXPECT_GT(ink, 0);
    EXPECT_GT(screenLeft, 0);
    // XOR inverts the ink pixels only; twice gives the screen back.
    wipe();
    GUI_SetTextMode(GUI_TM_XOR);
    GUI_DispStringAt("XOR", 10, 10);
    EXPECT_FALSE(touched().empty());
    GUI_DispStringAt("XOR", 10, 10);
    EXPECT_TRUE(touched().empty());
}

TEST_F(Text, ReverseModeExchangesTheColours) {
    GUI_SetTextMode(GUI_TM_REV);
    GUI_DispStringAt(" ", 10, 10);
    EXPECT_EQ(fb()[10 * LCD_XSIZE + 10], kFg);
    GUI_SetTextMode(GUI_TM_NORMAL);
    GUI_DispStringAt(" ", 10, 10);
    EXPECT_EQ(fb()[10 * LCD_XSIZE + 10], kBk);
}

TEST(Blend, PerEightBitChannelOfTheColourValues) {
    EXPECT_EQ(GUI_BlendIndex(0xFFFF, 0x0000, 15), 0xFFFF);
    EXPECT_EQ(GUI_BlendIndex(0xFFFF, 0x0000, 0), 0x0000);
    // (f * a + b * (15 - a)) / 15 in each 8-bit channel, then back to 5-6-5: white over black
    // at 5/15 is 85 in every channel.
    EXPECT_EQ(GUI_BlendIndex(0xFFFF, 0x0000, 5), (10 << 11) | (21 << 5) | 10);
    // Light coverage: 14/15 of white is 238 (29 of 31, 59 of 63), where blending the 5- and
    // 6-bit fields gives 28 and 58, a step darker.
    EXPECT_EQ(GUI_BlendIndex(0xFFFF, 0x0000, 14), (29 << 11) | (59 << 5) | 29);
    EXPECT_EQ(GUI_BlendIndex(0xFFFF, 0x0000, 13), (27 << 11) | (55 << 5) | 27);
    // Red over blue at 3/15: red 51, blue 204 (25 of 31, where the 5-bit field gives 24).
    EXPECT_EQ(GUI_BlendIndex(0xF800, 0x001F, 3), (6 << 11) | 25);
    // Each channel on its own: green 255 over grey 128 (index 0x8410 widens to 131, 129, 131).
    EXPECT_EQ(GUI_BlendIndex(0x07E0, 0x8410, 10), ((131 * 5 / 15) >> 3 << 11) |
                                                      (((255 * 10 + 129 * 5) / 15) >> 2 << 5) |
                                                      ((131 * 5 / 15) >> 3));
}

TEST_F(Text, TextNeverWritesOutsideTheFrameBuffer) {
    uint8_t *after = static_cast<uint8_t *>(sdramPtr(VRAM_ADDR + VRAM_FRAME_BYTES));
    uint8_t *before = static_cast<uint8_t *>(sdramPtr(VRAM_ADDR - 256));
    std::memset(after, 0xA5, 256);
    std::memset(before, 0xA5, 256);
    GUI_SetFont(&GUI_FontMono64);
    const int spots[][2] = {{-30, -30}, {600, 450}, {-32768, 0}, {32767, 479}, {630, -60}, {0, 470}};
    for (auto &s : spots) {
        GUI_DispStringAt("WWWW\nWWWW", s[0], s[1]);
        GUI_SetTextAlign(GUI_TA_CENTER | GUI_TA_VCENTER);
        GUI_DispStringAt("WWWW", s[0], s[1]);
    }
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(after[i], 0xA5);
        ASSERT_EQ(before[i], 0xA5);
    }
}

// Every glyph (the rendered decimal writers) matches the string it stands for.
std::vector<uint16_t> drawn(void (*draw)()) {
    for (int i = 0; i < LCD_XSIZE * LCD_YSIZE; ++i) fb()[i] = kScreen;
    GUI_GotoXY(5, 5);
    draw();
    return screen();
}

std::vector<uint16_t> drawnString(const char *s) {
    for (int i = 0; i < LCD_XSIZE * LCD_YSIZE; ++i) fb()[i] = kScreen;
    GUI_GotoXY(5, 5);
    GUI_DispString(s);
    return screen();
}

TEST_F(Text, DecimalWriters) {
    EXPECT_EQ(drawn([] { GUI_DispDec(42, 5); }), drawnString("00042"));
    EXPECT_EQ(drawn([] { GUI_DispDec(-5, 3); }), drawnString("-05"));
    EXPECT_EQ(drawn([] { GUI_DispDec(12345, 3); }), drawnString("345"));
    EXPECT_EQ(drawn([] { GUI_DispDecMin(-2147483647 - 1); }), drawnString("-2147483648"));
    EXPECT_EQ(drawn([] { GUI_DispDecMin(0); }), drawnString("0"));
    EXPECT_EQ(drawn([] { GUI_DispDecSpace(42, 5); }), drawnString("   42"));
    EXPECT_EQ(drawn([] { GUI_DispSDec(7, 3); }), drawnString("+07"));
    EXPECT_EQ(drawn([] { GUI_DispSDec(-7, 3); }), drawnString("-07"));
    EXPECT_EQ(drawn([] { GUI_DispDecShift(1234, 6, 2); }), drawnString("012.34"));
    EXPECT_EQ(drawn([] { GUI_DispDecShift(-5, 5, 2); }), drawnString("-0.05"));
    EXPECT_EQ(drawn([] { GUI_DispDec(1, 255); }), drawn([] { GUI_DispDec(1, 22); }));
    for (int i = 0; i < LCD_XSIZE * LCD_YSIZE; ++i) fb()[i] = kScreen;
    GUI_DispDecAt(9, 100, 200, 1);
    EXPECT_EQ(touched().x0, 100);
    EXPECT_EQ(touched().y0, 200);
}

TEST_F(Text, Utf8DecodesToTheSameGlyphs) {
    auto latin1 = drawnString("Gr\xFC\xDF" "e \xE9");
    GUI_UC_SetEncodeUTF8();
    EXPECT_EQ(drawnString("Gr\xC3\xBC\xC3\x9F" "e \xC3\xA9"), latin1);
    // The Euro sign exists only as a 16-bit code.
    EXPECT_GT(GUI_GetCharDistX(0x20AC), 0);
    GUI_UC_SetEncodeNone();
}

// ---- SIF fonts ----

struct SifBuilder {
    std::vector<uint8_t> b;
    void u16le(unsigned v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    }
    void u32le(uint32_t v) {
        u16le(v & 0xFFFF);
        u16le(v >> 16);
    }
};

// A 6-row font with line spacing 10: 'A' (an 8 x 6 block of ink) and 'B' (no ink, advance 3).
std::vector<uint8_t> sifFont(unsigned height = 6, unsigned spacing = 10) {
    SifBuilder s;
    s.b = {'G', 'U', 'I', 'P'};
    s.u16le(height);
    s.u16le(spacing);
    s.u16le(5);  // baseline
    s.u16le(3);
    s.u16le(5);
    s.u16le(1);  // one range
    s.u16le('A');
    s.u16le('B');
    uint32_t glyphs = 16 + 4 + 2 * 12;
    s.u16le(8);  // A: width, advance, bytes per line, reserved, offset
    s.u16le(9);
    s.u16le(1);
    s.u16le(0);
    s.u32le(glyphs);
    s.u16le(0);  // B
    s.u16le(3);
    s.u16le(1);
    s.u16le(0);
    s.u32le(glyphs);
    for (unsigned i = 0; i < height; ++i) s.b.push_back(0xFF);
    return s.b;
}

TEST_F(Text, SifFontDrawsItsGlyphsAndTheGapBelow) {
    std::vector<uint8_t> data = sifFont();
    GUI_FONT f;
    ASSERT_EQ(GUI_SIF_CreateFontSized(data.data(), uint32_t(data.size()), &f, &GUI_SIF_TYPE_PROP), 1);
    EXPECT_EQ(GUI_GetFont(), &f);
    EXPECT_EQ(GUI_GetFontDistY(), 10);
    EXPECT_EQ(GUI_GetCharDistX('A'), 9);
    EXPECT_EQ(GUI_GetCharDistX('C'), 0);
    GUI_FONTINFO info;
    GUI_GetFontInfo(&f, &info);
    EXPECT_EQ(info.Baseline, 5);
    GUI_DispStringAt("ACB", 100, 100);
    EXPECT_EQ(GUI_GetDispPosX(), 112);  // C is in no range: not drawn, no advance
    Box b = touched();
    EXPECT_EQ(b.x0, 100);
    EXPECT_EQ(b.x1, 111);
    EXPECT_EQ(b.y1, 109);  // rows 6..9 of the line are background
    EXPECT_EQ(fb()[105 * LCD_XSIZE + 100], kFg);
    EXPECT_EQ(fb()[106 * LCD_XSIZE + 100], kBk);
    EXPECT_EQ(fb()[100 * LCD_XSIZE + 108], kBk);  // A's ninth column: advance, no ink
    // Transparent text leaves the gap alone.
    wipe();
    GUI_SetTextMode(GUI_TM_TRANS);
    GUI_DispStringAt("A", 100, 100);
    b = touched();
    EXPECT_EQ(b.y1, 105);
    EXPECT_EQ(b.x1, 107);
}

TEST_F(Text, SifBlocksThatAreNoUsableFontAreRefused) {
    std::vector<uint8_t> good = sifFont();
    GUI_FONT f;
    const GUI_FONT *before = GUI_GetFont();
    auto refused = [&](std::vector<uint8_t> d, uint32_t size) {
        return GUI_SIF_CreateFontSized(d.data(), size, &f, &GUI_SIF_TYPE_PROP) == 0 && GUI_GetFont() == before;
    };
    std::vector<uint8_t> d = good;
    d[0] = 'X';
    EXPECT_TRUE(refused(d, uint32_t(d.size())));  // no magic
    EXPECT_TRUE(refused(good, 15));               // header cut short
    EXPECT_TRUE(refused(good, 16 + 4 + 12));      // character table cut short
    EXPECT_TRUE(refused(good, 0));
    d = good;
    d[4] = d[5] = 0;  // height 0
    EXPECT_TRUE(refused(d, uint32_t(d.size())));
    d = good;
    d[5] = 1;  // height 256
    EXPECT_TRUE(refused(d, uint32_t(d.size())));
    d = good;
    d[16] = 'C';  // first code after the last
    EXPECT_TRUE(refused(d, uint32_t(d.size())));
    d = good;
    d[14] = 0xFF;
    d[15] = 0xFF;  // 65535 ranges
    EXPECT_TRUE(refused(d, uint32_t(d.size())));
    EXPECT_EQ(GUI_SIF_CreateFont(nullptr, &f, nullptr), 0);
    EXPECT_EQ(GUI_SIF_CreateFontSized(good.data(), uint32_t(good.size()), nullptr, nullptr), 0);
}

TEST_F(Text, SifGlyphsReachingPastTheBlockDrawNoInk) {
    std::vector<uint8_t> data = sifFont();
    // Point A's glyph past the end: its advance stays, nothing is read or drawn.
    uint32_t off = uint32_t(data.size()) - 2;
    std::memcpy(&data[16 + 4 + 8], &off, 4);
    GUI_FONT f;
    ASSERT_EQ(GUI_SIF_CreateFontSized(data.data(), uint32_t(data.size()), &f, nullptr), 1);
    GUI_DispStringAt("A", 10, 10);
    EXPECT_EQ(GUI_GetDispPosX(), 19);
    EXPECT_EQ(fb()[10 * LCD_XSIZE + 10], kBk);
}

}  // namespace
