// Bitmap drawing: palette formats, 16-bit pixels and run-length streams. Every read of the
// pixel data is bounded by the bitmap's size or its byte count.
#include "GUI_Bitmap.h"

#include <string.h>

// Where and how the pixels of one drawing go.
struct Target {
    int x0, y0, xMag, yMag;
    bool skipZero;  // transparent: pixel value 0 is not drawn
    bool xorMode;   // XOR: non-zero pixels invert the screen, zeros are left alone
};

static Target makeTarget(int x0, int y0, int xMag, int yMag, const GUI_LOGPALETTE *pPal) {
    Target t;
    t.x0 = x0;
    t.y0 = y0;
    t.xMag = xMag < 1 ? 1 : xMag > 255 ? 255 : xMag;
    t.yMag = yMag < 1 ? 1 : yMag > 255 ? 255 : yMag;
    t.xorMode = (GUI_Context.DrawMode & GUI_DRAWMODE_XOR) != 0;
    t.skipZero = (GUI_Context.DrawMode & GUI_DRAWMODE_TRANS) || (pPal && pPal->HasTrans);
    return t;
}

// n pixels of one value in bitmap row `row` from column `col`.
static void emitRun(const Target &t, long long col, long long row, long long n, unsigned value,
                    unsigned index) {
    if (n <= 0 || (value == 0 && (t.skipZero || t.xorMode))) return;
    long long xa = t.x0 + col * t.xMag, xb = xa + n * t.xMag - 1;
    long long ya = t.y0 + row * t.yMag, yb = ya + t.yMag - 1;
    int x0 = GUI_ClampCoord(xa), x1 = GUI_ClampCoord(xb), y0 = GUI_ClampCoord(ya), y1 = GUI_ClampCoord(yb);
    if (t.xorMode)
        LCD_XorRect(x0, y0, x1, y1);
    else
        LCD_FillRectIndex(x0, y0, x1, y1, index);
}

// The bitmap rows first..last that can reach the clip rectangle (last < first: none).
static void visibleRows(const Target &t, int ysize, long long *first, long long *last) {
    const GUI_RECT &c = GUI_Context.ClipRect;
    long long f = c.y0 > t.y0 ? ((long long)c.y0 - t.y0) / t.yMag : 0;
    long long l = c.y1 >= t.y0 ? ((long long)c.y1 - t.y0) / t.yMag : -1;
    if (l > ysize - 1) l = ysize - 1;
    *first = f;
    *last = l;
}

// ---- palette bitmaps (1, 2, 4, 8 bits per pixel, most significant bits first) ----

// Pixel values of a palette bitmap mapped to frame-buffer indices once per drawing; values
// beyond the palette are not drawn.
struct IndexTable {
    u16 index[256];
    int count;
};

static void buildIndexTable(IndexTable *tab, int bpp, const GUI_LOGPALETTE *pPal) {
    int values = 1 << bpp;
    if (pPal && pPal->pPalEntries) {
        tab->count = pPal->NumEntries < values ? (pPal->NumEntries < 0 ? 0 : pPal->NumEntries) : values;
        for (int i = 0; i < tab->count; ++i) tab->index[i] = (u16)LCD_L0_Color2Index(pPal->pPalEntries[i]);
    } else if (bpp == 1) {
        // Without a palette a 1-bit bitmap is drawn like a glyph: 0 background, 1 foreground.
        tab->count = 2;
        tab->index[0] = GUI_Context.BkColorIndex;
        tab->index[1] = GUI_Context.ColorIndex;
    } else {
        tab->count = values;
        for (int i = 0; i < values; ++i) tab->index[i] = (u16)i;
    }
}

static void drawPalette(const GUI_BITMAP *pBM, const Target &t) {
    int bpp = pBM->BitsPerPixel, xs = pBM->XSize;
    IndexTable tab;
    buildIndexTable(&tab, bpp, pBM->pPal);
    long long first, last;
    visibleRows(t, pBM->YSize, &first, &last);
    unsigned mask = (1u << bpp) - 1;
    for (long long row = first; row <= last; ++row) {
        const u8 *line = pBM->pData + row * pBM->BytesPerLine;
        int runStart = 0;
        unsigned runValue = 0;
        for (int x = 0; x <= xs; ++x) {
            unsigned v = 0;
            if (x < xs) {
                int bit = x * bpp;
                v = (line[bit >> 3] >> (8 - bpp - (bit & 7))) & mask;
            }
            if (x == 0) {
                runValue = v;
                continue;
            }
            if (x == xs || v != runValue) {
                if ((int)runValue < tab.count)
                    emitRun(t, runStart, row, x - runStart, runValue, tab.index[runValue]);
                runStart = x;
                runValue = v;
            }
        }
    }
}

