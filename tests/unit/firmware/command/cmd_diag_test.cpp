// Checksums of the program flash: the boot block and the program image above 64 KiB, read
// in pieces, with erased cells past the firmware's end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command/handlers.h"
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

namespace {

// The serial trace dump: oldest entry first (the one at the write position), one line per
// entry of a known type, the ring wrapping 4090 bytes after its start.
TEST(SerialTrace, DumpWalksTheRingFromTheOldestEntry) {
    std::memset(traceBuf, 0, sizeof traceBuf);
    tracePt = traceBuf;
    std::string dir = fwtest::freshStateDir();
    ASSERT_TRUE(fwtest::runFirmware(dir, [] {
        trace(TRACE_TX_INT, 'A');
        trace(TRACE_RX_INT, ' ');
        trace(TRACE_XOFF, 0);
        trace(TRACE_LINE, 17);
        trace(TRACE_STRING, 'q');
        trace(9, 1);  // a type without a line
        char sht[] = "*sht";
        parse_command(sht);
    }, true));
    const std::string zero = "txInt *txPtr = 0x00 ('.')\r";
    std::string want;
    for (int i = 0; i < 2045 - 6; ++i) want += zero;
    want += "txInt *txPtr = 0x41 ('A')\rrxInt data = 0x20 ('.')\rSent XOFF\rrxString 17 long\rtxString 'q'\r";
    EXPECT_EQ(fwtest::hostText(), want);
    // A full ring starts over at its beginning.
    for (int i = 0; i < 2045; ++i) trace(TRACE_XOFF, 0);
    EXPECT_EQ(tracePt, traceBuf + 12);
    EXPECT_EQ(traceBuf[10], TRACE_XOFF);
    EXPECT_EQ(traceBuf[12], 0);  // the entry after the newest is cleared
    std::memset(traceBuf, 0, sizeof traceBuf);
    tracePt = traceBuf;
}

}  // namespace
