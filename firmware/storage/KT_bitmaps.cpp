// Bitmaps of the external-memory image. Records are checked against the staging buffer before
// use; pixels are written only inside the 640 x 480 frame buffer.
//
// Type 1 records cannot carry a method table or a palette (an image holds no firmware
// addresses), so they are drawn by their depth: 16 bits per pixel is RGB565 as the frame
// buffer holds it, and any other depth is refused.
#include "KT_bitmaps.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_timer.h"
#include "../devices/lcd_driver.h"
#include "../gui/GUI.h"
#include "../gui/LCD.h"
#include "../memmap.h"

// The record of an entry whose record field is already an address, or none.
static const ExtBitmap *recordOf(const ExtMemDirEntry *e) {
    if (!e) return 0;
    u32 need = e->type == EXTMEM_RLE ? 12 : (u32)sizeof(ExtBitmap);
    return (const ExtBitmap *)KT_ExtMem_Range(e->record, need);
}

static int isBitmapType(u8 t) { return t == EXTMEM_BITMAP || t == EXTMEM_RLE || t == EXTMEM_BITMAP_TR; }

const ExtMemDirEntry *KT_GetExtBitmap(int n) {
    if (n < 1) return 0;
    ExtMemDirEntry *e = KT_ExtMem_Entry((u32)n);
    if (!e || !isBitmapType(e->type)) return 0;
    if (!tryFixup(&e->record)) return 0;
    u8 *rec = (u8 *)recordOf(e);
    if (!rec || !tryFixup((u32 *)(rec + 8))) return 0;
    return e;
}

int KT_BitmapWidth(const ExtMemDirEntry *e) {
    const ExtBitmap *r = (e && isBitmapType(e->type)) ? recordOf(e) : 0;
    return r ? extRd16(&r->width) : 0;
}

int KT_BitmapHeight(const ExtMemDirEntry *e) {
    const ExtBitmap *r = (e && isBitmapType(e->type)) ? recordOf(e) : 0;
    return r ? extRd16(&r->height) : 0;
}

// ---------------------------------------------------------------------------------------
// Uncompressed pixels.

struct Pixels {
    const u8 *data;  // first pixel, inside the staging buffer
    int w, h;
    u32 stride;      // pixels from one row to the next
};

// The pixels of a type 1 (16 bpp) or type 5 record, checked to lie in the staging buffer.
static int pixelsOf(const ExtMemDirEntry *e, Pixels *px) {
    const ExtBitmap *r = recordOf(e);
    if (!r || (e->type != EXTMEM_BITMAP && e->type != EXTMEM_BITMAP_TR)) return 0;
    u32 w = extRd16(&r->width), h = extRd16(&r->height);
    u32 stride = w;
    if (e->type == EXTMEM_BITMAP) {
        u32 bpl = extRd16(&r->bytesPerLine);
        if (extRd16(&r->bitsPerPixel) != 16 || bpl < 2 * w || (bpl & 1)) return 0;
        stride = bpl / 2;
    }
    u32 bytes = h == 0 ? 0 : 2 * (stride * (h - 1) + w);  // both factors below 2^17
    const u8 *d = KT_ExtMem_Range(extRd32(&r->data), bytes);
    if (!d) return 0;
    px->data = d;
    px->w = (int)w;
    px->h = (int)h;
    px->stride = stride;
    return 1;
}

// Copies columns sx0..sx1-1 of rows sy0..sy1-1 of the source to the frame buffer with the
// pixel (sx0, sy0) at screen (x, y); pixels off the screen are skipped. With `transparent`,
// source pixels equal to `key` leave the screen as it is.
static void copyPixels(const Pixels *px, long long x, long long y, int sx0, int sy0, int sx1, int sy1, int transparent,
                       u16 key) {
    // Source column sx lands on screen column x + sx - sx0: keep those inside the screen.
    long long c0 = sx0, c1 = sx1;
    if (x < 0 && (long long)sx0 - x > c0) c0 = (long long)sx0 - x;
    if ((long long)sx0 + SCREEN_W - x < c1) c1 = (long long)sx0 + SCREEN_W - x;
    if (c0 >= c1) return;
    long long r0 = sy0, r1 = sy1;  // rows that land on the screen
    if (y < 0 && (long long)sy0 - y > r0) r0 = (long long)sy0 - y;
    if ((long long)sy0 + SCREEN_H - y < r1) r1 = (long long)sy0 + SCREEN_H - y;
    for (long long sy = r0; sy < r1; ++sy) {
        long long dy = y + (sy - sy0);
        const u8 *row = px->data + 2u * ((u32)sy * px->stride);
        LCD_WriteRowBytes((int)(x + c0 - sx0), (int)dy, (int)(c1 - c0), row + 2 * c0, transparent, key);
    }
}

