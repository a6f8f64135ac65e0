// PNG output and golden comparison of the simulated LCD's frame.
#include "screen.h"

#include <png.h>

#include <cstdio>
#include <memory>

#include "lcd.h"

namespace screen {

Frame capture() {
    Frame f;
    sim::lcd::copyFrame(f.px.data());
    return f;
}

uint32_t widen(uint16_t i) {
    uint32_t r = uint32_t(i >> 11) << 3, g = uint32_t(i >> 3) & 0xFC, b = uint32_t(i & 0x1F) << 3;
    return r << 16 | g << 8 | b;
}

uint32_t pngColour(uint16_t i) {
    uint32_t r = i >> 11, g = (i >> 5) & 0x3F, b = i & 0x1F;
    return ((r << 3) | (r >> 2)) << 16 | ((g << 2) | (g >> 4)) << 8 | ((b << 3) | (b >> 2));
}

uint16_t pngIndex(const uint8_t *rgb) {
    return uint16_t((rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | (rgb[2] >> 3));
}

uint16_t crc(const Frame &f) {
    uint16_t c = 0xFFFF;
    auto feed = [&c](uint8_t byte) {
        c ^= byte;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? uint16_t((c >> 1) ^ 0xA001) : uint16_t(c >> 1);
    };
    for (uint16_t p : f.px) {
        feed(uint8_t(p & 0xFF));
        feed(uint8_t(p >> 8));
    }
    return c;
}

namespace {

struct FileCloser {
    void operator()(FILE *f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<FILE, FileCloser>;

}  // namespace

std::string writePng(const Frame &f, const std::string &path) {
    File file(std::fopen(path.c_str(), "wb"));
    if (!file) return "cannot write " + path;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        return "libpng could not start";
    }
    std::vector<uint8_t> row(kWidth * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "libpng failed writing " + path;
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, kWidth, kHeight, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            uint32_t c = pngColour(f.at(x, y));
            row[3 * x] = uint8_t(c >> 16);
            row[3 * x + 1] = uint8_t(c >> 8);
            row[3 * x + 2] = uint8_t(c);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return {};
}

bool readPng(const std::string &path, int *width, int *height, std::vector<uint8_t> *rgb,
             std::string *error) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) {
        *error = path + ": " + img.message;
        return false;
    }
    img.format = PNG_FORMAT_RGB;
    rgb->assign(PNG_IMAGE_SIZE(img), 0);
    if (!png_image_finish_read(&img, nullptr, rgb->data(), 0, nullptr)) {
        *error = path + ": " + img.message;
        png_image_free(&img);
        return false;
    }
    *width = int(img.width);
    *height = int(img.height);
    return true;
}

std::string errorName(const std::string &golden) {
    size_t slash = golden.find_last_of('/');
    size_t dot = golden.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return golden + "_err.png";
    return golden.substr(0, dot) + "_err" + golden.substr(dot);
}

std::string compareGolden(const Frame &f, const std::string &golden, bool update) {
    FILE *probe = std::fopen(golden.c_str(), "rb");
    bool exists = probe != nullptr;
    if (probe) std::fclose(probe);
    if (!exists || update) {
        std::string err = writePng(f, golden);
        if (!err.empty()) return err;
        return (exists ? "rewrote the golden " : "no golden: wrote ") + golden +
               "; look at it, then run again";
    }
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string err;
    if (!readPng(golden, &w, &h, &rgb, &err)) return err;
    if (w != kWidth || h != kHeight) {
        writePng(f, errorName(golden));
        return golden + " is " + std::to_string(w) + " x " + std::to_string(h) + ", the screen 640 x 480";
    }
    long differ = 0;
    int fx = -1, fy = -1;
    uint16_t want = 0, got = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint16_t g = pngIndex(&rgb[(size_t(y) * kWidth + size_t(x)) * 3]);
            uint16_t s = f.at(x, y);
            if (g != s) {
                if (differ++ == 0) {
                    fx = x;
                    fy = y;
                    want = g;
                    got = s;
                }
            }
        }
    if (differ == 0) return {};
    std::string errFile = errorName(golden);
    std::string werr = writePng(f, errFile);
    char buf[160];
    std::snprintf(buf, sizeof buf, "%ld pixels differ, the first at (%d, %d): %06X instead of %06X; the screen is in ",
                  differ, fx, fy, unsigned(widen(got)), unsigned(widen(want)));
    return buf + (werr.empty() ? errFile : werr);
}

}  // namespace screen
