// The drawing context and its calls.
#include "GUI.h"

#include <string.h>

#include "../devices/lcd_driver.h"

GUI_CONTEXT GUI_Context;

static const GUI_RECT screenRect = {0, 0, LCD_XSIZE - 1, LCD_YSIZE - 1};

static GUI_RECT clipToScreen(GUI_RECT r) {
    if (r.x0 < 0) r.x0 = 0;
    if (r.y0 < 0) r.y0 = 0;
    if (r.x1 > LCD_XSIZE - 1) r.x1 = LCD_XSIZE - 1;
    if (r.y1 > LCD_YSIZE - 1) r.y1 = LCD_YSIZE - 1;
    return r;  // may be empty (x0 > x1): then nothing is drawn
}

int GUI_Init(void) {
    GUI_CONTEXT &c = GUI_Context;
    memset(&c, 0, sizeof c);
    c.LastColor = GUI_INVALID_COLOR;
    c.LastBkColor = GUI_INVALID_COLOR;
    GUI_SetColor(0xFFFFFF);
    GUI_SetBkColor(0x000000);
    c.ClipRect = screenRect;
    c.DrawMode = GUI_DRAWMODE_NORMAL;
    c.PenSize = 1;
    c.PenShape = GUI_PS_ROUND;
    c.LineStyle = GUI_LS_SOLID;
    c.pAFont = &GUI_FontArial10;
    c.TextMode = GUI_TM_NORMAL;
    c.TextAlign = GUI_TA_LEFT | GUI_TA_TOP;
    c.pUC = &GUI_UC_None;
    InitLCD(640, 480, 16);
    return 1;
}

GUI_COLOR GUI_GetColor(void) { return LCD_Index2Color(GUI_Context.ColorIndex); }
GUI_COLOR GUI_GetBkColor(void) { return LCD_Index2Color(GUI_Context.BkColorIndex); }

GUI_COLOR GUI_SetColor(GUI_COLOR color) {
    GUI_COLOR old = GUI_GetColor();
    if (color != GUI_Context.LastColor) {
        GUI_Context.LastColor = color;
        GUI_Context.ColorIndex = (u16)LCD_L0_Color2Index(color);
    }
    return old;
}

GUI_COLOR GUI_SetBkColor(GUI_COLOR color) {
    GUI_COLOR old = GUI_GetBkColor();
    if (color != GUI_Context.LastBkColor) {
        GUI_Context.LastBkColor = color;
        GUI_Context.BkColorIndex = (u16)LCD_L0_Color2Index(color);
    }
    return old;
}

// An index set directly no longer matches the cached colour.
int GUI_SetColorIndex(int index) {
    int old = GUI_Context.ColorIndex;
    GUI_Context.ColorIndex = (u16)index;
    GUI_Context.LastColor = GUI_INVALID_COLOR;
    return old;
}

int GUI_SetBkColorIndex(int index) {
    int old = GUI_Context.BkColorIndex;
    GUI_Context.BkColorIndex = (u16)index;
    GUI_Context.LastBkColor = GUI_INVALID_COLOR;
    return old;
}

int GUI_GetColorIndex(void) { return GUI_Context.ColorIndex; }
int GUI_GetBkColorIndex(void) { return GUI_Context.BkColorIndex; }

int GUI_SetDrawMode(int mode) {
    GUI_CONTEXT &c = GUI_Context;
    int old = c.DrawMode;
    if ((old ^ mode) & GUI_DRAWMODE_REV) {
        u16 i = c.ColorIndex;
        c.ColorIndex = c.BkColorIndex;
        c.BkColorIndex = i;
        GUI_COLOR col = c.LastColor;
        c.LastColor = c.LastBkColor;
        c.LastBkColor = col;
    }
    c.DrawMode = (u8)mode;
    return old;
}

int GUI_GetDrawMode(void) { return GUI_Context.DrawMode; }

int GUI_SetTextMode(int mode) {
    int old = GUI_Context.TextMode;
    GUI_Context.TextMode = (s16)mode;
    return old;
}

int GUI_GetTextMode(void) { return GUI_Context.TextMode; }

int GUI_SetTextAlign(int align) {
    int old = GUI_Context.TextAlign;
    GUI_Context.TextAlign = (s16)align;
    return old;
}

