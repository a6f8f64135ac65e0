// The serial flash driver against the simulated part, and the binary download into it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "comm/Rtosinit.h"
#include "devices/serialmem.h"
#include "fw_harness.h"
#include "serialflash.h"
#include "sim.h"
#include "storage/KT_extmem.h"
#include "uart.h"

namespace {

TEST(SerialFlash, IdentificationStatusAndWriteEnable) {
    std::string dir = fwtest::freshStateDir();
    uint32_t id = 0;
    uint8_t s[3];
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        id = ReadSerialFlashID();
        s[0] = SerialFlashStatus();
        SetWriteEnable();
        s[1] = SerialFlashStatus();
        ClearWriteEnable();
        s[2] = SerialFlashStatus();
    }));
    EXPECT_EQ(id, 0x202016u);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], SFLASH_STATUS_WEN);
    EXPECT_EQ(s[2], 0);
}

TEST(SerialFlash, ProgramOnlyClearsBitsAndWrapsInItsPage) {
    std::string dir = fwtest::freshStateDir();
    std::vector<uint8_t> got(16);
    sim::Time took = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        const uint8_t a[4] = {0xF0, 0x0F, 0xAA, 0x55};
        const uint8_t b[4] = {0x3C, 0x3C, 0xFF, 0x00};
        WriteSerialFlash(0x1FE, 4, a);  // two bytes at the page end, two wrap to 0x100
        sim::Time t0 = sim::now();
        WriteSerialFlash(0x1FE, 4, b);
        took = sim::now() - t0;
        ReadSerialFlash(0x1F8, 8, got.data());
        ReadSerialFlash(0x100, 8, got.data() + 8);
    }));
    EXPECT_EQ(got[6], 0xF0 & 0x3C);
    EXPECT_EQ(got[7], 0x0F & 0x3C);
    EXPECT_EQ(got[8], 0xAA);
    EXPECT_EQ(got[9], 0x00);
    EXPECT_EQ(got[5], 0xFF);
    EXPECT_EQ(got[10], 0xFF);
    // The write waits for the part's page-program time, to the next tick at most.
    EXPECT_GE(took, sim::serialflash::kPageProgramTime);
    EXPECT_LT(took, sim::serialflash::kPageProgramTime + 2 * sim::kMs);
    sim::setStateDir(dir);
    EXPECT_EQ(sim::serialflash::contents()[0x100], 0xAA);  // in dataflash.bin
}

TEST(SerialFlash, EraseTimesAndExtent) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    sim::serialflash::fill(0x00);
    sim::Time sector = 0, chip = 0;
    uint8_t probe[4];
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        sim::Time t0 = sim::now();
        SectorEraseSerialFlash(1);
        sector = sim::now() - t0;
        ReadSerialFlash(0xFFFF, 1, probe);
        ReadSerialFlash(0x10000, 1, probe + 1);
        ReadSerialFlash(0x1FFFF, 1, probe + 2);
        ReadSerialFlash(0x20000, 1, probe + 3);
        EXPECT_EQ(SerialFlashStatus(), 0);
        t0 = sim::now();
        EraseSerialFlash();
        chip = sim::now() - t0;
    }, false, 120000));
    EXPECT_EQ(probe[0], 0x00);
    EXPECT_EQ(probe[1], 0xFF);
    EXPECT_EQ(probe[2], 0xFF);
    EXPECT_EQ(probe[3], 0x00);
    EXPECT_GE(sector, sim::serialflash::kSectorEraseTime);
    EXPECT_LT(sector, sim::serialflash::kSectorEraseTime + 2 * sim::kMs);
    EXPECT_GE(chip, sim::serialflash::kBulkEraseTime);
    sim::setStateDir(dir);
    std::vector<uint8_t> all = sim::serialflash::contents();
    EXPECT_EQ(std::count(all.begin(), all.end(), 0xFF), long(all.size()));
}

TEST(SerialFlash, CapacityByteSetsTheSize) {
    std::string dir = fwtest::freshStateDir();
    sim::serialflash::setIdentification(0x202017);
    uint32_t id = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        id = ReadSerialFlashID();
        KT_ExtMem_SetGeometry(id);
    }));
    sim::setStateDir(dir);
    EXPECT_EQ(sim::serialflash::size(), 0x800000u);
    EXPECT_EQ(Flash1Size, 0x800000u);
    sim::serialflash::setIdentification(sim::serialflash::kDefaultId);
    KT_ExtMem_SetGeometry(sim::serialflash::kDefaultId);
}

// ---------------------------------------------------------------------------------------
// Binary download.

std::string pattern(size_t n) {
    std::string s(n, 0);
    for (size_t i = 0; i < n; ++i) s[i] = char(i * 7 + 3);
    return s;
}

TEST(BinDownload, BlocksOf128And44) {
    std::string dir = fwtest::freshStateDir();
    std::string data = pattern(300);
    int result = -1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        KT_ExtMem_SetGeometry(ReadSerialFlashID());
        sim::uart::hostSend(0, data);
        result = doEEPROMBinDownload(0x1000, 300, 1000);
    }, true));
    EXPECT_EQ(result, 1);
    std::string host = fwtest::hostText();
    ASSERT_GE(host.size(), 3u);
    EXPECT_EQ(host.substr(0, 2), ">\r");
    EXPECT_EQ(host.find_first_not_of('\x11', 2), std::string::npos) << "only XON after the prompt";
    sim::setStateDir(dir);
    std::vector<uint8_t> f = sim::serialflash::contents();
    EXPECT_EQ(std::string(f.begin() + 0x1000, f.begin() + 0x1000 + 300), data);
    EXPECT_EQ(f[0x1000 + 300], 0xFF);
    EXPECT_EQ(sim::serialflash::counts().pagePrograms, 3u);  // 128 + 128 + 44
}

TEST(BinDownload, StalledHostTimesOut) {
    std::string dir = fwtest::freshStateDir();
    int result = -1;
    sim::Time ended = 0, lastByte = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitSerialFlash();
        KT_ExtMem_SetGeometry(ReadSerialFlashID());
        sim::uart::hostSend(0, pattern(200));
        lastByte = sim::now() + 200 * 10 * sim::kSec / 115200;
        result = doEEPROMBinDownload(0, 300, 1000);
        ended = sim::now();
    }, true));
    EXPECT_EQ(result, 0);
    // The clock restarts with the last programmed block (byte 128), well before byte 200.
    EXPECT_GT(ended, lastByte + 900 * sim::kMs);
    EXPECT_LT(ended, lastByte + 1000 * sim::kMs);
    sim::setStateDir(dir);
    std::vector<uint8_t> f = sim::serialflash::contents();
    EXPECT_EQ(std::string(f.begin(), f.begin() + 128), pattern(128));
    EXPECT_EQ(f[128], 0xFF);  // the incomplete block is not programmed
}

}  // namespace
