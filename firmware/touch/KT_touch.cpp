#include "KT_touch.h"

#include <stdio.h>
#include <string.h>

#include "../app/GUIDEMO.h"
#include "../comm/Rtosinit.h"
#include "../command/parse_command.h"
#include "../devices/KT_beep.h"
#include "../devices/KT_timer.h"
#include "../gui/GUI.h"
#include "../devices/interrupt.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_eeprom.h"
#include "../widgets/KT_slider.h"
#include "board.h"
#include "../app/GUIDEMO.h"

typedef int64_t s64;

TouchState State = {-1, -1, 0};
volatile s32 _tState;
volatile u8 touchActive;
volatile u32 lastPress, stateX, stateY;
volatile u32 pMin, pMax;
volatile u8 Ever_touched;
s32 touchSeen;
TtraceEntry ttraceData[TTRACE_SIZE];
volatile s32 ttraceIndex;
s32 debug_touch;

u16 xyPhysMinMax[4] = {0xFFFF, 0, 0xFFFF, 0};
s32 prMin[6], prMax[6];

HotSpot TouchHotSpots[HOTSPOT_COUNT];

// ---------------------------------------------------------------------------------------
// Controller access. Every operation is one chip-select cycle; the controller answers each
// control byte with the next two bytes it clocks out.

#define CTRL_X 0xD2       // X position, 12 bits, differential, reference off between conversions
#define CTRL_Y 0x92
#define CTRL_X_REF 0xD3   // the same with the reference kept powered (first of a double read)
#define CTRL_Y_REF 0x93
#define CTRL_Z1 0xBA
#define CTRL_Z2 0xCA
#define CTRL_TEMP0 0x86
#define CTRL_TEMP1 0xF6

static u32 reading12(u8 hi, u8 lo) { return ((u32)hi << 5) | ((u32)lo >> 3); }
static u32 round10(u32 r12) { return (r12 + 2) >> 2; }

static u32 convertOnce(u8 ctrl) {
    board_touch_select(1);
    board_touch_transfer(ctrl);
    u8 hi = board_touch_transfer(0);
    u8 lo = board_touch_transfer(0);
    board_touch_select(0);
    return reading12(hi, lo);
}

// The first conversion charges the reference; only the second, started while the first
// result is still being clocked out, is kept.
static u32 convertTwice(u8 first, u8 second) {
    board_touch_select(1);
    board_touch_transfer(first);
    board_touch_transfer(0);
    board_touch_transfer(second);
    u8 hi = board_touch_transfer(0);
    u8 lo = board_touch_transfer(0);
    board_touch_select(0);
    return reading12(hi, lo);
}

void InitTouch(void) { board_touch_init(); }
u32 ReadTouchX(void) { return round10(convertOnce(CTRL_X)); }
u32 ReadTouchY(void) { return round10(convertOnce(CTRL_Y)); }
u32 ReadTouchX2(void) { return round10(convertTwice(CTRL_X_REF, CTRL_X)); }
u32 ReadTouchY2(void) { return round10(convertTwice(CTRL_Y_REF, CTRL_Y)); }

void ReadTouch(u32 *x, u32 *y) {
    *x = ReadTouchX();
    *y = ReadTouchY();
}

void ReadTouchZ(u32 *z1, u32 *z2) {
    *z1 = round10(convertOnce(CTRL_Z1));
    *z2 = round10(convertOnce(CTRL_Z2));
}

u32 ReadTemp(int sel) { return convertOnce(sel ? CTRL_TEMP1 : CTRL_TEMP0); }

int GetPenState(void) { return board_touch_pen_line() == 0; }

// ---------------------------------------------------------------------------------------
// The sampler.

static u32 samples, xAvg, yAvg, xMin, xMax, yMin, yMax;
static u32 sx, sy, sz1, sz2, press, timer;

