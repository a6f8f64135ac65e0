// BMP decoding and encoding.
#include "GUI_BMP.h"

#define BMP_FILE_HEADER 14
#define BMP_INFO_HEADER 40
#define BMP_RGB 0
#define BMP_RLE8 1
#define BMP_RLE4 2
#define BMP_BITFIELDS 3
#define BMP_MAX_SIDE 32767

static inline u32 rd16(const u8 *p) { return (u32)p[0] | ((u32)p[1] << 8); }
static inline u32 rd32(const u8 *p) { return rd16(p) | (rd16(p + 2) << 16); }

struct BmpInfo {
    const u8 *data;
    u32 size;        // bytes that may be read
    int width, height;
    bool topDown;
    int bpp;
    u32 compression;
    bool is565;      // 16 bits per pixel: 5-6-5 instead of 5-5-5
    u32 pixels;      // offset of the pixel data
    u32 palette;     // offset of the palette
    int palCount;
};

// Checks the headers against each other and against the data size.
static bool parseBmp(const u8 *p, u32 n, BmpInfo *bi) {
    if (!p || n < BMP_FILE_HEADER + BMP_INFO_HEADER || p[0] != 'B' || p[1] != 'M') return false;
    u32 hdr = rd32(p + 14);
    if (hdr < BMP_INFO_HEADER || (uint64_t)BMP_FILE_HEADER + hdr > n) return false;
    s32 w = (s32)rd32(p + 18), h = (s32)rd32(p + 22);
    if (w <= 0 || w > BMP_MAX_SIDE || h == 0 || h > BMP_MAX_SIDE || h < -BMP_MAX_SIDE) return false;
    if (rd16(p + 26) != 1) return false;
    bi->data = p;
    bi->size = n;
    bi->width = w;
    bi->topDown = h < 0;
    bi->height = h < 0 ? -h : h;
    bi->bpp = (int)rd16(p + 28);
    bi->compression = rd32(p + 30);
    bi->pixels = rd32(p + 10);
    bi->palette = BMP_FILE_HEADER + hdr;
    bi->is565 = false;
    bi->palCount = 0;
    switch (bi->bpp) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
    }
    switch (bi->compression) {
    case BMP_RGB: break;
    case BMP_RLE8:
        if (bi->bpp != 8 || bi->topDown) return false;
        break;
    case BMP_RLE4:
        if (bi->bpp != 4 || bi->topDown) return false;
        break;
    case BMP_BITFIELDS: {
        // The three masks follow a 40-byte header and sit inside the longer ones.
        if (bi->bpp != 16 && bi->bpp != 32) return false;
        if (BMP_FILE_HEADER + BMP_INFO_HEADER + 12 > n) return false;
        u32 r = rd32(p + 54), g = rd32(p + 58), b = rd32(p + 62);
        if (bi->bpp == 32 && !(r == 0xFF0000 && g == 0xFF00 && b == 0xFF)) return false;
        if (bi->bpp == 16) {
            if (r == 0xF800 && g == 0x07E0 && b == 0x1F)
                bi->is565 = true;
            else if (!(r == 0x7C00 && g == 0x03E0 && b == 0x1F))
                return false;
        }
        if (hdr == BMP_INFO_HEADER) bi->palette += 12;
        break;
    }
    default: return false;
    }
    if (bi->pixels >= n || bi->pixels < bi->palette) return false;
    if (bi->bpp <= 8) {
        u32 maxCount = 1u << bi->bpp, used = rd32(p + 46);
        u32 count = used == 0 || used > maxCount ? maxCount : used;
        // A palette that claims more entries than fit before the pixels is cut to what fits.
        u32 room = (bi->pixels - bi->palette) / 4;
        if (count > room) count = room;
        if (count == 0) return false;
        bi->palCount = (int)count;
    }
    if (bi->compression == BMP_RGB || bi->compression == BMP_BITFIELDS) {
        uint64_t stride = (((uint64_t)bi->width * bi->bpp + 31) / 32) * 4;
        if (bi->pixels + stride * (uint64_t)bi->height > n) return false;  // truncated
    }
    return true;
}

static unsigned index555(u32 v) {
    u32 r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
    return LCD_L0_Color2Index((r * 255 / 31) | ((g * 255 / 31) << 8) | ((b * 255 / 31) << 16));
}

