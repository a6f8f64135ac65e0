// Bitmap formats and their draw modes, run-length streams (bounded, resumable), magnification.
#include <vector>

#include "gui_test_util.h"

using namespace guitest;

class GuiBitmap : public GuiTest {};

static const GUI_COLOR kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kWhite = 0xFFFFFF;

static GUI_BITMAP bitmap(int w, int h, int bpl, int bpp, const void *data, const GUI_LOGPALETTE *pal,
                         const GUI_BITMAP_METHODS *m = nullptr, uint32_t numBytes = 0) {
    GUI_BITMAP b;
    b.XSize = (u16)w;
    b.YSize = (u16)h;
    b.BytesPerLine = (u16)bpl;
    b.BitsPerPixel = (u16)bpp;
    b.pData = static_cast<const u8 *>(data);
    b.pPal = pal;
    b.pMethods = m;
    b.NumBytes = numBytes;
    return b;
}

TEST_F(GuiBitmap, PaletteFormatsReadMostSignificantBitsFirst) {
    static const GUI_COLOR colours[] = {kRed, kGreen, kBlue, kWhite};
    GUI_LOGPALETTE pal = {4, 0, colours};
    // 1 bpp, 10 pixels: 1011000001 -> bytes 0xB0 0x40.
    static const u8 d1[] = {0xB0, 0x40};
    GUI_BITMAP b1 = bitmap(10, 1, 2, 1, d1, &pal);
    GUI_DrawBitmap(&b1, 5, 7);
    const char *want1 = "1011000001";
    for (int x = 0; x < 10; ++x) EXPECT_EQ(at(5 + x, 7), want1[x] == '1' ? 0x07E0 : 0xF800) << x;
    // 2 bpp: 0 1 2 3 | 3 2 -> 0x1B 0xE0.
    static const u8 d2[] = {0x1B, 0xE0};
    GUI_BITMAP b2 = bitmap(6, 1, 2, 2, d2, &pal);
    GUI_DrawBitmap(&b2, 0, 20);
    const uint16_t want2[] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xFFFF, 0x001F};
    for (int x = 0; x < 6; ++x) EXPECT_EQ(at(x, 20), want2[x]) << x;
    // 4 bpp over two rows, 3 pixels each with a padded line of 2 bytes.
    static const u8 d4[] = {0x12, 0x30, 0x21, 0x00};
    GUI_BITMAP b4 = bitmap(3, 2, 2, 4, d4, &pal);
    GUI_DrawBitmap(&b4, 0, 30);
    EXPECT_EQ(at(0, 30), 0x07E0);
    EXPECT_EQ(at(1, 30), 0x001F);
    EXPECT_EQ(at(2, 30), 0xFFFF);
    EXPECT_EQ(at(0, 31), 0x001F);
    EXPECT_EQ(at(1, 31), 0x07E0);
    EXPECT_EQ(at(2, 31), 0xF800);
    // 8 bpp; index 200 lies beyond the 4-entry palette and is not drawn.
    static const u8 d8[] = {3, 200, 1};
    GUI_BITMAP b8 = bitmap(3, 1, 3, 8, d8, &pal);
    clearScreen(0x1111);
    GUI_DrawBitmap(&b8, 0, 40);
    EXPECT_EQ(at(0, 40), 0xFFFF);
    EXPECT_EQ(at(1, 40), 0x1111);
    EXPECT_EQ(at(2, 40), 0x07E0);
}

TEST_F(GuiBitmap, OneBitWithoutPaletteUsesTheColoursAndTheDrawModes) {
    static const u8 d[] = {0xA0};  // 1010
    GUI_BITMAP b = bitmap(4, 1, 1, 1, d, nullptr);
    GUI_SetColor(kRed);
    GUI_SetBkColor(kBlue);
    clearScreen(0x1234);
    GUI_DrawBitmap(&b, 0, 0);
    EXPECT_EQ(at(0, 0), 0xF800);
    EXPECT_EQ(at(1, 0), 0x001F);
    GUI_SetDrawMode(GUI_DRAWMODE_REV);
    GUI_DrawBitmap(&b, 0, 1);
    EXPECT_EQ(at(0, 1), 0x001F);
    EXPECT_EQ(at(1, 1), 0xF800);
    GUI_SetDrawMode(GUI_DRAWMODE_TRANS);
    GUI_DrawBitmap(&b, 0, 2);
    EXPECT_EQ(at(0, 2), 0xF800);
    EXPECT_EQ(at(1, 2), 0x1234);
    GUI_SetDrawMode(GUI_DRAWMODE_XOR);
    GUI_DrawBitmap(&b, 0, 3);
    EXPECT_EQ(at(0, 3), (uint16_t)~0x1234);
    EXPECT_EQ(at(1, 3), 0x1234);
}

