// Command handlers. Drawing and text: pixels, graphics state, text, colours, modes, shapes,
// screen areas; and the state those commands keep.
#include "cmd_draw.h"

#include <stdio.h>
#include <string.h>

#include "../app/GUIDEMO.h"
#include "../app/animation.h"
#include "../comm/Rtosinit.h"
#include "../gui/GUI_Pictures.h"
#include "../macros/KT_macros.h"
#include "../memmap.h"
#include "handlers.h"
#include "dispatch.h"
#include "parse_command.h"

GDI_STATE GDIState[GDI_MACRO_LEVELS + 1];
u8 lastTextMode;
const char *curTextMode = "N";

// ---- text modes ---------------------------------------------------------------------------

int setTextMode(const char *word) {
    const char *name;
    int mode = textModeOf(word, &name);
    if (mode < 0) return 0;
    lastTextMode = (u8)mode;
    GUI_SetTextMode(mode);
    curTextMode = name;
    return 1;
}

int getTextMode(void) { return lastTextMode; }

// ---- graphics state -----------------------------------------------------------------------

void SaveState(GDI_STATE *r) {
    if (!r) return;
    r->bkColor = GUI_GetBkColor();
    r->color = GUI_GetColor();
    r->penSize = (u8)GUI_GetPenSize();
    r->lineStyle = (u8)GUI_GetLineStyle();
    r->drawMode = (u8)GUI_GetDrawMode();
    r->textAlign = GUI_GetTextAlign();
    r->originX = Origin_X;
    r->originY = Origin_Y;
    r->cursorX = GUI_GetDispPosX();
    r->cursorY = GUI_GetDispPosY();
    r->textModeName = curTextMode;
    r->textMode = GUI_GetTextMode();
    r->font = currFontPtr;
}

void RestoreState(const GDI_STATE *r) {
    if (!r) return;
    GUI_SetBkColor(r->bkColor);
    GUI_SetColor(r->color);
    GUI_SetPenSize(r->penSize);
    GUI_SetLineStyle(r->lineStyle);
    GUI_SetDrawMode(r->drawMode);
    GUI_SetTextAlign(r->textAlign);
    Origin_X = r->originX;
    Origin_Y = r->originY;
    GUI_GotoX(r->cursorX);
    GUI_GotoY(r->cursorY);
    // A record never written holds no font; an emptied user-font entry names none either.
    if (r->font && r->font->font && KT_SetFont(r->font, &CmdFont)) currFontPtr = r->font;
    GUI_SetTextMode(r->textMode);
    if (r->textModeName) curTextMode = r->textModeName;
}

GDI_STATE *currentStateRecord(void) {
    if (macroDepth == 0) return &GDIState[GDI_HOST_RECORD];
    if (macroDepth > GDI_MACRO_LEVELS) return 0;
    return &GDIState[macroDepth - 1];
}

// ---- frame buffer and screen areas --------------------------------------------------------

static bool inFrame(int x, int y) {
    return x >= 0 && y >= 0 && x < LCD_XSIZE && y < LCD_YSIZE;
}

u16 ssa_width[SCREEN_AREA_SLOTS];
u16 ssa_height[SCREEN_AREA_SLOTS];

// Slot areas behind the frame; slot 0 is large enough to overlap slot 1.
static const u32 slotOffset[SCREEN_AREA_SLOTS] = {0, 0x35000, 0x6A000, 0x9F000};
static const u32 slotPixels[SCREEN_AREA_SLOTS] = {0x35000, 0xD400, 0x1A800, 0xD400};

static u16 *slotArea(u8 slot) { return (u16 *)sdramPtr(SCREEN_AREA_ADDR + slotOffset[slot]); }

