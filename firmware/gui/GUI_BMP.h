// Windows BMP files: drawing them from memory and writing screen areas as BMP.
#ifndef VMOD_GUI_BMP_H
#define VMOD_GUI_BMP_H

#include "GUI.h"

// Drawn: 1, 4 and 8 bits per pixel with a palette (8 and 4 also RLE8 / RLE4 compressed),
// 16 (5-5-5, or 5-6-5 through bit fields), 24 and 32 bits per pixel; bottom-up or top-down rows.
// The file is drawn opaque with its top left at (x0, y0), clipped. Results: 1 drawn, 0 refused
// (not a BMP, a form not listed, sizes or palette that do not fit the data).
//
// The sized forms read nothing beyond numBytes bytes: use them for data from outside (files).
// The plain forms trust the file's own size field and suit data built into the firmware.
int GUI_BMP_DrawEx(const void *pFile, u32 numBytes, int x0, int y0);
int GUI_BMP_Draw(const void *pFile, int x0, int y0);
int GUI_BMP_GetXSizeEx(const void *pFile, u32 numBytes);  // 0 when not a usable BMP
int GUI_BMP_GetYSizeEx(const void *pFile, u32 numBytes);
int GUI_BMP_GetXSize(const void *pFile);
int GUI_BMP_GetYSize(const void *pFile);

// Receives the encoded file one byte at a time.
typedef void GUI_CALLBACK_VOID_U8_P(u8 data, void *p);

// The whole screen, or the xSize x ySize area at (x0, y0), as a 16-bit (5-5-5) BMP file.
// Pixels of the area that lie off the screen come out black.
void GUI_BMP_Serialize(GUI_CALLBACK_VOID_U8_P *pfSerialize, void *p);
void GUI_BMP_SerializeEx(GUI_CALLBACK_VOID_U8_P *pfSerialize, int x0, int y0, int xSize, int ySize,
                         void *p);

#endif
