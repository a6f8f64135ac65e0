// Glyph drawing for the proportional font types (1 bpp and 4-bit anti-aliased), shared with the
// SIF fonts, and the font-level queries.
#include "GUI_Font.h"

#include "GUI_FontDraw.h"

// ---- glyph drawing --------------------------------------------------------------------------

// The two colours are blended as 8-bit channels of their colour values, as a glyph's coverage
// describes them; blending the 5- and 6-bit fields would lose a step at light coverage.
u16 GUI_BlendIndex(u16 fg, u16 bg, int a) {
    if (a >= 15) return fg;
    if (a <= 0) return bg;
    GUI_COLOR f = LCD_Index2Color(fg), b = LCD_Index2Color(bg);
    int na = 15 - a;
    GUI_COLOR mix = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        u32 cf = (f >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        mix |= ((cf * (u32)a + cb * (u32)na) / 15) << shift;
    }
    return (u16)LCD_L0_Color2Index(mix);
}

// Coverage (0..15) of the glyph pixel at (col, row).
static inline int coverage(const GUI_GLYPH &g, int col, int row) {
    if (col >= g.XSize || !g.pData) return 0;
    const u8 *line = g.pData + row * g.BytesPerLine;
    if (g.Bpp == 1) return ((line[col >> 3] >> (7 - (col & 7))) & 1) ? 15 : 0;
    u8 b = line[col >> 1];
    return (col & 1) ? (b & 0x0F) : (b >> 4);
}

// Opaque text blends between two fixed indices: the 16 shades are worked out once per colour pair.
static u16 shadeFg = 0, shadeBg = 0;
static u16 shades[16] = {0};
static bool shadesValid = false;

static const u16 *shadeTable(u16 fg, u16 bg) {
    if (!shadesValid || fg != shadeFg || bg != shadeBg) {
        for (int a = 0; a < 16; ++a) shades[a] = GUI_BlendIndex(fg, bg, a);
        shadeFg = fg;
        shadeBg = bg;
        shadesValid = true;
    }
    return shades;
}

void GUI_DrawGlyph(const GUI_GLYPH &g) {
    GUI_CONTEXT &c = GUI_Context;
    const GUI_FONT *f = c.pAFont;
    int xMag = f->XMag ? f->XMag : 1, yMag = f->YMag ? f->YMag : 1;
    int x0 = c.DispPosX, y0 = c.DispPosY;
    int ySize = f->YSize * yMag;
    int yDist = f->YDist * yMag;
    if (yDist < ySize) yDist = ySize;
    int inkW = g.XSize * xMag, advW = g.XDist * xMag;
    int cellW = inkW > advW ? inkW : advW;
    int mode = c.TextMode;
    bool trans = mode & GUI_TM_TRANS, xorMode = mode & GUI_TM_XOR;
    u16 fg = c.ColorIndex, bg = c.BkColorIndex;
    if (mode & GUI_TM_REV) {
        u16 t = fg;
        fg = bg;
        bg = t;
    }
    // Rows below the cell (line spacing above the height) are background in opaque modes.
    int lastRow = (trans || xorMode) ? ySize - 1 : yDist - 1;
    int cx0 = x0, cy0 = y0, cx1 = x0 + cellW - 1, cy1 = y0 + lastRow;
    if (cellW <= 0 || !LCD_ClipToContext(&cx0, &cy0, &cx1, &cy1)) return;
    const u16 *tab = shadeTable(fg, bg);
    u16 row[LCD_XSIZE];
    for (int sy = cy0; sy <= cy1; ++sy) {
        int dy = sy - y0;
        bool gap = dy >= ySize;
        int gr = yMag == 1 ? dy : dy / yMag;
        if (!trans && !xorMode) {
            // The advance is painted whole; ink beyond it (an overhang) only where it is set.
            int spanEnd = x0 + advW - 1 < cx1 ? x0 + advW - 1 : cx1;
            int n = 0;
            for (int sx = cx0; sx <= spanEnd; ++sx, ++n) {
                int dx = sx - x0;
                row[n] = gap ? bg : tab[coverage(g, xMag == 1 ? dx : dx / xMag, gr)];
            }
            if (n > 0) LCD_WriteRow(cx0, sy, n, row);
            if (gap) continue;
            for (int sx = spanEnd + 1 > cx0 ? spanEnd + 1 : cx0; sx <= cx1; ++sx) {
                int dx = sx - x0;
                int a = coverage(g, xMag == 1 ? dx : dx / xMag, gr);
                if (a) LCD_SetPixelIndexClipped(sx, sy, tab[a]);
            }
            continue;
        }
        for (int sx = cx0; sx <= cx1; ++sx) {
            int dx = sx - x0;
            int a = coverage(g, xMag == 1 ? dx : dx / xMag, gr);
            if (a == 0) continue;
            if (xorMode) {
                if (a >= 8) LCD_SetPixelIndexClipped(sx, sy, (u16)~LCD_GetPixelIndex(sx, sy));
            } else {
                // Transparent: blended over what is on the screen.
                u16 under = (u16)LCD_GetPixelIndex(sx, sy);
                LCD_SetPixelIndexClipped(sx, sy, a >= 15 ? fg : GUI_BlendIndex(fg, under, a));
            }
        }
    }
}

