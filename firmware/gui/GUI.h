// The drawing layer: one global drawing context and its calls. Including this header gives the
// whole layer (device level, shapes, polygons, bitmaps, BMP files).
//
// Coordinates are signed screen pixels, (0, 0) top left; rectangles include both corners.
// Everything drawn is clipped to the context's clip rectangle, which never reaches outside the
// 640 x 480 frame buffer.
#ifndef VMOD_GUI_H
#define VMOD_GUI_H

#include "../types.h"

typedef u32 GUI_COLOR;  // 0x00BBGGRR

typedef struct {
    s16 x0, y0, x1, y1;
} GUI_RECT;

typedef struct {
    s16 x, y;
} GUI_POINT;

// Draw modes (bit flags). Text modes use the same values.
#define GUI_DRAWMODE_NORMAL 0
#define GUI_DRAWMODE_XOR 1    // invert the destination instead of painting
#define GUI_DRAWMODE_TRANS 2  // background pixels (glyph zeros, bitmap index 0) are skipped
#define GUI_DRAWMODE_REV 4    // foreground and background exchanged
#define GUI_TM_NORMAL GUI_DRAWMODE_NORMAL
#define GUI_TM_XOR GUI_DRAWMODE_XOR
#define GUI_TM_TRANS GUI_DRAWMODE_TRANS
#define GUI_TM_REV GUI_DRAWMODE_REV

// Text alignment: horizontal in bits 0-1, vertical in bits 2-3.
#define GUI_TA_LEFT 0
#define GUI_TA_RIGHT 1
#define GUI_TA_CENTER 2
#define GUI_TA_HORIZONTAL 3
#define GUI_TA_TOP 0
#define GUI_TA_BOTTOM 4
#define GUI_TA_BASELINE 8
#define GUI_TA_VCENTER 12
#define GUI_TA_VERTICAL 12

// Line styles (pen size 1 only).
#define GUI_LS_SOLID 0
#define GUI_LS_DASH 1
#define GUI_LS_DOT 2
#define GUI_LS_DASHDOT 3
#define GUI_LS_DASHDOTDOT 4

// Pen shapes.
#define GUI_PS_ROUND 0
#define GUI_PS_FLAT 1
#define GUI_PS_SQUARE 2

// Colour value that no colour setter ever produces: the caches start with it so that the first
// set always converts.
#define GUI_INVALID_COLOR 0x0FFFFFFFu

// ---- fonts: the descriptor every font type fills in -------------------------------------

typedef struct GUI_FONT GUI_FONT;

typedef struct {
    u16 Flags;     // font type flags
    u8 Baseline;   // pixels from the cell top to the baseline
    u8 LHeight;    // height of the lower-case letters
    u8 CHeight;    // height of the capitals
} GUI_FONTINFO;

typedef void GUI_DISPCHAR(u16 c);                              // draws c at the cursor, advances it
typedef int GUI_GETCHARDISTX(u16 c);                           // advance of c in pixels
typedef void GUI_GETFONTINFO(const GUI_FONT *pFont, GUI_FONTINFO *pInfo);
typedef char GUI_ISINFONT(const GUI_FONT *pFont, u16 c);       // 1 when the font has c

struct GUI_FONT {
    GUI_DISPCHAR *pfDispChar;
    GUI_GETCHARDISTX *pfGetCharDistX;
    GUI_GETFONTINFO *pfGetFontInfo;
    GUI_ISINFONT *pfIsInFont;
    u8 YSize;        // cell height
    u8 YDist;        // line spacing
    u8 XMag;         // horizontal magnification (1 for the built-in fonts)
    u8 YMag;         // vertical magnification
    const void *p;   // the font type's own data (ranges, glyphs; the block of a SIF font)
    u8 Baseline;     // rows from the cell top to the baseline
    u8 LHeight;      // height of the lower-case letters
    u8 CHeight;      // height of the capitals
    u32 NumBytes;    // size of the block p points to when it came from outside (SIF); 0 for
                     // compiled-in data, which is complete by construction
};

// ---- character encoding --------------------------------------------------------------------

