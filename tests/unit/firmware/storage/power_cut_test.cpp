// Power cut at every write of the stored data: the whole firmware runs on the simulated board,
// the power goes right after the n-th EEPROM byte or Data Flash program/erase of a settings
// save, an image download or a copy from the card, and the next start must find the old data
// or the new, never a mixture. Each sweep prints how many cut points it covered.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "eeprom.h"
#include "fatimage.h"
#include "loader.h"
#include "onboard.h"
#include "sdcard.h"
#include "serialflash.h"
#include "sim.h"
#include "storage/KT_eeprom.h"
#include "uart.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr sim::Time kBootLimit = 5 * sim::kSec;

std::string put(const std::string &card, const std::string &name, const std::string &text) {
    std::string err;
    sim::fatimage::put(card, name, Bytes(text.begin(), text.end()), err);
    return err;
}

Bytes primaryImage() {
    Bytes img(EEPROM_IMAGE_SIZE);
    for (unsigned a = 0; a < EEPROM_IMAGE_SIZE; ++a) img[a] = sim::eeprom::peek(a);
    return img;
}

Bytes eepromMedia() {
    Bytes all(sim::eeprom::kSize);
    for (unsigned a = 0; a < sim::eeprom::kSize; ++a) all[a] = sim::eeprom::peek(a);
    return all;
}

// Powers the module on without waiting for its prompt: a cut may come during the start.
void powerOnNoWait(const std::string &dir) {
    onboard::powerOff();
    sim::useFirmwareModule(VMOD_FIRMWARE_MODULE);
    sim::setStateDir(dir);
    sim::uart::hostReceived(0).clear();
    sim::powerOn();
}

// The module started again after a cut, with no card in the slot, up to its prompt; what it
// said on the way.
std::string restart(const std::string &dir) {
    sim::sdcard::useImage(dir + "/no-card.img");
    bool up = onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit);
    std::string said = onboard::hostText(0);
    EXPECT_TRUE(up) << said;
    return said;
}

struct Tally {
    size_t points = 0, asOld = 0, asNew = 0, invalid = 0, bad = 0;
    void print(const char *what) const {
        std::printf("[ cut sweep ] %s: %zu cut points: %zu old, %zu new, %zu invalid, %zu mixed\n", what, points,
                    asOld, asNew, invalid, bad);
    }
};

// ---------------------------------------------------------------------------------------
// Settings

const char *kOldConfig =
    "config = \"OLD-abcdefghijklmnopqrstuvwxyz\"\r\ntsamp = 6\r\ntplo = 300\r\ntphi = 800\r\n"
    "debounce = 120\r\nbeepFreq = 2000\r\ntypematicDelay = 50\r\ntcTimeout = 20\r\n";
const char *kNewConfig =
    "config = \"NEW-0123456789ABCDEFGHIJKLMNOP\"\r\ntsamp = 9\r\ntplo = 211\r\ntphi = 655\r\n"
    "debounce = 77\r\nbeepFreq = 3100\r\ntypematicDelay = 90\r\ntcTimeout = 33\r\nhfp = 12\r\n";

// The save the start makes when "config.ini" changes settings, cut at every byte it writes.
TEST(PowerCut, SettingsSaveGivesOldOrNewAtEveryByte) {
    std::string dir = onboard::freshStateDir();
    std::string card = dir + "/card.img";
    std::string err;
    ASSERT_TRUE(sim::fatimage::format(card, 8 << 20, err)) << err;
    ASSERT_EQ(put(card, "CONFIG.INI", kOldConfig), "");

    // The old settings, saved by a start with the old file.
    sim::sdcard::useImage(card);
    ASSERT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit));
    onboard::powerOff();
    Bytes oldMedia = eepromMedia(), oldImg = primaryImage();
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(&oldImg[0x5D]), 4), "OLD-");

    // The whole save of the new file, once, to learn its writes and the new image.
    ASSERT_EQ(put(card, "CONFIG.INI", kNewConfig), "");
    ASSERT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir, kBootLimit));
    size_t saveWrites = 0;
    for (uint16_t a : sim::eeprom::writeLog()) saveWrites += a != 0xFE;  // not the start mark
    onboard::powerOff();
    Bytes newImg = primaryImage();
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(&newImg[0x5D]), 4), "NEW-");
    ASSERT_GT(saveWrites, size_t(EEPROM_IMAGE_SIZE));  // the copy comes before the image

    Tally t;
    for (uint64_t n = 1; n <= saveWrites; ++n) {
        SCOPED_TRACE(n);
        ASSERT_TRUE(sim::eeprom::writeMedia(0, oldMedia));
        sim::sdcard::useImage(card);
        powerOnNoWait(dir);
        uint64_t left = n;
        ASSERT_TRUE(onboard::runToCut(onboard::Cut::EepromByte, left, kBootLimit));
        restart(dir);
        Bytes now = primaryImage();
        onboard::powerOff();
        ++t.points;
        if (now == oldImg)
            ++t.asOld;
        else if (now == newImg)
            ++t.asNew;
        else
            ++t.bad;
    }
    sim::sdcard::useImage("");
    t.print("settings save");
    EXPECT_EQ(t.bad, 0u);
    EXPECT_GT(t.asOld, 0u);
    EXPECT_GT(t.asNew, 0u);
}

}  // namespace
