// Rectangles, pixels, points and lines.
#include "GUI_Draw.h"

// sin(k x 90 / 16 degrees) x 1024.
static const s16 sinTable[17] = {0,   100, 200, 297, 392, 483,  569,  650, 724,
                                 792, 851, 903, 946, 980, 1004, 1019, 1024};
// atan(k / 16) in 1/4096 turn.
static const s16 atanTable[17] = {0,   41,  81,  121, 160, 197, 234, 269, 302,
                                  334, 364, 393, 419, 445, 469, 491, 512};

// Sine over the first quarter turn, t in 0..1024.
static int sinQuarter(int t) {
    int i = t >> 6, f = t & 63;
    if (i >= 16) return sinTable[16];
    return (sinTable[i] * (64 - f) + sinTable[i + 1] * f + 32) >> 6;
}

int GUI_sin(int angle) {
    angle &= 4095;
    int t = angle & 1023;
    switch (angle >> 10) {
    case 0: return sinQuarter(t);
    case 1: return sinQuarter(1024 - t);
    case 2: return -sinQuarter(t);
    default: return -sinQuarter(1024 - t);
    }
}

int GUI_cos(int angle) { return GUI_sin(angle + 1024); }

// atan of q / 1024 (q in 0..1024) in 1/4096 turn: table steps of 1/16, linear in between.
static int atanRatio(int q) {
    int i = q >> 6, f = q & 63;
    if (i >= 16) return atanTable[16];
    return atanTable[i] + (((atanTable[i + 1] - atanTable[i]) * f + 32) >> 6);
}

int GUI_atan2(int dx, int dy) {
    long long ax = dx < 0 ? -(long long)dx : dx, ay = dy < 0 ? -(long long)dy : dy;
    if (ax == 0 && ay == 0) return 0;
    int t = ax >= ay ? atanRatio((int)(ay * 1024 / ax)) : 1024 - atanRatio((int)(ax * 1024 / ay));
    if (dx >= 0 && dy >= 0) return t & 4095;
    if (dx < 0 && dy >= 0) return 2048 - t;
    if (dx < 0) return 2048 + t;
    return (4096 - t) & 4095;
}

void GUI_Clear(void) {
    GUI_GotoXY(0, 0);
    GUI_ClearRect(0, 0, LCD_XSIZE - 1, LCD_YSIZE - 1);
}

void GUI_ClearRect(int x0, int y0, int x1, int y1) {
    LCD_FillRectIndex(x0, y0, x1, y1, GUI_Context.BkColorIndex);
}

void GUI_FillRect(int x0, int y0, int x1, int y1) { LCD_FillRect(x0, y0, x1, y1); }

void GUI_DrawRect(int x0, int y0, int x1, int y1) {
    if (x1 < x0 || y1 < y0) return;
    LCD_DrawHLine(x0, y0, x1);
    if (y1 > y0) LCD_DrawHLine(x0, y1, x1);
    // The sides leave out the corners so that XOR mode inverts each pixel once.
    if (y1 - y0 > 1) {
        LCD_DrawVLine(x0, y0 + 1, y1 - 1);
        if (x1 > x0) LCD_DrawVLine(x1, y0 + 1, y1 - 1);
    }
}

void GUI_DrawPixel(int x, int y) { LCD_DrawPixel(x, y); }

void GUI_FillPenDot(int x, int y, int penSize) {
    if (penSize <= 1)
        LCD_DrawPixel(x, y);
    else
        GUI_FillCircle(x, y, penSize / 2);
}

void GUI_DrawPoint(int x, int y) { GUI_FillPenDot(x, y, GUI_Context.PenSize); }

void GUI_DrawHLine(int y, int x0, int x1) { LCD_DrawHLine(x0, y, x1); }
void GUI_DrawVLine(int x, int y0, int y1) { LCD_DrawVLine(x, y0, y1); }

// Whether the i-th pixel along a line is drawn in the current line style.
static bool styleOn(int style, long long i) {
    switch (style) {
    case GUI_LS_DASH: return (i + 6) % 16 < 12;
    case GUI_LS_DOT: return i % 4 < 2;
    case GUI_LS_DASHDOT: {
        long long j = i % 20;
        return j < 12 || j == 16 || j == 17;
    }
    case GUI_LS_DASHDOTDOT: {
        long long j = i % 24;
        return j < 12 || j == 16 || j == 17 || j == 20 || j == 21;
    }
    default: return true;
    }
}