typedef struct {
    // Code of the character that starts at s (at most maxLen bytes readable), its byte count
    // through *pNumBytes (at least 1 while maxLen > 0).
    u16 (*pfGetCharCode)(const char *s, int maxLen, int *pNumBytes);
} GUI_UC_ENC;

extern const GUI_UC_ENC GUI_UC_None;  // one byte per character
extern const GUI_UC_ENC GUI_UC_UTF8;  // UTF-8 sequences decoded to 16-bit codes

// ---- the context ---------------------------------------------------------------------------

typedef struct {
    u16 ColorIndex;         // foreground pixel index
    u16 BkColorIndex;       // background pixel index
    GUI_COLOR LastColor;    // foreground colour last set (conversion cache)
    GUI_COLOR LastBkColor;  // background colour last set
    GUI_RECT ClipRect;      // drawing stays inside, always within the screen
    u8 DrawMode;            // GUI_DRAWMODE_* flags
    u8 PenSize;             // line width in pixels
    u8 PenShape;            // GUI_PS_*
    u8 LineStyle;           // GUI_LS_*
    const GUI_FONT *pAFont; // current font (Arial 10 after GUI_Init)
    s16 LBorder;            // x where a new text line starts
    s16 DispPosX, DispPosY; // text cursor
    s16 TextMode;           // GUI_TM_* flags
    s16 TextAlign;          // GUI_TA_* bits
    const GUI_UC_ENC *pUC;  // character decoder in use
    s16 DrawPosX, DrawPosY; // pen position of GUI_MoveTo / GUI_DrawLineTo
} GUI_CONTEXT;

extern GUI_CONTEXT GUI_Context;

// Context defaults, then the display start-up (InitLCD(640, 480, 16)). Returns 1.
int GUI_Init(void);

// Every setter returns the previous value.
GUI_COLOR GUI_SetColor(GUI_COLOR color);
GUI_COLOR GUI_GetColor(void);
GUI_COLOR GUI_SetBkColor(GUI_COLOR color);
GUI_COLOR GUI_GetBkColor(void);
int GUI_SetColorIndex(int index);
int GUI_GetColorIndex(void);
int GUI_SetBkColorIndex(int index);
int GUI_GetBkColorIndex(void);
int GUI_SetDrawMode(int mode);  // a change of the reverse bit exchanges the two colours
int GUI_GetDrawMode(void);
int GUI_SetTextMode(int mode);
int GUI_GetTextMode(void);
int GUI_SetTextAlign(int align);
int GUI_GetTextAlign(void);
int GUI_SetPenSize(int size);  // sizes below 1 are taken as 1
int GUI_GetPenSize(void);
int GUI_SetPenShape(int shape);
int GUI_SetLineStyle(int style);
int GUI_GetLineStyle(void);
const GUI_FONT *GUI_SetFont(const GUI_FONT *pFont);  // null keeps (and returns) the current font
const GUI_FONT *GUI_GetFont(void);
int GUI_SetLBorder(int x);
int GUI_GotoXY(int x, int y);
int GUI_GotoX(int x);
int GUI_GotoY(int y);
int GUI_GetDispPosX(void);
int GUI_GetDispPosY(void);
// Clip rectangle: pRect (cut to the screen), or the whole screen for null. Returns the old one.
GUI_RECT GUI_SetClipRect(const GUI_RECT *pRect);
GUI_RECT GUI_GetClipRect(void);
void GUI_SaveContext_(GUI_CONTEXT *pContext);
void GUI_RestoreContext(const GUI_CONTEXT *pContext);
void GUI_UC_SetEncodeNone(void);
void GUI_UC_SetEncodeUTF8(void);

// Diagnostics, written to the host by the firmware's application layer.
void GUI_X_Warn(const char *s);
void GUI_X_ErrorOut(const char *s);
void GUI_X_Log(const char *s);

#include "LCD.h"
#include "GUI_Draw.h"
#include "GUI_Circle.h"
#include "GUI_Polygon.h"
#include "GUI_Bitmap.h"
#include "GUI_BMP.h"
#include "GUI_Font.h"

#endif
