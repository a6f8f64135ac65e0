// Linear and circular sliders.
//
// Pictures are kept by bitmap number and looked up for every drawing, so that a slider whose
// picture went with a new image load draws nothing instead of reading a stale record.
// Each knob move waits for the display scan to pass the knob, then restores the background
// under the old knob and draws the knob at its new place: nothing else is redrawn.
#include "KT_slider.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include "../devices/lcd_driver.h"
#include "../gui/GUI.h"
#include "../gui/GUI_Draw.h"
#include "../storage/KT_bitmaps.h"
#include "../touch/KT_touch.h"
#include "widget_util.h"

Slider sliders[SLIDER_COUNT];
CircSlider circSliders[SLIDER_COUNT + 1];
float prev_angle, angleDif, newRadTotal;

// ---------------------------------------------------------------------------------------
// Pictures.

int BitmapRectClipAbs(const ExtMemDirEntry *e, int x, int y, int x0, int y0, int x1, int y1) {
    if (!e) return 0;
    if (x1 < x0 || y1 < y0) return 1;
    if (e->type == EXTMEM_BITMAP_TR) {
        // The direct copy wants a rectangle inside the bitmap: cut it to the bitmap first.
        long long bx1 = (long long)x + KT_BitmapWidth(e) - 1, by1 = (long long)y + KT_BitmapHeight(e) - 1;
        long long cx0 = x0 > x ? x0 : x, cy0 = y0 > y ? y0 : y;
        long long cx1 = x1 < bx1 ? x1 : bx1, cy1 = y1 < by1 ? y1 : by1;
        if (cx0 > cx1 || cy0 > cy1) return 1;
        const ExtBitmap *r = (const ExtBitmap *)KT_ExtMem_Range(e->record, sizeof(ExtBitmap));
        return KT_DrawBitmapTrClipAbs(e, x, y, (int)cx0, (int)cy0, (int)cx1, (int)cy1,
                                      r ? (u16)extRd32(&r->extra) : 0);
    }
    bool hidden;
    GUI_RECT old = narrowClip(x0, y0, x1, y1, &hidden);
    if (hidden) return 1;
    int r = KT_DrawBitmap(e, x, y);
    GUI_SetClipRect(&old);
    return r;
}

// ---------------------------------------------------------------------------------------
// Linear sliders.

static Slider *usedSlider(int s) {
    if (s < 0 || s >= SLIDER_COUNT || sliders[s].hotSpot < 0) return 0;
    return &sliders[s];
}

void KT_Slider_Init(void) {
    memset(sliders, 0, sizeof sliders);
    for (int i = 0; i < SLIDER_COUNT; ++i) {
        sliders[i].hotSpot = -1;
        sliders[i].knobPos = -1;
    }
}

void KT_Slider_Unset(int s) {
    if (s >= 0 && s < SLIDER_COUNT) sliders[s].hotSpot = -1;
}

int KT_Slider_Find(int n) {
    if (n < 0 || n >= HOTSPOT_COUNT) return -1;
    for (int i = 0; i < SLIDER_COUNT; ++i)
        if (sliders[i].hotSpot == n) return i;
    return -1;
}

int KT_Slider_Value(int n, s32 *value) {
    int s = KT_Slider_Find(n);
    if (s < 0) return 0;
    *value = sliders[s].value;
    return 1;
}

// The hot spot of a slider: a plain reporting region over its background picture.
static void takeHotSpot(int n, long long x, long long y, int w, int h, int autoRepeat) {
    KT_Touch_HotSpot_Unset(n);
    HotSpot *spot = &TouchHotSpots[n];
    spot->kind = KIND_REGION;
    spot->flags |= HS_REPORT_ON;
    if (autoRepeat)
        spot->spotState |= HS_AUTO_REPEAT;
    else
        spot->spotState &= (u8)~HS_AUTO_REPEAT;
    spot->x0 = clampToInt(x);
    spot->y0 = clampToInt(y);
    spot->x1 = clampToInt(x + w);
    spot->y1 = clampToInt(y + h);
}