// A 1-pixel line: one pixel per step along the longer axis, the other coordinate rounded to
// the nearest (halves away from the start). Only the steps inside the clip rectangle along
// the longer axis are visited, so far-away end points cost nothing.
static void thinLine(int x0, int y0, int x1, int y1, int style) {
    long long dx = (long long)x1 - x0, dy = (long long)y1 - y0;
    bool xMajor = (dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy);
    long long maj0 = xMajor ? x0 : y0, min0 = xMajor ? y0 : x0;
    long long dMaj = xMajor ? dx : dy, dMin = xMajor ? dy : dx;
    int sMaj = dMaj < 0 ? -1 : 1, sMin = dMin < 0 ? -1 : 1;
    long long aMaj = dMaj * sMaj, aMin = dMin * sMin;
    if (style == GUI_LS_SOLID && aMin == 0) {
        if (xMajor)
            LCD_DrawHLine(x0 < x1 ? x0 : x1, y0, x0 < x1 ? x1 : x0);
        else
            LCD_DrawVLine(x0, y0 < y1 ? y0 : y1, y0 < y1 ? y1 : y0);
        return;
    }
    const GUI_RECT &c = GUI_Context.ClipRect;
    long long lo = xMajor ? c.x0 : c.y0, hi = xMajor ? c.x1 : c.y1;
    long long k0, k1;  // visible step range
    if (sMaj > 0) {
        k0 = lo - maj0;
        k1 = hi - maj0;
    } else {
        k0 = maj0 - hi;
        k1 = maj0 - lo;
    }
    if (k0 < 0) k0 = 0;
    if (k1 > aMaj) k1 = aMaj;
    for (long long k = k0; k <= k1; ++k) {
        if (style != GUI_LS_SOLID && !styleOn(style, k)) continue;
        long long off = aMaj ? (2 * k * aMin + aMaj) / (2 * aMaj) : 0;
        long long maj = maj0 + sMaj * k, min = min0 + sMin * off;
        if (xMajor)
            LCD_DrawPixel((int)maj, GUI_ClampCoord(min));
        else
            LCD_DrawPixel(GUI_ClampCoord(min), (int)maj);
    }
}

// Rounds v / 1024 to the nearest integer, halves away from zero.
static int roundDiv1024(long long v) { return (int)(v >= 0 ? (v + 512) >> 10 : -((-v + 512) >> 10)); }

// A line of width w > 1: a filled quadrilateral w - 1 pixels across (perpendicular offsets
// from the fixed-point angle), closed with round caps.
static void thickLine(int x0, int y0, int x1, int y1, int w) {
    int dx = x1 - x0, dy = y1 - y0;
    if (dx == 0 && dy == 0) return;
    int a = GUI_atan2(dx, dy) + 1024;
    int ox = roundDiv1024((long long)GUI_cos(a) * (w - 1));
    int oy = roundDiv1024((long long)GUI_sin(a) * (w - 1));
    // The larger half of an odd offset goes to the positive side.
    int pxo = ox - ox / 2, pyo = oy - oy / 2, nxo = ox / 2, nyo = oy / 2;
    int px[4] = {x0 + pxo, x1 + pxo, x1 - nxo, x0 - nxo};
    int py[4] = {y0 + pyo, y1 + pyo, y1 - nyo, y0 - nyo};
    GUI_FillPolygonInt(px, py, 4);
    GUI_FillPenDot(x0, y0, w);
    GUI_FillPenDot(x1, y1, w);
}

void GUI_DrawLine(int x0, int y0, int x1, int y1) {
    // Coordinates are 16-bit; wider ones are held where the arithmetic below cannot overflow.
    x0 = GUI_ClampCoord(x0);
    y0 = GUI_ClampCoord(y0);
    x1 = GUI_ClampCoord(x1);
    y1 = GUI_ClampCoord(y1);
    if (GUI_Context.PenSize > 1)
        thickLine(x0, y0, x1, y1, GUI_Context.PenSize);
    else
        thinLine(x0, y0, x1, y1, GUI_Context.LineStyle);
}

void GUI_DrawLineTo(int x, int y) {
    GUI_DrawLine(GUI_Context.DrawPosX, GUI_Context.DrawPosY, x, y);
    GUI_MoveTo(x, y);
}

void GUI_DrawLineRel(int dx, int dy) {
    GUI_DrawLineTo(GUI_ClampCoord((long long)GUI_Context.DrawPosX + dx),
                   GUI_ClampCoord((long long)GUI_Context.DrawPosY + dy));
}

void GUI_MoveTo(int x, int y) {
    GUI_Context.DrawPosX = (s16)x;
    GUI_Context.DrawPosY = (s16)y;
}