u32 touchPressure(u32 x, u32 y, u32 z1, u32 z2) {
    if (z1 == 0) return 0xFFFFFFFFu;  // no current through the sheets: no contact to speak of
    return ((y * 130) >> 2 >> 8) + ((x * (((z2 << 8) / z1) - 256)) >> 10);
}

void KT_Touch_Set_State(int pressed, int x, int y) {
    State.x = x;
    State.y = y;
    State.pressed = (u8)pressed;
}

void KT_Touch_Get_State(int *pressed, int *x, int *y) {
    if (pressed) *pressed = State.pressed;
    if (x) *x = State.x;
    if (y) *y = State.y;
}

void KT_Touch_Info(int *p, int *pmin, int *pmax, int *tstate) {
    if (p) *p = (int)lastPress;
    if (pmin) *pmin = (int)pMin;
    if (pmax) *pmax = (int)pMax;
    if (tstate) *tstate = _tState;
}

void enableTouch(int on) { _tState = on ? TS_IDLE : TS_FROZEN; }
int KT_Touch_ever(void) { return Ever_touched; }
void KT_Touch_ever_reset(void) { Ever_touched = 0; }

void ttrace(s32 a, s32 b, s32 c) {
    s32 i = ttraceIndex;
    if (i < 0 || i >= TTRACE_SIZE) return;
    ttraceData[i].a = a;
    ttraceData[i].b = b;
    ttraceData[i].c = c;
    ttraceIndex = i + 1;
}

void ClearTtrace(void) {
    memset(ttraceData, 0, sizeof ttraceData);
    ttraceIndex = 0;
}

void TouchShowTtrace(void) {
    char line[48];
    s32 n = ttraceIndex;
    if (n > TTRACE_SIZE) n = TTRACE_SIZE;
    for (s32 i = 0; i < n; ++i) {
        TtraceEntry *e = &ttraceData[i];
        if (e->a || e->b || e->c) {
            snprintf(line, sizeof line, "t %3d %3d %d\r", (int)e->a, (int)e->b, (int)e->c);
            txString(line);
        }
        e->a = e->b = e->c = 0;
    }
    ttraceIndex = 0;
}

static u32 absDiff(u32 a, u32 b) { return a > b ? a - b : b - a; }

// Two double-conversion reads; a disagreement beyond the allowed spread earns a third.
static u32 rereadChannel(u32 (*read)(void)) {
    u32 a = read();
    u32 b = read();
    if (absDiff(a, b) > eepromData.tspan) return read();
    return b;
}

static void publishTouch(u32 ax, u32 ay) {
    if (eepromData.touchSwap == 0)
        KT_Touch_Set_State(1, (int)ay, (int)ax);  // the Y channel runs along the columns
    else
        KT_Touch_Set_State(1, (int)ax, (int)ay);
}

static void startBurst(void) {
    ttrace(0, 0, 9999);
    xMin = yMin = pMin = 0xFFFF;
    xMax = yMax = pMax = 0;
    xAvg = yAvg = samples = 0;
    _tState = TS_SAMPLE;
}

