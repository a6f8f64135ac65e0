// Helpers of the widget modules: host values that may not fit in 32 bits, rectangles given
// in any corner order, and drawing confined to a widget's own rectangle.
#ifndef VMOD_WIDGET_UTIL_H
#define VMOD_WIDGET_UTIL_H

#include "../types.h"
#include "../gui/GUI.h"

// a * b / c truncated toward zero, c != 0. Exact while a * b fits in 64 bits (any slider or
// on-screen rectangle); beyond that, from a double, which is then far off any screen anyway.
static inline long long mulDivTrunc(long long a, long long b, long long c) {
    long long product;
    if (!__builtin_mul_overflow(a, b, &product)) return product / c;
    return (long long)((double)a * (double)b / (double)c);
}

static inline int clampToInt(long long v) {
    return v < -2147483647LL - 1 ? -2147483647 - 1 : v > 2147483647LL ? 2147483647 : (int)v;
}

// The smaller coordinate of each axis first.
static inline void orderCorners(s32 *x0, s32 *y0, s32 *x1, s32 *y1) {
    if (*x1 < *x0) {
        s32 t = *x0;
        *x0 = *x1;
        *x1 = t;
    }
    if (*y1 < *y0) {
        s32 t = *y0;
        *y0 = *y1;
        *y1 = t;
    }
}

static inline s16 clampToS16(long long v) { return (s16)(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

// Narrows the clip rectangle to (x0, y0)-(x1, y1) and returns the one it replaced; *empty is
// set when nothing of the rectangle is visible (the clip rectangle is then left alone).
static inline GUI_RECT narrowClip(long long x0, long long y0, long long x1, long long y1, bool *empty) {
    GUI_RECT old = GUI_GetClipRect();
    GUI_RECT r = {clampToS16(x0), clampToS16(y0), clampToS16(x1), clampToS16(y1)};
    if (r.x0 < old.x0) r.x0 = old.x0;
    if (r.y0 < old.y0) r.y0 = old.y0;
    if (r.x1 > old.x1) r.x1 = old.x1;
    if (r.y1 > old.y1) r.y1 = old.y1;
    *empty = r.x0 > r.x1 || r.y0 > r.y1;
    if (!*empty) GUI_SetClipRect(&r);
    return old;
}

#endif
