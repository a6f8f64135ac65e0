#include "buttons.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_beep.h"
#include "../devices/lcd_driver.h"
#include "../gui/GUI_Pictures.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_bitmaps.h"
#include "../storage/KT_eeprom.h"
#include "../widgets/widget_util.h"
#include "../widgets/KT_slider.h"
#include "KT_touch.h"
#include "../app/GUIDEMO.h"

ButtonInfo buttonInfo[BUTTON_COUNT];
s32 currentSpot = -1;
s32 previousSpot = -1;
s32 tempSpot = -1;
s32 waitForRelease;
volatile s32 typematicTimer;
s32 lastHotAX, lastHotAY, lastHotRX, lastHotRY;
GUI_FONT touchfont;
const GUI_BITMAP *const kt_bmbutton_up = &bmbbutton_up;
const GUI_BITMAP *const kt_bmbutton_dn = &bmbbutton_dn;

// ---------------------------------------------------------------------------------------
// Reports to the host.

static void reportEvent(char letter, int n) {
    if (binaryResponses) {
        u8 b[2] = {(u8)(letter - 'a' + 'A'), (u8)n};
        txBinary(b, 2);
    } else {
        char t[8];
        snprintf(t, sizeof t, "%c%d\r", letter, n);
        txNotify(t);
    }
}

static void put16(u8 *p, s32 v) {
    p[0] = (u8)(v & 0xFF);
    p[1] = (u8)((v >> 8) & 0xFF);
}

static void reportXY(int n, s32 rx, s32 ry) {
    if (binaryResponses) {
        u8 b[6] = {'X', (u8)n};
        put16(b + 2, rx);
        put16(b + 4, ry);
        txBinary(b, 6);
    } else {
        char t[40];
        snprintf(t, sizeof t, "x%d %d %d\r", n, (int)rx, (int)ry);
        txNotify(t);
    }
}

static void reportToggle(int n, int state) {
    if (binaryResponses) {
        u8 b[3] = {'S', (u8)n, (u8)state};
        txBinary(b, 3);
    } else {
        char t[16];
        snprintf(t, sizeof t, "s%d %d\r", n, state);
        txNotify(t);
    }
}

static void reportSlider(int n, s32 value) {
    if (binaryResponses) {
        u8 b[4] = {'L', (u8)n};
        put16(b + 2, value);
        txBinary(b, 4);
    } else {
        char t[24];
        snprintf(t, sizeof t, "l%d:%d\r", n, (int)value);
        txNotify(t);
    }
}

static void startMacro(int n, int macro, int isPress) {
    if (macro) scheduleMacro(macro, getMacroArgs(n, isPress));
}

// ---------------------------------------------------------------------------------------
// Pictures.

// A picture from the image is looked up by its number at every draw, so that it is always the
// record of the image loaded now (none after a load that lacks it: nothing is drawn). Image
// pictures keep their own form: a transparent one leaves the screen showing through.
static void drawPicture(s32 number, int state, int x, int y, int quiet) {
    GUI_SetDrawMode(GUI_DRAWMODE_NORMAL);
    if (number) {
        const ExtMemDirEntry *e = KT_GetExtBitmap(number);
        if (quiet)
            KT_DrawBitmap(e, x, y);
        else
            KT_DrawBitmapW(e, x, y);  // redrawn while the scan crosses it, half of each state would show
        return;
    }
    const GUI_BITMAP *bm = state ? kt_bmbutton_dn : kt_bmbutton_up;
    if (!quiet) wvr(y + bm->YSize);
    GUI_DrawBitmap(bm, x, y);
}

// Draws button n in its current state: the picture, then the label of that state in the
// button's font and colour. The host's drawing state is left as it was.
static void drawButton(int n, int labelState, int quiet) {
    ButtonInfo *b = &buttonInfo[n];
    HotSpot *h = &TouchHotSpots[n];
    int s = b->state > 1 ? 0 : b->state;
    GUI_CONTEXT saved;
    GUI_SaveContext_(&saved);
    drawPicture(b->bitmap[s], s, h->x0, h->y0, quiet);
    if (b->font) KT_SetFont(b->font, &touchfont);  // the host's own font storage stays untouched
    GUI_SetColor(b->color);
    GUI_SetTextMode(GUI_TM_TRANS);
    GUI_SetTextAlign(GUI_TA_LEFT);
    GUI_SetLBorder(b->textX[0]);
    GUI_DispStringAt(b->text[labelState], b->textX[labelState], b->textY[labelState]);
    GUI_RestoreContext(&saved);
}

static void invertRect(const HotSpot *h) {
    GUI_CONTEXT saved;
    GUI_SaveContext_(&saved);
    GUI_SetDrawMode(GUI_DRAWMODE_XOR);
    GUI_FillRect(h->x0, h->y0, h->x1, h->y1);
    GUI_RestoreContext(&saved);
}

