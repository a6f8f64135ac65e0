// Strip charts, and the pixel/value scale they share with linear sliders and level bars.
#ifndef VMOD_KT_CHART_H
#define VMOD_KT_CHART_H

#include "../types.h"

// A linear map between a run of pixels along one axis and an integer value range.
struct ChartScale {
    s32 x0, y0;      // near end of the travel (absolute pixels, inclusive)
    s32 x1, y1;      // far end
    s32 horizontal;  // 1: the value runs along x, 0: along y
    u8 flags;        // SCALE_REVERSED
    s32 span;        // x1 - x0 when horizontal, else y1 - y0
    s32 max;
    s32 min;
    s32 extra;       // 0 for sliders; the background colour of bars and charts
};
#define SCALE_REVERSED 0x01

// Stores the fields and the span; 0 and nothing changed when horizontal is neither 0 nor 1.
int KT_Chart_Common(ChartScale *scale, s32 x0, s32 y0, s32 x1, s32 y1, s32 horizontal, s32 reversed, s32 max,
                    s32 min, s32 extra);
// The rounded value of pixel p along the scale's axis; max beyond the far end, min before the
// near end; 0 without a scale or with span 0.
s32 KT_Chart_pixel_to_value(const ChartScale *scale, s32 p);
// Offset from the near end of value v, truncated; -1 without a scale or below min, -2 above
// max, 0 when max = min. The reversed bit is not applied.
s32 KT_Chart_value_to_pixel(const ChartScale *scale, s32 v);

// ---- charts ------------------------------------------------------------------------------
#define CHART_COUNT 10
#define CHART_PENS 4

enum { CHART_SCROLL = 0, CHART_SWEEP = 1, CHART_FREE = 2 };
#define PEN_ENABLED 0x01

struct ChartPen {
    u32 colour;  // graphics colour 0x00BBGGRR
    u8 size;     // pen size in pixels
    u8 flags;    // PEN_ENABLED
    s32 last;    // pixel offset of the previous sample, -1 = none yet
};

struct Chart {
    s32 mode;                   // CHART_SCROLL, CHART_SWEEP or CHART_FREE
    ChartPen pen[CHART_PENS];
    ChartScale scale;           // the rectangle; values grow upwards from y1; extra = background
    u8 step;                    // pixels per sample
    s32 cursor;                 // sweeping: x offset of the cursor from x0
};

extern Chart chart[CHART_COUNT];

void KT_Chart_Init(void);
int KT_Chart_Setup(int n, int mode, int step, s32 x0, s32 y0, s32 x1, s32 y1, s32 min, s32 max, u32 background);
int KT_Chart_Set_Pen(int n, int pen, u32 colour, int size);
// Plots one sample of `count` pens; values[] comes back as the pixel offsets used.
int KT_Chart_Show(int n, int count, s32 *values);
// Clears the whole rectangle (whole != 0) or the strips ahead of the next sample.
void _KT_Chart_Clear(Chart *c, int whole);
void _KT_Chart_Clear_Pens(Chart *c);

#endif
