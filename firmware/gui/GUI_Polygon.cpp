// Polygon filling by scan lines, outlines and rotation.
#include "GUI_Polygon.h"

#include <math.h>

namespace {

struct PointList {
    const GUI_POINT *p;
    long long dx, dy;
    long long x(int i) const { return p[i].x + dx; }
    long long y(int i) const { return p[i].y + dy; }
};

struct IntList {
    const int *xs, *ys;
    long long x(int i) const { return xs[i]; }
    long long y(int i) const { return ys[i]; }
};

}  // namespace

static long long floorDiv(long long a, long long b) {  // b > 0
    long long q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

// How far across an edge is t rows above its lower end, when it rises d rows while it runs dx
// columns (0 <= t < d): t * dx / d to the nearest integer, halves toward positive x. The
// product t * dx overflows 64 bits for edges that span the whole coordinate range, so dx is
// split into whole multiples of d and a remainder r < d, whose share t * r / d fits.
static long long edgeCrossing(long long t, long long dx, long long d) {
    const long long q = floorDiv(dx, d);
    const unsigned long long r = (unsigned long long)(dx - q * d);
    const unsigned long long share = ((unsigned long long)t * r + (unsigned long long)d / 2) / (unsigned long long)d;
    return t * q + (long long)share;
}

// The crossings of one scan line, ascending; once full, the largest are dropped.
struct Crossings {
    long long x[GUI_POLYGON_MAX_CROSSINGS];
    int n;
    void add(long long v) {
        int i = n;
        if (n == GUI_POLYGON_MAX_CROSSINGS) {
            if (v >= x[n - 1]) return;
            i = n - 1;
        } else {
            n++;
        }
        while (i > 0 && x[i - 1] > v) {
            x[i] = x[i - 1];
            i--;
        }
        x[i] = v;
    }
};

static int sign(long long v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Scan-line filling. On each line: the crossings of the edges that pass through it are paired
// off (first-second, third-fourth, ...); a horizontal edge on the line is filled as a span of
// its own; a vertex on the line (or a run of vertices joined by horizontal edges) counts as one
// crossing when the polygon goes on to the other side of the line, and otherwise is drawn as
// a single pixel (a peak or a valley).
template <typename List>
static void fillPolygon(const List &pts, int n) {
    if (n <= 0) return;
    long long yMin = pts.y(0), yMax = yMin;
    for (int i = 1; i < n; ++i) {
        long long y = pts.y(i);
        if (y < yMin) yMin = y;
        if (y > yMax) yMax = y;
    }
    const GUI_RECT &clip = GUI_Context.ClipRect;
    if (yMin < clip.y0) yMin = clip.y0;
    if (yMax > clip.y1) yMax = clip.y1;
    for (long long y = yMin; y <= yMax; ++y) {
        Crossings c;
        c.n = 0;
        for (int i = 0; i < n; ++i) {
            int j = i + 1 == n ? 0 : i + 1;
            long long xa = pts.x(i), ya = pts.y(i), xb = pts.x(j), yb = pts.y(j);
            if (ya == yb) {
                if (ya == y)
                    LCD_DrawHLine(GUI_ClampCoord(xa < xb ? xa : xb), (int)y,
                                  GUI_ClampCoord(xa < xb ? xb : xa));
                continue;
            }
            if (ya > yb) {
                long long t = xa;
                xa = xb;
                xb = t;
                t = ya;
                ya = yb;
                yb = t;
            }
            if (y <= ya || y >= yb) continue;
            c.add(xa + edgeCrossing(y - ya, xb - xa, yb - ya));
        }
        for (int i = 0; i < n; ++i) {
            if (pts.y(i) != y) continue;
            int prev = i == 0 ? n - 1 : i - 1;
            long long yPrev = pts.y(prev);
            if (yPrev == y) continue;  // inside a horizontal run, handled at its first vertex
            int next = i, steps = 0;
            do {
                next = next + 1 == n ? 0 : next + 1;
            } while (pts.y(next) == y && ++steps < n);
            bool run = next != (i + 1 == n ? 0 : i + 1);
            if (sign(yPrev - y) != sign(pts.y(next) - y))
                c.add(pts.x(i));
            else if (!run)
                LCD_DrawPixel(GUI_ClampCoord(pts.x(i)), (int)y);
        }
        for (int k = 0; k + 1 < c.n; k += 2)
            LCD_DrawHLine(GUI_ClampCoord(c.x[k]), (int)y, GUI_ClampCoord(c.x[k + 1]));
    }
}

void GUI_FillPolygon(const GUI_POINT *pPoints, int n, int x, int y) {
    if (!pPoints) return;
    PointList l = {pPoints, x, y};
    fillPolygon(l, n);
}

void GUI_FillPolygonInt(const int *xs, const int *ys, int n) {
    if (!xs || !ys) return;
    IntList l = {xs, ys};
    fillPolygon(l, n);
}

void GUI_DrawPolygon(const GUI_POINT *pPoints, int n, int x, int y) {
    if (!pPoints || n <= 0) return;
    x = GUI_ClampCoord(x);
    y = GUI_ClampCoord(y);
    for (int i = 0; i < n; ++i) {
        int j = i + 1 == n ? 0 : i + 1;
        GUI_DrawLine(pPoints[i].x + x, pPoints[i].y + y, pPoints[j].x + x, pPoints[j].y + y);
    }
}

static s16 truncToS16(float v) {
    if (!(v > -32768.0f)) return v != v ? 0 : -32768;  // NaN gives 0
    if (v > 32767.0f) return 32767;
    return (s16)(int)v;
}

void GUI_RotatePolygon(GUI_POINT *pDest, const GUI_POINT *pSrc, int n, float angle) {
    if (!pDest || !pSrc || n <= 0) return;
    float c = cosf(angle), s = sinf(angle);
    for (int i = 0; i < n; ++i) {
        float x = pSrc[i].x, y = pSrc[i].y;
        s16 nx = truncToS16(x * c + y * s);
        s16 ny = truncToS16(-x * s + y * c);
        pDest[i].x = nx;
        pDest[i].y = ny;
    }
}
