// Screen capture to the SD card: the BMP file opens in an independent decoder (Pillow) and
// holds the screen at 5 bits per channel; numbering skips files that exist; a full card
// fails cleanly and leaves a consistent volume.
#include <gtest/gtest.h>

#include <cstring>

#include "devices/KT_timer.h"
#include "command/handlers.h"
#include "fatimage.h"
#include "fs/file_sys.h"
#include "gui/GUI.h"
#include "fs/sdcard.h"
#include "comm/Rtosinit.h"
#include "storage/KT_eeprom.h"
#include "sd_support.h"

using namespace sdtest;

namespace {

const std::string kPart = "@@" + std::to_string(2048 * 512);

uint32_t to5(uint32_t c) { return (c * 31 + 127) / 255; }

void drawTestScreen() {
    GUI_Init();
    GUI_SetBkColor(0x00FFFFFF);
    GUI_Clear();
    for (int i = 0; i < 32; ++i) {  // every 8-bit level region of each channel
        GUI_SetColor(uint32_t(i * 8 + 3));
        GUI_FillRect(i * 20, 0, i * 20 + 19, 99);
        GUI_SetColor(uint32_t(i * 8 + 5) << 8);
        GUI_FillRect(i * 20, 100, i * 20 + 19, 199);
        GUI_SetColor(uint32_t(i * 8 + 7) << 16);
        GUI_FillRect(i * 20, 200, i * 20 + 19, 299);
    }
    GUI_SetColor(0x00123456);
    GUI_FillCircle(320, 390, 80);
    GUI_SetColor(0);
    GUI_DrawLine(0, 479, 639, 300);
}

TEST(ScreenCapture, BmpFileEqualsTheScreen) {
    TempDir t;
    std::string img = t / "sdcard.img", err;
    ASSERT_TRUE(sim::fatimage::put(img, "VMOD0000.BMP", {'x'}, err)) << err;  // taken already
    std::vector<uint32_t> screen(640 * 480);
    onBoard(img, [&] {
        drawTestScreen();
        char line[] = "*getScreenAsBMPFile";
        EXPECT_EQ(cmdScreenToBmp(line), 1);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x) screen[size_t(y * 640 + x)] = LCD_GetPixelColor(x, y);
        KT_Delay(50);
    });
    EXPECT_EQ(hostText(), "");
    std::vector<uint8_t> bmp;
    ASSERT_TRUE(sim::fatimage::get(img, "VMOD0001.BMP", bmp, err)) << err;
    writeFile(t / "cap.bmp", bmp);
    std::string out;
    ASSERT_EQ(sh("/usr/bin/python3 -c \"import sys; from PIL import Image; im = Image.open(sys.argv[1]); "
                 "assert im.size == (640, 480), im.size; "
                 "open(sys.argv[2], 'wb').write(im.convert('RGB').tobytes())\" " +
                     (t / "cap.bmp") + " " + (t / "cap.rgb"),
                 &out),
              0)
        << out;
    std::vector<uint8_t> rgb = readFile(t / "cap.rgb");
    ASSERT_EQ(rgb.size(), 640u * 480u * 3u);
    int bad = 0;
    for (size_t i = 0; i < screen.size() && bad < 10; ++i) {
        uint32_t c = screen[i];  // 0x00BBGGRR
        uint32_t r = rgb[i * 3], g = rgb[i * 3 + 1], b = rgb[i * 3 + 2];
        if (r >> 3 != to5(c & 0xFF) || g >> 3 != to5(c >> 8 & 0xFF) || b >> 3 != to5(c >> 16 & 0xFF)) {
            ADD_FAILURE() << "pixel " << i % 640 << "," << i / 640 << " screen " << std::hex << c << " file " << r << " "
                          << g << " " << b;
            ++bad;
        }
    }
    EXPECT_EQ(fsck(img + kPart, &out), 0) << out;
}

TEST(ScreenCapture, FullCardFailsCleanly) {
    TempDir t;
    std::string img = t / "sdcard.img", err;
    ASSERT_TRUE(sim::fatimage::format(img, 32u << 20, err)) << err;
    size_t capacity = 0;
    onBoard(img, [&] {
        ASSERT_EQ(initialize_media(), 1);
        capacity = size_t(ffVolume.clusterCount) * ffVolume.clusterSectors * 512;
    });
    // Leaves 200 KiB free: less than a capture needs.
    ASSERT_TRUE(sim::fatimage::put(img, "FILLER.BIN", std::vector<uint8_t>(capacity - 200 * 1024, 0xAB), err)) << err;
    onBoard(img, [&] {
        GUI_Init();
        char line[] = "*getScreenAsBMPFile";
        EXPECT_EQ(cmdScreenToBmp(line), 0);
        KT_Delay(50);
    });
    EXPECT_EQ(hostText(), ":error writing BMP file\r");
    std::string out;
    EXPECT_EQ(fsck(img + kPart, &out), 0) << out;
}

TEST(ScreenCapture, NoCard) {
    TempDir t;
    onBoard(t / "none.img", [&] {
        char line[] = "*getScreenAsBMPFile";
        EXPECT_EQ(cmdScreenToBmp(line), 0);
        KT_Delay(50);
    });
    EXPECT_EQ(hostText(), ":Unable to initialize SD Card\r");
}

TEST(ScreenCapture, NumberingStopsAtTheLastName) {
    TempDir t;
    std::string img = t / "card.img";
    std::string vol = makeVolume(img, 16, 16, false, "-r 1024 -s 4");
    // VMOD0000.BMP to VMOD0999.BMP exist, one byte each in a cluster of their own.
    std::vector<uint8_t> card = readFile(img);
    uint32_t reserved = card[14] | card[15] << 8, spf = card[22] | card[23] << 8, spc = card[13];
    size_t fat = reserved * 512u, root = fat + 2u * spf * 512u, data = root + 1024u * 32u;
    for (uint32_t n = 0; n < 1000; ++n) {
        uint8_t *e = card.data() + root + n * 32;
        char name[12];
        snprintf(name, sizeof name, "VMOD%04uBMP", n);
        std::memcpy(e, name, 11);
        e[11] = 0x20;
        uint32_t cluster = 2 + n;
        e[26] = uint8_t(cluster);
        e[27] = uint8_t(cluster >> 8);
        e[28] = 1;
        card[data + (cluster - 2) * spc * 512] = 'x';
        for (int copy = 0; copy < 2; ++copy) {
            card[fat + copy * spf * 512 + cluster * 2] = 0xFF;
            card[fat + copy * spf * 512 + cluster * 2 + 1] = 0xFF;
        }
    }
    writeFile(img, card);
    onBoard(img, [&] {
        GUI_Init();
        char line[] = "*getScreenAsBMPFile";
        EXPECT_EQ(cmdScreenToBmp(line), 1);
    });
    EXPECT_EQ(hostText(), "");
    std::string out;
    EXPECT_EQ(fsck(vol, &out), 0) << out;
    ASSERT_EQ(sh("mcopy -n -i " + vol + " ::VMOD0999.BMP " + (t / "last.bmp")), 0);
    EXPECT_EQ(readFile(t / "last.bmp").size(), 640u * 480u * 2u + 54u);
    ASSERT_EQ(sh("mcopy -n -i " + vol + " ::VMOD0998.BMP " + (t / "prev.bmp")), 0);
    EXPECT_EQ(readFile(t / "prev.bmp").size(), 1u);
}

}  // namespace