// ---------------------------------------------------------------------------------------
// Events.

void spotProcess(int n, int press, int quiet) {
    if (n < 0 || n >= HOTSPOT_COUNT) return;
    HotSpot *h = &TouchHotSpots[n];
    if (press) {
        if ((h->flags & HS_REPORT_ON) && (h->flags & HS_REPORT_PRESS) && waitForRelease == 0) {
            reportEvent('x', n);
            waitForRelease = 1;
        }
        if (!quiet) startMacro(n, h->pressMacro, 1);
    } else {
        if ((h->flags & HS_REPORT_ON) && (h->flags & HS_REPORT_RELEASE)) reportEvent('r', n);
        if (!quiet) startMacro(n, h->releaseMacro, 0);
        waitForRelease = 0;
    }
}

int updateSpot(int press, int n, int notify, int x, int y, int quiet) {
    if (n < 0 || n >= HOTSPOT_COUNT) return 0;
    HotSpot *h = &TouchHotSpots[n];
    if (n >= FIRST_REGION && h->kind != KIND_INVERT && h->kind != KIND_REGION) return 0;

    if (KT_Slider_Find(n) < 0 && CircSliderFind(n) < 0 && press && notify && beepMS != 0 && (h->flags & HS_CLICK) &&
        (!(h->flags & HS_QUIET_REPEAT) || typematicTimer == 0))
        BeepImmediate((u32)beepMS);

    if (press) {
        s32 value;
        int r = sliderHotSpotTouched(n, x, y, &value);
        if (r >= 0) {
            if (r > 0) {
                if (h->flags & HS_REPORT_ON) reportSlider(n, value);
                if (!quiet) startMacro(n, h->pressMacro, 1);
            }
            return 1;
        }
    }

    switch (h->kind) {
        case KIND_INVERT:
            invertRect(h);
            [[fallthrough]];  // otherwise a plain region
        case KIND_REGION:
            if (!notify) break;
            if (h->flags & HS_REPORT_XY) {
                if (!press) break;
                lastHotAX = x;
                lastHotAY = y;
                lastHotRX = x - h->x0;
                lastHotRY = y - h->y0;
                if (h->flags & HS_REPORT_ON) reportXY(n, lastHotRX, lastHotRY);
                if (!quiet) startMacro(n, h->pressMacro, 1);
            } else {
                spotProcess(n, press, quiet);
            }
            break;
        case KIND_MOMENTARY:
            buttonInfo[n].state = (u8)(press ? 1 : 0);
            drawButton(n, 0, quiet);
            if (notify) spotProcess(n, press, quiet);
            break;
        case KIND_TOGGLE: {
            if (!press) break;
            ButtonInfo *b = &buttonInfo[n];
            b->state = (u8)(b->state >= 1 ? 0 : 1);
            drawButton(n, b->state, quiet);
            if (notify && (h->flags & HS_REPORT_ON)) reportToggle(n, b->state);
            if (!quiet) startMacro(n, b->state ? h->pressMacro : h->releaseMacro, b->state);
            break;
        }
        default:
            break;
    }
    return 1;
}

static int repeats(const HotSpot *h) {
    return (h->spotState & HS_AUTO_REPEAT) && h->kind >= KIND_INVERT && h->kind <= KIND_MOMENTARY;
}

static void drawTouchCross(int x, int y) {
    GUI_DrawLine(x - 5, y - 5, x + 5, y + 5);
    GUI_DrawLine(x - 5, y + 5, x + 5, y - 5);
    if (debug_touch == 2) {
        char t[40];
        snprintf(t, sizeof t, "Pmin %5u; Pmax %5u", (unsigned)pMin, (unsigned)pMax);
        GUI_DispStringAt(t, 0, 0);
    }
}

