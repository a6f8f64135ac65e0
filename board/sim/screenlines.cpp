// Scenario lines that look at the screen: `pixel X Y RRGGBB` and `crc HHHH`, both on the
// frame the LCD controller scans out (a dark panel reads as black).
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "lcd.h"
#include "sim.h"

namespace {

std::vector<uint16_t> screen() {
    std::vector<uint16_t> f(size_t(sim::lcd::kWidth) * sim::lcd::kHeight);
    sim::lcd::copyFrame(f.data());
    return f;
}

// RGB565 widened to 8-bit channels by integer arithmetic, as the module reports pixels.
std::string widened(uint16_t p) {
    unsigned r = (p >> 11) * 255 / 31, g = ((p >> 5) & 0x3F) * 255 / 63, b = (p & 0x1F) * 255 / 31;
    char s[8];
    std::snprintf(s, sizeof s, "%02X%02X%02X", r, g, b);
    return s;
}

uint16_t modbusCrc(const uint8_t *p, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

sim::LineResult pixelLine(const std::string &arg) {
    std::istringstream in(arg);
    int x, y;
    std::string want;
    if (!(in >> x >> y >> want) || want.size() != 6 || x < 0 || y < 0 || x >= sim::lcd::kWidth ||
        y >= sim::lcd::kHeight)
        return {2, "pixel wants X Y RRGGBB inside the screen"};
    for (char &c : want) c = char(std::toupper((unsigned char)c));
    std::string got = widened(screen()[size_t(y) * sim::lcd::kWidth + x]);
    if (got != want) return {1, "pixel is " + got};
    return {};
}

sim::LineResult crcLine(const std::string &arg) {
    char *end = nullptr;
    unsigned long want = std::strtoul(arg.c_str(), &end, 16);
    if (arg.empty() || *end || want > 0xFFFF) return {2, "crc wants four hex digits"};
    std::vector<uint16_t> f = screen();
    std::vector<uint8_t> bytes(f.size() * 2);
    for (size_t i = 0; i < f.size(); ++i) {
        bytes[2 * i] = uint8_t(f[i]);
        bytes[2 * i + 1] = uint8_t(f[i] >> 8);
    }
    char got[8];
    std::snprintf(got, sizeof got, "%04X", modbusCrc(bytes.data(), bytes.size()));
    if (std::strtoul(got, nullptr, 16) != want) return {1, std::string("crc is ") + got};
    return {};
}

struct ScreenLines {
    ScreenLines() {
        sim::registerLine("pixel", [](const std::string &a, const std::string &) { return pixelLine(a); }, false);
        sim::registerLine("crc", [](const std::string &a, const std::string &) { return crcLine(a); }, false);
    }
} screenLines;

}  // namespace
