#include "updates.h"

#include <png.h>

#include <algorithm>
#include <cstring>

namespace web {

bool TileVersions::stamp(const uint16_t *prev, const uint16_t *next, uint32_t version) {
    bool any = false;
    for (int ty = 0; ty < kTilesY; ++ty)
        for (int tx = 0; tx < kTilesX; ++tx) {
            for (int row = 0; row < kTile; ++row) {
                size_t at = size_t(ty * kTile + row) * kWidth + size_t(tx * kTile);
                if (std::memcmp(prev + at, next + at, kTile * sizeof(uint16_t)) != 0) {
                    v_[size_t(ty) * kTilesX + size_t(tx)] = version;
                    any = true;
                    break;
                }
            }
        }
    return any;
}

void TileVersions::stampAll(uint32_t version) { std::fill(v_.begin(), v_.end(), version); }

std::vector<Rect> changedSince(const TileVersions &tiles, uint32_t since) {
    std::vector<Rect> rects;
    // Areas of the row above still open for joining: indexes into rects.
    std::vector<size_t> open, nextOpen;
    for (int ty = 0; ty < kTilesY; ++ty) {
        nextOpen.clear();
        for (int tx = 0; tx < kTilesX;) {
            if (tiles.at(tx, ty) <= since) {
                ++tx;
                continue;
            }
            int start = tx;
            while (tx < kTilesX && tiles.at(tx, ty) > since) ++tx;
            Rect r{start * kTile, ty * kTile, (tx - start) * kTile, kTile};
            auto above = std::find_if(open.begin(), open.end(), [&](size_t i) {
                return rects[i].x == r.x && rects[i].w == r.w && rects[i].y + rects[i].h == r.y;
            });
            if (above != open.end()) {
                rects[*above].h += kTile;
                nextOpen.push_back(*above);
            } else {
                nextOpen.push_back(rects.size());
                rects.push_back(r);
            }
        }
        open.swap(nextOpen);
    }
    if (rects.size() > kMaxRects) {
        int x0 = kWidth, y0 = kHeight, x1 = 0, y1 = 0;
        for (const Rect &r : rects) {
            x0 = std::min(x0, r.x);
            y0 = std::min(y0, r.y);
            x1 = std::max(x1, r.x + r.w);
            y1 = std::max(y1, r.y + r.h);
        }
        rects.assign(1, Rect{x0, y0, x1 - x0, y1 - y0});
    }
    return rects;
}

namespace {

void put16(std::string &s, unsigned v) {
    s += char(v & 0xFF);
    s += char((v >> 8) & 0xFF);
}
void put32(std::string &s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
unsigned get16(const std::string &s, size_t at) {
    return unsigned(uint8_t(s[at])) | unsigned(uint8_t(s[at + 1])) << 8;
}

}  // namespace

std::string encodeUpdate(const uint16_t *frame, const std::vector<Rect> &rects, uint32_t version) {
    size_t bytes = 6;
    for (const Rect &r : rects) bytes += 8 + size_t(r.w) * size_t(r.h) * 2;
    std::string s;
    s.reserve(bytes);
    put32(s, version);
    put16(s, unsigned(rects.size()));
    for (const Rect &r : rects) {
        put16(s, unsigned(r.x));
        put16(s, unsigned(r.y));
        put16(s, unsigned(r.w));
        put16(s, unsigned(r.h));
        for (int y = r.y; y < r.y + r.h; ++y) {
            const uint16_t *row = frame + size_t(y) * kWidth + size_t(r.x);
            for (int x = 0; x < r.w; ++x) put16(s, row[x]);
        }
    }
    return s;
}

bool applyUpdate(const std::string &msg, uint16_t *frame, uint32_t *version) {
    if (msg.size() < 6) return false;
    *version = get16(msg, 0) | uint32_t(get16(msg, 2)) << 16;
    unsigned count = get16(msg, 4);
    size_t at = 6;
    for (unsigned i = 0; i < count; ++i) {
        if (msg.size() < at + 8) return false;
        unsigned x = get16(msg, at), y = get16(msg, at + 2), w = get16(msg, at + 4), h = get16(msg, at + 6);
        at += 8;
        if (x + w > unsigned(kWidth) || y + h > unsigned(kHeight) || msg.size() < at + size_t(w) * h * 2) return false;
        for (unsigned row = 0; row < h; ++row)
            for (unsigned col = 0; col < w; ++col, at += 2) frame[size_t(y + row) * kWidth + x + col] = uint16_t(get16(msg, at));
    }
    return at == msg.size();
}

namespace {

void appendPng(png_structp png, png_bytep data, png_size_t len) {
    static_cast<std::string *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), len);
}

// The PNG colour of an RGB565 pixel: each field widened with its high bits repeated, so white is FFFFFF.
void widen(uint16_t p, uint8_t *rgb) {
    unsigned r = p >> 11, g = (p >> 5) & 0x3F, b = p & 0x1F;
    rgb[0] = uint8_t(r << 3 | r >> 2);
    rgb[1] = uint8_t(g << 2 | g >> 4);
    rgb[2] = uint8_t(b << 3 | b >> 2);
}

}  // namespace

std::string encodePng(const uint16_t *frame, int width, int height) {
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return out;
    png_infop info = png_create_info_struct(png);
    std::vector<uint8_t> row(size_t(width) * 3);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return std::string();
    }
    png_set_write_fn(png, &out, appendPng, nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) widen(frame[size_t(y) * size_t(width) + size_t(x)], &row[size_t(x) * 3]);
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

}  // namespace web
