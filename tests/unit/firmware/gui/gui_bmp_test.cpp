// BMP files: ours decoded by Pillow, Pillow's (and hand-encoded ones Pillow confirms) drawn by
// ours, pixel by pixel; and files that lie, are cut short or run past their end.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gui_test_util.h"

using namespace guitest;

namespace {

const std::string kTool = std::string(VMOD_TEST_DATA) + "/../bmp_tool.py";

std::vector<u8> readFile(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<u8>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void writeFile(const std::string &path, const std::vector<u8> &d) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(d.data()), (std::streamsize)d.size());
}

struct Rgb {
    int w = 0, h = 0;
    std::vector<u8> px;  // R, G, B per pixel
};

Rgb readRgb(const std::string &path) {
    std::vector<u8> d = readFile(path);
    Rgb r;
    if (d.size() < 8) return r;
    r.w = d[0] | d[1] << 8 | d[2] << 16 | d[3] << 24;
    r.h = d[4] | d[5] << 8 | d[6] << 16 | d[7] << 24;
    r.px.assign(d.begin() + 8, d.end());
    return r;
}

std::string tempDir() {
    char tmpl[] = "/tmp/vmod-bmp-XXXXXX";
    const char *d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

void serializeByte(u8 b, void *p) { static_cast<std::vector<u8> *>(p)->push_back(b); }

uint32_t le32(const std::vector<u8> &d, size_t at) {
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | (uint32_t)d[at + 3] << 24;
}

}  // namespace

class GuiBmp : public GuiTest {};

TEST_F(GuiBmp, FilesOfAnotherEncoderDrawPixelExact) {
    std::string dir = tempDir();
    ASSERT_EQ(std::system(("/usr/bin/python3 " + kTool + " make " + dir + " > " + dir + "/list").c_str()), 0);
    std::ifstream list(dir + "/list");
    std::string name;
    int cases = 0;
    while (std::getline(list, name)) {
        SCOPED_TRACE(name);
        cases++;
        std::vector<u8> bmp = readFile(dir + "/" + name + ".bmp");
        Rgb want = readRgb(dir + "/" + name + ".rgb");
        ASSERT_GT(want.w, 0);
        clearScreen(0x1234);
        EXPECT_EQ(GUI_BMP_GetXSizeEx(bmp.data(), (u32)bmp.size()), want.w);
        EXPECT_EQ(GUI_BMP_GetYSizeEx(bmp.data(), (u32)bmp.size()), want.h);
        EXPECT_EQ(GUI_BMP_GetXSize(bmp.data()), want.w);
        ASSERT_EQ(GUI_BMP_DrawEx(bmp.data(), (u32)bmp.size(), 3, 5), 1);
        for (int y = 0; y < want.h; ++y)
            for (int x = 0; x < want.w; ++x) {
                const u8 *p = &want.px[3 * (y * want.w + x)];
                GUI_COLOR c = p[0] | p[1] << 8 | p[2] << 16;
                ASSERT_EQ(at(3 + x, 5 + y), LCD_L0_Color2Index(c)) << x << "," << y;
            }
        // Nothing beside the picture.
        for (int y = 4; y <= 5 + want.h; ++y) {
            EXPECT_EQ(at(2, y), 0x1234);
            EXPECT_EQ(at(3 + want.w, y), 0x1234);
        }
        for (int x = 3; x < 3 + want.w; ++x) {
            EXPECT_EQ(at(x, 4), 0x1234);
            EXPECT_EQ(at(x, 5 + want.h), 0x1234);
        }
        // The plain form trusts the file's size field, which these files state correctly.
        clearScreen();
        EXPECT_EQ(GUI_BMP_Draw(bmp.data(), 600, 470), 1);  // clipped at the corner
        EXPECT_TRUE(guardsIntact());
    }
    EXPECT_EQ(cases, 9);
    std::system(("rm -rf " + dir).c_str());
}

