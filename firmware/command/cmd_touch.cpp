// Command handlers. Touch: sampling settings, calibration, traces, hot spots and buttons.
#include "handlers.h"
#include "dispatch.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_timer.h"
#include "../devices/interrupt.h"
#include "../storage/KT_bitmaps.h"
#include "../storage/KT_eeprom.h"
#include "../touch/KT_touch.h"
#include "../touch/buttons.h"
#include "../app/GUIDEMO.h"
#include "board.h"
#include "parse_command.h"

// The value after the command word, if there is one.
static int valueAfter(const char *line, size_t wordLen, long *v) {
    if (strlen(line) < wordLen) return 0;
    return sscanf(line + wordLen, "%ld", v) == 1;
}

int cmdTouchMode(char *line) {
    long v;
    if (valueAfter(line, 10, &v)) {
        eepromData.touchMode = (u8)v;
        KT_EEPROM_Save();
        return CMD_DONE;
    }
    char word[9];
    if (strlen(line) > 10 && sscanf(line + 10, "%8s", word) == 1) {
        // Letters name the bits; a letter given twice still names its bit once.
        u8 mode = 0;
        for (const char *p = word; *p; ++p) {
            if (*p == 'L') mode |= TOUCH_MODE_LATCH;
            if (*p == 'P') mode |= TOUCH_MODE_PRESSURE;
            if (*p == 'W') mode |= TOUCH_MODE_WANDER;
        }
        if (strchr(word, 'S')) mode = 0;
        eepromData.touchMode = mode;
        KT_EEPROM_Save();
        return CMD_DONE;
    }
    u8 m = eepromData.touchMode;
    char t[24];
    if (m == 0)
        snprintf(t, sizeof t, "S--- (0)\r");
    else
        snprintf(t, sizeof t, "-%c%c%c (%d)\r", (m & TOUCH_MODE_LATCH) ? 'L' : '-',
                 (m & TOUCH_MODE_PRESSURE) ? 'P' : '-', (m & TOUCH_MODE_WANDER) ? 'W' : '-', m);
    txString(t);
    return CMD_DONE;
}

int cmdTouchParm(char *line) {
    int samples, span;
    char t[48];
    if (sscanf(line, "*touchParm %d %d", &samples, &span) == 2) {
        if (samples > 20 || span > 20) {
            txString(":Values too high\r");
            return CMD_REJECTED;
        }
        eepromData.tsamp = (u8)samples;
        eepromData.tspan = (u8)span;
        snprintf(t, sizeof t, ":Samples = %d, Max span = %d\r", eepromData.tsamp, eepromData.tspan);
        txString(t);
        KT_EEPROM_Save();
        return CMD_DONE;
    }
    snprintf(t, sizeof t, ":Samples = %d, Max span = %d\r", eepromData.tsamp, eepromData.tspan);
    txString(t);
    return CMD_DONE;
}

int cmdDebounce(char *line) {
    long v;
    u32 d;
    if (valueAfter(line, 9, &v)) {
        d = (u32)v;
        memcpy(&eepromData.debounce, &d, sizeof d);
        KT_EEPROM_Save();
    }
    memcpy(&d, &eepromData.debounce, sizeof d);
    char t[32];
    snprintf(t, sizeof t, "Debounce = %lums\r", (unsigned long)d);
    txString(t);
    return CMD_DONE;
}

int cmdDebugTouch(char *line) {
    (void)line;  // accepted for old hosts; touch handling has no such switch
    return CMD_DONE;
}

int cmdPressureDebug(char *line) {
    int v;
    if (scanArgs(line, &v) != 1) return CMD_REJECTED;
    debug_touch = v;
    if (v == 2) {
        txString(":Display pressure option; font set to m10\r");
        GUIDEMO_SetFont("m10");
    }
    return CMD_DONE;
}

// ---------------------------------------------------------------------------------------
// Readings, traces and diagnostics.

int cmdGetTouch(char *line) {
    (void)line;
    u32 x, y;
    __ARMLIB_disableIRQ();  // keep the sampler's transfers out of this one
    ReadTouch(&x, &y);
    __ARMLIB_enableIRQ();
    char t[32];
    snprintf(t, sizeof t, "X=%lu, Y=%lu\r", (unsigned long)x, (unsigned long)y);
    txString(t);
    return CMD_DONE;
}

int cmdTouchedEver(char *line) {
    (void)line;
    if (KT_Touch_ever()) {
        txString("touched\r");
        KT_Touch_ever_reset();
    }
    return CMD_DONE;
}

int cmdTouchTraceClear(char *line) {
    (void)line;
    ClearTtrace();
    return CMD_DONE;
}

int cmdTouchTrace(char *line) {
    (void)line;
    TouchShowTtrace();
    return CMD_DONE;
}

