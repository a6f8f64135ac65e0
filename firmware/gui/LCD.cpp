// Frame buffer access and span writers. Every write is bounded by the clip rectangle, which
// GUI keeps inside the 640 x 480 frame buffer, so nothing lands outside it.
#include "LCD.h"

#include <string.h>

#include "../devices/lcd_driver.h"
#include "../memmap.h"

static inline u16 *frame(void) { return (u16 *)sdramPtr(VRAM_ADDR); }

static inline bool onScreen(int x, int y) {
    return (unsigned)x < (unsigned)LCD_XSIZE && (unsigned)y < (unsigned)LCD_YSIZE;
}

unsigned LCD_GetPixelIndex(int x, int y) {
    if (!onScreen(x, y)) return 0;
    return frame()[y * LCD_XSIZE + x];
}

void LCD_SetPixelIndex(int x, int y, int index) {
    if (!onScreen(x, y)) return;
    frame()[y * LCD_XSIZE + x] = (u16)index;
}

GUI_COLOR LCD_GetPixelColor(int x, int y) { return LCD_Index2Color(LCD_GetPixelIndex(x, y)); }
int LCD_GetXSize(void) { return LCD_XSIZE; }
int LCD_GetYSize(void) { return LCD_YSIZE; }
int LCD_GetBitsPerPixel(void) { return LCD_BITSPERPIXEL; }

GUI_COLOR LCD_Index2Color(unsigned index) {
    u32 r = (index >> 11) & 0x1F, g = (index >> 5) & 0x3F, b = index & 0x1F;
    return (r * 255 / 31) | ((g * 255 / 63) << 8) | ((b * 255 / 31) << 16);
}

unsigned LCD_L0_Color2Index(GUI_COLOR c) {
    return ((c & 0xF8) << 8) | ((c >> 5) & 0x7E0) | ((c & 0xFFFFFF) >> 19);
}

