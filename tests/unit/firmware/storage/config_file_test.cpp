// "config.ini" read from the SD card at start: a file that reads short is reported and
// applies nothing, and a card the file system refuses (FAT32) leaves the settings alone.
#include <gtest/gtest.h>

#include "devices/miscdrivers.h"
#include "fatimage.h"
#include "fs/sdcard.h"
#include "fw_harness.h"
#include "devices/KT_timer.h"
#include "comm/Rtosinit.h"
#include "sd_support.h"
#include "storage/KT_eeprom.h"

namespace {

void startSettings() {
    InitI2C();
    SDCardSlotInit(0);
    KT_EEPROM_Init();
}

TEST(ConfigFile, ShortReadIsReportedAndOnlyTheRepairsRun) {
    std::string dir = fwtest::freshStateDir(), img = dir + "/sdcard.img", err;
    std::string text = "verbose = 1\r\ntsamp 6\r\n";
    ASSERT_TRUE(sim::fatimage::put(img, "CONFIG.INI", std::vector<uint8_t>(text.begin(), text.end()), err)) << err;
    // The directory entry claims 40 KiB more than the file's one cluster holds.
    std::vector<uint8_t> card = sdtest::readFile(img);
    const uint8_t *boot = card.data() + 2048 * 512;
    size_t root = 2048 * 512 + 512 * size_t((boot[14] | boot[15] << 8) + boot[16] * (boot[22] | boot[23] << 8));
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(card.data() + root), 11), "CONFIG  INI");
    card[root + 29] = 0xA0;
    sdtest::writeFile(img, card);
    ASSERT_TRUE(fwtest::runFirmware(dir, startSettings, true));
    EXPECT_EQ(fwtest::hostText(), ":Config.ini could not be loaded\r");
    EXPECT_EQ(eepromData.tsamp, 8);   // the default: nothing of the file was applied
    EXPECT_EQ(eepromData.tspan, 12);
    EXPECT_FALSE(KT_EEPROMvalid());  // and nothing saved
}

TEST(ConfigFile, Fat32CardStartsWithoutTheFile) {
    std::string dir = fwtest::freshStateDir(), img = dir + "/sdcard.img";
    std::string vol = sdtest::makeVolume(img, 40, 32, true);
    sdtest::writeFile(dir + "/config.ini", {'t', 's', 'a', 'm', 'p', ' ', '6', '\r', '\n'});
    ASSERT_EQ(sdtest::sh("mcopy -i " + vol + " " + dir + "/config.ini ::CONFIG.INI"), 0);
    ASSERT_TRUE(fwtest::runFirmware(dir, startSettings, true));
    EXPECT_EQ(fwtest::hostText(), "");
    EXPECT_EQ(eepromData.tsamp, 8);
    // The same file on a FAT16 card is taken.
    std::string err;
    std::remove(img.c_str());
    ASSERT_TRUE(sim::fatimage::put(img, "CONFIG.INI", {'t', 's', 'a', 'm', 'p', ' ', '6', '\r', '\n'}, err)) << err;
    ASSERT_TRUE(fwtest::runFirmware(dir, startSettings, true));
    EXPECT_EQ(eepromData.tsamp, 6);
    EXPECT_TRUE(KT_EEPROMvalid());
}

}  // namespace