// The pressure figure in signed arithmetic, as the studies show it; -1 without contact.
static s32 signedFigure(s32 x, s32 y, s32 z1, s32 z2) {
    if (z1 == 0) return -1;
    return ((y * 130) >> 2 >> 8) + ((x * (((z2 << 8) / z1) - 256)) >> 10);
}

int cmdTouchTraceTest(char *line) {
    (void)line;
    enableTouch(0);
    // The study waits for the pen as long as it takes; an ESC line from the host gives up.
    while (!GetPenState()) {
        if (hostEscaped()) {
            enableTouch(1);
            return CMD_DONE;
        }
        boardIdle();
    }
    ttrace(0, 0, 0);
    u32 z1 = 0, z2 = 0;
    for (int i = 0; i < 10; ++i) {
        s32 x = (s32)ReadTouchX2(), y = (s32)ReadTouchY2();
        ReadTouchZ(&z1, &z2);
        ttrace(x, y, signedFigure(x, y, (s32)z1, (s32)z2));
    }
    ttrace(1, 1, 1);
    for (int i = 0; i < 10; ++i) {
        KT_Delay(1);
        s32 x = (s32)ReadTouchX2(), y = (s32)ReadTouchY2();
        ttrace(x, y, signedFigure(x, y, (s32)z1, (s32)z2));
    }
    enableTouch(1);
    TouchShowTtrace();
    return CMD_DONE;
}

int cmdTouchDisplay(char *line) {
    (void)line;
    char t[64];
    snprintf(t, sizeof t, "TouchSwap = %d\r", eepromData.touchSwap);
    txString(t);
    gpTimer = 5000;
    while (gpTimer) {
        if (State.pressed) {
            snprintf(t, sizeof t, "X=%3d:Y=%3d:P=%3lu:S=%d:t%d\r", (int)State.x, (int)State.y,
                     (unsigned long)lastPress, (int)_tState, GetPenState());
            txString(t);
            gpTimer = 5000;
        }
        KT_Delay(100);
    }
    return CMD_DONE;
}

static u32 absDiff(u32 a, u32 b) { return a > b ? a - b : b - a; }

int cmdTouchRaw(char *line) {
    (void)line;
    char t[40];
    enableTouch(0);
    u32 px = 4095, py = 4095;
    gpTimer = 5000;
    while (gpTimer) {
        if (!GetPenState()) {
            KT_Delay(2);
            continue;
        }
        u32 x, y, z1, z2;
        ReadTouch(&x, &y);
        ReadTouchZ(&z1, &z2);
        if (absDiff(x, px) <= 3 && absDiff(y, py) <= 3) {
            s32 f = z1 ? ((s32)x * ((((s32)z2 << 8) / (s32)z1) - 256)) / 256 : -1;
            snprintf(t, sizeof t, "%3lu,%3lu,%5ld\r", (unsigned long)x, (unsigned long)y, (long)f);
            txString(t);
            gpTimer = 10000;
        }
        px = x;
        py = y;
        boardIdle();
    }
    enableTouch(1);
    return CMD_DONE;
}

int cmdTouchStateDisplay(char *line) {
    (void)line;
    char t[40];
    gpTimer = 6000;
    u32 last = 0;
    while (gpTimer) {
        u32 left = gpTimer;
        if (left % 100 == 0 && left != last) {
            last = left;
            snprintf(t, sizeof t, "%d %03X:%03X\r", State.pressed, (unsigned)State.x, (unsigned)State.y);
            txString(t);
        }
        boardIdle();
    }
    return CMD_REJECTED;
}

// ---------------------------------------------------------------------------------------
// Calibration.

int cmdTouchCalibrate(char *line) {
    (void)line;
    doCalibration();
    GUIDEMO_Clear(0);
    return CMD_DONE;
}

int cmdDefaultCalibration(char *line) {
    (void)line;
    KT_Touch_Calibrate_Default();
    return CMD_DONE;
}

// ---------------------------------------------------------------------------------------
// Hot spots.

// The region commands: index 128..255 and a rectangle relative to the origin. Only the bits
// named are changed; the spot is not freed first.
static HotSpot *defineRegion(const char *line, const char *pattern, u32 kind) {
    int n, x0, y0, x1, y1;
    if (sscanf(line, pattern, &n, &x0, &y0, &x1, &y1) != 5) return nullptr;
    if (n < FIRST_REGION || n >= HOTSPOT_COUNT) return nullptr;
    HotSpot *h = &TouchHotSpots[n];
    h->kind = kind;
    h->x0 = withOrigin(x0, Origin_X);
    h->y0 = withOrigin(y0, Origin_Y);
    h->x1 = withOrigin(x1, Origin_X);
    h->y1 = withOrigin(y1, Origin_Y);
    h->pressMacro = 0;
    return h;
}

