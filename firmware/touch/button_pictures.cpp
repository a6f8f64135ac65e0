// The built-in button pictures: 64 x 64 pixels of RGB565, a raised grey key (up) and the same
// key pushed in (down), for buttons defined without pictures of their own.
#include "buttons.h"

#define PICTURE_SIZE 64
#define BEVEL 4

struct ButtonPixels {
    u16 p[PICTURE_SIZE * PICTURE_SIZE];
};

static constexpr u16 rgb565(unsigned r, unsigned g, unsigned b) {
    return (u16)(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

// Light from the top left: the bevel on that side is bright when the key is up and dark when
// it is pushed; a one-pixel black frame surrounds it.
static constexpr ButtonPixels makeButton(bool down) {
    ButtonPixels b{};
    const u16 face = down ? rgb565(0xA0, 0xA0, 0xA0) : rgb565(0xC0, 0xC0, 0xC0);
    const u16 light = rgb565(0xF0, 0xF0, 0xF0);
    const u16 shade = rgb565(0x60, 0x60, 0x60);
    const u16 frame = rgb565(0, 0, 0);
    for (int y = 0; y < PICTURE_SIZE; ++y) {
        for (int x = 0; x < PICTURE_SIZE; ++x) {
            u16 c = face;
            int last = PICTURE_SIZE - 1;
            if (x == 0 || y == 0 || x == last || y == last) {
                c = frame;
            } else if (x <= BEVEL || y <= BEVEL || x >= last - BEVEL || y >= last - BEVEL) {
                bool topLeft = (x <= BEVEL && y < last - x) || (y <= BEVEL && x < last - y);
                c = (topLeft != down) ? light : shade;
            }
            b.p[y * PICTURE_SIZE + x] = c;
        }
    }
    return b;
}

static constexpr ButtonPixels upPixels = makeButton(false);
static constexpr ButtonPixels downPixels = makeButton(true);

const GUI_BITMAP kt_bmbutton_up = {PICTURE_SIZE, PICTURE_SIZE, PICTURE_SIZE * 2, 16, (const u8 *)upPixels.p,
                                   nullptr, &GUI_BitmapMethods565, sizeof upPixels.p};
const GUI_BITMAP kt_bmbutton_dn = {PICTURE_SIZE, PICTURE_SIZE, PICTURE_SIZE * 2, 16, (const u8 *)downPixels.p,
                                   nullptr, &GUI_BitmapMethods565, sizeof downPixels.p};