// ---- proportional fonts -----------------------------------------------------------------------

static const GUI_CHARINFO *findChar(const GUI_FONT *f, u16 c) {
    if (!f) return 0;
    for (const GUI_FONT_PROP *r = (const GUI_FONT_PROP *)f->p; r; r = r->pNext) {
        if (c >= r->First && c <= r->Last) return &r->paCharInfo[c - r->First];
    }
    return 0;
}

static void dispProp(u16 c, int bpp) {
    const GUI_FONT *f = GUI_Context.pAFont;
    const GUI_CHARINFO *ci = findChar(f, c);
    if (!ci) return;  // not in the font: nothing drawn, the cursor stays
    GUI_GLYPH g = {ci->XSize, ci->XDist, ci->BytesPerLine, (u8)bpp, ci->pData};
    GUI_DrawGlyph(g);
    GUI_Context.DispPosX = (s16)(GUI_Context.DispPosX + ci->XDist * (f->XMag ? f->XMag : 1));
}

void GUIPROP_DispChar(u16 c) { dispProp(c, 1); }
void GUIPROP_AA4_DispChar(u16 c) { dispProp(c, 4); }

int GUIPROP_GetCharDistX(u16 c) {
    const GUI_FONT *f = GUI_Context.pAFont;
    const GUI_CHARINFO *ci = findChar(f, c);
    return ci ? ci->XDist * (f->XMag ? f->XMag : 1) : 0;
}

void GUIPROP_GetFontInfo(const GUI_FONT *pFont, GUI_FONTINFO *pInfo) {
    pInfo->Flags = 0;
    pInfo->Baseline = pFont->Baseline;
    pInfo->LHeight = pFont->LHeight;
    pInfo->CHeight = pFont->CHeight;
}

char GUIPROP_IsInFont(const GUI_FONT *pFont, u16 c) { return findChar(pFont, c) != 0; }

// ---- font queries -----------------------------------------------------------------------------

int GUI_GetFontDistY(void) {
    const GUI_FONT *f = GUI_Context.pAFont;
    return f ? f->YDist * (f->YMag ? f->YMag : 1) : 0;
}

int GUI_GetFontSizeY(void) {
    const GUI_FONT *f = GUI_Context.pAFont;
    return f ? f->YSize * (f->YMag ? f->YMag : 1) : 0;
}

int GUI_GetCharDistX(u16 c) {
    const GUI_FONT *f = GUI_Context.pAFont;
    return f ? f->pfGetCharDistX(c) : 0;
}

void GUI_GetFontInfo(const GUI_FONT *pFont, GUI_FONTINFO *pInfo) {
    if (!pInfo) return;
    if (!pFont) pFont = GUI_Context.pAFont;
    if (!pFont) {
        pInfo->Flags = 0;
        pInfo->Baseline = pInfo->LHeight = pInfo->CHeight = 0;
        return;
    }
    pFont->pfGetFontInfo(pFont, pInfo);
}

char GUI_IsInFont(const GUI_FONT *pFont, u16 c) {
    if (!pFont) pFont = GUI_Context.pAFont;
    return pFont ? pFont->pfIsInFont(pFont, c) : 0;
}
