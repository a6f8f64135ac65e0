// Shared set-up for the drawing-layer tests: a mapped SDRAM window, a fresh context and a
// screen in a known state, and ways to read back what was drawn.
#ifndef VMOD_GUI_TEST_UTIL_H
#define VMOD_GUI_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <utility>

#include "gui/GUI.h"
#include "memmap.h"
#include "sim.h"

namespace guitest {

using Pixel = std::pair<int, int>;  // (x, y)
using PixelSet = std::set<Pixel>;

inline uint16_t *fb() { return static_cast<uint16_t *>(sdramPtr(VRAM_ADDR)); }

// Bytes just before and after the frame buffer that no drawing may touch.
constexpr uint32_t kGuardBytes = 4096;
constexpr uint8_t kGuard = 0x5A;

inline void fillGuards() {
    std::memset(sdramPtr(VRAM_ADDR - kGuardBytes), kGuard, kGuardBytes);
    std::memset(sdramPtr(VRAM_ADDR + VRAM_FRAME_BYTES), kGuard, kGuardBytes);
}

inline bool guardsIntact() {
    const uint8_t *a = static_cast<const uint8_t *>(sdramPtr(VRAM_ADDR - kGuardBytes));
    const uint8_t *b = static_cast<const uint8_t *>(sdramPtr(VRAM_ADDR + VRAM_FRAME_BYTES));
    for (uint32_t i = 0; i < kGuardBytes; ++i)
        if (a[i] != kGuard || b[i] != kGuard) return false;
    return true;
}

inline void clearScreen(uint16_t index = 0) {
    for (int i = 0; i < 640 * 480; ++i) fb()[i] = index;
}

// Every pixel whose index is not `background`.
inline PixelSet drawn(uint16_t background = 0) {
    PixelSet s;
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            if (fb()[y * 640 + x] != background) s.insert({x, y});
    return s;
}

inline uint16_t at(int x, int y) { return fb()[y * 640 + x]; }

// Pixels of horizontal spans: (y, x0, x1) inclusive.
struct Span {
    int y, x0, x1;
};
inline PixelSet spans(std::initializer_list<Span> list) {
    PixelSet s;
    for (const Span &sp : list)
        for (int x = sp.x0; x <= sp.x1; ++x) s.insert({x, sp.y});
    return s;
}

inline PixelSet shifted(const PixelSet &in, int dx, int dy) {
    PixelSet s;
    for (auto p : in) s.insert({p.first + dx, p.second + dy});
    return s;
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        sim::mapSdram();
        GUI_Init();
        GUI_RLE16_ForgetPosition();
        clearScreen();
        fillGuards();
        GUI_SetColorIndex(0xFFFF);
    }
    void TearDown() override { EXPECT_TRUE(guardsIntact()) << "drawing reached outside the frame buffer"; }
};

}  // namespace guitest

#endif
