// Circles, ellipses and arcs.
#include "GUI_Circle.h"

#include <math.h>

// The eight-way symmetric points of (a, b) about the centre; the second four only when b != 0
// (on the axis they would repeat the first).
static void symmetricPoints(int x0, int y0, long long a, long long b) {
    int pa = GUI_ClampCoord(x0 + a), ma = GUI_ClampCoord(x0 - a);
    int pb = GUI_ClampCoord(x0 + b), mb = GUI_ClampCoord(x0 - b);
    int ya = GUI_ClampCoord(y0 + a), yma = GUI_ClampCoord(y0 - a);
    int yb = GUI_ClampCoord(y0 + b), ymb = GUI_ClampCoord(y0 - b);
    LCD_DrawPixel(pa, yb);
    LCD_DrawPixel(ma, yb);
    LCD_DrawPixel(pb, ya);
    LCD_DrawPixel(pb, yma);
    if (b != 0) {
        LCD_DrawPixel(pa, ymb);
        LCD_DrawPixel(ma, ymb);
        LCD_DrawPixel(mb, ya);
        LCD_DrawPixel(mb, yma);
    }
}

// Radii are 16-bit quantities; larger ones are cut so that the arithmetic below stays exact.
static int clampRadius(int r) { return r > 0x7FFF ? 0x7FFF : r; }

// Rows outside the clip rectangle are skipped before any work.
static bool rowVisible(long long y) {
    return y >= GUI_Context.ClipRect.y0 && y <= GUI_Context.ClipRect.y1;
}

void GUI_DrawCircle(int x0, int y0, int r) {
    if (r < 0) return;
    r = clampRadius(r);
    if (r == 0) {
        // The stepping below would step off radius 0 to a 3 x 3 block; a point it is.
        LCD_DrawPixel(x0, y0);
        return;
    }
    long long r0 = r, rr = r;
    long long n = 707 * r0 / 1000;
    long long limit = r0 * r0 + r0 / 2;
    symmetricPoints(x0, y0, 0, rr);
    for (long long a = 1; a <= n + 1; ++a) {
        if (a * a + rr * rr > limit) {
            symmetricPoints(x0, y0, a, rr);
            rr--;
        }
        symmetricPoints(x0, y0, a, rr);
    }
}

static void span(long long xa, long long y, long long xb) {
    if (!rowVisible(y)) return;
    LCD_DrawHLine(GUI_ClampCoord(xa), (int)y, GUI_ClampCoord(xb));
}

void GUI_FillCircle(int x0, int y0, int r) {
    if (r < 0) return;
    r = clampRadius(r);
    long long r0 = r, rr = r;
    long long n = 707 * r0 / 1000;
    long long limit = r0 * r0 + r0 / 2;
    span(x0 - rr, y0, x0 + rr);
    for (long long a = 1; a <= n + 1; ++a) {
        if (a * a + rr * rr > limit) {
            if (n + 1 < rr) {
                span(x0 - a + 1, y0 + rr, x0 + a - 1);
                span(x0 - a + 1, y0 - rr, x0 + a - 1);
            }
            rr--;
        }
        span(x0 - rr, y0 + a, x0 + rr);
        span(x0 - rr, y0 - a, x0 + rr);
    }
}

// Walks the rows 0..ry of the ellipse, shrinking x while (x, y) lies outside; calls
// row(y, x) for each row. Integer arithmetic in 64 bits covers every 16-bit radius.
template <typename Row>
static void ellipseRows(int rx, int ry, Row row) {
    rx = clampRadius(rx);
    ry = clampRadius(ry);
    long long a2 = (long long)rx * rx, b2 = (long long)ry * ry;
    long long limit = a2 * b2 + a2 * ry / 2;
    long long x = rx;
    for (long long y = 0; y <= ry; ++y) {
        while (x > 0 && x * x * b2 + y * y * a2 > limit) x--;
        row(y, x);
    }
}

void GUI_FillEllipse(int x0, int y0, int rx, int ry) {
    if (rx < 0 || ry < 0) return;
    ellipseRows(rx, ry, [&](long long y, long long x) {
        span(x0 - x, y0 + y, x0 + x);
        if (y != 0) span(x0 - x, y0 - y, x0 + x);
    });
}

static void line1(long long xa, long long ya, long long xb, long long yb) {
    // 1-pixel solid segments whatever the pen.
    GUI_CONTEXT &c = GUI_Context;
    u8 pen = c.PenSize, style = c.LineStyle;
    c.PenSize = 1;
    c.LineStyle = GUI_LS_SOLID;
    GUI_DrawLine(GUI_ClampCoord(xa), GUI_ClampCoord(ya), GUI_ClampCoord(xb), GUI_ClampCoord(yb));
    c.PenSize = pen;
    c.LineStyle = style;
}