int KT_Slider_Setup(int n, int horizontal, int autoRepeat, s32 x, s32 y, s32 knobOffset, int reversed, s32 max,
                    s32 min, int trackIndex, int knobIndex) {
    if (n < FIRST_SLIDER_SPOT || n > LAST_SLIDER_SPOT) return SLIDER_BAD_INDEX;
    int s = -1;
    for (int i = 0; i < SLIDER_COUNT && s < 0; ++i)
        if (sliders[i].hotSpot == -1 || sliders[i].hotSpot == n) s = i;
    if (s < 0) return SLIDER_FULL;
    const ExtMemDirEntry *track = KT_GetExtBitmap(trackIndex);
    if (!track) return SLIDER_BAD_TRACK;
    const ExtMemDirEntry *knob = KT_GetExtBitmap(knobIndex);
    if (!knob) return SLIDER_BAD_KNOB;

    int tw = KT_BitmapWidth(track), th = KT_BitmapHeight(track);
    int kw = KT_BitmapWidth(knob), kh = KT_BitmapHeight(knob);
    takeHotSpot(n, x, y, tw, th, autoRepeat);

    Slider *sl = &sliders[s];
    // A horizontal flag other than 0 or 1 leaves no scale: such a slider reports 0.
    memset(&sl->scale, 0, sizeof sl->scale);
    sl->value = 0;
    KT_Chart_Common(&sl->scale, clampToInt((long long)x + kw / 2), clampToInt((long long)y + kh / 2),
                    clampToInt((long long)x + tw - kw / 2), clampToInt((long long)y + th - kh / 2), horizontal,
                    reversed, max, min, 0);
    sl->hotSpot = n;
    sl->knobOffset = knobOffset;
    sl->track = trackIndex;
    sl->knob = knobIndex;
    KT_DrawBitmap(track, x, y);
    sl->knobPos = -1;

    const ChartScale *sc = &sl->scale;
    if (!reversed)
        KT_Slider_Touched(s, sc->x0, sc->y0);
    else if (sc->horizontal)
        KT_Slider_Touched(s, sc->x1, sc->y0);
    else
        KT_Slider_Touched(s, sc->x0, sc->y1);
    return SLIDER_OK;
}

static s32 clampS32(s32 v, s32 lo, s32 hi) { return v < lo ? lo : v > hi ? hi : v; }

s32 KT_Slider_Touched(int s, int x, int y) {
    Slider *sl = usedSlider(s);
    if (!sl) return 0;
    const HotSpot *spot = &TouchHotSpots[sl->hotSpot];
    const ExtMemDirEntry *knob = KT_GetExtBitmap(sl->knob);
    const ExtMemDirEntry *track = KT_GetExtBitmap(sl->track);
    int kw = KT_BitmapWidth(knob), kh = KT_BitmapHeight(knob);
    const ChartScale *sc = &sl->scale;
    int horizontal = sc->horizontal;
    int touched = horizontal ? x : y;
    s32 p = touched;
    if (touched != sl->knobPos) {
        p = horizontal ? clampS32(x, sc->x0, sc->x1) : clampS32(y, sc->y0, sc->y1);
        // The knob's leading edge; a knob that would start off the screen stays where it is.
        long long lead = (long long)p - (horizontal ? kw - kw / 2 : kh - kh / 2);
        if (lead < 0) return 0;
        long long across = (long long)(horizontal ? spot->y0 : spot->x0) + sl->knobOffset;
        long long oldLead = (long long)sl->knobPos - (horizontal ? kw - kw / 2 : kh - kh / 2);
        if (horizontal)
            wvr(clampToInt(across + kh / 2));
        else
            wvr(clampToInt(sl->knobPos));
        if (sl->knobPos != -1) {
            if (horizontal)
                BitmapRectClipAbs(track, spot->x0, spot->y0, clampToInt(oldLead), clampToInt(across),
                                  clampToInt(oldLead + kw - 1), clampToInt(across + kh - 1));
            else
                BitmapRectClipAbs(track, spot->x0, spot->y0, clampToInt(across), clampToInt(oldLead),
                                  clampToInt(across + kw - 1), clampToInt(oldLead + kh - 1));
        }
        if (horizontal)
            KT_DrawBitmap(knob, (int)lead, clampToInt(across));
        else
            KT_DrawBitmap(knob, clampToInt(across), (int)lead);
    }
    sl->value = KT_Chart_pixel_to_value(sc, p);
    sl->knobPos = p;
    return sl->value;
}

