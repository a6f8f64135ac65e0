// The web panel's screen updates: which areas a browser gets for the version it holds, and
// that the message rebuilds the frame exactly whatever the browser missed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "screen.h"
#include "updates.h"

namespace {

using Frame = std::vector<uint16_t>;

Frame blank(uint16_t v = 0) { return Frame(size_t(web::kWidth) * web::kHeight, v); }

void fill(Frame &f, int x0, int y0, int x1, int y1, uint16_t v) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) f[size_t(y) * web::kWidth + size_t(x)] = v;
}

// The server side of a run: frames published one after the other, each stamped.
struct Server {
    Frame frame = blank();
    web::TileVersions tiles;
    uint32_t version = 0;
    Server() { tiles.stampAll(++version); }
    bool publish(const Frame &next) {
        if (!tiles.stamp(frame.data(), next.data(), version + 1)) return false;
        ++version;
        frame = next;
        return true;
    }
    std::string update(uint32_t since) const {
        return web::encodeUpdate(frame.data(), web::changedSince(tiles, since), version);
    }
};

}  // namespace

TEST(WebUpdates, ABrowserThatMissedSeveralVersionsEndsWithTheSameFrame) {
    Server s;
    Frame client = blank(0x1234);  // whatever a fresh canvas holds: the first update covers it
    uint32_t have = 0;
    ASSERT_TRUE(web::applyUpdate(s.update(have), client.data(), &have));
    EXPECT_EQ(client, s.frame);
    EXPECT_EQ(have, s.version);

    Frame next = s.frame;
    fill(next, 3, 3, 40, 9, 0xF800);
    ASSERT_TRUE(s.publish(next));
    fill(next, 600, 470, 639, 479, 0x07E0);  // the bottom right corner, to the last pixel
    ASSERT_TRUE(s.publish(next));
    fill(next, 3, 3, 40, 9, 0x001F);  // the first area again
    ASSERT_TRUE(s.publish(next));
    ASSERT_TRUE(web::applyUpdate(s.update(have), client.data(), &have));
    EXPECT_EQ(client, s.frame);
    EXPECT_EQ(have, s.version);
}

TEST(WebUpdates, OnlyTheTilesThatChangedAfterTheBrowsersVersionGoOut) {
    Server s;
    Frame next = s.frame;
    next[size_t(100) * web::kWidth + 50] = 0xFFFF;  // one pixel, in tile (3, 6)
    ASSERT_TRUE(s.publish(next));
    auto rects = web::changedSince(s.tiles, s.version - 1);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], (web::Rect{48, 96, 16, 16}));
    // Nothing after the newest version: an empty update of the bare header.
    EXPECT_TRUE(web::changedSince(s.tiles, s.version).empty());
    EXPECT_EQ(s.update(s.version).size(), 6u);
    // A frame like the last one changes nothing and is no new version.
    EXPECT_FALSE(s.publish(next));
}

TEST(WebUpdates, TilesJoinIntoRectanglesAlongRowsAndDownColumns) {
    Server s;
    Frame next = s.frame;
    fill(next, 16, 16, 47, 47, 1);  // a 2 x 2 block of tiles: one rectangle
    fill(next, 320, 0, 335, 15, 2);  // a tile on its own
    fill(next, 400, 200, 431, 215, 3);  // an L: two tiles on a row, and one below the first
    fill(next, 400, 216, 415, 231, 3);
    ASSERT_TRUE(s.publish(next));
    auto rects = web::changedSince(s.tiles, s.version - 1);
    std::vector<web::Rect> want = {{320, 0, 16, 16}, {16, 16, 32, 32}, {400, 192, 32, 32}, {400, 224, 16, 16}};
    // The L's first row starts in tile row 12 (y 192): 200..215 spans tile rows 12 and 13.
    EXPECT_EQ(rects.size(), want.size());
    for (const web::Rect &w : want) EXPECT_NE(std::find(rects.begin(), rects.end(), w), rects.end()) << w.x << "," << w.y;
}

TEST(WebUpdates, ScatteredChangesGoOutAsOneBoundingRectangleAndStillRebuildTheFrame) {
    Server s;
    Frame client = s.frame;
    uint32_t have = s.version;
    Frame next = s.frame;
    // A checkerboard of single changed pixels: far more areas than are sent one by one.
    for (int ty = 2; ty < 20; ty += 2)
        for (int tx = 1; tx < 30; tx += 2) next[size_t(ty * 16 + 5) * web::kWidth + size_t(tx * 16 + 7)] = 0xABCD;
    ASSERT_TRUE(s.publish(next));
    auto rects = web::changedSince(s.tiles, have);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], (web::Rect{16, 32, 29 * 16, 17 * 16}));
    ASSERT_TRUE(web::applyUpdate(s.update(have), client.data(), &have));
    EXPECT_EQ(client, s.frame);
}

TEST(WebUpdates, AMessageThatIsShortOrReachesOutsideTheFrameIsRefused) {
    Server s;
    Frame next = s.frame;
    fill(next, 0, 0, 15, 15, 7);
    ASSERT_TRUE(s.publish(next));
    std::string msg = s.update(s.version - 1);
    Frame client = blank();
    uint32_t v = 0;
    EXPECT_FALSE(web::applyUpdate(msg.substr(0, msg.size() - 1), client.data(), &v));
    EXPECT_FALSE(web::applyUpdate(msg + "x", client.data(), &v));
    EXPECT_FALSE(web::applyUpdate(msg.substr(0, 5), client.data(), &v));
    std::string outside = msg;
    outside[6] = char(0x80);  // the area moved to x = 0x280 = 640, past the right edge
    outside[7] = char(0x02);
    EXPECT_FALSE(web::applyUpdate(outside, client.data(), &v));
    EXPECT_TRUE(web::applyUpdate(msg, client.data(), &v));
}

TEST(WebUpdates, TheScreenshotPngHoldsEveryPixelInTheFileColours) {
    Frame f = blank();
    for (int y = 0; y < web::kHeight; ++y)
        for (int x = 0; x < web::kWidth; ++x) f[size_t(y) * web::kWidth + size_t(x)] = uint16_t(x * 97 + y * 31);
    std::string png = web::encodePng(f.data(), web::kWidth, web::kHeight);
    ASSERT_FALSE(png.empty());
    char path[] = "/tmp/vmod-web-png-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(write(fd, png.data(), png.size()), ssize_t(png.size()));
    close(fd);
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    std::string err;
    ASSERT_TRUE(screen::readPng(path, &w, &h, &rgb, &err)) << err;
    unlink(path);
    ASSERT_EQ(w, web::kWidth);
    ASSERT_EQ(h, web::kHeight);
    for (size_t i = 0; i < f.size(); ++i) {
        uint32_t c = screen::pngColour(f[i]);
        ASSERT_EQ(rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2], int(c)) << "pixel " << i;
    }
}
