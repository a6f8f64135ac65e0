// Level bars. A bar stores only its definition: every value redraws the whole bar.
#include "KT_levelbar.h"

#include <string.h>

#include "../gui/GUI.h"
#include "../gui/GUI_Draw.h"
#include "widget_util.h"

LevelBar LevelBars[LEVELBAR_COUNT];

void KT_LevelBar_Init(void) { memset(LevelBars, 0, sizeof LevelBars); }

int KT_LevelBar_Setup(int n, int defined, int horizontal, int reversed, s32 x0, s32 y0, s32 x1, s32 y1, s32 min,
                      u32 background) {
    if (n < 0 || n >= LEVELBAR_COUNT) return 0;
    LevelBar *b = &LevelBars[n];
    // Corners in any order give the same bar: the base and the span follow from the ordered
    // rectangle, never from a negative span.
    orderCorners(&x0, &y0, &x1, &y1);
    b->zoneCount = 0;
    b->defined = defined;
    if (!KT_Chart_Common(&b->scale, x0, y0, x1, y1, horizontal, reversed, 0, min, (s32)background)) {
        b->defined = 0;
        return 0;
    }
    return 1;
}

int KT_LevelBar_Add_Color(int n, u32 colour, s32 value) {
    if (n < 0 || n >= LEVELBAR_COUNT) return 0;
    LevelBar *b = &LevelBars[n];
    if (b->zoneCount >= LEVELBAR_ZONES) return 0;
    if (b->zoneCount == 0)
        b->scale.max = value;
    else if (value > b->scale.max)
        return 0;
    if (value < b->scale.min) return 0;
    s32 top = KT_Chart_value_to_pixel(&b->scale, value);
    if (top == -2) top = b->scale.span;
    b->zoneColour[b->zoneCount] = colour;
    b->zoneTop[b->zoneCount] = top;
    b->zoneCount++;
    return 1;
}

void _KT_LevelBar_draw(int n, s32 from, s32 to, u32 colour) {
    if (n < 0 || n >= LEVELBAR_COUNT || from > to) return;
    const ChartScale *s = &LevelBars[n].scale;
    int reversed = s->flags & SCALE_REVERSED;
    long long x0, y0, x1, y1;
    if (!s->horizontal) {
        x0 = s->x0;
        x1 = s->x1;
        y0 = reversed ? (long long)s->y0 + from : (long long)s->y1 - to;
        y1 = reversed ? (long long)s->y0 + to : (long long)s->y1 - from;
    } else {
        y0 = s->y0;
        y1 = s->y1;
        x0 = reversed ? (long long)s->x1 - to : (long long)s->x0 + from;
        x1 = reversed ? (long long)s->x1 - from : (long long)s->x0 + to;
    }
    GUI_COLOR old = GUI_SetColor(colour);
    GUI_FillRect(GUI_ClampCoord(x0), GUI_ClampCoord(y0), GUI_ClampCoord(x1), GUI_ClampCoord(y1));
    GUI_SetColor(old);
}

int KT_LevelBar_Show(int n, s32 value) {
    if (n < 0 || n >= LEVELBAR_COUNT) return 0;
    LevelBar *b = &LevelBars[n];
    if (!b->defined || b->zoneCount == 0) return 0;
    s32 span = b->scale.span;
    s32 p = KT_Chart_value_to_pixel(&b->scale, value);
    if (p == -2) p = span;
    long long from = 0;
    for (int z = b->zoneCount - 1; z >= 0; --z) {
        s32 to = p < b->zoneTop[z] ? p : b->zoneTop[z];
        _KT_LevelBar_draw(n, (s32)from, to, b->zoneColour[z]);
        from = (long long)to + 1;
        if (from > p) break;
    }
    // Up to and including the far end: a bar that falls by one pixel loses its top row too.
    if (from <= span) _KT_LevelBar_draw(n, (s32)from, span, (u32)b->scale.extra);
    return 1;
}