TEST_F(GuiBmp, SerializedAreasDecodeElsewhereToTheScreen) {
    std::mt19937 rng(7);
    for (int i = 0; i < 640 * 480; ++i) fb()[i] = (uint16_t)rng();
    std::vector<u8> out;
    GUI_BMP_SerializeEx(serializeByte, 5, 7, 13, 9, &out);
    // The header, field by field.
    ASSERT_EQ(out.size(), 54u + 28u * 9);  // 13 pixels of 2 bytes padded to 28
    EXPECT_EQ(out[0], 'B');
    EXPECT_EQ(out[1], 'M');
    EXPECT_EQ(le32(out, 2), out.size());
    EXPECT_EQ(le32(out, 6), 0u);
    EXPECT_EQ(le32(out, 10), 54u);
    EXPECT_EQ(le32(out, 14), 40u);
    EXPECT_EQ(le32(out, 18), 13u);
    EXPECT_EQ(le32(out, 22), 9u);
    EXPECT_EQ(le32(out, 26), 1u | 16u << 16);  // planes, bits per pixel
    for (size_t at = 30; at < 54; at += 4) EXPECT_EQ(le32(out, at), 0u) << at;
    // The last row of the area is stored first, each pixel 5-5-5 with rounded channels.
    auto to5 = [](u32 c) { return (c * 31 + 127) / 255; };
    GUI_COLOR c = LCD_GetPixelColor(5, 15);
    uint32_t first = out[54] | out[55] << 8;
    EXPECT_EQ(first, to5((c >> 16) & 0xFF) | to5((c >> 8) & 0xFF) << 5 | to5(c & 0xFF) << 10);
    for (int pad = 0; pad < 2; ++pad) EXPECT_EQ(out[54 + 26 + pad], 0);

    std::string dir = tempDir();
    writeFile(dir + "/area.bmp", out);
    ASSERT_EQ(std::system(("/usr/bin/python3 " + kTool + " decode " + dir + "/area.bmp " + dir + "/area.rgb").c_str()), 0);
    Rgb got = readRgb(dir + "/area.rgb");
    ASSERT_EQ(got.w, 13);
    ASSERT_EQ(got.h, 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 13; ++x) {
            GUI_COLOR s = LCD_GetPixelColor(5 + x, 7 + y);
            const u8 *p = &got.px[3 * (y * 13 + x)];
            ASSERT_EQ(p[0] >> 3, (int)to5(s & 0xFF)) << x << "," << y;
            ASSERT_EQ(p[1] >> 3, (int)to5((s >> 8) & 0xFF));
            ASSERT_EQ(p[2] >> 3, (int)to5((s >> 16) & 0xFF));
        }

    // The whole screen, and back through our own decoder: each channel as 5 bits, widened.
    out.clear();
    GUI_BMP_Serialize(serializeByte, &out);
    EXPECT_EQ(out.size(), 54u + 1280u * 480u);
    std::vector<uint16_t> before(fb(), fb() + 640 * 480);
    clearScreen();
    ASSERT_EQ(GUI_BMP_DrawEx(out.data(), (u32)out.size(), 0, 0), 1);
    for (int i = 0; i < 640 * 480; ++i) {
        GUI_COLOR o = LCD_Index2Color(before[i]);
        GUI_COLOR w = to5(o & 0xFF) * 255 / 31 | (to5((o >> 8) & 0xFF) * 255 / 31) << 8 |
                      (to5((o >> 16) & 0xFF) * 255 / 31) << 16;
        ASSERT_EQ(fb()[i], LCD_L0_Color2Index(w)) << i;
    }
    std::system(("rm -rf " + dir).c_str());
}

TEST_F(GuiBmp, SerializeRefusesEmptyAreasAndBlackensOffScreenPixels) {
    std::vector<u8> out;
    GUI_BMP_SerializeEx(serializeByte, 0, 0, 0, 5, &out);
    GUI_BMP_SerializeEx(serializeByte, 0, 0, 5, -1, &out);
    GUI_BMP_SerializeEx(nullptr, 0, 0, 5, 5, &out);
    EXPECT_TRUE(out.empty());
    clearScreen(0xFFFF);
    GUI_BMP_SerializeEx(serializeByte, 639, 479, 2, 1, &out);
    ASSERT_EQ(out.size(), 54u + 4u);
    EXPECT_EQ(out[54] | out[55] << 8, 0x7FFF);
    EXPECT_EQ(out[56] | out[57] << 8, 0);
}

// A small valid file to damage: 8 bits per pixel, 3 x 2, palette of 2.
static std::vector<u8> smallBmp(int compression = 0) {
    std::vector<u8> d = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0,
                         1, 0, 8, 0, (u8)compression, 0, 0, 0};
    d.resize(54, 0);
    d[46] = 2;  // palette entries
    const u8 pal[] = {0, 0, 255, 0, 255, 0, 0, 0};  // red, blue
    d.insert(d.end(), pal, pal + 8);
    const u8 px[] = {1, 0, 1, 0, 0, 1, 0, 0};  // bottom row 1 0 1, top row 0 1 0
    d.insert(d.end(), px, px + 8);
    d[2] = (u8)d.size();
    return d;
}