static unsigned index565(u32 v) {
    u32 r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return LCD_L0_Color2Index((r * 255 / 31) | ((g * 255 / 63) << 8) | ((b * 255 / 31) << 16));
}

static unsigned indexBGR(const u8 *q) {
    return LCD_L0_Color2Index((u32)q[2] | ((u32)q[1] << 8) | ((u32)q[0] << 16));
}

// Screen-row buffer of the visible part of one BMP row.
static u16 rowBuf[LCD_XSIZE];

static void drawUncompressed(const BmpInfo &bi, const u16 *pal, int x0, int y0) {
    int cx0 = GUI_Context.ClipRect.x0, cx1 = GUI_Context.ClipRect.x1;
    int cy0 = GUI_Context.ClipRect.y0, cy1 = GUI_Context.ClipRect.y1;
    long long c0 = (long long)cx0 - x0, c1 = (long long)cx1 - x0;
    if (c0 < 0) c0 = 0;
    if (c1 > bi.width - 1) c1 = bi.width - 1;
    long long r0 = (long long)cy0 - y0, r1 = (long long)cy1 - y0;
    if (r0 < 0) r0 = 0;
    if (r1 > bi.height - 1) r1 = bi.height - 1;
    if (c0 > c1 || r0 > r1) return;
    u32 stride = (u32)((((uint64_t)bi.width * bi.bpp + 31) / 32) * 4);
    for (long long r = r0; r <= r1; ++r) {
        long long fileRow = bi.topDown ? r : bi.height - 1 - r;
        const u8 *line = bi.data + bi.pixels + fileRow * stride;
        int n = 0;
        for (long long c = c0; c <= c1; ++c, ++n) {
            unsigned idx;
            switch (bi.bpp) {
            case 1: idx = pal[(line[c >> 3] >> (7 - (c & 7))) & 1]; break;
            case 4: idx = pal[(line[c >> 1] >> ((c & 1) ? 0 : 4)) & 15]; break;
            case 8: idx = pal[line[c]]; break;
            case 16: {
                u32 v = rd16(line + 2 * c);
                idx = bi.is565 ? index565(v) : index555(v);
                break;
            }
            case 24: idx = indexBGR(line + 3 * c); break;
            default: idx = indexBGR(line + 4 * c); break;
            }
            rowBuf[n] = (u16)idx;
        }
        LCD_WriteRow((int)(x0 + c0), (int)(y0 + r), n, rowBuf);
    }
}