void GUI_DrawEllipse(int x0, int y0, int rx, int ry) {
    if (rx < 0 || ry < 0) return;
    rx = clampRadius(rx);
    ry = clampRadius(ry);
    if (ry == 0) {
        // A flat ellipse has no rows to join: it is its own middle row.
        span(x0 - rx, y0, x0 + rx);
        return;
    }
    long long prev = rx;
    ellipseRows(rx, ry, [&](long long y, long long x) {
        if (y == 0) {
            prev = x;
            return;
        }
        if (y == ry) x = 0;
        line1(x0 - prev, y0 - y + 1, x0 - x, y0 - y);
        line1(x0 + prev, y0 - y + 1, x0 + x, y0 - y);
        line1(x0 - prev, y0 + y - 1, x0 - x, y0 + y);
        line1(x0 + prev, y0 + y - 1, x0 + x, y0 + y);
        prev = x;
    });
}

// ---- arcs ----

// Largest whole x >= 0 with x * x < v (v > 0).
static long long largestBelow(double v) {
    long long x = (long long)sqrt(v);
    while (x > 0 && (double)x * x >= v) x--;
    while ((double)(x + 1) * (x + 1) < v) x++;
    return x;
}

// One quadrant piece of the band, angles s..e in degrees inside quadrant q (0 = right-up,
// 1 = left-up, 2 = left-down, 3 = right-down; relative angles 0..90).
static void arcPiece(int x0, int y0, float rIn, float rOut, int q, int s, int e) {
    const float degToRad = 3.1415926f / 180;
    double ss = sin(s * degToRad), cs = cos(s * degToRad);
    double se = sin(e * degToRad), ce = cos(e * degToRad);
    bool up = q < 2, right = q == 0 || q == 3;
    // Only the rows inside the clip rectangle are visited.
    const GUI_RECT &clip = GUI_Context.ClipRect;
    long long vMin = up ? (long long)y0 - clip.y1 : (long long)clip.y0 - y0;
    long long vMax = up ? (long long)y0 - clip.y0 : (long long)clip.y1 - y0;
    if (vMin < 0) vMin = 0;
    if (vMax > (long long)rOut + 1) vMax = (long long)rOut + 1;
    for (long long v = vMin; v <= vMax; ++v) {
        long long sy = up ? y0 - v : y0 + v;
        double o2 = (double)rOut * rOut - (double)v * v;
        if (o2 <= 0) continue;
        long long hi = largestBelow(o2), lo = 0;
        double i2 = (double)rIn * rIn - (double)v * v;
        if (rIn > 0 && i2 > 0) lo = largestBelow(i2) + 1;
        // Cut by the rays at the piece's two angles. Even quadrants measure the angle from the
        // x axis (|x| between v cot e and v cot s), odd ones from the y axis (v tan s .. v tan e).
        // A pixel exactly on a ray belongs to the piece; the tolerance absorbs the rounding
        // of the single-precision angle (cos 90 degrees is not quite 0).
        const double eps = 1e-4;
        double fv = (double)v;
        if (q % 2 == 0) {
            if (se > eps) {
                long long b = (long long)ceil(fv * ce / se - eps);
                if (b > lo) lo = b;
            }
            if (s > 0) {
                long long b = (long long)floor(fv * cs / ss + eps);
                if (b < hi) hi = b;
            } else if (v > 0 && s == 0 && e == 0) {
                hi = -1;
            }
        } else {
            if (s > 0) {
                long long b = (long long)ceil(fv * ss / cs - eps);
                if (b > lo) lo = b;
            }
            if (e < 90) {
                long long b = (long long)floor(fv * se / ce + eps);
                if (b < hi) hi = b;
            }
        }
        if (lo > hi) continue;
        long long xa = right ? x0 + lo : x0 - hi, xb = right ? x0 + hi : x0 - lo;
        LCD_DrawHLine(GUI_ClampCoord(xa), (int)sy, GUI_ClampCoord(xb));
    }
}

void GL_DrawArc(int x0, int y0, int r, int ry, int a0, int a1) {
    (void)ry;
    if (r < 0 || a1 < a0) return;
    r = clampRadius(r);
    long long start = a0, end = a1;
    long long shift = start >= 0 ? start / 360 * 360 : -((-start + 359) / 360) * 360;
    start -= shift;
    end -= shift;
    if (end - start > 360) end = start + 360;  // a longer range only repeats the circle
    float half = (GUI_Context.PenSize + 1.5f) / 2;
    float rIn = r - half, rOut = r + half;
    while (start < end || (start == end && a0 == a1)) {
        long long qStart = start / 90 * 90;
        long long pieceEnd = qStart + 90 < end ? qStart + 90 : end;
        int q = (int)((qStart / 90) % 4);
        arcPiece(x0, y0, rIn, rOut, q, (int)(start - qStart), (int)(pieceEnd - qStart));
        if (pieceEnd == start) break;
        start = pieceEnd;
    }
}

void GUI_DrawArc(int x0, int y0, int r, int ry, int a0, int a1) { GL_DrawArc(x0, y0, r, ry, a0, a1); }
