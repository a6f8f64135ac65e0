// Text layout: strings cut into lines, line widths, alignment, the cursor, and the decimal
// writers built on top.
#include <string.h>

#include "GUI_Font.h"

#define TEXT_NO_LIMIT 0x7FFFFFFF

// The character at s (at most maxLen bytes), decoded as the context says; *pLen its bytes.
static u16 nextChar(const char *s, int maxLen, int *pLen) {
    const GUI_UC_ENC *enc = GUI_Context.pUC ? GUI_Context.pUC : &GUI_UC_None;
    u16 c = enc->pfGetCharCode(s, maxLen, pLen);
    if (*pLen < 1) *pLen = 1;  // every step moves on, whatever the decoder says
    return c;
}

static bool endsLine(char c) { return c == '\n' || c == '\r' || c == '\0'; }

// Bytes of the line at s: up to a line end, the terminator or maxLen.
static int lineBytes(const char *s, int maxLen) {
    int n = 0;
    while (n < maxLen && !endsLine(s[n])) ++n;
    return n;
}

static int lineWidth(const char *s, int n) {
    const GUI_FONT *f = GUI_Context.pAFont;
    int w = 0;
    for (int i = 0; i < n;) {
        int len;
        u16 c = nextChar(s + i, n - i, &len);
        w += f->pfGetCharDistX(c);
        i += len;
    }
    return w;
}

// Draws the n bytes of one line at the cursor; the cursor ends behind them. A line wholly
// above or below the clip rectangle is only measured.
static void drawLine(const char *s, int n, int width) {
    GUI_CONTEXT &c = GUI_Context;
    const GUI_FONT *f = c.pAFont;
    int yDist = f->YDist > f->YSize ? f->YDist : f->YSize;
    int top = c.DispPosY, bottom = top + yDist * (f->YMag ? f->YMag : 1) - 1;
    if (bottom < c.ClipRect.y0 || top > c.ClipRect.y1 || c.DispPosX > c.ClipRect.x1 ||
        c.DispPosX + width < c.ClipRect.x0) {
        c.DispPosX = (s16)(c.DispPosX + width);
        return;
    }
    int end = c.DispPosX + width;
    for (int i = 0; i < n;) {
        // Past the clip rectangle's right edge nothing more shows; stopping there also keeps the
        // 16-bit cursor from wrapping round onto the screen in a very long line.
        if (c.DispPosX > c.ClipRect.x1) break;
        int len;
        u16 ch = nextChar(s + i, n - i, &len);
        f->pfDispChar(ch);
        i += len;
    }
    c.DispPosX = (s16)end;
}

void GUI_DispStringLen(const char *s, int maxLen) {
    GUI_CONTEXT &c = GUI_Context;
    if (!s || !c.pAFont || maxLen <= 0) return;
    const GUI_FONT *f = c.pAFont;
    int hAlign = c.TextAlign & GUI_TA_HORIZONTAL;
    int vAlign = c.TextAlign & GUI_TA_VERTICAL;
    int ySize = f->YSize * (f->YMag ? f->YMag : 1);
    int yUp = vAlign == GUI_TA_BOTTOM ? ySize - 1 : vAlign ? ySize / 2 : 0;
    int xStart = c.DispPosX;
    for (;;) {
        int n = lineBytes(s, maxLen);
        int w = lineWidth(s, n);
        if (hAlign == GUI_TA_RIGHT)
            c.DispPosX = (s16)(c.DispPosX - w);
        else if (hAlign == GUI_TA_CENTER)
            c.DispPosX = (s16)(c.DispPosX - w / 2);
        c.DispPosY = (s16)(c.DispPosY - yUp);
        drawLine(s, n, w);
        c.DispPosY = (s16)(c.DispPosY + yUp);
        s += n;
        maxLen -= n;
        if (maxLen <= 0 || *s == '\0') break;
        if (*s == '\n') c.DispPosY = (s16)(c.DispPosY + GUI_GetFontDistY());
        c.DispPosX = (s16)(hAlign == GUI_TA_LEFT ? c.LBorder : xStart);
        ++s;
        --maxLen;
    }
    c.TextAlign = (s16)(c.TextAlign & ~GUI_TA_HORIZONTAL);
}

void GUI_DispString(const char *s) { GUI_DispStringLen(s, TEXT_NO_LIMIT); }

void GUI_DispStringAt(const char *s, int x, int y) {
    GUI_GotoXY(x, y);
    GUI_DispString(s);
}

