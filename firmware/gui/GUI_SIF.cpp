// System-independent fonts: a font read in place from a memory block (the user fonts of the
// external-memory image). The block comes from outside, so every field is checked before use
// and every read stays inside the block's size.
#include <string.h>

#include "GUI_Font.h"
#include "GUI_FontDraw.h"

static inline u32 rd16(const u8 *p) { return (u32)p[0] | ((u32)p[1] << 8); }
static inline u32 rd32(const u8 *p) { return rd16(p) | (rd16(p + 2) << 16); }

int GUI_SIF_IsSIF(const void *pFontData) {
    return pFontData && memcmp(pFontData, "GUIP", 4) == 0;
}

// What a SIF character record says, with the glyph's bounds checked.
struct SifChar {
    int width, advance, bytesPerLine;
    const u8 *data;  // null when the glyph would reach outside the block
};

// Finds c in the block of the current font; false when no range holds it.
static bool findSifChar(const GUI_FONT *f, u16 c, SifChar *out) {
    if (!f || !f->p) return false;
    const u8 *base = (const u8 *)f->p;
    u32 ranges = rd16(base + 14);
    u32 index = 0;
    for (u32 r = 0; r < ranges; ++r) {
        const u8 *rp = base + GUI_SIF_HEADER_SIZE + 4 * r;
        u32 first = rd16(rp), last = rd16(rp + 2);
        if (c >= first && c <= last) {
            index += c - first;
            const u8 *ci = base + GUI_SIF_HEADER_SIZE + 4 * ranges + GUI_SIF_CHARINFO_SIZE * index;
            out->width = (int)rd16(ci);
            out->advance = (int)rd16(ci + 2);
            out->bytesPerLine = (int)rd16(ci + 4);
            u32 offset = rd32(ci + 8);
            uint64_t end = (uint64_t)offset + (uint64_t)out->bytesPerLine * f->YSize;
            bool fits = f->NumBytes == 0 || end <= f->NumBytes;
            if (out->width > out->bytesPerLine * 8) out->width = out->bytesPerLine * 8;
            out->data = (fits && out->width > 0) ? base + offset : 0;
            if (!out->data) out->width = 0;
            return true;
        }
        index += last - first + 1;
    }
    return false;
}

static void sifDispChar(u16 c) {
    GUI_CONTEXT &ctx = GUI_Context;
    SifChar sc;
    if (!findSifChar(ctx.pAFont, c, &sc)) return;
    GUI_GLYPH g = {sc.width, sc.advance, sc.bytesPerLine, 1, sc.data};
    GUI_DrawGlyph(g);
    int xMag = ctx.pAFont->XMag ? ctx.pAFont->XMag : 1;
    ctx.DispPosX = (s16)(ctx.DispPosX + sc.advance * xMag);
}

static int sifGetCharDistX(u16 c) {
    const GUI_FONT *f = GUI_Context.pAFont;
    SifChar sc;
    if (!findSifChar(f, c, &sc)) return 0;
    return sc.advance * (f->XMag ? f->XMag : 1);
}

static void sifGetFontInfo(const GUI_FONT *pFont, GUI_FONTINFO *pInfo) {
    pInfo->Flags = 0;
    pInfo->Baseline = pFont->Baseline;
    pInfo->LHeight = pFont->LHeight;
    pInfo->CHeight = pFont->CHeight;
}

static char sifIsInFont(const GUI_FONT *pFont, u16 c) {
    SifChar sc;
    return findSifChar(pFont, c, &sc);
}

const GUI_SIF_TYPE GUI_SIF_TYPE_PROP = {sifDispChar, sifGetCharDistX, sifGetFontInfo, sifIsInFont};

static u8 clampU8(u32 v) { return (u8)(v > 255 ? 255 : v); }

// numBytes 0: the block is trusted to be complete.
static int createFont(const void *pFontData, u32 numBytes, GUI_FONT *pFont,
                      const GUI_SIF_TYPE *pType) {
    if (!pFontData || !pFont) return 0;
    if (numBytes != 0 && numBytes < GUI_SIF_HEADER_SIZE) return 0;
    if (!GUI_SIF_IsSIF(pFontData)) return 0;
    const u8 *b = (const u8 *)pFontData;
    u32 height = rd16(b + 4), spacing = rd16(b + 6), ranges = rd16(b + 14);
    if (height == 0 || height > 255 || ranges > GUI_SIF_MAX_RANGES) return 0;
    uint64_t tableStart = GUI_SIF_HEADER_SIZE + 4ull * ranges;
    if (numBytes && tableStart > numBytes) return 0;
    uint64_t chars = 0;
    for (u32 r = 0; r < ranges; ++r) {
        u32 first = rd16(b + GUI_SIF_HEADER_SIZE + 4 * r), last = rd16(b + GUI_SIF_HEADER_SIZE + 4 * r + 2);
        if (first > last) return 0;
        chars += last - first + 1;
    }
    if (numBytes && tableStart + chars * GUI_SIF_CHARINFO_SIZE > numBytes) return 0;
    if (!pType) pType = &GUI_SIF_TYPE_PROP;
    GUI_FONT f;
    memset(&f, 0, sizeof f);
    f.pfDispChar = pType->pfDispChar;
    f.pfGetCharDistX = pType->pfGetCharDistX;
    f.pfGetFontInfo = pType->pfGetFontInfo;
    f.pfIsInFont = pType->pfIsInFont;
    f.YSize = (u8)height;
    f.YDist = spacing ? clampU8(spacing) : (u8)height;
    f.XMag = 1;
    f.YMag = 1;
    f.p = pFontData;
    f.Baseline = clampU8(rd16(b + 8));
    f.LHeight = clampU8(rd16(b + 10));
    f.CHeight = clampU8(rd16(b + 12));
    f.NumBytes = numBytes;
    *pFont = f;
    GUI_SetFont(pFont);
    return 1;
}

int GUI_SIF_CreateFontSized(const void *pFontData, u32 numBytes, GUI_FONT *pFont,
                            const GUI_SIF_TYPE *pFontType) {
    if (numBytes == 0) return 0;
    return createFont(pFontData, numBytes, pFont, pFontType);
}

int GUI_SIF_CreateFont(const void *pFontData, GUI_FONT *pFont, const GUI_SIF_TYPE *pFontType) {
    return createFont(pFontData, 0, pFont, pFontType);
}