int KT_Slider_SetValue(int n, s32 v) {
    int s = KT_Slider_Find(n);
    if (s < 0) return 0;
    Slider *sl = &sliders[s];
    const ChartScale *sc = &sl->scale;
    if (v < sc->min || v > sc->max) return 0;
    long long nearEnd = sc->horizontal ? sc->x0 : sc->y0, farEnd = sc->horizontal ? sc->x1 : sc->y1;
    int reversed = sc->flags & SCALE_REVERSED;
    long long from = reversed ? farEnd : nearEnd, to = reversed ? nearEnd : farEnd;
    long long dir = reversed ? -1 : 1;
    for (long long p = from; (to - p) * dir >= 0; p += dir) {
        if (KT_Chart_pixel_to_value(sc, (s32)p) < v) continue;
        // The value is taken only with a pixel for it: a refused "sv" leaves the slider as it
        // was. The knob's pixel then sets it to that pixel's value, unless the knob cannot move.
        sl->value = v;
        if (sc->horizontal)
            KT_Slider_Touched(s, (int)p, sc->y0);
        else
            KT_Slider_Touched(s, sc->x0, (int)p);
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// Circular geometry: single-precision values, double-precision steps in between.

static const double PI_D = 3.14159265358979323846;
static const float PI_F = (float)PI_D;
static const float HALF_PI_F = (float)(PI_D / 2);

float Deg2Rad(float deg) { return (float)((double)deg * PI_D / 180.0); }
float Rad2Deg(float rad) { return (float)((double)rad * 180.0 / PI_D); }

float Deg2atan2(float deg) {
    double turn = fmod((double)deg, 360.0);
    if (turn < 0) turn += 360.0;
    double rad = turn * PI_D / 180.0;
    if (rad > PI_D) rad -= 2 * PI_D;
    return (float)rad;
}

int RectToPolar(s32 x, s32 y, Polar *p) {
    if (x == 0 && y == 0) return 0;
    p->angle = (float)atan2((double)y, (double)x);
    p->radius = (float)sqrt((double)x * x + (double)y * y);
    return 1;
}

int PolarToRect(const Polar *p, s32 *x, s32 *y) {
    double r = floor((double)p->radius);
    *x = (s32)(r * cos((double)p->angle));
    *y = (s32)(r * sin((double)p->angle));
    return *x != 0 || *y != 0;
}

static const HotSpot *spotOf(const CircSlider *c) {
    return c->hotSpot >= 0 && c->hotSpot < HOTSPOT_COUNT ? &TouchHotSpots[c->hotSpot] : 0;
}

// The background picture's corner and size, as the slider's hot spot keeps them.
static void pictureBox(const CircSlider *c, long long *left, long long *top, long long *w, long long *h) {
    const HotSpot *s = spotOf(c);
    *left = s ? s->x0 : 0;
    *top = s ? s->y0 : 0;
    *w = s ? (long long)s->x1 - s->x0 : 0;
    *h = s ? (long long)s->y1 - s->y0 : 0;
}

int ScreenToImageCoords(const CircSlider *c, s32 x, s32 y, IntPoint *image) {
    long long left, top, w, h;
    pictureBox(c, &left, &top, &w, &h);
    if (x < left || x > left + w || y < top || y > top + h) return 0;
    image->x = (s32)(x - (left + w / 2));
    image->y = (s32)((top + h / 2) - y);
    return 1;
}

void ImageToScreenCoords(const CircSlider *c, const IntPoint *image, IntPoint *screen) {
    long long left, top, w, h;
    pictureBox(c, &left, &top, &w, &h);
    screen->x = clampToInt(image->x + left + w / 2);
    screen->y = clampToInt(top + h / 2 - image->y);
}

int findQuadrant(float a) {
    if (a >= 0 && a < HALF_PI_F) return 1;
    if (a >= HALF_PI_F && a < PI_F) return 2;
    if ((a >= -PI_F && a < -HALF_PI_F) || a == PI_F) return 3;
    if (a >= -HALF_PI_F && a < 0) return 4;
    return 0;
}

float angleDiff(int type, float prev, float now) {
    (void)type;
    int qp = findQuadrant(prev), qn = findQuadrant(now);
    if (qp == 0 || qn == 0 || (qp - qn == 2 || qn - qp == 2)) return 0;
    // Pi itself belongs to the third quadrant, so it takes part in the arithmetic as -pi: a
    // move from just below pi onto pi is a small step, not a whole turn.
    double p = prev == PI_F ? -PI_D : prev, n = now == PI_F ? -PI_D : now;
    if (qp == 2 && qn == 3) return (float)((p - PI_D) - (n + PI_D));
    if (qp == 3 && qn == 2) return (float)((p + PI_D) + (PI_D - n));
    return (float)(p - n);
}

s32 Rads2Val(const CircSlider *c) {
    if (c->radPerUnit == 0 || c->max <= c->min) return c->min;
    double units = (double)c->radTotal / c->radPerUnit;
    // Single-precision angles land a hair below a whole unit at the ends of the travel (the
    // maximum angle would read max - 1): such a hair counts as the whole unit.
    double whole = floor(units + 1e-4);
    if (whole > units) units = whole;
    double v = (double)c->min + (double)(long long)units;
    if (v < c->min) return c->min;
    if (v > c->max) return c->max;
    return (s32)v;
}

// ---------------------------------------------------------------------------------------
// Circular sliders.

static CircSlider *usedCircSlider(int s) {
    if (s < 0 || s >= SLIDER_COUNT || circSliders[s].hotSpot < 0) return 0;
    return &circSliders[s];
}

void CircSliderUnset(int s) {
    if (s < 0 || s >= SLIDER_COUNT) return;
    CircSlider *c = &circSliders[s];
    c->hotSpot = -1;
    c->touch = c->knobCentre = c->touchImage = c->knobImage = IntPoint{0, 0};
    c->touchPolar = c->knobPolar = Polar{0, 0};
}

void CircSliderInit(void) {
    for (int i = 0; i < SLIDER_COUNT; ++i) CircSliderUnset(i);
}

int CircSliderFind(int n) {
    for (int i = 0; i < SLIDER_COUNT; ++i)
        if (circSliders[i].hotSpot >= 0 && circSliders[i].hotSpot == n) return i;
    return -1;
}

int KT_CircSlider_Value(int n, s32 *value) {
    int s = CircSliderFind(n);
    if (s < 0) return 0;
    *value = circSliders[s].value;
    return 1;
}

// The knob at polar angle `angle` on its circle: polar, image point and screen centre.
static void placeKnob(CircSlider *c, float angle) {
    c->knobPolar.angle = angle;
    c->knobPolar.radius = (float)c->drawRadius;
    PolarToRect(&c->knobPolar, &c->knobImage.x, &c->knobImage.y);
    ImageToScreenCoords(c, &c->knobImage, &c->knobCentre);
}

static void drawKnob(const CircSlider *c, const ExtMemDirEntry *knob) {
    KT_DrawBitmap(knob, clampToInt((long long)c->knobCentre.x - KT_BitmapWidth(knob) / 2),
                  clampToInt((long long)c->knobCentre.y - KT_BitmapHeight(knob) / 2));
}

int CircSliderSetup(int n, int backgroundIndex, s32 x, s32 y, int knobIndex, int type, s32 max, s32 min,
                    s32 startValue, s32 unitsPerTurn, s32 maxAngle, s32 minAngle, s32 startDeg, s32 drawRadius,
                    s32 maxRange) {
    if (n < FIRST_SLIDER_SPOT || n > LAST_SLIDER_SPOT) return CIRC_BAD_SPOT;
    if (type == CIRC_DIAL) {
        if (minAngle < 0 || minAngle > 360 || maxAngle < 0 || maxAngle > 360) return CIRC_BAD_ANGLES;
    } else if (type == CIRC_MULTITURN) {
        if (startDeg < 0 || startDeg > 360 || unitsPerTurn < 1) return CIRC_BAD_START_DEG;
    } else {
        return CIRC_BAD_TYPE;
    }
    if (startValue < min || startValue > max) return CIRC_BAD_START;
    if (drawRadius < 1 || maxRange < 0) return CIRC_BAD_RADII;
    int s = -1;
    for (int i = 0; i < SLIDER_COUNT && s < 0; ++i)
        if (circSliders[i].hotSpot == -1 || circSliders[i].hotSpot == n) s = i;
    if (s < 0) return CIRC_FULL;
    CircSlider *c = &circSliders[s];
    const ExtMemDirEntry *bg = KT_GetExtBitmap(backgroundIndex);
    if (!bg) return CIRC_BAD_BACKGROUND;
    c->background = backgroundIndex;
    const ExtMemDirEntry *knob = KT_GetExtBitmap(knobIndex);
    if (!knob) return CIRC_BAD_KNOB;
    c->knob = knobIndex;
    int bw = KT_BitmapWidth(bg), bh = KT_BitmapHeight(bg);
    int kw = KT_BitmapWidth(knob), kh = KT_BitmapHeight(knob);
    if (drawRadius > bw / 2 - kw / 2 || drawRadius > bh / 2 - kh / 2) return CIRC_KNOB_OUTSIDE;

    takeHotSpot(n, x, y, bw, bh, 0);
    double span = (double)max - min;
    double range = type == CIRC_DIAL ? 2 * PI_D - fabs((double)Deg2Rad((float)(maxAngle - minAngle)))
                                     : span * 2 * PI_D / unitsPerTurn;
    c->hotSpot = n;
    c->drawRadius = drawRadius;
    c->maxRange = maxRange;
    c->max = max;
    c->min = min;
    c->minAngle = minAngle;
    c->maxAngle = maxAngle;
    c->unitsPerTurn = unitsPerTurn;
    c->type = type;
    c->startDeg = startDeg;
    c->range = (float)range;
    // A range of one value has no radians per unit: its knob moves, its value stays min.
    c->radPerUnit = span > 0 ? (float)(range / span) : 0;
    return CircSetVarsAndDraw(n, startValue);
}

int CircSetVarsAndDraw(int n, s32 v) {
    int s = CircSliderFind(n);
    if (s < 0) return 0;
    CircSlider *c = &circSliders[s];
    if (v < c->min || v > c->max) return 0;
    c->value = v;
    c->radTotal = (float)(((double)v - c->min) * c->radPerUnit);
    float angle;
    if (c->type == CIRC_DIAL) {
        angle = Deg2atan2((float)(c->minAngle - (double)Rad2Deg(c->radTotal)));
    } else {
        double turns = (double)v / c->unitsPerTurn;
        angle = Deg2atan2((float)(c->startDeg - (turns - floor(turns)) * 360.0));
    }
    placeKnob(c, angle);
    const HotSpot *spot = spotOf(c);
    KT_DrawBitmap(KT_GetExtBitmap(c->background), spot->x0, spot->y0);
    drawKnob(c, KT_GetExtBitmap(c->knob));
    return 1;
}

s32 CircSliderTouched(int s, int x, int y) {
    CircSlider *c = usedCircSlider(s);
    if (!c) return 0;
    const ExtMemDirEntry *knob = KT_GetExtBitmap(c->knob);
    int kw = KT_BitmapWidth(knob), kh = KT_BitmapHeight(knob);
    // Only a touch on the knob (or close to it) grabs it.
    if (llabs((long long)x - c->knobCentre.x) > (int)(kw / 1.75) ||
        llabs((long long)y - c->knobCentre.y) > (int)(kh / 1.75))
        return c->value;

    prev_angle = c->knobPolar.angle;
    CircSlider *w = &circSliders[CIRC_WORK_SLOT];
    *w = *c;
    w->touch = IntPoint{x, y};
    if (!ScreenToImageCoords(w, x, y, &w->touchImage) || !RectToPolar(w->touchImage.x, w->touchImage.y, &w->touchPolar))
        return c->value;
    double dx = (double)w->touchImage.x - w->knobImage.x, dy = (double)w->touchImage.y - w->knobImage.y;
    if (w->drawRadius <= 0 || w->maxRange <= 0 || sqrt(dx * dx + dy * dy) > w->maxRange) return c->value;
    placeKnob(w, w->touchPolar.angle);

    angleDif = angleDiff(w->type, prev_angle, w->knobPolar.angle);
    if (angleDif == 0) return c->value;
    newRadTotal = (float)((double)w->radTotal + angleDif);
    if (newRadTotal < 0) {
        if (w->type == CIRC_DIAL && newRadTotal + 2 * PI_D < w->range) {
            newRadTotal = (float)(newRadTotal + 2 * PI_D);
        } else {
            newRadTotal = 0;
            if (w->type == CIRC_DIAL) placeKnob(w, Deg2atan2((float)w->minAngle));
        }
    } else if (newRadTotal > w->range) {
        if (w->type == CIRC_DIAL && newRadTotal - 2 * PI_D > 0) {
            newRadTotal = (float)(newRadTotal - 2 * PI_D);
        } else {
            newRadTotal = w->range;
            if (w->type == CIRC_DIAL) placeKnob(w, Deg2atan2((float)w->maxAngle));
        }
    }
    w->radTotal = newRadTotal;
    w->value = Rads2Val(w);

    long long oldLeft = (long long)c->knobCentre.x - kw / 2, oldTop = (long long)c->knobCentre.y - kh / 2;
    wvr(clampToInt((long long)c->knobCentre.y + kh / 2));
    const HotSpot *spot = spotOf(c);
    BitmapRectClipAbs(KT_GetExtBitmap(c->background), spot->x0, spot->y0, clampToInt(oldLeft), clampToInt(oldTop),
                      clampToInt(oldLeft + kw - 1), clampToInt(oldTop + kh - 1));
    *c = *w;
    drawKnob(c, knob);
    return c->value;
}

// ---------------------------------------------------------------------------------------
// Touch.

static int inSpot(int n, int x, int y) {
    if (n < 0 || n >= HOTSPOT_COUNT) return 0;
    const HotSpot *h = &TouchHotSpots[n];
    return x >= h->x0 && x <= h->x1 && y >= h->y0 && y <= h->y1;
}

int isXYinSlider(int x, int y) {
    for (int i = 0; i < SLIDER_COUNT; ++i)
        if (sliders[i].hotSpot >= 0 && inSpot(sliders[i].hotSpot, x, y)) return 1;
    for (int i = 0; i < SLIDER_COUNT; ++i)
        if (circSliders[i].hotSpot >= 0 && inSpot(circSliders[i].hotSpot, x, y)) return 1;
    return 0;
}

int sliderHotSpotTouched(int n, int x, int y, s32 *value) {
    int s = KT_Slider_Find(n);
    if (s >= 0) {
        s32 before = sliders[s].value;
        KT_Slider_Touched(s, x, y);
        *value = sliders[s].value;
        return *value != before;
    }
    s = CircSliderFind(n);
    if (s >= 0) {
        s32 before = circSliders[s].value;
        *value = CircSliderTouched(s, x, y);
        return *value != before;
    }
    return -1;
}