TEST_F(GuiBitmap, PaletteTransparencySkipsIndexZero) {
    static const GUI_COLOR colours[] = {kRed, kGreen};
    GUI_LOGPALETTE pal = {2, 1, colours};
    static const u8 d[] = {0x40};  // 01
    GUI_BITMAP b = bitmap(2, 1, 1, 1, d, &pal);
    clearScreen(0x1234);
    GUI_DrawBitmap(&b, 0, 0);
    EXPECT_EQ(at(0, 0), 0x1234);
    EXPECT_EQ(at(1, 0), 0x07E0);
}

TEST_F(GuiBitmap, SixteenBitPixelsAndTheirSwappedForm) {
    static const u8 d[] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x00};  // red, blue, 0 (little-endian)
    GUI_BITMAP b = bitmap(3, 1, 6, 16, d, nullptr, &GUI_BitmapMethods565);
    clearScreen(0x1234);
    GUI_DrawBitmap(&b, 10, 10);
    EXPECT_EQ(at(10, 10), 0xF800);
    EXPECT_EQ(at(11, 10), 0x001F);
    EXPECT_EQ(at(12, 10), 0x0000);
    GUI_BITMAP m = bitmap(3, 1, 6, 16, d, nullptr, &GUI_BitmapMethodsM565);
    GUI_SetDrawMode(GUI_DRAWMODE_TRANS);
    GUI_DrawBitmap(&m, 10, 11);
    EXPECT_EQ(at(10, 11), 0x001F);
    EXPECT_EQ(at(11, 11), 0xF800);
    EXPECT_EQ(at(12, 11), 0x1234);  // value 0 is transparent in that mode
    EXPECT_EQ(GUI_BitmapMethodsM565.pfIndex2Color(0xF800), kBlue);
}

TEST_F(GuiBitmap, ClippingAndShortDataAreRespected) {
    std::vector<u8> d(4 * 4 * 2, 0xFF);
    GUI_BITMAP b = bitmap(4, 4, 8, 16, d.data(), nullptr, &GUI_BitmapMethods565, (uint32_t)d.size());
    GUI_DrawBitmap(&b, -2, -3);
    EXPECT_EQ(drawn(), spans({{0, 0, 1}}));
    clearScreen();
    GUI_DrawBitmap(&b, 638, 478);
    EXPECT_EQ(drawn(), spans({{478, 638, 639}, {479, 638, 639}}));
    clearScreen();
    b.NumBytes = (uint32_t)d.size() - 1;  // one byte short of four rows
    GUI_DrawBitmap(&b, 0, 0);
    GUI_BITMAP p = bitmap(9, 1, 1, 1, d.data(), nullptr);  // 9 pixels need 2 bytes a line
    GUI_DrawBitmap(&p, 0, 0);
    GUI_BITMAP q = bitmap(2, 1, 1, 3, d.data(), nullptr);  // no such depth
    GUI_DrawBitmap(&q, 0, 0);
    GUI_DrawBitmap(nullptr, 0, 0);
    EXPECT_TRUE(drawn().empty());
}

TEST_F(GuiBitmap, Magnification) {
    static const u8 d[] = {0x80, 0x40};  // 2 x 2: diagonal
    GUI_BITMAP b = bitmap(2, 2, 1, 1, d, nullptr);
    GUI_SetBkColor(0);
    GUI_SetColor(kWhite);
    GUI_DrawBitmapMag(&b, 10, 10, 3, 2);
    EXPECT_EQ(drawn(), spans({{10, 10, 12}, {11, 10, 12}, {12, 13, 15}, {13, 13, 15}}));
    // A run and a literal of an RLE16 stream, each pixel 2 x 2.
    clearScreen();
    static const u8 s[] = {1, 0x00, 0xF8, 0, 1, 0x1F, 0x00};
    GUI_BITMAP r = {2, 1, 4, 16, s, nullptr, &GUI_BitmapMethodsRLEM16, sizeof s};
    GUI_DrawBitmapMag(&r, 100, 100, 2, 2);
    EXPECT_EQ(drawn(), spans({{100, 100, 103}, {101, 100, 103}}));
    EXPECT_EQ(at(101, 101), 0xF800);
    EXPECT_EQ(at(102, 100), 0x001F);
}

// RLE16 stream: little-endian pixels.
static void px(std::vector<u8> &v, uint16_t p) {
    v.push_back(p & 0xFF);
    v.push_back(p >> 8);
}

