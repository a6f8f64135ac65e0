// Drawing speed: full-screen fills against memset of the same 614,400 bytes, thin lines,
// filled circles of 100 pixels and 64 x 64 RLE16 bitmaps.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "gui/GUI.h"
#include "memmap.h"
#include "sim.h"

namespace {

void setUp() {
    sim::mapSdram();
    GUI_Init();
}

double secondsFor(int reps, void (*fn)(int)) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; ++i) fn(i);
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void fillOnce(int i) {
    GUI_SetColorIndex(0x1234 + i);
    GUI_FillRect(0, 0, 639, 479);
}

void memsetOnce(int i) {
    void *fb = sdramPtr(VRAM_ADDR);
    benchmark::DoNotOptimize(fb);
    std::memset(fb, i & 0xFF, VRAM_FRAME_BYTES);
}

// Whole-screen fills; the counter memset_ratio is memset's time over the fill's for the same
// bytes (1 = as fast as memset).
void BM_FullScreenFill(benchmark::State &state) {
    setUp();
    int i = 0;
    for (auto _ : state) fillOnce(i++);
    state.SetBytesProcessed(int64_t(state.iterations()) * VRAM_FRAME_BYTES);
    const int reps = 200;
    secondsFor(20, memsetOnce);  // warm
    double m = secondsFor(reps, memsetOnce), f = secondsFor(reps, fillOnce);
    state.counters["memset_ratio"] = m / f;
}
BENCHMARK(BM_FullScreenFill);

void BM_Memset614400(benchmark::State &state) {
    setUp();
    int i = 0;
    for (auto _ : state) memsetOnce(i++);
    state.SetBytesProcessed(int64_t(state.iterations()) * VRAM_FRAME_BYTES);
}
BENCHMARK(BM_Memset614400);

// 1-pixel lines between random points of the screen.
void BM_ThinLines(benchmark::State &state) {
    setUp();
    std::mt19937 rng(1);
    std::vector<int> pts(4096);
    for (size_t k = 0; k < pts.size(); k += 2) {
        pts[k] = int(rng() % 640);
        pts[k + 1] = int(rng() % 480);
    }
    size_t k = 0;
    for (auto _ : state) {
        GUI_DrawLine(pts[k], pts[k + 1], pts[k + 2], pts[k + 3]);
        k = (k + 4) % (pts.size() - 4);
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_ThinLines);

// Filled circles 100 pixels across.
void BM_FilledCircle100(benchmark::State &state) {
    setUp();
    int i = 0;
    for (auto _ : state) {
        GUI_FillCircle(100 + (i & 255), 100 + ((i >> 3) & 255), 50);
        i++;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_FilledCircle100);

// 64 x 64 RLE16 bitmaps: rows of a few runs and a literal stretch, as icons compress.
void BM_Rle16Bitmap64(benchmark::State &state) {
    setUp();
    std::vector<uint8_t> s;
    auto px = [&s](uint16_t v) {
        s.push_back(uint8_t(v));
        s.push_back(uint8_t(v >> 8));
    };
    for (int r = 0; r < 64; ++r) {
        s.push_back(20);
        px(0x001F);
        s.push_back(0);
        s.push_back(8);
        for (int k = 0; k < 8; ++k) px(uint16_t(r * 64 + k));
        s.push_back(36);
        px(0xF800);
    }
    GUI_BITMAP b = {64, 64, 128, 16, s.data(), nullptr, &GUI_BitmapMethodsRLEM16, uint32_t(s.size())};
    int i = 0;
    for (auto _ : state) {
        GUI_DrawBitmap(&b, (i * 37) % 576, (i * 23) % 416);
        i++;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_Rle16Bitmap64);

}  // namespace
