// The device level of the drawing layer: the frame buffer, pixel-index conversions and the
// span writers every shape is built from.
#ifndef VMOD_LCD_H
#define VMOD_LCD_H

#include "GUI.h"

#define LCD_XSIZE 640  // frame buffer size, fixed at build time
#define LCD_YSIZE 480
#define LCD_BITSPERPIXEL 16

// Raw access, bounded by the frame buffer (not by the clip rectangle); outside reads give 0.
unsigned LCD_GetPixelIndex(int x, int y);
void LCD_SetPixelIndex(int x, int y, int index);
GUI_COLOR LCD_GetPixelColor(int x, int y);
int LCD_GetXSize(void);
int LCD_GetYSize(void);
int LCD_GetBitsPerPixel(void);

// RGB565 index <-> 0x00BBGGRR colour; the M forms are for 16-bit data stored blue-high.
GUI_COLOR LCD_Index2Color(unsigned index);
unsigned LCD_L0_Color2Index(GUI_COLOR color);
GUI_COLOR LCD_Index2ColorM(unsigned index);
unsigned LCD_L0_Color2IndexM(GUI_COLOR color);

// Drawing with the context: clipped, foreground colour, XOR mode inverts.
void LCD_DrawPixel(int x, int y);
void LCD_DrawHLine(int x0, int y, int x1);
void LCD_DrawVLine(int x, int y0, int y1);
void LCD_FillRect(int x0, int y0, int x1, int y1);

// Clipped writes of a given index (no draw mode), and clipped inversion.
void LCD_SetPixelIndexClipped(int x, int y, unsigned index);
void LCD_FillRectIndex(int x0, int y0, int x1, int y1, unsigned index);
void LCD_XorRect(int x0, int y0, int x1, int y1);
// Writes n indices from src to row y starting at x, clipped.
void LCD_WriteRow(int x, int y, int n, const u16 *src);

// Raw row copies between the frame buffer and memory, bounded by the frame buffer (not by the
// clip rectangle, no draw mode): the part of the row outside the frame is skipped.
void LCD_ReadRowRaw(int x, int y, int n, u16 *dst);
void LCD_WriteRowRaw(int x, int y, int n, const u16 *src);
// Writes n pixels of little-endian RGB565 bytes (stored image data, any alignment) to row y
// from x on, bounded by the frame buffer; with `transparent`, pixels equal to key are skipped.
void LCD_WriteRowBytes(int x, int y, int n, const u8 *src, int transparent, u16 key);

// The clip rectangle cut with (x0, y0, x1, y1): false when nothing is left.
bool LCD_ClipToContext(int *x0, int *y0, int *x1, int *y1);

#endif
