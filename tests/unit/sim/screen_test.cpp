// vmod-sim's screen output: the frame checksum, PNG files and the golden-file rules.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "board.h"
#include "lcd.h"
#include "memmap.h"
#include "screen.h"
#include "sim.h"

namespace {

std::string tempDir() {
    char tmpl[] = "/tmp/vmod-screen-XXXXXX";
    const char *d = mkdtemp(tmpl);
    return d ? d : "/tmp";
}

bool exists(const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (f) std::fclose(f);
    return f != nullptr;
}

}  // namespace

TEST(Screen, CrcOfAFrameAsTheModuleComputesIt) {
    screen::Frame f;
    EXPECT_EQ(screen::crc(f), 0x9090);  // 614400 zero bytes
    for (size_t i = 0; i < f.px.size(); ++i) f.px[i] = uint16_t(i * 2654435761u);
    EXPECT_EQ(screen::crc(f), 0x3AC1);  // worked out independently, pixels little-endian
}

TEST(Screen, PngColoursGiveTheIndexBack) {
    EXPECT_EQ(screen::pngColour(0xFFFF), 0xFFFFFFu);
    EXPECT_EQ(screen::pngColour(0x0821), 0x080408u);
    EXPECT_EQ(screen::pngColour(0x8410), 0x848284u);
    for (unsigned i = 0; i < 0x10000; ++i) {
        uint32_t c = screen::pngColour(uint16_t(i)), w = screen::widen(uint16_t(i));
        const uint8_t a[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
        const uint8_t b[3] = {uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w)};
        ASSERT_EQ(screen::pngIndex(a), i);
        ASSERT_EQ(screen::pngIndex(b), i);  // goldens written with the low bits zero read the same
    }
}

TEST(Screen, WideningMatchesThePixelReadCommand) {
    EXPECT_EQ(screen::widen(0xFFFF), 0xF8FCF8u);
    EXPECT_EQ(screen::widen(0xF800), 0xF80000u);
    EXPECT_EQ(screen::widen(0x07E0), 0x00FC00u);
    EXPECT_EQ(screen::widen(0x001F), 0x0000F8u);
    EXPECT_EQ(screen::widen(0x0821), 0x080408u);
}

TEST(Screen, CaptureReadsWhereTheControllerPoints) {
    sim::mapSdram();
    uint16_t *vram = static_cast<uint16_t *>(sdramPtr(VRAM_ADDR));
    vram[640 * 10 + 20] = 0x1234;
    board_lcd_set_start(VRAM_ADDR);
    board_lcd_set_page_width(320);
    board_lcd_set_refresh_mode(2);
    EXPECT_EQ(screen::capture().at(20, 10), 0x1234);
    board_lcd_set_start(VRAM_ADDR + 1280);  // one line further down
    EXPECT_EQ(screen::capture().at(20, 9), 0x1234);
    board_lcd_set_refresh_mode(0);  // switched off: a dark panel
    EXPECT_EQ(screen::capture().at(20, 9), 0);
    board_lcd_set_start(VRAM_ADDR);
    board_lcd_set_refresh_mode(2);
}

TEST(Screen, GoldenFilesAreWrittenOnPurposeAndComparedExactly) {
    std::string dir = tempDir();
    std::string golden = dir + "/shot.png";
    screen::Frame f;
    for (int x = 0; x < 640; ++x) f.px[size_t(100 * 640 + x)] = uint16_t(x * 97);
    // Missing: written, and the check fails so that someone looks at it.
    EXPECT_NE(screen::compareGolden(f, golden, false), "");
    ASSERT_TRUE(exists(golden));
    EXPECT_EQ(screen::compareGolden(f, golden, false), "");
    // The PNG holds the pixels widened with their high bits repeated.
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string err;
    ASSERT_TRUE(screen::readPng(golden, &w, &h, &rgb, &err)) << err;
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    uint32_t c = screen::pngColour(uint16_t(5 * 97));
    EXPECT_EQ(rgb[(100 * 640 + 5) * 3], uint8_t(c >> 16));
    EXPECT_EQ(rgb[(100 * 640 + 5) * 3 + 1], uint8_t(c >> 8));
    EXPECT_EQ(rgb[(100 * 640 + 5) * 3 + 2], uint8_t(c));
    // One pixel off: a failure naming it, and the screen beside the golden.
    f.px[size_t(200 * 640 + 300)] = 1;
    std::string msg = screen::compareGolden(f, golden, false);
    EXPECT_NE(msg.find("1 pixels differ"), std::string::npos) << msg;
    EXPECT_NE(msg.find("(300, 200)"), std::string::npos) << msg;
    EXPECT_TRUE(exists(dir + "/shot_err.png"));
    // Updating rewrites it and still fails.
    EXPECT_NE(screen::compareGolden(f, golden, true), "");
    EXPECT_EQ(screen::compareGolden(f, golden, false), "");
    EXPECT_EQ(screen::errorName("a.b/c"), "a.b/c_err.png");
    std::system(("rm -rf " + dir).c_str());
}
