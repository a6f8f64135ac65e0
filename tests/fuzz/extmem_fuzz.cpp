// External-memory images from outside: any bytes are staged, fixed up, and every directory
// entry is measured and drawn in every way the module draws bitmaps. The SDRAM around the
// staging buffer and the frame buffer is poisoned, so that a read or write outside either is
// reported by the address sanitizer even though the whole window is mapped.
#include <sanitizer/asan_interface.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gui/GUI.h"
#include "memmap.h"
#include "sim.h"
#include "storage/KT_bitmaps.h"
#include "storage/KT_extmem.h"

namespace {

constexpr size_t kMaxInput = 1 << 16;

void setUp() {
    sim::mapSdram();
    GUI_Init();
    auto poison = [](uint32_t from, uint32_t to) { ASAN_POISON_MEMORY_REGION(sdramPtr(from), to - from); };
    poison(SDRAM_BASE, VRAM_ADDR);
    poison(VRAM_ADDR + VRAM_FRAME_BYTES, EXTMEM_ADDR);
    poison(EXTMEM_ADDR + EXTMEM_SIZE, SDRAM_BASE + SDRAM_SIZE);
}

int16_t coord(const uint8_t *data, size_t size, size_t at) {
    if (size < 2) return 0;
    return int16_t(data[at % size] | data[(at + 1) % size] << 8) % 800;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    static size_t used = 0;
    if (!ready) {
        setUp();
        ready = true;
    }
    if (size > kMaxInput) size = kMaxInput;
    std::memset(ExtMemBuffer, 0, used);
    std::memcpy(ExtMemBuffer, data, size);
    used = size > 8 ? size : 8;
    KT_ExtMem_SetStaged(uint32_t(size));
    // The tail of the buffer is where hostile offsets like to point.
    std::memset(ExtMemBuffer + EXTMEM_SIZE - 256, 0xFF, 256);

    KT_Fixup_ExtMem();
    const ExtMemHeader *h = KT_ExtMem_Header();
    uint32_t n = h ? h->entries : 4;
    if (n > 64) n = 64;
    for (uint32_t i = 0; i < n; ++i) {
        const ExtMemDirEntry *e = KT_GetExtBitmap(int(i));
        int x = coord(data, size, 3 * i), y = coord(data, size, 3 * i + 7);
        KT_BitmapWidth(e);
        KT_BitmapHeight(e);
        KT_DrawBitmap(e, x, y);
        KT_DrawBitmapTr(e, x, y, 0xF81F);
        KT_DrawBitmapCutOff(e, x, y, coord(data, size, i), coord(data, size, i + 1), coord(data, size, i + 2),
                            coord(data, size, i + 3));
        KT_DrawBitmapTrClipAbs(e, x, y, x + 2, y + 3, x + 40, y + 50, 0);
    }
    KT_Fixup_ExtMem();  // again: accepted addresses stay accepted
    return 0;
}
