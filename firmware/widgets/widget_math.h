// Integer helpers of the widgets: products of host values that may not fit in 32 bits.
#ifndef VMOD_WIDGET_MATH_H
#define VMOD_WIDGET_MATH_H

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

#endif