int saveScreenArea(u16 x0, u16 y0, u16 x1, u16 y1, u8 slot) {
    if (slot >= SCREEN_AREA_SLOTS) return 0;
    if (x0 > x1 || y0 > y1 || x1 >= LCD_XSIZE || y1 >= LCD_YSIZE) return 0;
    u32 w = (u32)(x1 - x0 + 1), h = (u32)(y1 - y0 + 1);
    if (w * h > slotPixels[slot]) return 0;
    ssa_width[slot] = (u16)w;
    ssa_height[slot] = (u16)h;
    u16 *dst = slotArea(slot);
    for (u32 row = 0; row < h; ++row)
        LCD_ReadRowRaw(x0, y0 + (int)row, (int)w, dst + row * w);
    return 1;
}

int restoreScreenArea(u16 x, u16 y, u8 slot) {
    if (slot >= SCREEN_AREA_SLOTS) return 0;
    u32 w = ssa_width[slot], h = ssa_height[slot];
    // A larger slot saved later may have overwritten this one's pixels, but its size record
    // still fits the slot, so the copy stays inside the slot's area.
    if (w * h > slotPixels[slot]) return 0;
    u32 visW = x >= LCD_XSIZE ? 0 : (x + w > LCD_XSIZE ? LCD_XSIZE - x : w);
    u32 visH = y >= LCD_YSIZE ? 0 : (y + h > LCD_YSIZE ? LCD_YSIZE - y : h);
    const u16 *src = slotArea(slot);
    for (u32 row = 0; row < visH; ++row)
        LCD_WriteRowRaw(x, y + (int)row, (int)visW, src + row * w);
    return 1;
}

// ---- helpers of the handlers ----------------------------------------------------------------

// 0x00BBGGRR <-> 0x00RRGGBB
static u32 swapRB(u32 c) { return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF); }

// The text cursor is 16-bit: far positions are held at its ends, off screen, instead of
// wrapping round onto it.
static int clampS16(long long v) { return v < -32768 ? -32768 : v > 32767 ? 32767 : (int)v; }

static int textCoord(int v, s32 origin) { return clampS16((long long)v + origin); }

// Places the text at (x, y) relative to the origin, with the border there.
static void gotoText(int x, int y) {
    GUIDEMO_SetTextBorder(textCoord(x, Origin_X));
    GUI_GotoXY(textCoord(x, Origin_X), textCoord(y, Origin_Y));
}

static void normalTextMode(void) {
    GUI_SetTextMode(GUI_TM_NORMAL);
    curTextMode = "N";
}

// Shows text in the mode a word names (which becomes the last mode), then returns to normal.
static void displayInMode(const char *text, const char *word) {
    int mode = textModeOf(word, 0);
    if (mode >= 0) {
        lastTextMode = (u8)mode;
        GUI_SetTextMode(mode);
    }
    GUI_DispString(text);
    normalTextMode();
}

// The arguments after a lowercase text's closing quote: x y [mode], or a mode, or nothing.
// Coordinates or a mode word make the mode temporary; plain text uses lastTextMode.
static int drawLowercaseText(const char *text, const char *rest) {
    int x, y;
    char word[10];
    if (!rest) rest = "";
    if (sscanf(rest, "%d%d%9s", &x, &y, word) == 3) {
        gotoText(x, y);
        displayInMode(text, word);
    } else if (sscanf(rest, "%d%d", &x, &y) == 2) {
        gotoText(x, y);
        lastTextMode = GUI_TM_NORMAL;
        normalTextMode();
        GUI_DispString(text);
    } else if (sscanf(rest, "%9s", word) == 1) {
        displayInMode(text, word);
    } else {
        GUI_SetTextMode(lastTextMode);
        GUI_DispString(text);
    }
    return CMD_DONE;
}

// ---- handlers -------------------------------------------------------------------------------