void handle_touch(void) {
    int x, y;
    KT_GetTouch(&x, &y);
    bool touched = !(x == -1 && y == -1);
    if (debug_touch && touched) drawTouchCross(x, y);
    int spot = KT_SearchHotSpot(x, y);
    tempSpot = spot;
    if (!touched)
        waitForRelease = 0;
    else if (spot == -1)
        return;  // a pressed button stays pressed until the pen lifts or reaches another spot
    currentSpot = spot;
    int prev = previousSpot;

    if (spot == prev) {
        if (spot == -1) return;
        HotSpot *h = &TouchHotSpots[spot];
        if (repeats(h) && typematicTimer == 0) {
            updateSpot(0, spot, 1, x, y, 0);
            previousSpot = -1;  // the next pass presses it again
            typematicTimer = eepromData.typematicRepeat * 10;
        }
        if (isXYinSlider(x, y)) updateSpot(1, spot, 1, x, y, 0);
        return;
    }

    if (prev >= 0 && prev < HOTSPOT_COUNT && (TouchHotSpots[prev].spotState & HS_SHOWN_PRESSED)) {
        updateSpot(0, prev, 1, x, y, 0);
        TouchHotSpots[prev].spotState &= (u8)~HS_SHOWN_PRESSED;
    }
    if (spot >= 0) {
        updateSpot(1, spot, 1, x, y, 0);
        HotSpot *h = &TouchHotSpots[spot];
        h->spotState |= HS_SHOWN_PRESSED;
        if (repeats(h) && typematicTimer == 0) typematicTimer = eepromData.typematicDelay * 10;
    }
    if (prev >= 0 && prev < HOTSPOT_COUNT && repeats(&TouchHotSpots[prev])) typematicTimer = 0;
    previousSpot = spot;
}

void ButtonTimer(void) {
    if (typematicTimer) typematicTimer = typematicTimer - 1;
}

// ---------------------------------------------------------------------------------------
// Enabling and disabling.

int buttonDisable(int n) {
    if (n < 0 || n >= HOTSPOT_COUNT) return 0;
    HotSpot *h = &TouchHotSpots[n];
    if (h->kind < KIND_DISABLED) h->kind += KIND_DISABLED;
    return 1;
}

int buttonReEnable(int n, int noRedraw) {
    if (n < 0 || n >= HOTSPOT_COUNT) return 0;
    HotSpot *h = &TouchHotSpots[n];
    if (h->kind >= KIND_DISABLED && h->kind < KIND_FREE) h->kind -= KIND_DISABLED;
    if (noRedraw || n >= BUTTON_COUNT) return 1;
    if (h->kind == KIND_MOMENTARY)
        updateSpot(0, n, 0, 0, 0, 1);
    else if (h->kind == KIND_TOGGLE)
        drawButton(n, buttonInfo[n].state > 1 ? 0 : buttonInfo[n].state, 1);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Bitmap buttons.

int KT_Button_Style(int style) {
    long long magnitude = style < 0 ? -(long long)style : style;
    return magnitude > 21 ? 0 : (int)magnitude;  // 0 names no style
}

int KT_Button_IsToggle(int style) {
    int mag = KT_Button_Style(style);
    return mag == 2 || mag == 20 || mag == 21;
}

int KT_Button_IsMomentary(int style) {
    int mag = KT_Button_Style(style);
    return mag == 1 || mag == 3 || mag == 4 || mag == 5;
}

void KT_Button_Define(int n, s32 x, s32 y, int style, const char *const text[2], const int offset[4],
                      s32 up, s32 dn, int width, int height) {
    int mag = KT_Button_Style(style);
    bool toggle = KT_Button_IsToggle(style);
    ButtonInfo *bi = &buttonInfo[n];
    HotSpot *h = &TouchHotSpots[n];
    memset(bi, 0, sizeof *bi);
    // Far positions are held at the ends of int, off the screen on their side.
    bi->textX[0] = clampToInt((long long)x + offset[0]);
    bi->textY[0] = clampToInt((long long)y + offset[1]);
    snprintf(bi->text[0], BUTTON_TEXT_SIZE, "%s", text[0]);
    if (toggle) {
        bi->textX[1] = clampToInt((long long)x + offset[2]);
        bi->textY[1] = clampToInt((long long)y + offset[3]);
        snprintf(bi->text[1], BUTTON_TEXT_SIZE, "%s", text[1]);
    }
    bi->bitmap[0] = up;
    bi->bitmap[1] = dn;
    bi->font = KT_GetFontPtr();
    bi->color = GUI_GetColor();
    bi->state = (u8)(mag == 21 ? 1 : 0);

    h->x0 = x;
    h->y0 = y;
    h->x1 = clampToInt((long long)x + width);
    h->y1 = clampToInt((long long)y + height);
    h->pressMacro = 0;
    h->releaseMacro = 0;
    h->flags |= HS_REPORT_ON | HS_CLICK;
    if (toggle) {
        h->kind = KIND_TOGGLE;
    } else {
        h->kind = KIND_MOMENTARY;
        h->flags &= (u8)~HS_QUIET_REPEAT;
        if (mag == 1 || mag == 3 || mag == 5) h->flags |= HS_REPORT_PRESS;
        if (mag == 4 || mag == 5) h->flags |= HS_REPORT_RELEASE;
        if (mag == 3) h->spotState |= HS_AUTO_REPEAT;
    }
    if (toggle)
        drawButton(n, bi->state, 1);
    else
        updateSpot(0, n, 0, 0, 0, 1);
    if (style < 0) buttonDisable(n);
}
