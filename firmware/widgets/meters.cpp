// Meters.
//
// The needle is kept as defined, turned once to the definition value; every move turns that
// copy by the angle between the two values, so the error of the integer points never
// accumulates. Degrees become radians with 3.1415 / 180, as the module always has.
#include "meters.h"

#include <math.h>
#include <string.h>

#include "../devices/lcd_driver.h"
#include "../gui/GUI_Circle.h"
#include "../gui/GUI_Draw.h"
#include "../gui/GUI_Polygon.h"
#include "../gui/LCD.h"
#include "../storage/KT_bitmaps.h"
#include "KT_slider.h"

Meter meters[METER_COUNT];

static const double DEG_TO_RAD = 3.1415 / 180;

// 0..359 for any number of degrees.
static long long mod360(long long a) { return ((a % 360) + 360) % 360; }

// Degrees the needle sweeps from min to max: equal angles sweep the whole circle.
static long long sweepOf(const Meter *m) {
    long long s = mod360((long long)m->minAngle - m->maxAngle);
    return s == 0 ? 360 : s;
}

// The share of the range from min to v; a range of a single value has none.
static double shareOf(const Meter *m, s32 v) {
    double span = (double)m->max - m->min;
    return span > 0 ? ((double)v - m->min) / span : 0;
}

// Stored degrees at which value v points.
static double angleOf(const Meter *m, s32 v) { return m->minAngle - sweepOf(m) * shareOf(m, v); }

static s16 toS16(long long v) { return (s16)(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

// The host's degrees a are kept as 360 - a; angles outside 0..360 keep their direction.
static s32 storedAngle(s32 a) {
    long long s = 360 - (long long)a;
    return (s32)(s < 0 || s > 360 ? mod360(s) : s);
}

static void fillNeedle(const Meter *m, const GUI_POINT *pts, s16 box[4]) {
    GUI_FillPolygon(pts, m->pointCount, m->pivotX, m->pivotY);
    long long x0 = m->pivotX, y0 = m->pivotY, x1 = m->pivotX, y1 = m->pivotY;
    for (int i = 0; i < m->pointCount; ++i) {
        long long x = (long long)m->pivotX + pts[i].x, y = (long long)m->pivotY + pts[i].y;
        if (x < x0) x0 = x;
        if (x > x1) x1 = x;
        if (y < y0) y0 = y;
        if (y > y1) y1 = y;
    }
    box[0] = toS16(x0);
    box[1] = toS16(y0);
    box[2] = toS16(x1);
    box[3] = toS16(y1);
}

// The arc angle of a band end: value v's angle turned as the band arithmetic has it.
static s32 bandAngle(const Meter *m, s32 v) { return (s32)mod360((long long)floor(angleOf(m, v)) + 270); }

static void drawBand(const Meter *m) {
    GUI_SetPenSize(m->bandWidth);
    GUI_COLOR old = GUI_SetColor(m->bandColour);
    // The band ends are kept a quarter turn on from the needle's degrees; the arc call
    // counts from 3 o'clock like the needle, so it gets them turned back.
    GL_DrawArc(m->pivotX, m->pivotY, m->bandRadius, 0, m->bandEnd + 90, m->bandStart + 90);
    GUI_SetColor(old);
}

int meterDefine(const MeterDefinition *d) {
    if (d->index < 0 || d->index >= METER_COUNT) return METER_BAD_INDEX;
    const ExtMemDirEntry *dial = KT_GetExtBitmap(d->bitmap);
    if (!dial) return METER_BAD_BITMAP;
    if (d->initial < d->min || d->initial > d->max) return METER_BAD_INITIAL;

    Meter *m = &meters[d->index];
    m->minAngle = storedAngle(d->minAngle);
    m->maxAngle = storedAngle(d->maxAngle);
    int count = d->pointCount < METER_MIN_POINTS ? METER_MIN_POINTS
                : d->pointCount > METER_MAX_POINTS ? METER_MAX_POINTS : d->pointCount;
    m->pointCount = (u8)count;
    m->x = d->x;
    m->y = d->y;
    m->colour[0] = m->colour[1] = GUI_GetColor();
    m->max = d->max;
    m->min = d->min;
    m->defValue = d->initial;
    m->bitmap = d->bitmap;
    if (d->band) {
        m->bandLow = d->bandLow;
        m->bandHigh = d->bandHigh;
        m->bandRadius = d->bandRadius;
        m->bandWidth = d->bandWidth;
        m->bandColour = d->bandColour;
        m->bandColour2 = d->bandColour2;
    } else {
        m->bandColour = METER_NO_BAND;
    }
    m->pivotX = toS16((long long)d->x + d->pivotDx);
    m->pivotY = toS16((long long)d->y + d->pivotDy);
    for (int i = 0; i < count; ++i) {
        m->needle[i].x = toS16(d->points[2 * i]);
        m->needle[i].y = toS16(d->points[2 * i + 1]);
    }

    KT_DrawBitmap(dial, m->x, m->y);

    if (d->band) {
        if (m->bandWidth < 1 || m->bandWidth > LCD_GetXSize() || m->bandWidth > LCD_GetYSize())
            return METER_BAD_PEN;
        m->bandStart = bandAngle(m, m->bandLow);
        m->bandEnd = bandAngle(m, m->bandHigh);
        if (m->bandStart < m->bandEnd) m->bandEnd -= 360;
        drawBand(m);
    }

    GUI_RotatePolygon(m->needle, m->needle, count, (float)(angleOf(m, m->defValue) * DEG_TO_RAD));
    fillNeedle(m, m->needle, m->box);
    m->shown = m->defValue;
    return METER_OK;
}

int meterValue(int index, s32 value) {
    if (index < 0 || index >= METER_COUNT) return 0;
    Meter *m = &meters[index];
    if (value < m->min || value > m->max) return 0;
    const ExtMemDirEntry *dial = KT_GetExtBitmap(m->bitmap);
    if (!dial) return 0;
    if (value == m->shown) return 1;

    double span = (double)m->max - m->min;
    double degrees = span > 0 ? sweepOf(m) / span * ((double)m->defValue - value) : 0;
    GUI_POINT turned[METER_MAX_POINTS];
    int count = m->pointCount > METER_MAX_POINTS ? METER_MAX_POINTS : m->pointCount;
    GUI_RotatePolygon(turned, m->needle, count, (float)(degrees * DEG_TO_RAD));

    GUI_COLOR old = GUI_SetColor(m->colour[0]);
    wvr(m->box[1] + 40);
    BitmapRectClipAbs(dial, m->x, m->y, m->box[0], m->box[1], m->box[2], m->box[3]);
    fillNeedle(m, turned, m->box);
    GUI_SetColor(old);
    m->shown = value;
    return 1;
}