int GUI_GetTextAlign(void) { return GUI_Context.TextAlign; }

int GUI_SetPenSize(int size) {
    int old = GUI_Context.PenSize;
    if (size < 1) size = 1;
    if (size > 255) size = 255;
    GUI_Context.PenSize = (u8)size;
    return old;
}

int GUI_GetPenSize(void) { return GUI_Context.PenSize; }

int GUI_SetPenShape(int shape) {
    int old = GUI_Context.PenShape;
    GUI_Context.PenShape = (u8)shape;
    return old;
}

int GUI_SetLineStyle(int style) {
    int old = GUI_Context.LineStyle;
    GUI_Context.LineStyle = (u8)style;
    return old;
}

int GUI_GetLineStyle(void) { return GUI_Context.LineStyle; }

const GUI_FONT *GUI_SetFont(const GUI_FONT *pFont) {
    const GUI_FONT *old = GUI_Context.pAFont;
    if (pFont) GUI_Context.pAFont = pFont;
    return old;
}

const GUI_FONT *GUI_GetFont(void) { return GUI_Context.pAFont; }

int GUI_SetLBorder(int x) {
    int old = GUI_Context.LBorder;
    GUI_Context.LBorder = (s16)x;
    return old;
}

int GUI_GotoXY(int x, int y) {
    GUI_Context.DispPosX = (s16)x;
    GUI_Context.DispPosY = (s16)y;
    return 0;
}

int GUI_GotoX(int x) {
    GUI_Context.DispPosX = (s16)x;
    return 0;
}

int GUI_GotoY(int y) {
    GUI_Context.DispPosY = (s16)y;
    return 0;
}

int GUI_GetDispPosX(void) { return GUI_Context.DispPosX; }
int GUI_GetDispPosY(void) { return GUI_Context.DispPosY; }

GUI_RECT GUI_SetClipRect(const GUI_RECT *pRect) {
    GUI_RECT old = GUI_Context.ClipRect;
    GUI_Context.ClipRect = pRect ? clipToScreen(*pRect) : screenRect;
    return old;
}

GUI_RECT GUI_GetClipRect(void) { return GUI_Context.ClipRect; }

void GUI_SaveContext_(GUI_CONTEXT *pContext) {
    if (pContext) *pContext = GUI_Context;
}

// A saved context is copied back whole; its clip rectangle is cut to the screen again so that
// a damaged copy cannot send drawing outside the frame buffer.
void GUI_RestoreContext(const GUI_CONTEXT *pContext) {
    if (!pContext) return;
    GUI_Context = *pContext;
    GUI_Context.ClipRect = clipToScreen(GUI_Context.ClipRect);
    if (!GUI_Context.pUC) GUI_Context.pUC = &GUI_UC_None;
    if (GUI_Context.PenSize < 1) GUI_Context.PenSize = 1;
}

// ---- character decoders ----

static u16 getCodeNone(const char *s, int maxLen, int *pNumBytes) {
    *pNumBytes = maxLen > 0 ? 1 : 0;
    return maxLen > 0 ? (u8)s[0] : 0;
}

// UTF-8 up to three bytes (16-bit codes). A malformed or cut-off sequence yields its first
// byte as a character of its own, so decoding always moves on.
static u16 getCodeUTF8(const char *s, int maxLen, int *pNumBytes) {
    if (maxLen <= 0) {
        *pNumBytes = 0;
        return 0;
    }
    const u8 *p = (const u8 *)s;
    u8 c = p[0];
    int n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : 0;
    if (n == 1 || n == 0 || n > maxLen) {
        *pNumBytes = 1;
        return c;
    }
    u16 code = (u16)(n == 2 ? (c & 0x1F) : (c & 0x0F));
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            *pNumBytes = 1;
            return c;
        }
        code = (u16)((code << 6) | (p[i] & 0x3F));
    }
    *pNumBytes = n;
    return code;
}

const GUI_UC_ENC GUI_UC_None = {getCodeNone};
const GUI_UC_ENC GUI_UC_UTF8 = {getCodeUTF8};

void GUI_UC_SetEncodeNone(void) { GUI_Context.pUC = &GUI_UC_None; }
void GUI_UC_SetEncodeUTF8(void) { GUI_Context.pUC = &GUI_UC_UTF8; }
