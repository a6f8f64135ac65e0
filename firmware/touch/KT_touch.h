// Touch input: the touch-controller driver, the sampler run by the 1 ms tick, the two-point
// calibration with its screen, and the hot-spot table.
#ifndef VMOD_KT_TOUCH_H
#define VMOD_KT_TOUCH_H

#include "../types.h"

// ---- controller access -------------------------------------------------------------------
void InitTouch(void);
u32 ReadTouchX(void);   // 10-bit X channel
u32 ReadTouchY(void);   // 10-bit Y channel
u32 ReadTouchX2(void);  // double conversion: the first (reference powering up) is thrown away
u32 ReadTouchY2(void);
void ReadTouch(u32 *x, u32 *y);
void ReadTouchZ(u32 *z1, u32 *z2);
u32 ReadTemp(int sel);  // raw 12-bit temperature channel 0 or 1
int GetPenState(void);  // 1 while the pen is down

// ---- the sampler -------------------------------------------------------------------------
#define TOUCH_WANDER_LIMIT 30  // counts a published touch may move in mode W before it is released
#define TTRACE_SIZE 100

// touchMode bits.
#define TOUCH_MODE_LATCH 0x01
#define TOUCH_MODE_PRESSURE 0x02
#define TOUCH_MODE_WANDER 0x04

// Sampler states.
enum {
    TS_IDLE = 0,
    TS_START = 2,
    TS_SAMPLE = 3,
    TS_HOLDOFF = 5,
    TS_FROZEN = 6
};

struct TouchState {
    volatile s32 x;       // Y-channel average with touchSwap 0 (it runs along the columns)
    volatile s32 y;
    volatile u8 pressed;
};

struct TtraceEntry {
    s32 a, b, c;
};

extern TouchState State;
extern volatile s32 _tState;
extern volatile u8 touchActive;
extern volatile u32 lastPress, stateX, stateY;
extern volatile u32 pMin, pMax;
extern volatile u8 Ever_touched;
extern s32 touchSeen;
extern TtraceEntry ttraceData[TTRACE_SIZE];
extern volatile s32 ttraceIndex;
extern s32 debug_touch;  // "*debug": 1 crosses at the touch, 2 also the pressure; calibration numbers

void KT_Touch_Init(void);
void KT_Update_Touch(void);  // one sampler step, from the 1 ms tick
void KT_Touch_Set_State(int pressed, int x, int y);
void KT_Touch_Get_State(int *pressed, int *x, int *y);
void KT_Touch_Info(int *press, int *pmin, int *pmax, int *tstate);
void enableTouch(int on);
int KT_Touch_ever(void);
void KT_Touch_ever_reset(void);
void ttrace(s32 a, s32 b, s32 c);
void ClearTtrace(void);
void TouchShowTtrace(void);
// Pressure figure of one sample from 10-bit readings; a Z1 of 0 (no contact) gives the
// largest figure instead of dividing by zero.
u32 touchPressure(u32 x, u32 y, u32 z1, u32 z2);

// ---- calibration -------------------------------------------------------------------------
extern u16 xyPhysMinMax[4];  // raw reading at x = 0, x = 639, y = 0, y = 479
extern s32 prMin[6], prMax[6];

s32 KT_Touch_Log2Phys(s32 L, s32 L0, s32 L1, s32 P0, s32 P1);
int KT_Touch_Calibrate(int axis, s32 L0, s32 L1, s32 P0, s32 P1);
int KT_Touch_Calibrate_from_EEPROM(void);
void KT_Touch_Calibrate_Default(void);
s32 ADC2X(s32 raw);
s32 ADC2Y(s32 raw);
void KT_GetLocation(int *x, int *y);
int KT_GetTouch(int *x, int *y);
int doCalibration(void);  // the calibration screen; 1 when a new calibration was saved
void doCalCircle(int x, int y);           // a target: black ring, white inside
void doVerifyCircle(int x, int y, int n); // a numbered red verify circle
void doCalMark(int x, int y);             // an X where the panel was touched
// Draws "(Timeout in %2d seconds) " below the calibration text whenever the whole seconds
// left on gpTimer change.
void showTimeout(void);

// ---- hot spots ---------------------------------------------------------------------------
#define HOTSPOT_COUNT 256
#define BUTTON_COUNT 128
#define FIRST_REGION 128  // the region commands and linear sliders use 128..255

// Hot-spot kinds; a disabled spot holds its kind + KIND_DISABLED.
enum {
    KIND_CLICK = 0,      // only clicks
    KIND_INVERT = 1,     // region inverted while pressed
    KIND_REGION = 2,     // plain region (also sliders)
    KIND_MOMENTARY = 3,  // momentary button
    KIND_TOGGLE = 4,     // toggle button
    KIND_DISABLED = 5,
    KIND_FREE = 10
};

// flags bits.
#define HS_REPORT_PRESS 0x01
#define HS_REPORT_RELEASE 0x02
#define HS_REPORT_ON 0x04     // no report of any kind without it
#define HS_CLICK 0x08
#define HS_REPORT_XY 0x10
#define HS_QUIET_REPEAT 0x20  // no click on auto-repeated presses
// spotState bits.
#define HS_AUTO_REPEAT 0x01
#define HS_SHOWN_PRESSED 0x02

struct HotSpot {
    u32 kind;         // 0..4 active, +5 disabled, 10 free
    s32 x0, y0;       // rectangle in absolute pixels, both corners inclusive
    s32 x1, y1;
    u8 pressMacro;    // macro started on press, 0 = none
    u8 releaseMacro;  // macro started on release, 0 = none
    u8 flags;         // HS_REPORT_*, HS_CLICK, HS_QUIET_REPEAT
    u8 spotState;     // HS_AUTO_REPEAT, HS_SHOWN_PRESSED
};

extern HotSpot TouchHotSpots[HOTSPOT_COUNT];

int KT_SearchHotSpot(int x, int y);
int KT_Touch_HotSpot_Unset(int n);
void KT_Touch_HotSpot_Clear(void);

#endif
