// Fonts and text: the three font types (proportional 1 bpp, anti-aliased 4 bpp, SIF read from a
// memory block), the built-in fonts, and the text calls that lay strings out at the cursor.
#ifndef VMOD_GUI_FONT_H
#define VMOD_GUI_FONT_H

#include "GUI.h"

// ---- proportional fonts (1 bpp and AA4 share the layout) ----------------------------------

typedef struct {
    u8 XSize;          // bitmap columns, counted from the cursor (0: a blank glyph)
    u8 XDist;          // advance of the cursor
    u8 BytesPerLine;   // bytes of one bitmap row
    const u8 *pData;   // YSize rows; 1 bpp MSB first, or AA4 with the left pixel in the high nibble
} GUI_CHARINFO;

typedef struct GUI_FONT_PROP {
    u16 First, Last;                    // character codes of the range, inclusive
    const GUI_CHARINFO *paCharInfo;     // Last - First + 1 entries
    const struct GUI_FONT_PROP *pNext;  // next range, or null
} GUI_FONT_PROP;

void GUIPROP_DispChar(u16 c);
void GUIPROP_AA4_DispChar(u16 c);
int GUIPROP_GetCharDistX(u16 c);
void GUIPROP_GetFontInfo(const GUI_FONT *pFont, GUI_FONTINFO *pInfo);
char GUIPROP_IsInFont(const GUI_FONT *pFont, u16 c);

// The four operations of each type, in GUI_FONT's order, for font definitions.
#define GUI_FONTTYPE_PROP GUIPROP_DispChar, GUIPROP_GetCharDistX, GUIPROP_GetFontInfo, GUIPROP_IsInFont
#define GUI_FONTTYPE_PROP_AA4 \
    GUIPROP_AA4_DispChar, GUIPROP_GetCharDistX, GUIPROP_GetFontInfo, GUIPROP_IsInFont

// ---- system-independent fonts (SIF) -------------------------------------------------------
//
// A SIF block: "GUIP", cell height, line spacing, baseline, lower-case height, capital height,
// range count R (16-bit each), R ranges (first, last: 16-bit), then 12 bytes per character
// (width, advance, bytes per line, reserved: 16-bit; glyph offset from the block start: 32-bit),
// all little-endian. Glyphs are 1 bpp, cell height rows.

typedef struct {
    GUI_DISPCHAR *pfDispChar;
    GUI_GETCHARDISTX *pfGetCharDistX;
    GUI_GETFONTINFO *pfGetFontInfo;
    GUI_ISINFONT *pfIsInFont;
} GUI_SIF_TYPE;

extern const GUI_SIF_TYPE GUI_SIF_TYPE_PROP;

#define GUI_SIF_HEADER_SIZE 16
#define GUI_SIF_CHARINFO_SIZE 12
#define GUI_SIF_MAX_RANGES 256  // more ranges than any real font has: a block claiming more is refused

// Fills *pFont from the SIF block and makes it the current font. Every later read of the block
// stays inside its first numBytes bytes. Returns 1, or 0 when the block is no usable font (no
// magic, a header or character table beyond numBytes, a cell height of 0 or above 255): the
// current font and *pFont are then left as they were.
int GUI_SIF_CreateFontSized(const void *pFontData, u32 numBytes, GUI_FONT *pFont,
                            const GUI_SIF_TYPE *pFontType);
// The same for a block whose size the caller does not know: it is taken to be as large as its
// own header and character table say (for data that was checked when it was stored).
int GUI_SIF_CreateFont(const void *pFontData, GUI_FONT *pFont, const GUI_SIF_TYPE *pFontType);
// 1 when the block begins with the SIF magic "GUIP".
int GUI_SIF_IsSIF(const void *pFontData);

// ---- built-in fonts (generated at build time) ---------------------------------------------

extern const GUI_FONT GUI_FontArial8, GUI_FontArial8B, GUI_FontArial10, GUI_FontArial10B;
extern const GUI_FONT GUI_FontArial10AA4, GUI_FontArial10BAA4, GUI_FontArial12AA4, GUI_FontArial12BAA4;
extern const GUI_FONT GUI_FontArial14AA4, GUI_FontArial14BAA4, GUI_FontArial16AA4, GUI_FontArial16BAA4;
extern const GUI_FONT GUI_FontArial20AA4, GUI_FontArial20BAA4, GUI_FontArial24AA4, GUI_FontArial24BAA4;
extern const GUI_FONT GUI_FontArial32AA4, GUI_FontArial32BAA4;
extern const GUI_FONT GUI_FontMono8AA4, GUI_FontMono8BAA4, GUI_FontMono10AA4, GUI_FontMono10BAA4;
extern const GUI_FONT GUI_FontMono12AA4, GUI_FontMono12BAA4, GUI_FontMono14AA4, GUI_FontMono14BAA4;
extern const GUI_FONT GUI_FontMono16AA4, GUI_FontMono16BAA4, GUI_FontMono20AA4, GUI_FontMono20BAA4;
extern const GUI_FONT GUI_FontMono24AA4, GUI_FontMono24BAA4, GUI_FontMono32AA4, GUI_FontMono32BAA4;
extern const GUI_FONT GUI_FontMono48, GUI_FontMono64;
extern const GUI_FONT GUI_Font16_1, GUI_Font16B_1;

// ---- text ---------------------------------------------------------------------------------
//
// A string is cut into lines at '\n' and '\r'. Each line starts at the cursor, moved left by
// its whole width (right alignment) or half of it (centre); the vertical alignment moves the
// cell up by height - 1 (bottom) or height / 2 (baseline, vertical centre) while the call runs.
// '\n' moves the cursor down one line spacing and back to LBorder (left alignment) or the
// starting x (right, centre); '\r' only moves it back. At the end the cursor stands behind the
// text and the horizontal alignment is cleared: alignment applies to one string only.

void GUI_DispString(const char *s);
void GUI_DispStringAt(const char *s, int x, int y);
// At most maxLen bytes of s (it may end earlier with a NUL).
void GUI_DispStringLen(const char *s, int maxLen);
void GUI_DispChar(u16 c);
void GUI_DispCharAt(u16 c, int x, int y);
void GUI_DispNextLine(void);  // down one line spacing, back to LBorder

// Decimal numbers: Dec with exactly len digits (zeros in front, '-' in front of negatives),
// DecAt the same at (x, y), DecSpace blanks in front up to maxDigits characters, DecMin as few
// digits as needed, SDec always with a sign, DecShift with a decimal point shift digits from the
// right (len counts sign and point). Digits beyond what len allows are cut from the left.
void GUI_DispDec(s32 v, u8 len);
void GUI_DispDecAt(s32 v, int x, int y, u8 len);
void GUI_DispDecSpace(s32 v, u8 maxDigits);
void GUI_DispDecMin(s32 v);
void GUI_DispSDec(s32 v, u8 len);
void GUI_DispDecShift(s32 v, u8 len, u8 shift);

int GUI_GetFontDistY(void);     // line spacing of the current font
int GUI_GetFontSizeY(void);     // cell height of the current font
int GUI_GetCharDistX(u16 c);    // advance of c in the current font (0 for an unknown character)
// Width in pixels of the first line of s (up to '\n', '\r' or the end), decoded as text is.
int GUI_GetStringDistX(const char *s);
void GUI_GetFontInfo(const GUI_FONT *pFont, GUI_FONTINFO *pInfo);
char GUI_IsInFont(const GUI_FONT *pFont, u16 c);

#endif