// pr, prx, pw, pwx: direct frame-buffer pixels without origin. Positions outside the frame
// buffer are refused.
int cmdPixel(char *line) {
    int x, y;
    unsigned v;
    bool wide = line[2] == 'x';
    if (line[1] == 'r') {
        if (sscanf(line, "%*s %d %d", &x, &y) != 2 || !inFrame(x, y)) return CMD_REJECTED;
        unsigned i = LCD_GetPixelIndex(x, y);
        if (wide)
            pout("%02X%02X%02X\r", (i >> 11) << 3, (i >> 3) & 0xFC, (i & 0x1F) << 3);
        else
            pout("%04X\r", i);
        return CMD_DONE;
    }
    int n = sscanf(line, "%*s %d %d %x", &x, &y, &v);
    if (n < 2 || !inFrame(x, y)) return CMD_REJECTED;
    if (n == 2) {
        GUI_DrawPixel(x, y);
    } else if (wide) {
        LCD_SetPixelIndex(x, y, (u16)(((v >> 8) & 0xF800) + ((v & 0xF8) >> 3) + ((v >> 5) & 0x7E0)));
    } else {
        LCD_SetPixelIndex(x, y, (u16)v);
    }
    return CMD_DONE;
}

int cmdSaveState(char *line) {
    GDI_STATE *r = currentStateRecord();
    if (!r) return CMD_REJECTED;
    SaveState(r);
    return CMD_DONE;
}

int cmdRestoreState(char *line) {
    GDI_STATE *r = currentStateRecord();
    if (!r) return CMD_REJECTED;
    RestoreState(r);
    return CMD_DONE;
}

int cmdTextAtCursor(char *line) {
    GUI_DispString(line + 3);
    return CMD_DONE;
}

// ts: the text between quotes as it stands, no escapes.
int cmdTextPlain(char *line) {
    if (!strchr(line, '"')) return CMD_REJECTED;
    char *rest = 0;
    strtokr(line, '"', &rest);  // the command word
    char *after = 0;
    char *text = strtokr(rest, '"', &after);
    return drawLowercaseText(text ? text : "", after);
}

int cmdText(char *line) {
    char *rest = 0;
    char *text = escstr(line, '"', &rest);
    if (!text) return CMD_REJECTED;
    return drawLowercaseText(text, rest);
}

// T "text" [x y] [mode]: a mode given stays in force; lastTextMode and the mode name stay.
int cmdTextKeepMode(char *line) {
    char *rest = 0;
    char *text = escstr(line, '"', &rest);
    if (!text) return CMD_REJECTED;
    int x, y;
    char word[10];
    if (sscanf(rest, "%d%d%9s", &x, &y, word) == 3) {
        gotoText(x, y);
        int mode = textModeOf(word, 0);
        if (mode >= 0) GUI_SetTextMode(mode);
    } else if (sscanf(rest, "%d%d", &x, &y) == 2) {
        gotoText(x, y);
    } else if (sscanf(rest, "%9s", word) == 1) {
        int mode = textModeOf(word, 0);
        if (mode >= 0) GUI_SetTextMode(mode);
    }
    GUI_DispString(text);
    return CMD_DONE;
}

int cmdPenSize(char *line) {
    unsigned n;
    if (scanArgs(line, &n) != 1) return CMD_REJECTED;
    unsigned most = (unsigned)(LCD_GetXSize() < LCD_GetYSize() ? LCD_GetXSize() : LCD_GetYSize());
    if (n < 1 || n > most) return CMD_REJECTED;
    GUI_SetPenSize((int)(n & 0xFF));
    return CMD_DONE;
}

void textAlignLetters(int align, char letters[2]) {
    letters[0] = "LRCX"[align & GUI_TA_HORIZONTAL];
    letters[1] = "TBLC"[(align & GUI_TA_VERTICAL) >> 2];
}

int cmdTextAlign(char *line) {
    char h, v;
    if (sscanf(line, "ta %c%c", &h, &v) != 2) {
        char reply[4] = {0, 0, '\r', 0};
        textAlignLetters(GUI_GetTextAlign(), reply);
        txNotify(reply);
        return CMD_DONE;
    }
    int ha, va;
    switch (h) {
        case 'L': case 'l': ha = GUI_TA_LEFT; break;
        case 'R': case 'r': ha = GUI_TA_RIGHT; break;
        case 'C': case 'c': ha = GUI_TA_CENTER; break;
        default: return CMD_REJECTED;
    }
    switch (v) {
        case 'T': case 't': va = GUI_TA_TOP; break;
        case 'B': case 'b': va = GUI_TA_BOTTOM; break;
        case 'L': case 'l': va = GUI_TA_BASELINE; break;
        case 'C': case 'c': va = GUI_TA_VCENTER; break;
        default: return CMD_REJECTED;
    }
    GUI_SetTextAlign(ha | va);
    return CMD_DONE;
}

