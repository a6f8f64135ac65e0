// Bitmaps of the external-memory image: found by number (their directory index), measured,
// and drawn through the graphics library or copied straight into the frame buffer.
#ifndef VMOD_KT_BITMAPS_H
#define VMOD_KT_BITMAPS_H

#include "../types.h"
#include "../gui/GUI.h"
#include "KT_extmem.h"

// A bitmap record (little-endian, at the address of its directory entry).
#pragma pack(push, 1)
struct ExtBitmap {
    u16 width;         // pixels
    u16 height;        // pixels
    u16 bytesPerLine;  // type 1: bytes from one row to the next
    u16 bitsPerPixel;  // type 1: 16 (RGB565) is the only depth an image can carry
    u32 data;          // offset of the pixel data, an address once fixed up
    u32 extra;         // type 5: transparent colour (low 16 bits); type 1: palette, unused
};
#pragma pack(pop)
static_assert(sizeof(ExtBitmap) == 16, "bitmap records are 16 bytes");

#define SCREEN_W 640
#define SCREEN_H 480

const ExtMemDirEntry *KT_GetExtBitmap(int n);
int KT_BitmapWidth(const ExtMemDirEntry *e);
int KT_BitmapHeight(const ExtMemDirEntry *e);
int KT_DrawBitmap(const ExtMemDirEntry *e, int x, int y);
int KT_DrawBitmapW(const ExtMemDirEntry *e, int x, int y);
int KT_DrawCompressedBitmap(const ExtBitmap *rec, int x, int y);
int KT_DrawBitmapTr(const ExtMemDirEntry *e, int x, int y, u16 colour);
int KT_DrawBitmapCutOff(const ExtMemDirEntry *e, int x, int y, int xStart, int yStart, int xEnd, int yEnd);
int KT_DrawBitmapTrClipAbs(const ExtMemDirEntry *e, int x, int y, int x0, int y0, int x1, int y1, u16 colour);

// "lsbmp" (n < 0: the whole directory). Returns the command result.
int KT_ListBitmaps(int n);

#endif
