// Stored bitmaps of the external-memory image drawn from the staging buffer: 64 x 64 icons,
// opaque and with a transparent colour, and a full-screen picture.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "gui/GUI.h"
#include "image.h"
#include "memmap.h"
#include "sim.h"
#include "storage/KT_bitmaps.h"
#include "storage/KT_extmem.h"

namespace {

vimage::Picture picture(int w, int h) {
    vimage::Picture p;
    p.width = w;
    p.height = h;
    p.rgba.resize(size_t(w) * h * 4);
    for (size_t i = 0; i < p.rgba.size(); i += 4) {
        uint32_t v = uint32_t(i / 4) * 2654435761u;
        p.rgba[i] = uint8_t(v), p.rgba[i + 1] = uint8_t(v >> 8), p.rgba[i + 2] = uint8_t(v >> 16), p.rgba[i + 3] = 255;
    }
    return p;
}

// Bitmap 1: 64 x 64 opaque, 2: 64 x 64 transparent, 3: 640 x 480 opaque.
void setUp() {
    static bool done;
    if (done) return;
    done = true;
    vimage::Manifest m;
    vimage::Entry icon, tr, screen;
    icon.type = vimage::Plain;
    icon.picture = picture(64, 64);
    tr.type = vimage::Transparent;
    tr.picture = picture(64, 64);
    tr.key = 0x1234;
    screen.type = vimage::Plain;
    screen.picture = picture(640, 480);
    m.entries = {icon, tr, screen};
    std::vector<uint8_t> img = vimage::build(m);
    sim::mapSdram();
    GUI_Init();
    std::memcpy(ExtMemBuffer, img.data(), img.size());
    KT_Fixup_ExtMem();
}

void BM_StoredIcon64(benchmark::State &state) {
    setUp();
    const ExtMemDirEntry *e = KT_GetExtBitmap(1);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(KT_DrawBitmap(e, (i * 37) % 640 - 32, (i * 23) % 480 - 32));
        i++;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_StoredIcon64);

void BM_StoredIcon64Transparent(benchmark::State &state) {
    setUp();
    const ExtMemDirEntry *e = KT_GetExtBitmap(2);
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(KT_DrawBitmapTr(e, (i * 37) % 576, (i * 23) % 416, 0x1234));
        i++;
    }
    state.SetItemsProcessed(int64_t(state.iterations()));
}
BENCHMARK(BM_StoredIcon64Transparent);

void BM_StoredFullScreen(benchmark::State &state) {
    setUp();
    const ExtMemDirEntry *e = KT_GetExtBitmap(3);
    for (auto _ : state) benchmark::DoNotOptimize(KT_DrawBitmap(e, 0, 0));
    state.SetBytesProcessed(int64_t(state.iterations()) * 640 * 480 * 2);
}
BENCHMARK(BM_StoredFullScreen)->Unit(benchmark::kMicrosecond);

}  // namespace