// RLE8 / RLE4: (count, value) pairs; a zero count escapes: 0 end of line, 1 end of bitmap,
// 2 move by (dx, dy), 3.. a run of that many literal pixels padded to 16 bits. Pixels past
// the right edge are dropped; the stream ends at the end of the data.
static void drawRle(const BmpInfo &bi, const u16 *pal, int x0, int y0) {
    const u8 *p = bi.data;
    u32 pos = bi.pixels, end = bi.size;
    bool four = bi.compression == BMP_RLE4;
    long long x = 0, y = 0;  // y counts rows up from the bottom
    auto put = [&](unsigned v) {
        if (x < bi.width && (int)v < bi.palCount)
            LCD_SetPixelIndexClipped(GUI_ClampCoord(x0 + x), GUI_ClampCoord(y0 + bi.height - 1 - y), pal[v]);
        x++;
    };
    while (y < bi.height && end - pos >= 2) {
        u32 count = p[pos], value = p[pos + 1];
        pos += 2;
        if (count) {
            for (u32 i = 0; i < count && x < bi.width; ++i)
                put(four ? ((i & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            y++;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (end - pos < 2) return;
            x += p[pos];
            y += p[pos + 1];
            pos += 2;
        } else {
            u32 bytes = four ? (value + 1) / 2 : value;
            u32 padded = (bytes + 1) & ~1u;
            if (end - pos < bytes) return;
            for (u32 i = 0; i < value; ++i) {
                u32 b = p[pos + (four ? i / 2 : i)];
                put(four ? ((i & 1) ? b & 15 : b >> 4) : b);
            }
            pos += end - pos < padded ? end - pos : padded;
        }
    }
}

int GUI_BMP_DrawEx(const void *pFile, u32 numBytes, int x0, int y0) {
    BmpInfo bi;
    if (!parseBmp((const u8 *)pFile, numBytes, &bi)) return 0;
    static u16 pal[256];
    for (int i = 0; i < bi.palCount; ++i) pal[i] = (u16)indexBGR(bi.data + bi.palette + 4 * i);
    for (int i = bi.palCount; i < 256; ++i) pal[i] = 0;
    if (bi.compression == BMP_RLE8 || bi.compression == BMP_RLE4)
        drawRle(bi, pal, x0, y0);
    else
        drawUncompressed(bi, pal, x0, y0);
    return 1;
}

// The file's own size field, for files known to be whole.
static u32 claimedSize(const void *pFile) {
    const u8 *p = (const u8 *)pFile;
    if (!p || p[0] != 'B' || p[1] != 'M') return 0;
    return rd32(p + 2);
}

int GUI_BMP_Draw(const void *pFile, int x0, int y0) {
    return GUI_BMP_DrawEx(pFile, claimedSize(pFile), x0, y0);
}

int GUI_BMP_GetXSizeEx(const void *pFile, u32 numBytes) {
    BmpInfo bi;
    return parseBmp((const u8 *)pFile, numBytes, &bi) ? bi.width : 0;
}

int GUI_BMP_GetYSizeEx(const void *pFile, u32 numBytes) {
    BmpInfo bi;
    return parseBmp((const u8 *)pFile, numBytes, &bi) ? bi.height : 0;
}

int GUI_BMP_GetXSize(const void *pFile) { return GUI_BMP_GetXSizeEx(pFile, claimedSize(pFile)); }
int GUI_BMP_GetYSize(const void *pFile) { return GUI_BMP_GetYSizeEx(pFile, claimedSize(pFile)); }

// ---- encoding ----

static void put16(GUI_CALLBACK_VOID_U8_P *pf, void *p, u32 v) {
    pf((u8)v, p);
    pf((u8)(v >> 8), p);
}

static void put32(GUI_CALLBACK_VOID_U8_P *pf, void *p, u32 v) {
    put16(pf, p, v & 0xFFFF);
    put16(pf, p, v >> 16);
}

static u32 to5(u32 c) { return (c * 31 + 127) / 255; }

void GUI_BMP_SerializeEx(GUI_CALLBACK_VOID_U8_P *pf, int x0, int y0, int xSize, int ySize, void *p) {
    if (!pf || xSize <= 0 || ySize <= 0 || xSize > 0x7FFF || ySize > 0x7FFF) return;
    x0 = GUI_ClampCoord(x0);  // far-off areas are black either way
    y0 = GUI_ClampCoord(y0);
    // Displays of more than 8 bits per pixel are written as 16-bit 5-5-5 without a palette.
    const int bpp = 16;
    const u32 palEntries = 0;
    u32 rowBytes = (((u32)xSize * (u32)bpp / 8) + 3) & ~3u;
    u32 offset = 54 + 4 * palEntries;
    u32 fileSize = offset + rowBytes * (u32)ySize;
    pf('B', p);
    pf('M', p);
    put32(pf, p, fileSize);
    put32(pf, p, 0);
    put32(pf, p, offset);
    put32(pf, p, 40);
    put32(pf, p, (u32)xSize);
    put32(pf, p, (u32)ySize);
    put16(pf, p, 1);
    put16(pf, p, (u32)bpp);
    put32(pf, p, 0);  // no compression
    put32(pf, p, 0);  // image size, resolution: not given
    put32(pf, p, 0);
    put32(pf, p, 0);
    put32(pf, p, palEntries);
    put32(pf, p, 0);
    for (int y = ySize - 1; y >= 0; --y) {
        u32 written = 0;
        for (int x = 0; x < xSize; ++x) {
            GUI_COLOR c = LCD_GetPixelColor(x0 + x, y0 + y);
            u32 v = to5((c >> 16) & 0xFF) | (to5((c >> 8) & 0xFF) << 5) | (to5(c & 0xFF) << 10);
            put16(pf, p, v);
            written += 2;
        }
        for (; written < rowBytes; ++written) pf(0, p);
    }
}

void GUI_BMP_Serialize(GUI_CALLBACK_VOID_U8_P *pf, void *p) {
    GUI_BMP_SerializeEx(pf, 0, 0, LCD_GetXSize(), LCD_GetYSize(), p);
}