int cmdDrawMode(char *line) {
    char word[10];
    if (scanArgs(line, word) != 1) return CMD_REJECTED;
    if (strcmp(word, "n") == 0) {
        GUI_SetDrawMode(GUI_DRAWMODE_NORMAL);
    } else if (strcmp(word, "x") == 0) {
        GUI_SetDrawMode(GUI_DRAWMODE_XOR);
    } else {
        return CMD_REJECTED;
    }
    return CMD_DONE;
}

int cmdColorIndex(char *line) {
    int f, b;
    if (scanArgs(line, &f, &b) != 2) return CMD_REJECTED;
    if (f < 0 || f >= COLOR_MAP_SIZE) {
        txString("Invalid Foreground Color");
        f = 0;
    }
    if (b < 0 || b >= COLOR_MAP_SIZE) {
        txString("Invalid Background Color");
        b = 0;
    }
    GUI_SetColor(color_map[f]);
    GUI_SetBkColor(color_map[b]);
    return CMD_DONE;
}

int cmdColorReport(char *line) {
    GUI_COLOR f = GUI_GetColor(), b = GUI_GetBkColor();
    snprintf(out_buffer, sizeof out_buffer, "%06lX (%04X) %06lX (%04X)\r", (unsigned long)swapRB(f),
             LCD_L0_Color2Index(f), (unsigned long)swapRB(b), LCD_L0_Color2Index(b));
    txNotify(out_buffer);
    return CMD_DONE;
}

int cmdColorSet(char *line) {
    char w1[16], w2[16];
    unsigned f, b;
    if (sscanf(line, "S %15s %15s", w1, w2) == 2 && strlen(w1) == 3 && strlen(w2) == 3) {
        GUI_SetColor(atoBGR(w1));
        GUI_SetBkColor(atoBGR(w2));
        return CMD_DONE;
    }
    if (scanArgs(line, &f, &b) != 2) return CMD_REJECTED;
    GUI_SetColor(swapRB(f & 0xFFFFFF));
    GUI_SetBkColor(swapRB(b & 0xFFFFFF));
    return CMD_DONE;
}

int cmdTextMode(char *line) {
    if (strlen(line) <= 3) {
        snprintf(out_buffer, sizeof out_buffer, "%s\r", curTextMode);
        txNotify(out_buffer);
        return CMD_DONE;
    }
    char word[10];
    if (sscanf(line, "tm %9s", word) != 1) return CMD_REJECTED;
    return setTextMode(word) ? CMD_DONE : CMD_REJECTED;
}

int cmdCursor(char *line) {
    int x, y;
    if (scanArgs(line, &x, &y) != 2) return CMD_REJECTED;
    gotoText(x, y);
    return CMD_DONE;
}

// The cursor and the border keep their place relative to the origin, but never land left of
// or above the new origin.
int cmdOrigin(char *line) {
    int x, y;
    if (sscanf(line, "o %d %d", &x, &y) != 2) {
        snprintf(out_buffer, sizeof out_buffer, "%ld %ld\r", (long)Origin_X, (long)Origin_Y);
        txString(out_buffer);
        return CMD_DONE;
    }
    // In 64 bits: the origin and the positions may be anywhere in their ranges.
    long long relX = (long long)GUI_GetDispPosX() - Origin_X;
    long long relY = (long long)GUI_GetDispPosY() - Origin_Y;
    long long relB = (long long)GUIDEMO_GetTextBorder() - Origin_X;
    Origin_X = x;
    Origin_Y = y;
    long long cx = relX + x, cy = relY + y, bx = relB + x;
    GUI_GotoXY(clampS16(cx > x ? cx : x), clampS16(cy > y ? cy : y));
    GUIDEMO_SetTextBorder(clampS16(bx > x ? bx : x));
    return CMD_DONE;
}