int KT_DrawBitmapTr(const ExtMemDirEntry *e, int x, int y, u16 colour) {
    Pixels px;
    if (!pixelsOf(e, &px)) return 0;
    copyPixels(&px, x, y, 0, 0, px.w, px.h, 1, colour);
    return 1;
}

int KT_DrawBitmapCutOff(const ExtMemDirEntry *e, int x, int y, int xStart, int yStart, int xEnd, int yEnd) {
    Pixels px;
    if (!pixelsOf(e, &px)) return 0;
    int result = 1;
    long long xs = xStart, ys = yStart, xe = xEnd, ye = yEnd, dx = x, dy = y;
    if (xe - xs > px.w) {
        xe = xs + px.w;
        result = 0;
    }
    if (ye - ys > px.h) {
        ye = ys + px.h;
        result = 0;
    }
    // A band that reaches past the bitmap is cut to it as well: nothing outside is read.
    if (xs < 0) {
        dx -= xs;
        xs = 0;
        result = 0;
    }
    if (ys < 0) {
        dy -= ys;
        ys = 0;
        result = 0;
    }
    if (xe > px.w) {
        xe = px.w;
        result = 0;
    }
    if (ye > px.h) {
        ye = px.h;
        result = 0;
    }
    if (xs < xe && ys < ye) copyPixels(&px, dx, dy, (int)xs, (int)ys, (int)xe, (int)ye, 0, 0);
    return result;
}