static int region(const char *line, const char *pattern, u32 kind, u8 setFlags, u8 clearFlags, int repeat) {
    HotSpot *h = defineRegion(line, pattern, kind);
    if (!h) return CMD_REJECTED;
    h->flags = (u8)((h->flags | setFlags) & ~clearFlags);
    if (repeat > 0) h->spotState |= HS_AUTO_REPEAT;
    if (repeat < 0) h->spotState &= (u8)~HS_AUTO_REPEAT;
    return CMD_DONE;
}

#define REPORTING (HS_REPORT_PRESS | HS_REPORT_ON)

int cmdHotSpot(char *line) { return region(line, "x %d %d %d %d %d", KIND_INVERT, REPORTING | HS_CLICK, HS_REPORT_XY, 0); }
int cmdHotSpotRepeat(char *line) {
    return region(line, "xt %d %d %d %d %d", KIND_INVERT, REPORTING | HS_CLICK, HS_REPORT_XY | HS_QUIET_REPEAT, 1);
}
int cmdHotSpotClick(char *line) { return region(line, "xs %d %d %d %d %d", KIND_REGION, REPORTING | HS_CLICK, HS_REPORT_XY, 0); }
int cmdHotSpotNoClick(char *line) {
    return region(line, "xsnb %d %d %d %d %d", KIND_REGION, REPORTING, HS_CLICK | HS_REPORT_XY, -1);
}
int cmdHotSpotXY(char *line) {
    return region(line, "xxy %d %d %d %d %d", KIND_REGION, REPORTING | HS_CLICK | HS_REPORT_XY, 0, -1);
}
int cmdHotSpotXYNoClick(char *line) {
    return region(line, "xxynb %d %d %d %d %d", KIND_REGION, REPORTING | HS_REPORT_XY, HS_CLICK, -1);
}

int cmdHotSpotClearAll(char *line) {
    (void)line;
    KT_Touch_HotSpot_Clear();
    return CMD_DONE;
}

int cmdHotSpotClear(char *line) {
    int n;
    if (scanArgs(line, &n) != 1) return CMD_REJECTED;
    if (n < FIRST_REGION || n >= HOTSPOT_COUNT) {
        char t[48];
        snprintf(t, sizeof t, ":touch index must be %d to %d\r", FIRST_REGION, HOTSPOT_COUNT - 1);
        txString(t);
        return CMD_REJECTED;
    }
    KT_Touch_HotSpot_Unset(n);
    return CMD_DONE;
}

static int isAll(const char *s) { return strncmp(s, "all", 3) == 0; }

int cmdHotSpotDisable(char *line) {
    int first, last;
    int got = sscanf(line, "xd %d %d", &first, &last);
    if (got == 2) {
        for (int i = first; i <= last; ++i)
            if (!buttonDisable(i)) return CMD_REJECTED;
        return CMD_DONE;
    }
    if (got == 1) return buttonDisable(first) ? CMD_DONE : CMD_REJECTED;
    if (line[2] == ' ' && isAll(line + 3)) {
        enableTouch(0);
        return CMD_DONE;
    }
    return CMD_REJECTED;
}

int cmdHotSpotEnable(char *line) {
    int noRedraw = line[2] == 's';
    const char *args = line + (noRedraw ? 3 : 2);
    int first, last;
    int got = sscanf(args, "%d %d", &first, &last);
    if (got == 2) {
        for (int i = first; i <= last; ++i)
            if (!buttonReEnable(i, noRedraw)) return CMD_REJECTED;
        return CMD_DONE;
    }
    if (got == 1) return buttonReEnable(first, noRedraw) ? CMD_DONE : CMD_REJECTED;
    while (*args == ' ') ++args;
    if (isAll(args)) enableTouch(1);
    return CMD_DONE;
}

int cmdHotSpotsOff(char *line) {
    (void)line;
    for (int i = 0; i < HOTSPOT_COUNT; ++i) TouchHotSpots[i].flags &= (u8)~HS_REPORT_ON;
    return CMD_DONE;
}

int cmdHotSpotFlags(char *line) {
    int n;
    char c1 = 0, c2 = 0;
    int got = sscanf(line, "xset %d %c%c", &n, &c1, &c2);
    if (got < 2 || n < 0 || n >= HOTSPOT_COUNT) return CMD_REJECTED;
    HotSpot *h = &TouchHotSpots[n];
    int set = 1;
    char letter = c1;
    if (c1 == '+' || c1 == '-') {
        if (got < 3) return CMD_REJECTED;
        set = c1 == '+';
        letter = c2;
    }
    if (letter >= '1' && letter <= '5' && letter == c1) {
        // A digit chooses the kind: 1 a clicking region, 2 inverting, 3 plain, 4 momentary,
        // 5 toggle; a disabled spot stays disabled.
        u32 kind = (u32)(letter - '1');
        if (h->kind == KIND_FREE) return CMD_REJECTED;
        h->kind = h->kind >= KIND_DISABLED ? kind + KIND_DISABLED : kind;
        return CMD_DONE;
    }
    u8 *field = &h->flags;
    u8 bit;
    switch (letter) {
        case 'T': bit = HS_QUIET_REPEAT; break;
        case 'b': bit = HS_CLICK; break;
        case 'p': bit = HS_REPORT_PRESS; break;
        case 'r': bit = HS_REPORT_RELEASE; break;
        case 'x': bit = HS_REPORT_XY; break;
        case 't':
            bit = HS_AUTO_REPEAT;
            field = &h->spotState;
            break;
        default: return CMD_REJECTED;
    }
    if (set)
        *field |= bit;
    else
        *field &= (u8)~bit;
    return CMD_DONE;
}