static void sample(void) {
    if (!GetPenState()) {
        _tState = TS_IDLE;
        return;
    }
    sx = rereadChannel(ReadTouchX2);
    sy = rereadChannel(ReadTouchY2);
    ReadTouchZ(&sz1, &sz2);
    press = touchPressure(sx, sy, sz1, sz2);
    u8 mode = eepromData.touchMode;
    if ((mode & TOUCH_MODE_PRESSURE) && (press < eepromData.tplo || press > eepromData.tphi)) {
        _tState = TS_IDLE;
        return;
    }
    if (sx < xMin) xMin = sx;
    if (sx > xMax) xMax = sx;
    if (sy < yMin) yMin = sy;
    if (sy > yMax) yMax = sy;
    if (press < pMin) pMin = press;
    if (press > pMax) pMax = press;
    if (xMax - xMin > eepromData.tspan || yMax - yMin > eepromData.tspan) {
        ttrace(0, 0, 9996);
        _tState = TS_IDLE;
        return;
    }
    xAvg += sx;
    yAvg += sy;
    ++samples;
    if (samples < eepromData.tsamp) return;

    // samples equals tsamp here, except that a tsamp of 0 ends every burst after one sample.
    u32 ax = xAvg / samples;
    u32 ay = yAvg / samples;
    // A wandering finger in mode W is compared with the touch published before this burst,
    // and the release frees the next burst to publish where the finger went.
    if ((mode & TOUCH_MODE_WANDER) && touchActive &&
        (absDiff(stateX, ax) > TOUCH_WANDER_LIMIT || absDiff(stateY, ay) > TOUCH_WANDER_LIMIT)) {
        KT_Touch_Set_State(0, -1, -1);
        touchActive = 0;
    } else if (!(mode & TOUCH_MODE_LATCH) || !touchActive) {
        lastPress = press;
        stateX = ax;
        stateY = ay;
        touchActive = 1;
        ttrace((s32)ax, (s32)ay, 88888);
        publishTouch(ax, ay);
    }

    // A finger on a slider is measured again at once so that the knob follows it.
    u32 cx = ReadTouchX2();
    u32 cy = ReadTouchY2();
    s32 px, py;
    if (eepromData.touchSwap == 0) {
        px = ADC2X((s32)cy);
        py = ADC2Y((s32)cx);
    } else {
        px = ADC2X((s32)cx);
        py = ADC2Y((s32)cy);
    }
    if (isXYinSlider(px, py)) {
        _tState = TS_START;
    } else {
        timer = eepromData.debounce;
        _tState = TS_HOLDOFF;
    }
}

void KT_Update_Touch(void) {
    switch (_tState) {
        case TS_IDLE:
            if (!GetPenState()) {
                KT_Touch_Set_State(0, -1, -1);
                touchActive = 0;
            } else {
                Ever_touched = 1;
                _tState = TS_START;
            }
            break;
        case TS_START:
            startBurst();
            sample();
            break;
        case TS_SAMPLE:
            sample();
            break;
        case TS_HOLDOFF:
            if (timer == 0)
                _tState = TS_IDLE;
            else
                --timer;
            break;
        default:  // frozen, or a state nobody should have written
            break;
    }
}

void KT_Touch_Init(void) {
    KT_Touch_HotSpot_Clear();
    InitTouch();
    u32 x, y;
    ReadTouch(&x, &y);  // the controller's first conversion after power-up is unreliable
    KT_Touch_Calibrate_from_EEPROM();
    KT_Touch_ever_reset();
}

// ---------------------------------------------------------------------------------------
// Calibration: one linear function per axis through two reference points.

static s32 clampS32(s64 v) {
    if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
    if (v < -0x7FFFFFFF - 1) return -0x7FFFFFFF - 1;
    return (s32)v;
}

static s64 absS64(s64 v) { return v < 0 ? -v : v; }

s32 KT_Touch_Log2Phys(s32 L, s32 L0, s32 L1, s32 P0, s32 P1) {
    if (L1 == L0) return P0;
    s64 num = ((s64)L - L0) * ((s64)P1 - P0);
    return clampS32((s64)P0 + num / ((s64)L1 - L0));
}

int KT_Touch_Calibrate(int axis, s32 L0, s32 L1, s32 P0, s32 P1) {
    char msg[64];
    if (absS64((s64)P0 - P1) < 20) {
        if (debug_touch) txString("Physical diff < 20!\r\n");
        return 0;
    }
    if (absS64((s64)L0 - L1) < 20) {
        if (debug_touch) txString("Logical diff < 20!\r\n");
        return 0;
    }
    s32 last = axis == 0 ? 639 : 479;
    u16 lo = (u16)KT_Touch_Log2Phys(0, L0, L1, P0, P1);
    u16 hi = (u16)KT_Touch_Log2Phys(last, L0, L1, P0, P1);
    __ARMLIB_disableIRQ();  // the sampler converts with these
    xyPhysMinMax[axis ? 2 : 0] = lo;
    xyPhysMinMax[axis ? 3 : 1] = hi;
    __ARMLIB_enableIRQ();
    if (debug_touch) {
        snprintf(msg, sizeof msg, "%s min: %d max: %d\r\n", axis ? "Y" : "X", lo, hi);
        txString(msg);
    }
    return 1;
}

