// Strip charts and the shared pixel/value scale.
//
// Chart rectangles come from the host unchecked, so every sum of coordinates is taken in 64
// bits and every drawing call is clipped to the chart's own rectangle: a step wider than the
// chart, or a rectangle far off the screen, draws nothing outside it.
#include "KT_chart.h"

#include <string.h>

#include "../gui/GUI.h"
#include "../gui/GUI_Draw.h"
#include "../gui/LCD.h"
#include "widget_util.h"

Chart chart[CHART_COUNT];

// ---------------------------------------------------------------------------------------
// The scale.

int KT_Chart_Common(ChartScale *scale, s32 x0, s32 y0, s32 x1, s32 y1, s32 horizontal, s32 reversed, s32 max,
                    s32 min, s32 extra) {
    if (!scale || (horizontal != 0 && horizontal != 1)) return 0;
    scale->x0 = x0;
    scale->y0 = y0;
    scale->x1 = x1;
    scale->y1 = y1;
    scale->horizontal = horizontal;
    scale->flags = (u8)(reversed ? SCALE_REVERSED : 0);
    // The span is kept in 32 bits like the ends; ends that far apart have no pixel to show.
    scale->span = clampToInt(horizontal ? (long long)x1 - x0 : (long long)y1 - y0);
    scale->max = max;
    scale->min = min;
    scale->extra = extra;
    return 1;
}

s32 KT_Chart_pixel_to_value(const ChartScale *scale, s32 p) {
    if (!scale) return 0;
    s32 nearEnd = scale->horizontal ? scale->x0 : scale->y0;
    s32 farEnd = scale->horizontal ? scale->x1 : scale->y1;
    if (p > farEnd) return scale->max;
    if (p < nearEnd) return scale->min;
    long long d = (long long)p - nearEnd;
    if (scale->span == 0) return 0;
    int reversed = scale->flags & SCALE_REVERSED;
    if (d == 0) return reversed ? scale->max : scale->min;
    if (d == scale->span) return reversed ? scale->min : scale->max;
    // A rounded proportion: the doubled share truncated, plus one, halved downwards.
    long long share = (mulDivTrunc((long long)scale->max - scale->min, 2 * d, scale->span) + 1) >> 1;
    return (s32)(reversed ? scale->max - share : scale->min + share);
}

s32 KT_Chart_value_to_pixel(const ChartScale *scale, s32 v) {
    if (!scale || v < scale->min) return -1;
    if (v > scale->max) return -2;
    if (scale->max == scale->min) return 0;
    return (s32)mulDivTrunc((long long)v - scale->min, scale->span, (long long)scale->max - scale->min);
}

// ---------------------------------------------------------------------------------------
// Charts.

static Chart *usedChart(int n) {
    if (n < 0 || n >= CHART_COUNT || chart[n].mode == CHART_FREE) return 0;
    return &chart[n];
}

void _KT_Chart_Clear_Pens(Chart *c) {
    for (int i = 0; i < CHART_PENS; ++i) {
        c->pen[i].flags &= (u8)~PEN_ENABLED;
        c->pen[i].last = -1;
    }
}

void KT_Chart_Init(void) {
    memset(chart, 0, sizeof chart);
    for (int i = 0; i < CHART_COUNT; ++i) {
        chart[i].mode = CHART_FREE;
        _KT_Chart_Clear_Pens(&chart[i]);
    }
}

// Columns x0..x1 of the chart's full height in its background colour; the host's background
// colour is left as it was.
static void clearColumns(const Chart *c, long long x0, long long x1) {
    if (x1 > c->scale.x1) x1 = c->scale.x1;
    if (x0 > x1) return;
    GUI_COLOR bk = GUI_SetBkColor((GUI_COLOR)c->scale.extra);
    GUI_ClearRect(GUI_ClampCoord(x0), GUI_ClampCoord(c->scale.y0), GUI_ClampCoord(x1), GUI_ClampCoord(c->scale.y1));
    GUI_SetBkColor(bk);
}

void _KT_Chart_Clear(Chart *c, int whole) {
    long long x0 = c->scale.x0, x1 = c->scale.x1, step = c->step;
    if (whole) {
        clearColumns(c, x0, x1);
    } else if (c->mode == CHART_SCROLL) {
        clearColumns(c, x0, x0 + step);
    } else {
        // Two strips ahead of the cursor, wrapping to the left edge; the last strip before
        // the right edge reaches the edge.
        long long off = c->cursor;
        for (int i = 0; i < 2; ++i) {
            off += step;
            if (x0 + off + step > x1) off = 0;
            clearColumns(c, x0 + off, x0 + off + 2 * step > x1 ? x1 : x0 + off + step);
        }
    }
}

