// The glyph painter that every font type ends in. Internal to the drawing layer.
#ifndef VMOD_GUI_FONTDRAW_H
#define VMOD_GUI_FONTDRAW_H

#include "GUI.h"

typedef struct {
    int XSize;         // bitmap columns (0: a blank)
    int XDist;         // advance
    int BytesPerLine;
    u8 Bpp;            // 1 or 4
    const u8 *pData;   // cell-height rows, complete (the caller has checked a SIF glyph's bounds)
} GUI_GLYPH;

// Paints the glyph at the cursor with the current font's cell, magnification and the text mode:
// opaque modes paint the whole advance and the rows below the cell down to the line spacing,
// transparent mode blends over the screen, XOR inverts under the ink. The cursor does not move.
void GUI_DrawGlyph(const GUI_GLYPH &g);

// fg over bg at coverage a (0..15): (f x a + b x (15 - a)) / 15 in each 8-bit channel of the
// two indices' colour values, back to an index.
u16 GUI_BlendIndex(u16 fg, u16 bg, int a);

#endif