// ---- 16-bit pixels ----

static inline unsigned read16(const u8 *p) { return (unsigned)p[0] | ((unsigned)p[1] << 8); }

static unsigned swapped565(unsigned v) { return ((v & 0x1F) << 11) | (v & 0x7E0) | ((v >> 11) & 0x1F); }

static void draw16(int x0, int y0, int xsize, int ysize, int bytesPerLine, const u8 *pData,
                   u32 numBytes, const GUI_LOGPALETTE *pPal, int xMag, int yMag, bool swap) {
    if (!pData || xsize <= 0 || ysize <= 0 || bytesPerLine < 2 * xsize) return;
    if (numBytes && (uint64_t)ysize * (u32)bytesPerLine > numBytes) return;
    Target t = makeTarget(x0, y0, xMag, yMag, pPal);
    long long first, last;
    visibleRows(t, ysize, &first, &last);
    for (long long row = first; row <= last; ++row) {
        const u8 *line = pData + row * bytesPerLine;
        int runStart = 0;
        unsigned runValue = read16(line);
        for (int x = 1; x <= xsize; ++x) {
            unsigned v = x < xsize ? read16(line + 2 * x) : ~0u;
            if (v != runValue) {
                emitRun(t, runStart, row, x - runStart, runValue, swap ? swapped565(runValue) : runValue);
                runStart = x;
                runValue = v;
            }
        }
    }
}

static void draw565(int x0, int y0, int xsize, int ysize, int bytesPerLine, const u8 *pData,
                    u32 numBytes, const GUI_LOGPALETTE *pPal, int xMag, int yMag) {
    draw16(x0, y0, xsize, ysize, bytesPerLine, pData, numBytes, pPal, xMag, yMag, false);
}

static void drawM565(int x0, int y0, int xsize, int ysize, int bytesPerLine, const u8 *pData,
                     u32 numBytes, const GUI_LOGPALETTE *pPal, int xMag, int yMag) {
    draw16(x0, y0, xsize, ysize, bytesPerLine, pData, numBytes, pPal, xMag, yMag, true);
}

// ---- run-length streams ----

// Decoder position: stream offset, pixel position, and the run in progress.
struct RleState {
    u32 pos;
    long long row, col;
    u32 left;       // pixels left in the current run
    bool literal;   // the run's pixels follow one by one
    unsigned value; // the repeated pixel
};

// The decoder state at the start of the last row the RLE16 decoder reached.
static struct {
    const u8 *data;
    u32 numBytes;
    int xsize;
    RleState state;
    bool valid;
} rle16Cache;

void GUI_RLE16_ForgetPosition(void) { rle16Cache.valid = false; }

#define LITERAL_CHUNK 64  // literal pixels written together

// n literal pixels of `width` bytes each. In the plain case (opaque, unmagnified, every value
// in the palette) they go to the frame buffer as one row write, otherwise pixel by pixel.
static void emitLiterals(const Target &t, long long col, long long row, int n, const u8 *src, int width,
                         const IndexTable *tab) {
    u16 buf[LITERAL_CHUNK];
    bool plain = !t.xorMode && !t.skipZero && t.xMag == 1 && t.yMag == 1;
    for (int i = 0; i < n; ++i) {
        unsigned v = width == 2 ? read16(src + 2 * i) : src[i];
        if (tab && (int)v >= tab->count) {
            plain = false;
            buf[i] = 0;
            continue;
        }
        buf[i] = (u16)(tab ? tab->index[v] : v);
    }
    if (plain) {
        LCD_WriteRow(GUI_ClampCoord(t.x0 + col), GUI_ClampCoord(t.y0 + row), n, buf);
        return;
    }
    for (int i = 0; i < n; ++i) {
        unsigned v = width == 2 ? read16(src + 2 * i) : src[i];
        if (!tab || (int)v < tab->count) emitRun(t, col + i, row, 1, v, buf[i]);
    }
}