TEST_F(GuiBitmap, Rle16RunsCarryAcrossRowEnds) {
    std::vector<u8> s;
    s.push_back(5);  // 5 x red: a whole row of 4 and one pixel of the next
    px(s, 0xF800);
    s.push_back(0);  // 3 literals
    s.push_back(3);
    px(s, 0x0001);
    px(s, 0x0000);
    px(s, 0x0003);
    GUI_BITMAP b = bitmap(4, 2, 8, 16, s.data(), nullptr, &GUI_BitmapMethodsRLEM16, (uint32_t)s.size());
    clearScreen(0x1234);
    GUI_DrawBitmap(&b, 100, 100);
    const uint16_t want[2][4] = {{0xF800, 0xF800, 0xF800, 0xF800}, {0xF800, 0x0001, 0x0000, 0x0003}};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(at(100 + x, 100 + y), want[y][x]) << x << "," << y;
    // Transparent mode leaves pixel value 0 alone.
    clearScreen(0x1234);
    GUI_SetDrawMode(GUI_DRAWMODE_TRANS);
    GUI_DrawBitmap(&b, 100, 100);
    EXPECT_EQ(at(102, 101), 0x1234);
    EXPECT_EQ(at(103, 101), 0x0003);
}

TEST_F(GuiBitmap, Rle16StopsAtTheEndOfItsData) {
    std::vector<u8> s = {200};
    px(s, 0x07E0);
    s.push_back(0);
    s.push_back(50);  // promises 50 literals, brings one and a half
    px(s, 0x001F);
    s.push_back(0x12);
    // Exactly sized, so any read past the end is an address-sanitizer error.
    std::vector<u8> exact(s.begin(), s.end());
    GUI_BITMAP b = bitmap(16, 100, 32, 16, exact.data(), nullptr, &GUI_BitmapMethodsRLEM16,
                          (uint32_t)exact.size());
    GUI_DrawBitmap(&b, 0, 0);
    EXPECT_EQ(drawn().size(), 201u);
    EXPECT_EQ(at(8, 12), 0x001F);
    // Every prefix of the stream is safe as well.
    for (size_t n = 0; n < s.size(); ++n) {
        std::vector<u8> cut(s.begin(), s.begin() + (long)n);
        b.pData = cut.data();
        b.NumBytes = (uint32_t)n;
        GUI_DrawBitmap(&b, 0, 0);
    }
}

TEST_F(GuiBitmap, Rle16ResumesLowerInTheSameBitmap) {
    // A 3 x 40 bitmap whose rows differ; drawn in two clipped halves it must equal one drawing.
    std::vector<u8> s;
    for (int r = 0; r < 40; ++r) {
        s.push_back(2);
        px(s, (uint16_t)(r * 100 + 1));
        s.push_back(0);
        s.push_back(1);
        px(s, (uint16_t)(r * 7 + 3));
    }
    GUI_BITMAP b = bitmap(3, 40, 6, 16, s.data(), nullptr, &GUI_BitmapMethodsRLEM16, (uint32_t)s.size());
    GUI_DrawBitmap(&b, 50, 50);
    PixelSet whole = drawn();
    std::vector<uint16_t> ref(fb(), fb() + 640 * 480);
    clearScreen();
    for (int part = 0; part < 4; ++part) {
        GUI_RECT r = {0, (s16)(50 + part * 10), 639, (s16)(59 + part * 10)};
        GUI_SetClipRect(&r);
        GUI_DrawBitmap(&b, 50, 50);
    }
    EXPECT_TRUE(std::equal(ref.begin(), ref.end(), fb()));
    // Another bitmap of a different width at the same address starts from its beginning.
    clearScreen();
    GUI_SetClipRect(nullptr);
    GUI_BITMAP w = bitmap(1, 120, 2, 16, s.data(), nullptr, &GUI_BitmapMethodsRLEM16, (uint32_t)s.size());
    GUI_DrawBitmap(&w, 0, 0);
    EXPECT_EQ(at(0, 0), 1);
    EXPECT_EQ(at(0, 2), 3);
}

TEST_F(GuiBitmap, Rle8GoesThroughThePalette) {
    static const GUI_COLOR colours[] = {kRed, kGreen, kBlue};
    GUI_LOGPALETTE pal = {3, 0, colours};
    static const u8 s[] = {3, 1, 0, 2, 2, 9};  // 3 x green, then blue and index 9 (no colour)
    GUI_BITMAP b = bitmap(5, 1, 5, 8, s, &pal, &GUI_BitmapMethodsRLE8, sizeof s);
    clearScreen(0x1234);
    GUI_DrawBitmap(&b, 0, 0);
    EXPECT_EQ(at(0, 0), 0x07E0);
    EXPECT_EQ(at(2, 0), 0x07E0);
    EXPECT_EQ(at(3, 0), 0x001F);
    EXPECT_EQ(at(4, 0), 0x1234);
}