int cmdClearKeep(char *line) {
    int n;
    if (sscanf(line, "zs %d", &n) != 1 || n == 0) n = -1;
    GUIDEMO_Clear(n);
    return CMD_DONE;
}

// The animations go first, so that none of them draws on the new page.
int cmdClear(char *line) {
    init_animation();
    GUIDEMO_Clear(0);
    return CMD_DONE;
}

int cmdLine(char *line) {
    int x0, y0, x1, y1;
    if (scanArgs(line, &x0, &y0, &x1, &y1) != 4) return CMD_REJECTED;
    GUI_DrawLine(withOrigin(x0, Origin_X), withOrigin(y0, Origin_Y), withOrigin(x1, Origin_X),
                 withOrigin(y1, Origin_Y));
    return CMD_DONE;
}

// Fills in a colour word's colour, then puts the foreground back.
static int fillInColor(GUI_COLOR c, int x0, int y0, int x1, int y1) {
    GUI_COLOR old = GUI_SetColor(c);
    int r = GUIDEMO_DrawRect(1, x0, y0, x1, y1);
    GUI_SetColor(old);
    return r;
}

int cmdRect(char *line) {
    int x0, y0, x1, y1, m;
    char word[10];
    int n = sscanf(line, "r %d%d%d%d%d %9s", &x0, &y0, &x1, &y1, &m, word);
    if (n < 4) return CMD_REJECTED;
    x0 = withOrigin(x0, Origin_X);
    x1 = withOrigin(x1, Origin_X);
    y0 = withOrigin(y0, Origin_Y);
    y1 = withOrigin(y1, Origin_Y);
    if (n == 4) return GUIDEMO_DrawRect(0, x0, y0, x1, y1);
    if (n == 5) return GUIDEMO_DrawRect(m == 3 ? 1 : m, x0, y0, x1, y1);
    if (m == 1) return fillInColor(atoBGR(word), x0, y0, x1, y1);
    if (m == 3) {
        size_t len = strlen(word);
        if (len == 3 || len == 6)
            fillInColor(atoBGR(word), x0, y0, x1, y1);
        else
            GUIDEMO_DrawRect(1, x0, y0, x1, y1);
        return CMD_DONE;
    }
    return CMD_REJECTED;
}

int cmdTriangle(char *line) {
    int v[6];
    char word[10];
    int n = sscanf(line, "tr %d%d %d%d %d%d %9s", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], word);
    if (n != 6 && n != 7) return CMD_REJECTED;
    // In int coordinates throughout, so that corners far off screen keep the triangle's shape.
    int xs[3], ys[3];
    for (int i = 0; i < 3; ++i) {
        xs[i] = withOrigin(v[2 * i], Origin_X);
        ys[i] = withOrigin(v[2 * i + 1], Origin_Y);
    }
    if (n == 6) {
        for (int i = 0; i < 3; ++i) GUI_DrawLine(xs[i], ys[i], xs[(i + 1) % 3], ys[(i + 1) % 3]);
    } else {
        GUI_COLOR old = GUI_SetColor(atoBGR(word));
        GUI_FillPolygonInt(xs, ys, 3);
        GUI_SetColor(old);
    }
    return CMD_DONE;
}

int cmdCircle(char *line) {
    int x, y, r, fill;
    int n = sscanf(line, "c %d%d%d%d", &x, &y, &r, &fill);
    if (n < 3) return CMD_REJECTED;
    if (n == 4)
        GUI_FillCircle(withOrigin(x, Origin_X), withOrigin(y, Origin_Y), r);
    else
        GUI_DrawCircle(withOrigin(x, Origin_X), withOrigin(y, Origin_Y), r);
    return CMD_DONE;
}

int cmdFontSelect(char *line) {
    char name[10];
    if (scanArgs(line, name) != 1) return CMD_REJECTED;
    return GUIDEMO_SetFont(name) ? CMD_DONE : CMD_REJECTED;
}

