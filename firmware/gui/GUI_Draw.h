// Rectangles, pixels, points and lines, and the fixed-point trigonometry they use.
#ifndef VMOD_GUI_DRAW_H
#define VMOD_GUI_DRAW_H

#include "GUI.h"

void GUI_Clear(void);  // cursor to (0, 0), then the whole screen in the background colour
void GUI_ClearRect(int x0, int y0, int x1, int y1);  // background colour, whatever the draw mode
void GUI_FillRect(int x0, int y0, int x1, int y1);   // nothing when x1 < x0 or y1 < y0
void GUI_DrawRect(int x0, int y0, int x1, int y1);   // 1-pixel outline
void GUI_DrawPixel(int x, int y);
void GUI_DrawPoint(int x, int y);  // a dot as wide as the pen
void GUI_DrawHLine(int y, int x0, int x1);
void GUI_DrawVLine(int x, int y0, int y1);
void GUI_DrawLine(int x0, int y0, int x1, int y1);  // pen size and line style apply
void GUI_DrawLineTo(int x, int y);                  // from the pen position, which moves to (x, y)
void GUI_DrawLineRel(int dx, int dy);
void GUI_MoveTo(int x, int y);

// Sine and cosine of an angle in 1/4096 turn, in 1/1024.
int GUI_sin(int angle);
int GUI_cos(int angle);
// Direction of the vector (dx, dy) in 1/4096 turn (0..4095), 0 along +x, 1024 along +y.
int GUI_atan2(int dx, int dy);

// A dot of the pen's width centred on (x, y), also used for the round line caps.
void GUI_FillPenDot(int x, int y, int penSize);

// Clamps a coordinate computed in wider arithmetic into the int range that the span writers
// clip (anything beyond the signed 16-bit range is far outside every clip rectangle).
static inline int GUI_ClampCoord(long long v) {
    return v < -0x10000 ? -0x10000 : v > 0x10000 ? 0x10000 : (int)v;
}

#endif
