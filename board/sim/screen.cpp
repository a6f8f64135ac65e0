// Scenario lines about the picture on the panel: `pixel`, `crc`, `screen` and `snapshot`.
// The frame is the one the LCD controller scans out; PNG files hold it with each RGB565 field
// widened to 8 bits (high bits repeated), so a golden decodes back to the exact pixels.
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lcd.h"
#include "sim.h"

namespace sim {
namespace {

using Frame = std::vector<uint16_t>;
constexpr int W = lcd::kWidth, H = lcd::kHeight;

Frame grab() {
    Frame f(size_t(W) * H);
    lcd::copyFrame(f.data());
    return f;
}

std::string path(const std::string &dir, const std::string &name) {
    return (!name.empty() && name[0] == '/') ? name : dir + "/" + name;
}

void widen(uint16_t v, uint8_t *rgb) {
    unsigned r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
    rgb[0] = uint8_t((r << 3) | (r >> 2));
    rgb[1] = uint8_t((g << 2) | (g >> 4));
    rgb[2] = uint8_t((b << 3) | (b >> 2));
}

bool writePng(const std::string &file, const Frame &f) {
    FILE *fp = std::fopen(file.c_str(), "wb");
    if (!fp) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(fp);
        return false;
    }
    png_init_io(png, fp);
    png_set_IHDR(png, info, W, H, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(size_t(W) * 3);
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) widen(f[size_t(y) * W + x], &row[size_t(x) * 3]);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(fp);
    return true;
}

// Reads a 640 x 480 PNG back into RGB565; false for a missing file or any other size.
bool readPng(const std::string &file, Frame &f) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, file.c_str())) return false;
    if (img.width != unsigned(W) || img.height != unsigned(H)) {
        png_image_free(&img);
        return false;
    }
    img.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> buf(PNG_IMAGE_SIZE(img));
    if (!png_image_finish_read(&img, nullptr, buf.data(), 0, nullptr)) return false;
    f.assign(size_t(W) * H, 0);
    for (size_t i = 0; i < f.size(); ++i) {
        const uint8_t *p = &buf[i * 3];
        f[i] = uint16_t(((p[0] >> 3) << 11) | ((p[1] >> 2) << 5) | (p[2] >> 3));
    }
    return true;
}

uint16_t crc16(const uint8_t *p, size_t n) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

LineResult fail(const std::string &m) { return {1, m}; }
LineResult malformed(const std::string &m) { return {2, m}; }

LineResult pixelLine(const std::string &arg, const std::string &) {
    int x, y;
    unsigned want;
    char extra;
    if (std::sscanf(arg.c_str(), "%d %d %x %c", &x, &y, &want, &extra) != 3 || x < 0 || y < 0 || x >= W ||
        y >= H)
        return malformed("pixel X Y RRGGBB, inside 640 x 480");
    uint16_t v = grab()[size_t(y) * W + x];
    // Widened as the prx command widens: the low bits stay zero.
    unsigned got = ((v >> 11) << 3) << 16 | ((v >> 3) & 0xFC) << 8 | ((v & 0x1F) << 3);
    if (got == want) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "  pixel is %06X", got);
    return fail(buf);
}

LineResult crcLine(const std::string &arg, const std::string &) {
    unsigned want;
    char extra;
    if (std::sscanf(arg.c_str(), "%x %c", &want, &extra) != 1) return malformed("crc HHHH");
    Frame f = grab();
    std::vector<uint8_t> bytes;
    bytes.reserve(f.size() * 2);
    for (uint16_t v : f) {
        bytes.push_back(uint8_t(v & 0xFF));
        bytes.push_back(uint8_t(v >> 8));
    }
    unsigned got = crc16(bytes.data(), bytes.size());
    if (got == want) return {};
    char buf[64];
    std::snprintf(buf, sizeof buf, "  crc is %04X", got);
    return fail(buf);
}

LineResult screenLine(const std::string &arg, const std::string &dir) {
    if (arg.empty()) return malformed("screen FILE.png");
    std::string file = path(dir, arg);
    Frame now = grab(), golden;
    if (updateGoldens() || !readPng(file, golden)) {
        if (!writePng(file, now)) return fail("  cannot write " + file);
        return fail("  golden written to " + file + ": look at it, then run again");
    }
    if (golden == now) return {};
    std::string err = file.size() > 4 ? file.substr(0, file.size() - 4) + "_err.png" : file + "_err.png";
    writePng(err, now);
    size_t diff = 0, first = 0;
    for (size_t i = 0; i < now.size(); ++i)
        if (now[i] != golden[i] && diff++ == 0) first = i;
    char buf[160];
    std::snprintf(buf, sizeof buf, "  %zu pixels differ, the first at (%zu, %zu); the screen is in %s", diff,
                  first % W, first / W, err.c_str());
    return fail(buf);
}

LineResult snapshotLine(const std::string &arg, const std::string &dir) {
    if (arg.empty()) return malformed("snapshot FILE.png");
    std::string file = path(dir, arg);
    if (!writePng(file, grab())) return fail("  cannot write " + file);
    return {};
}

struct ScreenLines {
    ScreenLines() {
        registerLine("pixel", pixelLine, false);
        registerLine("crc", crcLine, false);
        registerLine("screen", screenLine, false);
        registerLine("snapshot", snapshotLine, false);
    }
} screenLines;

}  // namespace
}  // namespace sim
