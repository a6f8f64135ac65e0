// The screen as the web panel sends it: a version number for every 16 x 16 tile of the frame,
// so that each browser asks for what changed since the version it last drew and gets just
// those areas, whatever it missed in between; and the message that carries them.
#ifndef VMOD_WEB_UPDATES_H
#define VMOD_WEB_UPDATES_H

#include <cstdint>
#include <string>
#include <vector>

namespace web {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kTile = 16;
constexpr int kTilesX = kWidth / kTile;
constexpr int kTilesY = kHeight / kTile;
// More separate areas than this go out as the one rectangle that holds them all.
constexpr size_t kMaxRects = 48;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool operator==(const Rect &o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// The version at which each tile last changed (0: never since the start).
class TileVersions {
  public:
    TileVersions() : v_(size_t(kTilesX) * kTilesY, 0) {}
    // Stamps every tile in which `next` differs from `prev` (both kWidth x kHeight pixels)
    // with `version`; returns true when any differed.
    bool stamp(const uint16_t *prev, const uint16_t *next, uint32_t version);
    void stampAll(uint32_t version);
    uint32_t at(int tx, int ty) const { return v_[size_t(ty) * kTilesX + size_t(tx)]; }

  private:
    std::vector<uint32_t> v_;
};

// The areas changed after version `since`: runs of changed tiles along each tile row, a run
// joined with the one below it when both span the same columns; beyond kMaxRects areas, their
// bounding rectangle.
std::vector<Rect> changedSince(const TileVersions &tiles, uint32_t since);

// The update message, little-endian: u32 version, u16 number of areas, then for each area
// u16 x, y, w, h followed by its w * h RGB565 pixels row after row.
std::string encodeUpdate(const uint16_t *frame, const std::vector<Rect> &rects, uint32_t version);
// Applies a message to a client's copy of the frame; false (frame untouched past the first bad
// area) for a message that is short, or an area outside the frame. Returns the version.
bool applyUpdate(const std::string &msg, uint16_t *frame, uint32_t *version);

// The frame as an 8-bit RGB PNG file in memory (empty when libpng fails).
std::string encodePng(const uint16_t *frame, int width, int height);

}  // namespace web

#endif