// ---------------------------------------------------------------------------------------
// Buttons.

// The picture of one state: the bitmap number when it names a bitmap of the image, else 0
// for the built-in picture; with its size.
static s32 pictureOf(int given, int index, int state, int *w, int *h) {
    const ExtMemDirEntry *e = given ? KT_GetExtBitmap(index) : nullptr;
    if (e) {
        *w = KT_BitmapWidth(e);
        *h = KT_BitmapHeight(e);
        return index;
    }
    const GUI_BITMAP *bm = state ? kt_bmbutton_dn : kt_bmbutton_up;
    *w = bm->XSize;
    *h = bm->YSize;
    return 0;
}

// "bd n x y style "label" ["label"] dx dy [dx dy] [up [down]]": a bitmap button; toggles take
// two labels and two offsets. Stored bitmaps up and down replace the built-in pictures.
int cmdDefineButton(char *line) {
    int n, x, y, style;
    int skip = 0;  // the labels follow the four numbers
    if (sscanf(line, "bd %d%d%d%d%n", &n, &x, &y, &style, &skip) < 4) return CMD_REJECTED;
    if (n < 0 || n >= BUTTON_COUNT) return CMD_REJECTED;
    KT_Touch_HotSpot_Unset(n);
    bool toggle = KT_Button_IsToggle(style);
    if (!toggle && !KT_Button_IsMomentary(style)) {
        txString("Err: invalid <type>\r");
        return CMD_REJECTED;
    }
    const char *missing = toggle ? "Err: missing state arguments\r" : "Err: missing button arguments\r";
    if (skip <= 0) {
        txString(missing);
        return CMD_REJECTED;
    }
    char *rest = line + skip;
    const char *text[2] = {escstr(rest, '"', &rest), nullptr};
    if (text[0] && toggle) text[1] = escstr(rest, '"', &rest);
    if (!text[0] || (toggle && !text[1])) {
        txString(missing);
        return CMD_REJECTED;
    }
    int v[6];
    int got = sscanf(rest ? rest : "", "%d %d %d %d %d %d", &v[0], &v[1], &v[2], &v[3], &v[4], &v[5]);
    int offsets = toggle ? 4 : 2;
    if (got < offsets) {
        txString(missing);
        return CMD_REJECTED;
    }
    int upW, upH, dnW, dnH;
    s32 up = pictureOf(got > offsets, v[offsets], 0, &upW, &upH);
    s32 dn = pictureOf(got > offsets + 1, v[offsets + 1], 1, &dnW, &dnH);
    if (upW < 1 || upH < 1 || dnW < 1 || dnH < 1) {
        txString("Err: bitmap dimension less than 1\r");
        return CMD_REJECTED;
    }
    if (upW != dnW) {
        txString("Err: bitmaps have different width\r");
        return CMD_REJECTED;
    }
    if (upH != dnH) {
        txString("Err: bitmaps have different height\r");
        return CMD_REJECTED;
    }
    KT_Button_Define(n, withOrigin(x, Origin_X), withOrigin(y, Origin_Y), style, text, v, up, dn, upW, upH);
    return CMD_DONE;
}

int cmdButtonClear(char *line) {
    int n;
    if (scanArgs(line, &n) != 1 || n < 0 || n >= BUTTON_COUNT) return CMD_REJECTED;
    KT_Touch_HotSpot_Unset(n);
    return CMD_DONE;
}

int cmdButtonState(char *line) {
    int n, s;
    if (scanArgs(line, &n, &s) != 2) return CMD_REJECTED;
    if ((s != 0 && s != 1) || n < 0 || n >= BUTTON_COUNT) return CMD_REJECTED;
    HotSpot *h = &TouchHotSpots[n];
    if (h->kind == KIND_FREE) return CMD_DONE;
    if (h->kind >= KIND_DISABLED) {
        buttonInfo[n].state = (u8)s;
        return CMD_DONE;
    }
    buttonInfo[n].state = (u8)(1 - s);
    updateSpot(1, n, 0, 0, 0, 0);
    return CMD_DONE;
}
