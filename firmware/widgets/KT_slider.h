// Linear and circular sliders: a knob picture that follows the finger over a background
// picture, each slider owning one hot spot (128..255) through which touches arrive.
#ifndef VMOD_KT_SLIDER_H
#define VMOD_KT_SLIDER_H

#include "../types.h"
#include "../storage/KT_extmem.h"
#include "KT_chart.h"

#define SLIDER_COUNT 8
#define FIRST_SLIDER_SPOT 128
#define LAST_SLIDER_SPOT 255

// ---- linear sliders ----------------------------------------------------------------------
struct Slider {
    s32 hotSpot;     // owning hot spot; -1 = free slot
    ChartScale scale;  // knob-centre travel and value range
    s32 knobOffset;  // knob's top (horizontal) or left edge (vertical) from the track's
    s32 knobPos;     // knob-centre pixel along the axis (absolute); -1 before the first placement
    s32 track;       // bitmap number of the background picture
    s32 knob;        // bitmap number of the knob picture
    s32 value;
};

extern Slider sliders[SLIDER_COUNT];

// Outcomes of KT_Slider_Setup; the command turns the refusals into their messages.
enum SliderSetupResult {
    SLIDER_OK = 1,
    SLIDER_BAD_INDEX = 0,   // silent
    SLIDER_FULL = -1,       // "max sliders"
    SLIDER_BAD_TRACK = -2,  // "bad background bitmap"
    SLIDER_BAD_KNOB = -3    // "bad slider bitmap"
};

void KT_Slider_Init(void);
void KT_Slider_Unset(int s);
int KT_Slider_Find(int n);
int KT_Slider_Setup(int n, int horizontal, int autoRepeat, s32 x, s32 y, s32 knobOffset, int reversed, s32 max,
                    s32 min, int trackIndex, int knobIndex);
// Moves the knob of slot s to the touched point; the new value, or 0 when nothing moved.
s32 KT_Slider_Touched(int s, int x, int y);
// "sv": the knob to the first pixel of the travel whose value reaches v. 1, or 0 when n has
// no slider, v lies outside min..max or no pixel attains it.
int KT_Slider_SetValue(int n, s32 v);
// 1 with *value when hot spot n has a linear slider (the macro token `L`).
int KT_Slider_Value(int n, s32 *value);

// ---- circular sliders --------------------------------------------------------------------
#define CIRC_WORK_SLOT SLIDER_COUNT  // the record a touch is evaluated in

enum { CIRC_DIAL = 1, CIRC_MULTITURN = 2 };

struct IntPoint {
    s32 x, y;
};
struct Polar {
    float angle;   // radians in -pi..pi, 0 = right, counter-clockwise positive
    float radius;
};

struct CircSlider {
    s32 hotSpot;        // owning hot spot; -1 = free
    s32 drawRadius;     // knob centre's distance from the background centre
    s32 maxRange;       // farthest touch from the knob centre that still moves it
    s32 max, min;
    s32 minAngle;       // dial: degrees of min
    s32 maxAngle;       // dial: degrees of max
    s32 unitsPerTurn;   // multi-turn: value units per full turn
    s32 type;           // CIRC_DIAL or CIRC_MULTITURN
    s32 startDeg;       // multi-turn: knob degrees at a whole number of turns
    s32 background;     // bitmap numbers of the pictures
    s32 knob;
    float range;        // radians from min to max
    float radPerUnit;   // range / (max - min); 0 when max = min
    s32 value;
    float radTotal;     // radians from the min position to the current one
    IntPoint touch;       // last touch, screen
    IntPoint knobCentre;  // screen
    IntPoint touchImage;  // relative to the background centre, y up
    Polar touchPolar;
    IntPoint knobImage;   // relative to the background centre, y up
    Polar knobPolar;
};

extern CircSlider circSliders[SLIDER_COUNT + 1];
extern float prev_angle, angleDif, newRadTotal;

// Outcomes of CircSliderSetup, in the order the checks are made.
enum CircSetupResult {
    CIRC_OK = 1,
    CIRC_DRAW_FAILED = 0,
    CIRC_BAD_SPOT = -1,        // ":hotspot %d out of range"
    CIRC_BAD_ANGLES = -2,      // ":minAngle %d or maxAngle %d out of range"
    CIRC_BAD_START_DEG = -3,   // ":startDeg %d out of range"
    CIRC_BAD_TYPE = -4,        // ":type %d invalid"
    CIRC_BAD_START = -5,       // ":start value %d out of range"
    CIRC_BAD_RADII = -6,       // ":drawRadius or maxRange invalid"
    CIRC_FULL = -7,            // ":max sliders defined"
    CIRC_BAD_BACKGROUND = -8,  // ":bad background bitmap"
    CIRC_BAD_KNOB = -9,        // ":bad slider bitmap"
    CIRC_KNOB_OUTSIDE = -10    // ":drawRadius %d places slider bitmap outside background bitmap"
};

void CircSliderInit(void);
void CircSliderUnset(int s);
int CircSliderFind(int n);
int CircSliderSetup(int n, int backgroundIndex, s32 x, s32 y, int knobIndex, int type, s32 max, s32 min,
                    s32 startValue, s32 unitsPerTurn, s32 maxAngle, s32 minAngle, s32 startDeg, s32 drawRadius,
                    s32 maxRange);
int CircSetVarsAndDraw(int n, s32 value);
s32 CircSliderTouched(int s, int x, int y);
int KT_CircSlider_Value(int n, s32 *value);

// Angle and coordinate helpers of the circular geometry.
float Deg2Rad(float deg);
float Rad2Deg(float rad);
float Deg2atan2(float deg);  // any number of degrees, as radians folded into -pi..pi
int RectToPolar(s32 x, s32 y, Polar *p);                  // 0 for (0, 0)
int PolarToRect(const Polar *p, s32 *x, s32 *y);          // 0 when the point is (0, 0)
int ScreenToImageCoords(const CircSlider *c, s32 x, s32 y, IntPoint *image);  // 0 outside the picture
void ImageToScreenCoords(const CircSlider *c, const IntPoint *image, IntPoint *screen);
int findQuadrant(float a);
float angleDiff(int type, float prev, float now);
s32 Rads2Val(const CircSlider *c);

// ---- shared ------------------------------------------------------------------------------
// 1 when (x, y) lies in the hot-spot rectangle of a used linear or circular slider slot.
int isXYinSlider(int x, int y);
// A press at (x, y) on hot spot n: -1 when n belongs to no slider; else the slider's knob
// follows, *value gets its value and the result is 1 when the value changed, 0 when not.
int sliderHotSpotTouched(int n, int x, int y, s32 *value);
// Draws the bitmap lying at (x, y) only inside the absolute rectangle x0..x1, y0..y1.
int BitmapRectClipAbs(const ExtMemDirEntry *e, int x, int y, int x0, int y0, int x1, int y1);

#endif
