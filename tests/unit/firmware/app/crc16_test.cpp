// CRC-16/MODBUS: the published check value, the empty input, and the CRC-checked command
// line example.
#include <gtest/gtest.h>

#include <cstring>

#include "app/crc16.h"

namespace {
u16 crcOf(const char *s) { return CalcCRC(reinterpret_cast<const u8 *>(s), int(std::strlen(s))); }

// Bit-by-bit reference of the same polynomial, to check every table entry.
u16 reference(const u8 *p, int n) {
    u16 crc = 0xFFFF;
    for (int i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? u16((crc >> 1) ^ 0xA001) : u16(crc >> 1);
    }
    return crc;
}
}  // namespace

TEST(CalcCRC, KnownValues) {
    EXPECT_EQ(crcOf("123456789"), 0x4B37);
    EXPECT_EQ(CalcCRC(nullptr, 0), 0xFFFF);
    EXPECT_EQ(crcOf("xs\r"), 0x2C15);
}

TEST(CalcCRC, AgreesWithTheBitwiseAlgorithmForEveryByte) {
    for (int a = 0; a < 256; ++a) {
        u8 two[2] = {u8(a), u8(255 - a)};
        EXPECT_EQ(CalcCRC(two, 2), reference(two, 2)) << a;
    }
}