int KT_Touch_Calibrate_from_EEPROM(void) {
    if (!KT_Touch_Calibrate(0, eepromData.calXLog0, eepromData.calXLog1, eepromData.calXPhys0,
                            eepromData.calXPhys1))
        return 0;
    return KT_Touch_Calibrate(1, eepromData.calYLog0, eepromData.calYLog1, eepromData.calYPhys0,
                              eepromData.calYPhys1);
}

void KT_Touch_Calibrate_Default(void) {
    KT_Touch_Calibrate(0, 15, 304, 20, 235);
    KT_Touch_Calibrate(1, 224, 15, 235, 20);
}

static s32 adcToPixel(s32 raw, s32 rawMin, s32 rawMax, s32 last) {
    if (rawMax == rawMin) return -1;
    return (s32)(((s64)raw - rawMin) * last / ((s64)rawMax - rawMin));
}

s32 ADC2X(s32 raw) { return adcToPixel(raw, xyPhysMinMax[0], xyPhysMinMax[1], 639); }
s32 ADC2Y(s32 raw) { return adcToPixel(raw, xyPhysMinMax[2], xyPhysMinMax[3], 479); }

static int within(s32 v, u16 a, u16 b) { return a <= b ? (v >= a && v <= b) : (v >= b && v <= a); }

void KT_GetLocation(int *x, int *y) {
    *x = -1;
    *y = -1;
    if (!State.pressed) return;
    s32 rx = State.x, ry = State.y;
    if (within(rx, xyPhysMinMax[0], xyPhysMinMax[1]) && within(ry, xyPhysMinMax[2], xyPhysMinMax[3])) {
        *x = ADC2X(rx);
        *y = ADC2Y(ry);
    }
}

int KT_GetTouch(int *x, int *y) {
    KT_GetLocation(x, y);
    if (*x != -1) {
        touchSeen = 0;
        return 0;
    }
    if (touchSeen) return 0;
    touchSeen = 1;
    return 1;
}

// ---------------------------------------------------------------------------------------
// The hot-spot table.

int KT_SearchHotSpot(int x, int y) {
    if (x == -1 || y == -1) return -1;
    for (int i = 0; i < HOTSPOT_COUNT; ++i) {
        const HotSpot *h = &TouchHotSpots[i];
        if (h->kind < KIND_DISABLED && x >= h->x0 && x <= h->x1 && y >= h->y0 && y <= h->y1) return i;
    }
    return -1;
}

int KT_Touch_HotSpot_Unset(int n) {
    if (n < 0 || n >= HOTSPOT_COUNT) return 0;
    HotSpot *h = &TouchHotSpots[n];
    h->kind = KIND_FREE;
    h->pressMacro = 0;
    h->releaseMacro = 0;
    h->flags &= (u8) ~(HS_REPORT_PRESS | HS_REPORT_RELEASE | HS_REPORT_ON | HS_REPORT_XY);
    h->spotState &= (u8) ~(HS_AUTO_REPEAT | HS_SHOWN_PRESSED);
    h->x0 = h->y0 = h->x1 = h->y1 = 0;
    releaseMacroArgs(n, 1);
    releaseMacroArgs(n, 0);
    KT_Slider_Unset(KT_Slider_Find(n));  // a linear slider goes with its hot spot
    return 1;
}

void KT_Touch_HotSpot_Clear(void) {
    for (int i = 0; i < HOTSPOT_COUNT; ++i) KT_Touch_HotSpot_Unset(i);
}

