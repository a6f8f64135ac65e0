// Level bars: a filled bar graph of up to three coloured zones over a background colour.
#ifndef VMOD_KT_LEVELBAR_H
#define VMOD_KT_LEVELBAR_H

#include "../types.h"
#include "KT_chart.h"

#define LEVELBAR_COUNT 32
#define LEVELBAR_ZONES 3

struct LevelBar {
    s32 defined;                 // 1 = defined, 0 = free
    ChartScale scale;            // the rectangle; extra = background colour
    u8 zoneCount;                // 0..LEVELBAR_ZONES
    u32 zoneColour[LEVELBAR_ZONES];  // in the order added, top zone first
    s32 zoneTop[LEVELBAR_ZONES];     // pixel offset from the base of each zone's upper value
};

extern LevelBar LevelBars[LEVELBAR_COUNT];

void KT_LevelBar_Init(void);
int KT_LevelBar_Setup(int n, int defined, int horizontal, int reversed, s32 x0, s32 y0, s32 x1, s32 y1, s32 min,
                      u32 background);
// The first zone sets the bar's max; later zones lie within min..max.
int KT_LevelBar_Add_Color(int n, u32 colour, s32 value);
int KT_LevelBar_Show(int n, s32 value);
// Fills the pixel offsets from..to (inclusive) from the bar's base in colour.
void _KT_LevelBar_draw(int n, s32 from, s32 to, u32 colour);

#endif
