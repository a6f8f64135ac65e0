// BMP files and RLE bitmap streams from outside: whatever the bytes, drawing stays inside the
// frame buffer (checked with guard bytes around it) and reads stay inside the data (checked by
// the address sanitizer on libFuzzer's exactly sized input).
//
// Byte 0 chooses the decoder (even: BMP file, odd: RLE16 or RLE8 stream); bytes 1..8 give the
// position, size, draw mode and clip rectangle; the rest is the data.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gui/GUI.h"
#include "memmap.h"
#include "sim.h"

namespace {

constexpr uint32_t kGuard = 4096;

void setGuards() {
    std::memset(sdramPtr(VRAM_ADDR - kGuard), 0x5A, kGuard);
    std::memset(sdramPtr(VRAM_ADDR + VRAM_FRAME_BYTES), 0x5A, kGuard);
}

void checkGuards() {
    const uint8_t *a = static_cast<const uint8_t *>(sdramPtr(VRAM_ADDR - kGuard));
    const uint8_t *b = static_cast<const uint8_t *>(sdramPtr(VRAM_ADDR + VRAM_FRAME_BYTES));
    for (uint32_t i = 0; i < kGuard; ++i)
        if (a[i] != 0x5A || b[i] != 0x5A) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        sim::mapSdram();
        GUI_Init();
        setGuards();
        ready = true;
    }
    if (size < 9) return 0;
    const uint8_t *p = data + 9;
    uint32_t n = uint32_t(size - 9);
    // Positions reach well beyond the screen on every side.
    int x = int(int8_t(data[1])) * 8, y = int(int8_t(data[2])) * 8;
    GUI_Init();
    GUI_SetDrawMode(data[3] & 7);
    GUI_RECT clip = {int16_t(int8_t(data[4]) * 6), int16_t(int8_t(data[5]) * 4),
                     int16_t(640 - int8_t(data[6]) * 6), int16_t(480 - int8_t(data[7]) * 4)};
    GUI_SetClipRect(&clip);
    if ((data[0] & 1) == 0) {
        GUI_BMP_GetXSizeEx(p, n);
        GUI_BMP_GetYSizeEx(p, n);
        GUI_BMP_DrawEx(p, n, x, y);
    } else {
        static const GUI_COLOR colours[] = {0x0000FF, 0x00FF00, 0xFF0000};
        static const GUI_LOGPALETTE pal = {3, 0, colours};
        bool rle8 = data[0] & 2;
        int w = 1 + (data[8] & 63), h = 1 + (data[8] >> 2);
        int mag = 1 + ((data[0] >> 2) & 3);
        const GUI_BITMAP_METHODS *m = rle8 ? &GUI_BitmapMethodsRLE8 : &GUI_BitmapMethodsRLEM16;
        GUI_BITMAP b = {uint16_t(w), uint16_t(h), uint16_t(2 * w), uint16_t(rle8 ? 8 : 16), p,
                        rle8 ? &pal : nullptr, m, n};
        GUI_DrawBitmapMag(&b, x, y, mag, mag);
        GUI_DrawBitmap(&b, x, y + 5);  // lower in the same stream: the remembered position
    }
    checkGuards();
    return 0;
}