// Decodes a stream of `width`-byte pixels; rows before the first visible one are decoded
// without drawing, and decoding stops after the last visible row or at the end of the data.
static void drawRle(const Target &t, int xsize, int ysize, const u8 *p, u32 limit, int width,
                    const IndexTable *tab, RleState st, bool cache) {
    long long first, last;
    visibleRows(t, ysize, &first, &last);
    while (st.row <= last) {
        if (st.col == 0 && cache) {
            rle16Cache.state = st;
            rle16Cache.valid = true;
        }
        if (st.left == 0) {
            if (st.pos >= limit) return;
            u32 n = p[st.pos++];
            if (n) {
                if (limit - st.pos < (u32)width) return;
                st.value = width == 2 ? read16(p + st.pos) : p[st.pos];
                st.pos += width;
                st.literal = false;
            } else {
                if (st.pos >= limit) return;
                n = p[st.pos++];
                st.literal = true;
            }
            st.left = n;
            continue;
        }
        long long k = xsize - st.col;
        if (st.left < k) k = st.left;
        if (st.literal) {
            // A stretch of literal pixels up to the row end, as far as the data goes.
            long long avail = (limit - st.pos) / (u32)width;
            if (avail == 0) return;
            if (k > avail) k = avail;
            if (k > LITERAL_CHUNK) k = LITERAL_CHUNK;
            if (st.row >= first) emitLiterals(t, st.col, st.row, (int)k, p + st.pos, width, tab);
            st.pos += (u32)(k * width);
        } else if (st.row >= first) {
            unsigned v = st.value;
            if (!tab)
                emitRun(t, st.col, st.row, k, v, v);
            else if ((int)v < tab->count)
                emitRun(t, st.col, st.row, k, v, tab->index[v]);
        }
        st.left -= (u32)k;
        st.col += k;
        if (st.col >= xsize) {
            st.col = 0;
            st.row++;
        }
    }
}

static void drawRle8(int x0, int y0, int xsize, int ysize, int bytesPerLine, const u8 *pData,
                     u32 numBytes, const GUI_LOGPALETTE *pPal, int xMag, int yMag) {
    (void)bytesPerLine;
    if (!pData || numBytes == 0 || xsize <= 0 || ysize <= 0) return;
    Target t = makeTarget(x0, y0, xMag, yMag, pPal);
    IndexTable tab;
    buildIndexTable(&tab, 8, pPal);
    RleState st;
    memset(&st, 0, sizeof st);
    drawRle(t, xsize, ysize, pData, numBytes, 1, &tab, st, false);
}

static void drawRle16(int x0, int y0, int xsize, int ysize, int bytesPerLine, const u8 *pData,
                      u32 numBytes, const GUI_LOGPALETTE *pPal, int xMag, int yMag) {
    (void)bytesPerLine;
    if (!pData || numBytes == 0 || xsize <= 0 || ysize <= 0) return;
    Target t = makeTarget(x0, y0, xMag, yMag, pPal);
    long long first, last;
    visibleRows(t, ysize, &first, &last);
    RleState st;
    memset(&st, 0, sizeof st);
    if (rle16Cache.valid && rle16Cache.data == pData && rle16Cache.numBytes == numBytes &&
        rle16Cache.xsize == xsize && rle16Cache.state.row <= first)
        st = rle16Cache.state;
    rle16Cache.data = pData;
    rle16Cache.numBytes = numBytes;
    rle16Cache.xsize = xsize;
    rle16Cache.valid = false;
    drawRle(t, xsize, ysize, pData, numBytes, 2, 0, st, true);
}

const GUI_BITMAP_METHODS GUI_BitmapMethods565 = {draw565, LCD_Index2Color};
const GUI_BITMAP_METHODS GUI_BitmapMethodsM565 = {drawM565, LCD_Index2ColorM};
const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE8 = {drawRle8, 0};
const GUI_BITMAP_METHODS GUI_BitmapMethodsRLEM16 = {drawRle16, LCD_Index2Color};

void GUI_DrawBitmapMag(const GUI_BITMAP *pBM, int x0, int y0, int xMag, int yMag) {
    if (!pBM || !pBM->pData || pBM->XSize == 0 || pBM->YSize == 0) return;
    if (pBM->pMethods) {
        if (pBM->pMethods->pfDraw)
            pBM->pMethods->pfDraw(x0, y0, pBM->XSize, pBM->YSize, pBM->BytesPerLine, pBM->pData,
                                  pBM->NumBytes, pBM->pPal, xMag, yMag);
        return;
    }
    int bpp = pBM->BitsPerPixel;
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8) return;
    if ((u32)pBM->BytesPerLine * 8 < (u32)pBM->XSize * bpp) return;
    if (pBM->NumBytes && (u32)pBM->YSize * pBM->BytesPerLine > pBM->NumBytes) return;
    drawPalette(pBM, makeTarget(x0, y0, xMag, yMag, pBM->pPal));
}

void GUI_DrawBitmap(const GUI_BITMAP *pBM, int x0, int y0) { GUI_DrawBitmapMag(pBM, x0, y0, 1, 1); }