int KT_Chart_Setup(int n, int mode, int step, s32 x0, s32 y0, s32 x1, s32 y1, s32 min, s32 max, u32 background) {
    if (n < 0 || n >= CHART_COUNT || (mode != CHART_SCROLL && mode != CHART_SWEEP)) return 0;
    Chart *c = &chart[n];
    orderCorners(&x0, &y0, &x1, &y1);
    c->cursor = 0;
    c->mode = mode;
    c->step = (u8)step;
    KT_Chart_Common(&c->scale, x0, y0, x1, y1, 0, 1, max, min, (s32)background);
    _KT_Chart_Clear(c, 1);
    _KT_Chart_Clear_Pens(c);
    return 1;
}

int KT_Chart_Set_Pen(int n, int pen, u32 colour, int size) {
    Chart *c = usedChart(n);
    if (!c || pen < 0 || pen >= CHART_PENS) return 0;
    ChartPen *p = &c->pen[pen];
    p->colour = colour;
    p->size = (u8)size;
    p->flags |= PEN_ENABLED;
    p->last = -1;
    return 1;
}

// Moves the picture inside the rectangle `step` columns to the right, a row at a time through
// the drawing layer's raw row copies. Only columns and rows on the screen are written; what
// comes in from beyond the left edge of the screen reads as 0, as a pixel read there does.
static void scrollRight(const Chart *c) {
    static u16 row[LCD_XSIZE];
    long long step = c->step;
    long long first = (long long)c->scale.x0 + step, last = c->scale.x1;
    long long top = c->scale.y0, bottom = c->scale.y1;
    if (first < 0) first = 0;
    if (last > LCD_XSIZE - 1) last = LCD_XSIZE - 1;
    if (top < 0) top = 0;
    if (bottom > LCD_YSIZE - 1) bottom = LCD_YSIZE - 1;
    if (first > last) return;
    int n = (int)(last - first + 1);
    long long from = first - step;  // where the row's first written pixel comes from
    for (long long y = top; y <= bottom; ++y) {
        memset(row, 0, (size_t)n * sizeof row[0]);
        if (from > -LCD_XSIZE) LCD_ReadRowRaw((int)from, (int)y, n, row);
        LCD_WriteRowRaw((int)first, (int)y, n, row);
    }
}

int KT_Chart_Show(int n, int count, s32 *values) {
    Chart *c = usedChart(n);
    if (!c || count < 0 || count > CHART_PENS || (count > 0 && !values)) return 0;
    if (c->mode == CHART_SCROLL) scrollRight(c);
    _KT_Chart_Clear(c, 0);

    // The pens draw inside the rectangle only; a chart wholly off the screen draws nothing
    // but still keeps each pen's last point.
    bool hidden;
    GUI_RECT oldClip = narrowClip(c->scale.x0, c->scale.y0, c->scale.x1, c->scale.y1, &hidden);
    long long x0 = c->scale.x0, bottom = c->scale.y1, step = c->step;
    for (int i = 0; i < count; ++i) {
        ChartPen *pen = &c->pen[i];
        if (!(pen->flags & PEN_ENABLED)) continue;
        s32 p = KT_Chart_value_to_pixel(&c->scale, values[i]);
        if (p == -1) p = 0;
        if (p == -2) p = c->scale.span;
        values[i] = p;
        long long fromX, toX = x0, fromY = bottom - pen->last;
        if (c->mode == CHART_SCROLL) {
            fromX = pen->last == -1 ? x0 : x0 + step;
            if (pen->last == -1) fromY = bottom - p;
        } else {
            if (pen->last == -1) fromY = bottom - p;
            fromX = x0 + c->cursor;
            toX = fromX + step;
        }
        if (!hidden) {
            int size = GUI_GetPenSize();
            GUI_COLOR colour = GUI_GetColor();
            GUI_SetPenSize(pen->size);
            GUI_SetColor(pen->colour);
            GUI_DrawLine(GUI_ClampCoord(fromX), GUI_ClampCoord(fromY), GUI_ClampCoord(toX), GUI_ClampCoord(bottom - p));
            GUI_SetPenSize(size);
            GUI_SetColor(colour);
        }
        pen->last = p;
    }
    if (!hidden) GUI_SetClipRect(&oldClip);

    if (c->mode == CHART_SWEEP) {
        long long cursor = (long long)c->cursor + step;
        c->cursor = x0 + cursor + step > c->scale.x1 ? 0 : (s32)cursor;
    }
    return 1;
}
