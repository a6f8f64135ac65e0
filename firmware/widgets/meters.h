// Meters: a dial picture with a filled polygon needle turning about a pivot, and an optional
// coloured arc band marking a value range. Not touch-sensitive.
#ifndef VMOD_METERS_H
#define VMOD_METERS_H

#include "../types.h"
#include "../gui/GUI.h"

#define METER_COUNT 8
#define METER_MIN_POINTS 3
#define METER_MAX_POINTS 10
#define METER_NO_BAND 0xFFFFFFFFu

struct Meter {
    s32 x, y;                             // top-left corner of the dial picture (absolute)
    s32 bitmap;                           // bitmap number of the dial picture
    s16 pivotX, pivotY;                   // needle pivot (absolute)
    GUI_POINT needle[METER_MAX_POINTS];   // relative to the pivot, turned to defValue
    u8 pointCount;
    u32 colour[2];                        // needle colour (the current colour at definition)
    s32 defValue;                         // the value the stored needle points at
    s32 shown;                            // the value last drawn
    s32 minAngle, maxAngle;               // degrees, stored as 360 minus the host's
    s32 min, max;
    s16 box[4];                           // x0, y0, x1, y1 of the last needle, pivot included
    s32 bandLow, bandHigh;                // band value range
    s32 bandStart, bandEnd;               // band arc in degrees, as computed for the arc call
    s32 bandRadius;
    s32 bandWidth;                        // arc pen width
    u32 bandColour;                       // METER_NO_BAND when the meter has none
    u32 bandColour2;                      // stored, not used
};

extern Meter meters[METER_COUNT];

// A meter definition as "md" and "mdb" give it; coordinates already absolute.
struct MeterDefinition {
    int index, bitmap;
    s32 x, y;
    s32 min, max, initial;
    s32 minAngle, maxAngle;  // the host's degrees
    s32 pivotDx, pivotDy;
    int pointCount;          // METER_MIN_POINTS..METER_MAX_POINTS
    s32 points[2 * METER_MAX_POINTS];
    int band;                // 1 for "mdb"
    s32 bandLow, bandHigh, bandRadius, bandWidth;
    u32 bandColour, bandColour2;
};

// Outcomes of meterDefine; the command turns the refusals into their messages.
enum MeterResult {
    METER_OK = 1,
    METER_BAD_INDEX = -1,    // ": index %d > max %d"
    METER_BAD_BITMAP = -2,   // ": bitmap %d invalid"
    METER_BAD_INITIAL = -3,  // ":Initial value out of range"
    METER_BAD_PEN = -4       // ": pen width out of range" (the dial is drawn already)
};

int meterDefine(const MeterDefinition *definition);
// Turns the needle to value: 1 (also when it is shown already), 0 for an index outside
// 0..METER_COUNT-1, a value outside min..max or a dial picture that no longer exists.
int meterValue(int index, s32 value);

#endif