// ---------------------------------------------------------------------------------------
// The calibration screen.

#define CAL_WHITE 0xFFFFFFu
#define CAL_BLACK 0x000000u
#define CAL_RED 0x0000FFu  // colours are 0x00BBGGRR
#define CAL_MARGIN 20      // targets sit this far in from the screen's corners
#define VERIFY_REACH 12    // a verify touch counts within this many pixels of the centre

static void page(void) {
    GUI_SetBkColor(CAL_WHITE);
    GUI_SetColor(CAL_BLACK);
    GUI_Clear();
}

static void textAt(const char *s, int x, int y, int align) {
    GUIDEMO_SetFont("16B");
    GUI_SetTextAlign(align);
    GUI_DispStringAt(s, x, y);
}

static void centred(const char *s, int x, int y) { textAt(s, x, y, GUI_TA_CENTER | GUI_TA_VCENTER); }

void doCalCircle(int x, int y) {
    GUI_SetColor(CAL_BLACK);
    GUI_FillCircle(x, y, 15);
    GUI_SetColor(CAL_WHITE);
    GUI_FillCircle(x, y, 11);
    GUI_SetColor(CAL_BLACK);
}

void doVerifyCircle(int x, int y, int n) {
    char t[8];
    GUI_SetTextAlign(GUI_TA_LEFT);
    GUI_SetColor(CAL_RED);
    GUI_DrawCircle(x, y, 13);
    GUI_DrawCircle(x, y, 12);
    GUI_SetColor(CAL_BLACK);
    snprintf(t, sizeof t, "%d", n);
    GUIDEMO_SetFont("16B");
    GUI_DispStringAt(t, x - 3, y - 7);
}

void doCalMark(int x, int y) {
    GUI_DrawLine(x - 5, y - 5, x + 5, y + 5);
    GUI_DrawLine(x - 5, y + 5, x + 5, y - 5);
}

// Waits (polling every 100 ms) up to ms milliseconds for State to show pressed (want 1) or released
// (want 0); 1 when it did.
static int waitState(int want, u32 ms, int countdown) {
    gpTimer = ms;
    for (;;) {
        if ((State.pressed != 0) == (want != 0)) return 1;
        if (gpTimer == 0) return 0;
        if (countdown) showTimeout();
        KT_Delay(100);
    }
}

static int doVerify(int x, int y, int n, u32 seconds) {
    doVerifyCircle(x, y, n);
    gpTimer = seconds * 1000;
    while (gpTimer) {
        int tx, ty;
        KT_GetLocation(&tx, &ty);
        if (tx != -1) {
            doCalMark(tx, ty);
            gpTimer = seconds * 1000;
            int dx = tx - x, dy = ty - y;
            if (dx >= -VERIFY_REACH && dx <= VERIFY_REACH && dy >= -VERIFY_REACH && dy <= VERIFY_REACH) {
                prMin[n + 1] = (s32)pMin;
                prMax[n + 1] = (s32)pMax;
                BeepImmediate(100);
                return 1;
            }
        }
        showTimeout();
        boardIdle();
    }
    return 0;
}

// The two "continue" waits need a fresh touch: first the pen lifted, then put down.
static void waitForFreshTouch(void) {
    while (State.pressed) KT_Delay(10);
    while (!State.pressed) KT_Delay(10);
}

static void pressureFault(const char *what, const char *label, const s32 *values, int limit) {
    char t[96];
    snprintf(t, sizeof t, ":*** CAL PRESSURE %s THAN CURRENT LIMIT ***\r", what);
    txString(t);
    snprintf(t, sizeof t, "*** CAL PRESSURE %s THAN CURRENT LIMIT ***\n", what);
    GUI_DispString(t);
    snprintf(t, sizeof t, ":Measured Pressure %s = %d %d %d %d; limit %d\r", label, (int)values[2], (int)values[3],
             (int)values[4], (int)values[5], limit);
    txString(t);
    GUI_DispString(t);
    GUI_DispString("\n\n");
}

