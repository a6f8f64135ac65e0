// Snapshots of the whole board: the firmware, linked in and running its main loop, is changed
// in every way a host can change it (RAM, the screen in SDRAM, the EEPROM, the Data Flash,
// the card, a peripheral register, the ports, a reset), then put back; the module must be as
// it was, every time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "eeprom.h"
#include "fatimage.h"
#include "lcd.h"
#include "onboard.h"
#include "sd_support.h"
#include "serialflash.h"
#include "sim.h"
#include "snapshot.h"
#include "uart.h"

namespace {

// Everything of the board a host or a later power-on can see.
struct Seen {
    sim::Time at;
    std::vector<uint8_t> eeprom, eepromFile, flash, card;
    std::vector<uint16_t> screen;
    bool operator==(const Seen &o) const {
        return at == o.at && eeprom == o.eeprom && eepromFile == o.eepromFile && flash == o.flash && card == o.card &&
               screen == o.screen;
    }
};

Seen look(const std::string &dir) {
    Seen s;
    s.at = sim::now();
    for (unsigned a = 0; a < sim::eeprom::kSize; ++a) s.eeprom.push_back(sim::eeprom::peek(a));
    s.eepromFile = sdtest::readFile(sim::eeprom::fileIn(dir));
    s.flash = sim::serialflash::contents();
    s.card = sdtest::readFile(dir + "/sdcard.img");
    s.screen.resize(640 * 480);
    sim::lcd::copyFrame(s.screen.data());
    return s;
}

// Sends lines one by one, each after the answer to the one before.
void host(const std::vector<std::string> &lines) {
    for (const std::string &line : lines)
        ASSERT_TRUE(onboard::exchange(0, line + "\r", ">\r", 30 * sim::kSec)) << line << ": " << onboard::hostText();
}

TEST(Snapshot, PutsTheWholeBoardBackAsOftenAsAsked) {
    onboard::powerOff();
    const std::string dir = onboard::freshStateDir();
    sim::setStateDir(dir);
    std::string err;
    ASSERT_TRUE(sim::fatimage::format(dir + "/sdcard.img", 8 << 20, err)) << err;
    ASSERT_TRUE(onboard::powerOnLinked());
    host({"o 5 7", "r 0 0 100 100"});
    onboard::hostText(0);
    sim::takeSnapshot();
    const Seen before = look(dir);
    ASSERT_TRUE(onboard::exchange(0, "o\r", ">\r"));
    const std::string origin = onboard::hostText();
    // A register no device models keeps what was written to it.
    ASSERT_TRUE(onboard::exchange(0, "*R 10\r", ">\r"));
    const std::string reg = onboard::hostText();

    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        // RAM, the screen, the settings in the EEPROM, the Data Flash, a file on the card.
        host({"o 40 40", "z", "c 100 100 50", "*eew 10 AB", "*fwr", "*getScreenAsBMPFile", "*W 10 5A5A"});
        const Seen changed = look(dir);
        EXPECT_NE(changed.eeprom, before.eeprom);
        EXPECT_NE(changed.eepromFile, before.eepromFile);
        EXPECT_NE(changed.flash, before.flash);
        EXPECT_NE(changed.card, before.card);
        EXPECT_NE(changed.screen, before.screen);
        if (round == 1) {
            // A reset on top: the firmware starts again from its main, RAM from power-on.
            sim::uart::hostSend(0, "*RESET\r");
            sim::runFor(3 * sim::kSec);
        }
        if (round == 2) sim::powerOff();  // switched off: the restore powers on first
        sim::restoreSnapshot();
        EXPECT_TRUE(look(dir) == before);
        EXPECT_TRUE(onboard::hostText(0).empty());
        ASSERT_TRUE(onboard::exchange(0, "o\r", ">\r"));
        EXPECT_EQ(onboard::hostText(), origin);
        ASSERT_TRUE(onboard::exchange(0, "*R 10\r", ">\r"));
        EXPECT_EQ(onboard::hostText(), reg);
        sim::restoreSnapshot();
    }
    sim::dropSnapshot();
    onboard::powerOff();
}

}  // namespace