void GUI_DispNextLine(void) {
    GUI_Context.DispPosY = (s16)(GUI_Context.DispPosY + GUI_GetFontDistY());
    GUI_Context.DispPosX = GUI_Context.LBorder;
}

void GUI_DispChar(u16 ch) {
    GUI_CONTEXT &c = GUI_Context;
    if (!c.pAFont) return;
    if (ch == '\n') {
        GUI_DispNextLine();
        return;
    }
    if (ch == '\r') {
        c.DispPosX = c.LBorder;
        return;
    }
    int vAlign = c.TextAlign & GUI_TA_VERTICAL;
    int ySize = GUI_GetFontSizeY();
    int yUp = vAlign == GUI_TA_BOTTOM ? ySize - 1 : vAlign ? ySize / 2 : 0;
    c.DispPosY = (s16)(c.DispPosY - yUp);
    c.pAFont->pfDispChar(ch);
    c.DispPosY = (s16)(c.DispPosY + yUp);
}

void GUI_DispCharAt(u16 ch, int x, int y) {
    GUI_GotoXY(x, y);
    GUI_DispChar(ch);
}

int GUI_GetStringDistX(const char *s) {
    if (!s || !GUI_Context.pAFont) return 0;
    return lineWidth(s, lineBytes(s, TEXT_NO_LIMIT));
}

// ---- decimal writers ----------------------------------------------------------------------

#define DEC_BUF 24  // a sign, ten digits, a point, up to 255 characters asked for are cut to this

// Writes |v| as exactly `digits` digits (leading zeros; higher digits cut) ending at end;
// returns the start.
static char *digitsBackwards(char *end, u32 mag, int digits) {
    for (int i = 0; i < digits; ++i) {
        *--end = (char)('0' + mag % 10);
        mag /= 10;
    }
    return end;
}

static u32 magnitude(s32 v) { return v < 0 ? (u32)0 - (u32)v : (u32)v; }

static int digitCount(u32 m) {
    int n = 1;
    while (m >= 10) {
        m /= 10;
        ++n;
    }
    return n;
}

static int clampLen(int len) { return len > DEC_BUF - 2 ? DEC_BUF - 2 : len; }

// Formats into buf (DEC_BUF bytes): sign ('-', or '+' when forced), digits, an optional point
// `shift` digits from the right; `len` characters in all, zeros after the sign. Returns the start.
static char *formatDec(char *buf, s32 v, int len, int shift, bool forceSign) {
    char *end = buf + DEC_BUF - 1;
    *end = '\0';
    len = clampLen(len);
    if (shift > 10) shift = 10;
    bool sign = v < 0 || forceSign;
    int digits = len - (sign ? 1 : 0) - (shift ? 1 : 0);
    if (digits < shift + (shift ? 1 : 0)) digits = shift + (shift ? 1 : 0);  // "0.xx" at least
    if (digits < 1) digits = 1;
    u32 m = magnitude(v);
    char *p = end;
    if (shift) {
        p = digitsBackwards(p, m, shift);
        *--p = '.';
        for (int i = 0; i < shift; ++i) m /= 10;
        p = digitsBackwards(p, m, digits - shift);
    } else {
        p = digitsBackwards(p, m, digits);
    }
    if (sign) *--p = v < 0 ? '-' : '+';
    return p;
}

static void dispDec(s32 v, int len, int shift, bool forceSign) {
    char buf[DEC_BUF];
    GUI_DispString(formatDec(buf, v, len, shift, forceSign));
}

void GUI_DispDec(s32 v, u8 len) { dispDec(v, len, 0, false); }

void GUI_DispDecAt(s32 v, int x, int y, u8 len) {
    GUI_GotoXY(x, y);
    GUI_DispDec(v, len);
}

void GUI_DispSDec(s32 v, u8 len) { dispDec(v, len, 0, true); }

void GUI_DispDecShift(s32 v, u8 len, u8 shift) { dispDec(v, len, shift, false); }

static int minLen(s32 v) { return digitCount(magnitude(v)) + (v < 0 ? 1 : 0); }

void GUI_DispDecMin(s32 v) { dispDec(v, minLen(v), 0, false); }

// Blanks in front up to maxDigits characters, as one string so that alignment holds.
void GUI_DispDecSpace(s32 v, u8 maxDigits) {
    char num[DEC_BUF], buf[DEC_BUF];
    const char *digits = formatDec(num, v, minLen(v), 0, false);
    int blanks = clampLen(maxDigits) - minLen(v);
    int i = 0;
    for (; i < blanks; ++i) buf[i] = ' ';
    strcpy(buf + i, digits);
    GUI_DispString(buf);
}
