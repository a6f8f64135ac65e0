// Checksums of the program flash: the boot block and the program image above 64 KiB, read
// in pieces, with erased cells past the firmware's end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command/parse_command.h"
#include "fw_harness.h"
#include "progflash.h"

namespace {

uint16_t modbus(const std::vector<uint8_t> &b, size_t from, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = from; i < from + n; ++i) {
        crc ^= b[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

TEST(ProgramFlashCrc, BootBlockAndProgramImage) {
    std::vector<uint8_t> firmware(0x23456);
    for (size_t i = 0; i < firmware.size(); ++i) firmware[i] = uint8_t(i * 31 + (i >> 9));
    sim::progflash::setContent(firmware);
    std::vector<uint8_t> flash(0x800000, 0xFF);
    std::copy(firmware.begin(), firmware.end(), flash.begin());
    std::string dir = fwtest::freshStateDir();
    ASSERT_TRUE(fwtest::runFirmware(dir, [] {
        char a[] = "*CSUMB", b[] = "*CSUM";
        parse_command(a);
        parse_command(b);
    }, true));
    sim::progflash::useFirmwareFile();
    char want[32];
    std::snprintf(want, sizeof want, "0x%04X 0x%04X\r", modbus(flash, 0, 0x1000), modbus(flash, 0x10000, 0x7F0000));
    EXPECT_EQ(fwtest::hostText(), want);
}

}  // namespace
