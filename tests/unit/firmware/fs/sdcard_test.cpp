// The SD card driver over the simulated card: initialisation of standard- and
// high-capacity cards, block transfers with their CRCs, the identification text, no card.
#include <gtest/gtest.h>

#include <cstring>

#include "fs/sd_cmd.h"
#include "fs/sdcard.h"
#include "devices/KT_timer.h"
#include "comm/Rtosinit.h"
#include "storage/KT_eeprom.h"
#include "sd_support.h"

using namespace sdtest;

namespace {

TEST(SDCard, BusCrcsMatchTheirKnownValues) {
    const uint8_t cmd0[5] = {0x40, 0, 0, 0, 0};
    EXPECT_EQ(sdCrc7(cmd0, 5), 0x4A);  // the well-known 0x95 frame byte of CMD0
    const uint8_t cmd8[5] = {0x48, 0, 0, 0x01, 0xAA};
    EXPECT_EQ(sdCrc7(cmd8, 5), 0x43);  // 0x87
    EXPECT_EQ(sdCrc16(reinterpret_cast<const uint8_t *>("123456789"), 9), 0x31C3);
    uint8_t ff[512];
    std::memset(ff, 0xFF, sizeof ff);
    EXPECT_EQ(sdCrc16(ff, 512), 0x7FA1);  // an erased block
}

class Capacities : public ::testing::TestWithParam<sim::sdcard::Capacity> {};

TEST_P(Capacities, BlocksGoToTheirPlaceInTheImage) {
    TempDir t;
    std::string img = t / "card.img";
    writeFile(img, std::vector<uint8_t>(8u << 20, 0));
    sim::sdcard::setCapacity(GetParam());
    bool high = GetParam() == sim::sdcard::Capacity::High;
    onBoard(img, [&] {
        ASSERT_EQ(SDCardInit(), 1);
        EXPECT_EQ(SDCardIsReady(), 1);
        EXPECT_EQ(sdCard.highCapacity, high ? 1 : 0);
        EXPECT_EQ(sdCard.blocks, 16384u);
        for (u32 block : {0u, 1u, 777u, 16383u}) {
            std::vector<uint8_t> data = pattern(512, block);
            EXPECT_EQ(SDCardWriteBlock(block, data.data()), 1) << block;
        }
        std::vector<uint8_t> back(512);
        EXPECT_EQ(SDCardReadBlock(777, back.data()), 1);
        EXPECT_TRUE(back == pattern(512, 777));
        EXPECT_EQ(SDCardReadBlock(16384, back.data()), 0);  // past the end
        EXPECT_EQ(SDCardWriteBlock(16384, back.data()), 0);
    });
    sim::sdcard::setCapacity(sim::sdcard::Capacity::Auto);
    std::vector<uint8_t> image = readFile(img);
    for (u32 block : {0u, 1u, 777u, 16383u}) {
        std::vector<uint8_t> want = pattern(512, block);
        EXPECT_TRUE(std::equal(want.begin(), want.end(), image.begin() + long(block) * 512)) << block;
    }
}

INSTANTIATE_TEST_SUITE_P(SDCard, Capacities,
                         ::testing::Values(sim::sdcard::Capacity::Standard, sim::sdcard::Capacity::High));

TEST(SDCard, DamagedDataIsReportedAndReadAgain) {
    TempDir t;
    std::string img = t / "card.img";
    std::vector<uint8_t> data = pattern(1u << 20, 7);
    writeFile(img, data);
    onBoard(img, [&] {
        ASSERT_EQ(SDCardInit(), 1);
        hostText();
        std::vector<uint8_t> back(512);
        sim::sdcard::damageNextReads(1);
        EXPECT_EQ(SDCardReadBlock(5, back.data()), 1);  // the second try is good
        EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin() + 5 * 512));
        sim::sdcard::damageNextReads(10);
        EXPECT_EQ(SDCardReadBlock(5, back.data()), 0);  // every try damaged
        sim::sdcard::damageNextReads(0);
        KT_Delay(50);  // the reports reach the host
    });
    EXPECT_EQ(hostText(), std::string("DAT CRC Error\r\n") + "DAT CRC Error\r\n" + "DAT CRC Error\r\n" + "DAT CRC Error\r\n");
}

TEST(SDCard, IdentificationText) {
    TempDir t;
    std::string img = t / "card.img";
    writeFile(img, std::vector<uint8_t>(1u << 20, 0));
    onBoard(img, [&] {
        ASSERT_EQ(SDCardInit(), 1);
        char text[SD_CID_STRING_SIZE];
        SDCardGetCIDString(text);
        EXPECT_STREQ(text, "MID=94\r\nOID=564Dh\r\nPNM=VSIM1\r\nPSN=260512\r\nMDT=12/26");
    });
}

TEST(SDCard, NoCardNoTransfers) {
    TempDir t;
    onBoard(t / "missing.img", [&] {
        EXPECT_EQ(SDCardDetect(), 0);
        EXPECT_EQ(SDCardInit(), 0);
        EXPECT_EQ(SDCardIsReady(), 0);
        uint8_t b[512];
        EXPECT_EQ(SDCardReadBlock(0, b), 0);
        EXPECT_EQ(SDCardWriteBlock(0, b), 0);
    });
}

}  // namespace