static GUI_COLOR swapRB(GUI_COLOR c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

GUI_COLOR LCD_Index2ColorM(unsigned index) { return swapRB(LCD_Index2Color(index)); }
unsigned LCD_L0_Color2IndexM(GUI_COLOR c) { return LCD_L0_Color2Index(swapRB(c)); }

bool LCD_ClipToContext(int *x0, int *y0, int *x1, int *y1) {
    const GUI_RECT &c = GUI_Context.ClipRect;
    if (*x0 < c.x0) *x0 = c.x0;
    if (*y0 < c.y0) *y0 = c.y0;
    if (*x1 > c.x1) *x1 = c.x1;
    if (*y1 > c.y1) *y1 = c.y1;
    return *x0 <= *x1 && *y0 <= *y1;
}

static inline bool inClip(int x, int y) {
    const GUI_RECT &c = GUI_Context.ClipRect;
    return x >= c.x0 && x <= c.x1 && y >= c.y0 && y <= c.y1;
}

// Fills n pixels: single pixels up to a 16-byte boundary, then 16 bytes per store (the
// compiler splits the vector where the processor has no such stores).
typedef u16 u16x8 __attribute__((vector_size(16), may_alias));

static void fillSpan(u16 *p, int n, u16 index) {
    while (n > 0 && ((uintptr_t)p & 15)) {
        *p++ = index;
        n--;
    }
    u16x8 v = {index, index, index, index, index, index, index, index};
    u16x8 *q = (u16x8 *)p;
    int blocks = n >> 3;
    for (int i = 0; i < blocks; ++i) q[i] = v;
    p += blocks * 8;
    for (int i = 0; i < (n & 7); ++i) p[i] = index;
}

void LCD_SetPixelIndexClipped(int x, int y, unsigned index) {
    if (inClip(x, y)) frame()[y * LCD_XSIZE + x] = (u16)index;
}

// The first row is filled pixel by pixel, the others are block copies of it (the library's
// copy moves many bytes per instruction on every processor).
void LCD_FillRectIndex(int x0, int y0, int x1, int y1, unsigned index) {
    if (!LCD_ClipToContext(&x0, &y0, &x1, &y1)) return;
    u16 *first = frame() + y0 * LCD_XSIZE + x0;
    int n = x1 - x0 + 1;
    fillSpan(first, n, (u16)index);
    u16 *row = first + LCD_XSIZE;
    for (int y = y0 + 1; y <= y1; ++y, row += LCD_XSIZE) memcpy(row, first, (size_t)n * 2);
}

void LCD_XorRect(int x0, int y0, int x1, int y1) {
    if (!LCD_ClipToContext(&x0, &y0, &x1, &y1)) return;
    u16 *row = frame() + y0 * LCD_XSIZE + x0;
    int n = x1 - x0 + 1;
    for (int y = y0; y <= y1; ++y, row += LCD_XSIZE)
        for (int i = 0; i < n; ++i) row[i] = (u16)~row[i];
}

void LCD_WriteRow(int x, int y, int n, const u16 *src) {
    int x0 = x, x1 = x + n - 1, y0 = y, y1 = y;
    if (n <= 0 || !LCD_ClipToContext(&x0, &y0, &x1, &y1)) return;
    memcpy(frame() + y * LCD_XSIZE + x0, src + (x0 - x), (size_t)(x1 - x0 + 1) * 2);
}

// Cuts row y, columns x..x+n-1, to the frame: false when nothing is left; *skip gets the
// number of leading pixels that fall off the left edge.
static bool rowInFrame(int *x, int y, int *n, int *skip) {
    if (y < 0 || y >= LCD_YSIZE || *n <= 0) return false;
    long long x0 = *x, x1 = (long long)*x + *n;
    *skip = x0 < 0 ? (int)-x0 : 0;
    if (x0 < 0) x0 = 0;
    if (x1 > LCD_XSIZE) x1 = LCD_XSIZE;
    if (x0 >= x1) return false;
    *x = (int)x0;
    *n = (int)(x1 - x0);
    return true;
}

void LCD_ReadRowRaw(int x, int y, int n, u16 *dst) {
    int skip;
    if (!rowInFrame(&x, y, &n, &skip)) return;
    memcpy(dst + skip, frame() + y * LCD_XSIZE + x, (size_t)n * 2);
}

void LCD_WriteRowRaw(int x, int y, int n, const u16 *src) {
    int skip;
    if (!rowInFrame(&x, y, &n, &skip)) return;
    memcpy(frame() + y * LCD_XSIZE + x, src + skip, (size_t)n * 2);
}

void LCD_WriteRowBytes(int x, int y, int n, const u8 *src, int transparent, u16 key) {
    int skip;
    if (!rowInFrame(&x, y, &n, &skip)) return;
    u16 *p = frame() + y * LCD_XSIZE + x;
    const u8 *s = src + 2 * skip;
    for (int i = 0; i < n; ++i) {
        u16 v = (u16)(s[2 * i] | s[2 * i + 1] << 8);
        if (!transparent || v != key) p[i] = v;
    }
}

void LCD_DrawPixel(int x, int y) {
    if (!inClip(x, y)) return;
    u16 *p = frame() + y * LCD_XSIZE + x;
    if (GUI_Context.DrawMode & GUI_DRAWMODE_XOR)
        *p = (u16)~*p;
    else
        *p = GUI_Context.ColorIndex;
}

void LCD_FillRect(int x0, int y0, int x1, int y1) {
    if (GUI_Context.DrawMode & GUI_DRAWMODE_XOR)
        LCD_XorRect(x0, y0, x1, y1);
    else
        LCD_FillRectIndex(x0, y0, x1, y1, GUI_Context.ColorIndex);
}

void LCD_DrawHLine(int x0, int y, int x1) { LCD_FillRect(x0, y, x1, y); }
void LCD_DrawVLine(int x, int y0, int y1) { LCD_FillRect(x, y0, x, y1); }
