// Bitmaps: descriptors, palettes and the drawing methods of each pixel format.
#ifndef VMOD_GUI_BITMAP_H
#define VMOD_GUI_BITMAP_H

#include "GUI.h"

typedef struct {
    int NumEntries;                 // colours in the table
    u8 HasTrans;                    // 1: index 0 is transparent (not drawn)
    const GUI_COLOR *pPalEntries;   // 0x00BBGGRR colours
} GUI_LOGPALETTE;

// Draws xsize x ysize pixels of data at (x0, y0), each pixel xMag x yMag screen pixels.
// numBytes bounds every read of pData. Uncompressed data may leave it 0 (its size follows from
// the geometry); a run-length stream always needs it and draws nothing without it.
// pPal: palette or transparency information, may be null.
typedef void GUI_DRAWBITMAP_FUNC(int x0, int y0, int xsize, int ysize, int bytesPerLine,
                                 const u8 *pData, u32 numBytes, const GUI_LOGPALETTE *pPal,
                                 int xMag, int yMag);

typedef struct {
    GUI_DRAWBITMAP_FUNC *pfDraw;
    GUI_COLOR (*pfIndex2Color)(unsigned index);  // pixel value -> colour of this format
} GUI_BITMAP_METHODS;

typedef struct {
    u16 XSize, YSize;
    u16 BytesPerLine;
    u16 BitsPerPixel;                  // 1, 2, 4, 8 with a palette; 16 or RLE with methods
    const u8 *pData;
    const GUI_LOGPALETTE *pPal;
    const GUI_BITMAP_METHODS *pMethods;  // null for palette bitmaps
    u32 NumBytes;                      // size of pData (0 allowed for uncompressed data only)
} GUI_BITMAP;

// 16-bit pixels: RGB565 as the frame buffer holds it, and with red and blue exchanged.
extern const GUI_BITMAP_METHODS GUI_BitmapMethods565;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsM565;
// Run-length streams: RLE8 of palette indices, RLE16 of RGB565 pixels.
//   a byte n > 0, then one pixel repeated n times; a byte 0, a count m, then m pixels.
// Runs carry on across row ends. In transparent draw mode pixel value 0 is not drawn.
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsRLE8;
extern const GUI_BITMAP_METHODS GUI_BitmapMethodsRLEM16;

// Draws the bitmap with its top left at (x0, y0) in the current draw mode: transparent mode
// (or a palette with HasTrans) skips index 0, XOR mode inverts under the non-zero pixels.
// Bitmaps whose data is shorter than their size requires are not drawn.
void GUI_DrawBitmap(const GUI_BITMAP *pBM, int x0, int y0);
void GUI_DrawBitmapMag(const GUI_BITMAP *pBM, int x0, int y0, int xMag, int yMag);

// The RLE16 decoder remembers where it stopped so that a drawing that goes on lower in the same
// stream resumes there. Whoever replaces stream data in place (an image load) forgets it.
void GUI_RLE16_ForgetPosition(void);

#endif
