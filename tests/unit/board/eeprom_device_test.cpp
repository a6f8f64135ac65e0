// The simulated I2C EEPROM driven through the board's I2C controller: addressing, page
// writes, the busy write cycle, reads with a repeated start, the media file and the script
// lines that prepare it.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "media_lines.h"
#include "board.h"
#include "devices/KT_timer.h"
#include "devices/miscdrivers.h"
#include "eeprom.h"
#include "fw_harness.h"
#include "sim.h"

namespace {

// One write transfer of raw bytes after the device address; returns how many were acked.
int writeTransfer(std::initializer_list<uint8_t> bytes) {
    board_i2c_start();
    int acked = board_i2c_write(0xA0);
    if (acked)
        for (uint8_t b : bytes) acked += board_i2c_write(b);
    board_i2c_stop();
    return acked;
}

std::string fileBytes(const std::string &dir) {
    std::ifstream f(sim::eeprom::fileIn(dir), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace

TEST(EepromDevice, BlankPartReadsFFAndWritesReachTheFile) {
    std::string dir = fwtest::freshStateDir();
    u8 first = 0, second = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        first = EEpromRead(0x10);
        EEpromWrite(0x10, 0x5A);
        second = EEpromRead(0x10);
    }));
    EXPECT_EQ(first, 0xFF);
    EXPECT_EQ(second, 0x5A);
    std::string file = fileBytes(dir);
    ASSERT_EQ(file.size(), sim::eeprom::kSize);
    EXPECT_EQ(uint8_t(file[0x10]), 0x5A);
    EXPECT_EQ(uint8_t(file[0x11]), 0xFF);

    // The next power-on finds the byte again.
    u8 again = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        again = EEpromRead(0x10);
    }));
    EXPECT_EQ(again, 0x5A);
}

TEST(EepromDevice, BusyDuringTheWriteCycleAndPageWriteWraps) {
    std::string dir = fwtest::freshStateDir();
    int nackWhileBusy = -1, ackAfter = -1;
    u8 wrapped[4] = {};
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        // Three bytes from 0x1E: the third wraps to the start of the 32-byte page.
        EXPECT_EQ(writeTransfer({0x00, 0x1E, 0x11, 0x22, 0x33}), 6);
        board_i2c_start();
        nackWhileBusy = board_i2c_write(0xA0);
        board_i2c_stop();
        KT_Delay(6);
        board_i2c_start();
        ackAfter = board_i2c_write(0xA0);
        board_i2c_stop();
        wrapped[0] = EEpromRead(0x1E);
        wrapped[1] = EEpromRead(0x1F);
        wrapped[2] = EEpromRead(0x00);
        wrapped[3] = EEpromRead(0x20);
    }));
    EXPECT_EQ(nackWhileBusy, 0);
    EXPECT_EQ(ackAfter, 1);
    EXPECT_EQ(wrapped[0], 0x11);
    EXPECT_EQ(wrapped[1], 0x22);
    EXPECT_EQ(wrapped[2], 0x33);
    EXPECT_EQ(wrapped[3], 0xFF);
}

TEST(EepromDevice, SequentialReadAndTwelveBitAddress) {
    std::string dir = fwtest::freshStateDir();
    u8 seq[3] = {};
    int wrongDevice = -1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        writeTransfer({0x10, 0x40, 1, 2, 3});  // 0x1040 is 0x040 on a 4 KiB part
        KT_Delay(6);
        u8 buf[3] = {0x00, 0x40};
        EXPECT_EQ(I2Cio(0xA0, 2, 3, buf), 1);
        for (int i = 0; i < 3; ++i) seq[i] = buf[i];
        u8 other[1] = {0};
        wrongDevice = I2Cio(0xA4, 1, 1, other);
        EXPECT_EQ(other[0], 0xFF);
    }));
    EXPECT_EQ(seq[0], 1);
    EXPECT_EQ(seq[1], 2);
    EXPECT_EQ(seq[2], 3);
    EXPECT_EQ(wrongDevice, 0);
    EXPECT_EQ(sim::eeprom::peek(0x040), 1);
}

TEST(EepromDevice, ScriptLinesPrepareTheFile) {
    std::string dir = fwtest::freshStateDir();
    sim::setStateDir(dir);
    const scenario::DeviceLine *fill = scenario::findDeviceLine("eeprom-fill");
    const scenario::DeviceLine *bytes = scenario::findDeviceLine("eeprom");
    ASSERT_TRUE(fill && bytes);
    EXPECT_TRUE(fill->poweredOffOnly);
    EXPECT_EQ(fill->run("00", "").code, 0);
    EXPECT_EQ(bytes->run("FFE 55 aa", "").code, 0);
    std::string file = fileBytes(dir);
    ASSERT_EQ(file.size(), sim::eeprom::kSize);
    EXPECT_EQ(uint8_t(file[0]), 0x00);
    EXPECT_EQ(uint8_t(file[0xFFE]), 0x55);
    EXPECT_EQ(uint8_t(file[0xFFF]), 0xAA);
    // Malformed lines are refused, and bytes never run past the part.
    EXPECT_EQ(fill->run("123", "").code, 2);
    EXPECT_EQ(fill->run("", "").code, 2);
    EXPECT_EQ(bytes->run("10", "").code, 2);
    EXPECT_EQ(bytes->run("zz 01", "").code, 2);
    EXPECT_EQ(bytes->run("FFF 01 02", "").code, 2);
    EXPECT_EQ(bytes->run("1000 01", "").code, 2);
}