// Every way out before the end puts the stored calibration back in force.
static int calibrationFailed(u8 savedMode, int clear) {
    eepromData.touchMode = savedMode;
    KT_Touch_Calibrate_from_EEPROM();
    GUI_SetTextAlign(GUI_TA_LEFT);
    if (clear) GUI_Clear();
    return 0;
}

int doCalibration(void) {
    const s32 OX = Origin_X, OY = Origin_Y;
    const u32 T = eepromData.tcTimeout;
    char t[96];

    GUI_SetTextMode(GUI_TM_NORMAL);
    GUI_SetPenSize(2);
    KT_Touch_Calibrate_Default();
    u8 savedMode = eepromData.touchMode;
    eepromData.touchMode = 0;  // plain sampling: the targets must be reachable whatever the mode

    if (State.pressed) {
        page();
        centred("PLEASE REMOVE FINGER\nSO CALIBRATION CAN START", 320, 180);
        if (!waitState(0, T * 500, 0)) {
            page();
            centred("ERROR - SENSOR BEING TOUCHED\nBEFORE CALIBRATION CAN START", 320, 180);
            KT_Delay(2000);
            return calibrationFailed(savedMode, 0);
        }
    }

    page();
    centred("CALIBRATING TOUCH SCREEN", 320, 180);
    doCalCircle(OX + CAL_MARGIN, OY + 459);
    textAt("Press here", OX + 40, OY + 449, GUI_TA_LEFT);
    if (!waitState(1, T * 1000, 1)) return calibrationFailed(savedMode, 1);
    s32 X1 = State.x, Y1 = State.y;
    prMin[0] = (s32)pMin;
    prMax[0] = (s32)pMax;
    BeepImmediate(100);

    GUI_Clear();
    textAt("OK", OX + 40, OY + 459, GUI_TA_LEFT);
    if (!waitState(0, T * 1000, 1)) return calibrationFailed(savedMode, 1);

    GUI_Clear();
    doCalCircle(OX + 619, OY + CAL_MARGIN);
    textAt("Press here", OX + 599, OY + CAL_MARGIN, GUI_TA_RIGHT);
    if (!waitState(1, T * 1000, 1)) return calibrationFailed(savedMode, 1);
    s32 X2 = State.x, Y2 = State.y;
    prMin[1] = (s32)pMin;
    prMax[1] = (s32)pMax;
    BeepImmediate(100);

    GUI_Clear();
    textAt("OK", OX + 599, OY + CAL_MARGIN, GUI_TA_RIGHT);
    waitState(0, T * 1000, 1);  // the new points are taken; a finger left on does not matter
    GUI_SetTextAlign(GUI_TA_LEFT);

    KT_Touch_Calibrate(0, OX + CAL_MARGIN, OX + 619, X1, X2);
    KT_Touch_Calibrate(1, OY + 459, OY + CAL_MARGIN, Y1, Y2);
    if (debug_touch) {
        snprintf(t, sizeof t, "Calibrate X args: %d %d %d %d\r", (int)(OX + CAL_MARGIN), (int)(OX + 619), (int)X1,
                 (int)X2);
        txString(t);
        snprintf(t, sizeof t, "Calibrate Y args: %d %d %d %d\r", (int)(OY + 459), (int)(OY + CAL_MARGIN), (int)Y1,
                 (int)Y2);
        txString(t);
    }

    GUI_Clear();
    centred("Touch anywhere to see alignment", 320, 180);
    centred("Then, touch circles 1 - 4", 320, 216);
    centred("to save new calibration", 320, 232);
    GUI_SetTextAlign(GUI_TA_LEFT);
    const s32 vx[4] = {OX + CAL_MARGIN, OX + CAL_MARGIN, OX + 619, OX + 619};
    const s32 vy[4] = {OY + 459, OY + CAL_MARGIN, OY + CAL_MARGIN, OY + 459};
    for (int i = 0; i < 4; ++i)
        if (!doVerify(vx[i], vy[i], i + 1, T)) return calibrationFailed(savedMode, 1);

    if (savedMode & TOUCH_MODE_PRESSURE) {
        int low = 0, high = 0;
        for (int i = 2; i <= 5; ++i) {
            if (prMin[i] < (s32)eepromData.tplo) low = 1;
            if (prMax[i] > (s32)eepromData.tphi) high = 1;
        }
        if (low || high) {
            GUI_Clear();
            GUI_SetTextAlign(GUI_TA_LEFT);
            GUIDEMO_SetFont("m10");
            GUI_SetLBorder(0);
            GUI_DispStringAt("TouchMode P (pressure) fault: \n\n", 0, 50);
            if (low) pressureFault("LESS", "Min", prMin, eepromData.tplo);
            if (high) pressureFault("MORE", "Max", prMax, eepromData.tphi);
            GUI_DispString("Touch display to continue...");
            waitForFreshTouch();
        }
    }

    if (debug_touch) {
        snprintf(t, sizeof t, "Pressure Min = %d %d %d %d\r", (int)prMin[2], (int)prMin[3], (int)prMin[4],
                 (int)prMin[5]);
        txString(t);
        snprintf(t, sizeof t, "Pressure Max = %d %d %d %d\r", (int)prMax[2], (int)prMax[3], (int)prMax[4],
                 (int)prMax[5]);
        txString(t);
        GUI_Clear();
        GUIDEMO_SetFont("16");
        GUI_SetTextAlign(GUI_TA_LEFT);
        GUI_SetLBorder(OX);
        const char *names[8] = {"XLOG0: ", "XLOG1: ", "XPHY0: ", "XPHY1: ",
                                "YLOG0: ", "YLOG1: ", "YPHY0: ", "YPHY1: "};
        const s32 values[8] = {OX + CAL_MARGIN, OX + 619, X1, X2, OY + 459, OY + CAL_MARGIN, Y1, Y2};
        GUI_GotoXY(OX, OY);
        for (int i = 0; i < 8; ++i) {
            snprintf(t, sizeof t, "%s%04d\n", names[i], (int)values[i]);
            GUI_DispString(t);
        }
        GUI_DispString("Please touch display to continue...");
        waitForFreshTouch();
    }

    eepromData.calXLog0 = OX + CAL_MARGIN;
    eepromData.calXLog1 = OX + 619;
    eepromData.calXPhys0 = X1;
    eepromData.calXPhys1 = X2;
    eepromData.calYLog0 = OY + 459;
    eepromData.calYLog1 = OY + CAL_MARGIN;
    eepromData.calYPhys0 = Y1;
    eepromData.calYPhys1 = Y2;
    eepromData.touchMode = savedMode;
    KT_EEPROM_Save();
    KT_Touch_Calibrate_from_EEPROM();
    GUI_Clear();
    centred("NEW CALIBRATION SAVED", OX + 320, OY + 240);
    KT_Delay(1000);
    GUI_SetTextAlign(GUI_TA_LEFT);
    GUI_Clear();
    return 1;
}

void showTimeout(void) {
    static s32 shown = -1;
    s32 s = (s32)(gpTimer / 1000);
    if (s == shown) return;
    shown = s;
    char t[40];
    snprintf(t, sizeof t, "(Timeout in %2d seconds) ", (int)(s + 1));
    // The count has a face of its own: the plain 16-pixel bold one, not the anti-aliased face
    // of the screen's other texts; it stays selected afterwards.
    GUIDEMO_SetFont("x16B");
    GUI_SetTextAlign(GUI_TA_CENTER | GUI_TA_VCENTER);
    GUI_DispStringAt(t, 320, 253);
    GUI_SetTextAlign(GUI_TA_LEFT);
}