int cmdState(char *line) {
    GUI_COLOR b = GUI_GetBkColor(), f = GUI_GetColor();
    int n;
    if (strncmp(line, "*STATEF", 7) == 0) {
        n = snprintf(out_buffer, sizeof out_buffer,
                     "*STATE:Bclr 0x%06lX Fclr 0x%06lX p 0x%02X line 0x%02X dm 0x%02X ta 0x%02X "
                     "tm %s oX 0x%04X oY 0x%04X X 0x%04X Y 0x%04X\r",
                     (unsigned long)b, (unsigned long)f, GUI_GetPenSize() & 0xFF,
                     GUI_GetLineStyle() & 0xFF, GUI_GetDrawMode() & 0xFF, GUI_GetTextAlign() & 0xFF,
                     curTextMode, (unsigned)Origin_X, (unsigned)Origin_Y,
                     (unsigned)GUI_GetDispPosX(), (unsigned)GUI_GetDispPosY());
    } else {
        n = snprintf(out_buffer, sizeof out_buffer,
                     "*STATE:0x%06lX 0x%06lX 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X %s 0x%04X "
                     "0x%04X 0x%04X 0x%4X\r",
                     (unsigned long)b, (unsigned long)f, GUI_GetBkColorIndex() & 0xFF,
                     GUI_GetColorIndex() & 0xFF, GUI_GetPenSize() & 0xFF, GUI_GetLineStyle() & 0xFF,
                     GUI_GetDrawMode() & 0xFF, GUI_GetTextAlign() & 0xFF, curTextMode,
                     (unsigned)Origin_X, (unsigned)Origin_Y, (unsigned)GUI_GetDispPosX(),
                     (unsigned)GUI_GetDispPosY());
    }
    // Negative positions print as eight digits and may not fit: the line still ends in CR.
    if (n >= (int)sizeof out_buffer) out_buffer[sizeof out_buffer - 2] = '\r';
    txString(out_buffer);
    return CMD_DONE;
}

int cmdPicture(char *line) {
    int which, x, y;
    if (scanArgs(line, &which, &x, &y) != 3) return CMD_REJECTED;
    const GUI_BITMAP *bm = which == 1 ? &bmbbutton_up : which == 2 ? &bmbbutton_dn : 0;
    if (!bm) return CMD_REJECTED;
    GUI_DrawBitmap(bm, withOrigin(x, Origin_X), withOrigin(y, Origin_Y));
    return CMD_DONE;
}

int cmdUtf8(char *line) {
    if (strstr(line, "on")) {
        GUI_UC_SetEncodeUTF8();
    } else if (strstr(line, "off")) {
        GUI_UC_SetEncodeNone();
    } else {
        txString(GUI_Context.pUC != &GUI_UC_None ? "utf8 on\r" : "utf8 off\r");
    }
    return CMD_DONE;
}

// Coordinates that do not fit the frame buffer's 16-bit range are refused before they wrap.
static bool fitsU16(int v) { return v >= 0 && v <= 0xFFFF; }

int cmdSaveArea(char *line) {
    int x0, y0, x1, y1, slot = 0;
    int n = scanArgs(line, &x0, &y0, &x1, &y1, &slot);
    if (n < 4) return CMD_REJECTED;
    if (!fitsU16(x0) || !fitsU16(y0) || !fitsU16(x1) || !fitsU16(y1) || slot < 0 || slot > 255)
        return CMD_REJECTED;
    return saveScreenArea((u16)x0, (u16)y0, (u16)x1, (u16)y1, (u8)slot);
}

int cmdRestoreArea(char *line) {
    int x, y, slot = 0;
    int n = scanArgs(line, &x, &y, &slot);
    if (n < 2) return CMD_REJECTED;
    if (!fitsU16(x) || !fitsU16(y) || slot < 0 || slot > 255) return CMD_REJECTED;
    return restoreScreenArea((u16)x, (u16)y, (u8)slot);
}