TEST_F(GuiBmp, HandMadeRowsAndRunLengthEscapes) {
    std::vector<u8> d = smallBmp();
    clearScreen(0x1234);
    ASSERT_EQ(GUI_BMP_DrawEx(d.data(), (u32)d.size(), 0, 0), 1);
    EXPECT_EQ(at(0, 0), 0xF800);
    EXPECT_EQ(at(1, 0), 0x001F);
    EXPECT_EQ(at(0, 1), 0x001F);
    // Top-down rows (negative height).
    d[22] = 0xFE;
    d[23] = d[24] = d[25] = 0xFF;
    ASSERT_EQ(GUI_BMP_DrawEx(d.data(), (u32)d.size(), 10, 0), 1);
    EXPECT_EQ(at(10, 0), 0x001F);
    EXPECT_EQ(at(11, 0), 0xF800);
    // RLE4 with an odd literal stretch (3 pixels in 2 bytes, padded), a move and an early end.
    std::vector<u8> r = smallBmp(2);
    r[28] = 4;
    r.resize(62);
    const u8 rle[] = {0, 3, 0x10, 0x10, 0, 2, 1, 1, 0, 1};  // 1 0 1 | move to (2, top) ...
    r.insert(r.end(), rle, rle + sizeof rle);
    clearScreen(0x1234);
    ASSERT_EQ(GUI_BMP_DrawEx(r.data(), (u32)r.size(), 0, 0), 1);
    EXPECT_EQ(at(0, 1), 0x001F);
    EXPECT_EQ(at(1, 1), 0xF800);
    EXPECT_EQ(at(2, 1), 0x001F);
    EXPECT_EQ(at(0, 0), 0x1234);  // skipped by the move, left as it was
}

TEST_F(GuiBmp, LyingOrDamagedFilesAreRefusedOrCut) {
    auto draws = [](std::vector<u8> d) { return GUI_BMP_DrawEx(d.data(), (u32)d.size(), 0, 0); };
    std::vector<u8> ok = smallBmp();
    EXPECT_EQ(draws(ok), 1);
    auto with = [&](size_t at, std::initializer_list<u8> bytes) {
        std::vector<u8> d = ok;
        size_t i = at;
        for (u8 b : bytes) d[i++] = b;
        return d;
    };
    EXPECT_EQ(draws(with(0, {'X'})), 0);                       // not a BMP
    EXPECT_EQ(draws(with(18, {0xA0, 0x86, 0x01, 0})), 0);      // width 100000: data too short
    EXPECT_EQ(draws(with(18, {0, 0, 0, 0x80})), 0);            // negative width
    EXPECT_EQ(draws(with(22, {0, 0, 0, 0})), 0);               // no rows
    EXPECT_EQ(draws(with(28, {2})), 0);                        // 2 bits per pixel
    EXPECT_EQ(draws(with(26, {2})), 0);                        // two planes
    EXPECT_EQ(draws(with(30, {1})), 1);                        // RLE8 of the same bytes draws
    EXPECT_EQ(draws(with(30, {2})), 0);                        // RLE4 needs 4 bits per pixel
    EXPECT_EQ(draws(with(30, {9})), 0);                        // unknown compression
    EXPECT_EQ(draws(with(10, {0xFF, 0xFF, 0, 0})), 0);         // pixels beyond the end
    EXPECT_EQ(draws(with(10, {20, 0, 0, 0})), 0);              // pixels inside the headers
    EXPECT_EQ(draws(with(14, {0xF0, 0xFF, 0xFF, 0xFF})), 0);   // header larger than the file
    EXPECT_EQ(draws(with(46, {0xE8, 0x03, 0, 0})), 1);         // 1000 colours: cut to what fits
    EXPECT_EQ(draws(with(22, {0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 8, 0, 1})), 0);  // top-down RLE
    // Every prefix of a file, exactly sized: refused or drawn, never read past its end.
    for (size_t n = 0; n < ok.size(); ++n) {
        std::vector<u8> cut(ok.begin(), ok.begin() + (long)n);
        EXPECT_EQ(GUI_BMP_DrawEx(cut.data(), (u32)n, 0, 0), 0) << n;
        EXPECT_EQ(GUI_BMP_GetXSizeEx(cut.data(), (u32)n), 0);
    }
    // An RLE stream that runs off the bitmap and past the data.
    std::vector<u8> r = ok;
    r[30] = 1;
    r.resize(62);
    const u8 rle[] = {255, 1, 0, 2, 200, 200, 0, 0, 0, 0, 0, 0, 0, 9, 1, 2};
    r.insert(r.end(), rle, rle + sizeof rle);
    for (size_t n = 62; n <= r.size(); ++n) {
        std::vector<u8> cut(r.begin(), r.begin() + (long)n);
        GUI_BMP_DrawEx(cut.data(), (u32)n, 638, 478);
    }
    EXPECT_EQ(GUI_BMP_DrawEx(nullptr, 100, 0, 0), 0);
    EXPECT_EQ(GUI_BMP_Draw(nullptr, 0, 0), 0);
}