int KT_DrawBitmapTrClipAbs(const ExtMemDirEntry *e, int x, int y, int x0, int y0, int x1, int y1, u16 colour) {
    Pixels px;
    if (!pixelsOf(e, &px)) return 0;
    if (!(x <= x0 && x0 <= x1 && y <= y0 && y0 <= y1)) return 1;
    // The rectangle is meant to lie inside the bitmap; whatever lies outside is not drawn.
    long long sx0 = (long long)x0 - x, sy0 = (long long)y0 - y;
    long long sx1 = (long long)x1 - x + 1, sy1 = (long long)y1 - y + 1;
    if (sx1 > px.w) sx1 = px.w;
    if (sy1 > px.h) sy1 = px.h;
    if (sx0 < sx1 && sy0 < sy1) copyPixels(&px, x0, y0, (int)sx0, (int)sy0, (int)sx1, (int)sy1, 1, colour);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Through the graphics library.

// The stream is read no further than `avail` bytes (and never past the staging buffer).
static int drawCompressed(const ExtBitmap *rec, int x, int y, u32 avail) {
    if (!rec) return 0;
    u32 data = extRd32(&rec->data);
    u32 inBuffer = KT_ExtMem_BytesFrom(data);
    if (avail > inBuffer) avail = inBuffer;
    if (avail == 0) return 0;
    int w = extRd16(&rec->width), h = extRd16(&rec->height);
    if (w == 0 || h == 0) return 1;
    GUI_BitmapMethodsRLEM16.pfDraw(x, y, w, h, 2 * w, (const u8 *)sdramPtr(data), avail, 0, 1, 1);
    return 1;
}

int KT_DrawCompressedBitmap(const ExtBitmap *rec, int x, int y) { return drawCompressed(rec, x, y, 0xFFFFFFFFu); }

// A stream that lies inside its record ends with the record.
static u32 streamBytes(const ExtMemDirEntry *e, const ExtBitmap *rec) {
    u32 data = extRd32(&rec->data), start = e->record;
    if (data >= start && data - start <= e->size) return e->size - (data - start);
    return 0xFFFFFFFFu;
}

static int drawPlain(const ExtMemDirEntry *e, int x, int y) {
    Pixels px;
    if (!pixelsOf(e, &px)) return 0;
    if (px.w == 0 || px.h == 0) return 1;
    GUI_BITMAP bm;
    bm.XSize = (u16)px.w;
    bm.YSize = (u16)px.h;
    bm.BytesPerLine = (u16)(2 * px.stride);
    bm.BitsPerPixel = 16;
    bm.pData = px.data;
    bm.pPal = 0;
    bm.pMethods = &GUI_BitmapMethods565;
    bm.NumBytes = 2 * (px.stride * (u32)(px.h - 1) + (u32)px.w);
    // The library wants whole rows; a last row without its padding is drawn row by row.
    if ((u32)bm.BytesPerLine * bm.YSize > bm.NumBytes) {
        for (int r = 0; r < px.h; ++r) {
            bm.YSize = 1;
            bm.pData = px.data + 2u * px.stride * (u32)r;
            bm.NumBytes = 2u * (u32)px.w;
            bm.BytesPerLine = (u16)(2 * px.w);
            GUI_DrawBitmap(&bm, x, y + r);
        }
        return 1;
    }
    GUI_DrawBitmap(&bm, x, y);
    return 1;
}

int KT_DrawBitmap(const ExtMemDirEntry *e, int x, int y) {
    if (!e) return 0;
    switch (e->type) {
        case EXTMEM_RLE: {
            const ExtBitmap *r = recordOf(e);
            return r ? drawCompressed(r, x, y, streamBytes(e, r)) : 0;
        }
        case EXTMEM_BITMAP_TR: {
            const ExtBitmap *r = recordOf(e);
            return r ? KT_DrawBitmapTr(e, x, y, (u16)extRd32(&r->extra)) : 0;
        }
        case EXTMEM_BITMAP:
            return drawPlain(e, x, y);
        default:
            return 0;
    }
}

int KT_DrawBitmapW(const ExtMemDirEntry *e, int x, int y) {
    if (!e) return 0;
    wvr(y + KT_BitmapHeight(e));  // not while the scan crosses it
    return KT_DrawBitmap(e, x, y);
}

// ---------------------------------------------------------------------------------------
// Listing.

int KT_ListBitmaps(int n) {
    const ExtMemHeader *h = (const ExtMemHeader *)ExtMemBuffer;
    char line[TX_BUF_SIZE];
    if (h->magic != EXTMEM_MAGIC) {
        snprintf(line, sizeof line, "external memory invalid (found %04X, expected %04X).\r", h->magic, EXTMEM_MAGIC);
        txString(line);
        return 0;
    }
    snprintf(line, sizeof line, "%dKB of %dKb Bitmap/Macro storage used\r", (int)(h->size / 1024),
             (int)(ExtMemSize / 1024));
    txString(line);
    snprintf(line, sizeof line, "# of Bitmaps: %d\r", (int)h->entries - 1);
    txString(line);
    u32 first = n >= 0 ? (u32)n : 1;
    for (u32 i = first; i < h->entries; ++i) {
        ExtMemDirEntry *e = KT_ExtMem_Entry(i);
        if (!e) break;  // past the end of the image
        char head[24];
        snprintf(head, sizeof head, "%3d: %u bytes ", (int)i, (unsigned)e->size);
        int w = 0, hgt = 0;
        if (isBitmapType(e->type) && tryFixup(&e->record)) {
            w = KT_BitmapWidth(e);
            hgt = KT_BitmapHeight(e);
        }
        switch (e->type) {
            case EXTMEM_BLANK: snprintf(line, sizeof line, "%sBlank Record\r", head); break;
            case EXTMEM_BITMAP: snprintf(line, sizeof line, "%sUncompressed Bitmap: %dx%d\r", head, w, hgt); break;
            case EXTMEM_RLE: snprintf(line, sizeof line, "%sCompressed Bitmap: %dx%d\r", head, w, hgt); break;
            case EXTMEM_FONT: snprintf(line, sizeof line, "%s    User Font\r", head); break;
            case EXTMEM_BITMAP_TR:
                snprintf(line, sizeof line, "%sUncompressed Transparent Bitmap: %dx%d\r", head, w, hgt);
                break;
            default: snprintf(line, sizeof line, "%sUnknown record type!\r", head); break;
        }
        txString(line);
        if (n >= 0) break;
    }
    return 1;
}
