// Command handlers. Widgets: meters, linear and circular sliders, strip charts, level bars.
// Coordinates arrive relative to the drawing origin; the widgets keep them absolute.
#include "handlers.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../widgets/KT_chart.h"
#include "../widgets/KT_levelbar.h"
#include "../widgets/KT_slider.h"
#include "../widgets/meters.h"
#include "../widgets/widget_util.h"
#include "dispatch.h"
#include "parse_command.h"

// A host coordinate made absolute; sums beyond 32 bits stay at the edge of the range.
static s32 atX(s32 v) { return withOrigin(v, Origin_X); }
static s32 atY(s32 v) { return withOrigin(v, Origin_Y); }

// ---------------------------------------------------------------------------------------
// Blank-separated fields (chart and level-bar lines).

struct Fields {
    char *rest;  // what is left of the line
};

// The next word, split on blanks; NULL at the end of the line.
static char *nextWord(Fields *f) {
    char *p = f->rest;
    while (*p == ' ') ++p;
    if (!*p) {
        f->rest = p;
        return 0;
    }
    char *word = p;
    while (*p && *p != ' ') ++p;
    if (*p) *p++ = 0;
    f->rest = p;
    return word;
}

// A whole word of decimal digits with an optional sign.
static int wordNumber(const char *w, s32 *v) {
    if (!w) return 0;
    const char *p = w + (*w == '-' || *w == '+');
    if (!*p) return 0;
    for (const char *q = p; *q; ++q)
        if (*q < '0' || *q > '9') return 0;
    *v = (s32)atoi(w);
    return 1;
}

static int nextNumber(Fields *f, s32 *v) { return wordNumber(nextWord(f), v); }

// A colour word: RGB or RRGGBB hexadecimal.
static int wordColour(const char *w, u32 *colour) {
    if (!w || atoRGB(w) < 0) return 0;
    *colour = atoBGR(w);
    return 1;
}

static int nextNumbers(Fields *f, s32 *v, int n) {
    for (int i = 0; i < n; ++i)
        if (!nextNumber(f, &v[i])) return 0;
    return 1;
}

// ---------------------------------------------------------------------------------------
// Meters.

// Reads numbers after *p as "%d" does, as many as there are up to max; the count read.
static int scanNumbers(const char **p, s32 *v, int max) {
    int count = 0;
    while (count < max) {
        int used, value;
        if (sscanf(*p, "%d%n", &value, &used) != 1) break;
        v[count] = value;
        *p += used;
        ++count;
    }
    return count;
}

// The needle points and their count from what follows the pivot.
static void takeNeedle(MeterDefinition *d, const s32 *pts, int conversions, int before) {
    d->pointCount = (conversions - before) / 2 - 1;
    memcpy(d->points, pts, sizeof d->points);
}

// Four of the meter messages have no line end of their own: the acknowledgement that
// follows ends the line, as hosts of this module have always read it.
int cmdMeterDefine(char *line) {
    MeterDefinition d;
    memset(&d, 0, sizeof d);
    s32 v[14] = {0};
    s32 tail[2 + 2 * METER_MAX_POINTS] = {0};
    const char *p = line + 2;
    int conversions;
    // "md " is the plain form; every other line beginning with md is the band form.
    d.band = strncmp(line, "md ", 3) != 0;
    if (!d.band) {
        conversions = scanNumbers(&p, v, 12);
        if (conversions == 12) conversions += scanNumbers(&p, tail + 2, 2 * METER_MAX_POINTS);
        if (conversions < 18) {
            txNotify(": < 18 arguments");
            return CMD_REJECTED;
        }
        d.pivotDx = v[10];
        d.pivotDy = v[11];
        takeNeedle(&d, tail + 2, conversions, 10);
    } else {
        conversions = 0;
        char colour[2][4] = {{0}, {0}};
        if (strncmp(line, "mdb", 3) == 0) {
            p = line + 3;
            conversions = scanNumbers(&p, v, 14);
            for (int i = 0; i < 2 && conversions == 14 + i; ++i) {
                int used;
                if (sscanf(p, "%3s%n", colour[i], &used) == 1) {
                    p += used;
                    ++conversions;
                }
            }
            if (conversions == 16) conversions += scanNumbers(&p, tail, 2 + 2 * METER_MAX_POINTS);
        }
        if (conversions < 24) {
            txNotify(": < 24 arguments");
            return CMD_REJECTED;
        }
        d.bandLow = v[10];
        d.bandHigh = v[11];
        d.bandRadius = v[12];
        d.bandWidth = v[13];
        d.bandColour = atoBGR(colour[0]);
        d.bandColour2 = atoBGR(colour[1]);
        d.pivotDx = tail[0];
        d.pivotDy = tail[1];
        takeNeedle(&d, tail + 2, conversions, 16);
    }
    d.index = v[0];
    d.bitmap = v[1];
    d.x = atX(v[2]);
    d.y = atY(v[3]);
    d.min = v[5];
    d.max = v[6];
    d.initial = v[7];
    d.minAngle = v[8];
    d.maxAngle = v[9];
    switch (meterDefine(&d)) {
        case METER_OK:
            return CMD_DONE;
        case METER_BAD_INDEX:
            snprintf(out_buffer, OUT_BUFFER_SIZE, ": index %d > max %d\r", d.index, METER_COUNT);
            txNotify(out_buffer);
            return CMD_REJECTED;
        case METER_BAD_BITMAP:
            snprintf(out_buffer, OUT_BUFFER_SIZE, ": bitmap %d invalid\r", d.bitmap);
            txNotify(out_buffer);
            return CMD_REJECTED;
        case METER_BAD_INITIAL:
            txNotify(":Initial value out of range");
            return CMD_REJECTED;
        default:
            txNotify(": pen width out of range");
            return CMD_REJECTED;
    }
}

int cmdMeterValue(char *line) {
    int n, value;
    if (scanArgs(line, &n, &value) != 2) return CMD_REJECTED;
    return meterValue(n, value) ? CMD_DONE : CMD_REJECTED;
}

// ---------------------------------------------------------------------------------------
// Sliders.

int cmdSliderDefine(char *line) {
    int n, track, x, y, knob, offset, horizontal, reversed, autoRepeat, max, min;
    if (scanArgs(line, &n, &track, &x, &y, &knob, &offset, &horizontal, &reversed, &autoRepeat, &max, &min) != 11)
        return CMD_REJECTED;
    switch (KT_Slider_Setup(n, horizontal, autoRepeat, atX(x), atY(y), offset, reversed, max, min, track,
                            knob)) {
        case SLIDER_OK:
            return CMD_DONE;
        case SLIDER_FULL:
            txString("max sliders\r");
            return CMD_REJECTED;
        case SLIDER_BAD_TRACK:
            txString("bad background bitmap\r");
            return CMD_REJECTED;
        case SLIDER_BAD_KNOB:
            txString("bad slider bitmap\r");
            return CMD_REJECTED;
        default:
            return CMD_REJECTED;
    }
}

int cmdSliderValue(char *line) {
    int n, value;
    if (scanArgs(line, &n, &value) != 2) return CMD_REJECTED;
    return KT_Slider_SetValue(n, value) ? CMD_DONE : CMD_REJECTED;
}

int cmdCircSliderDefine(char *line) {
    int n, bg, x, y, knob, type, max, min, start, perTurn, maxAngle, minAngle, startDeg, radius, range;
    if (scanArgs(line, &n, &bg, &x, &y, &knob, &type, &max, &min, &start, &perTurn, &maxAngle, &minAngle, &startDeg,
                 &radius, &range) != 15)
        return CMD_REJECTED;
    int r = CircSliderSetup(n, bg, atX(x), atY(y), knob, type, max, min, start, perTurn, maxAngle,
                            minAngle, startDeg, radius, range);
    char *t = out_buffer;
    switch (r) {
        case CIRC_OK:
            return CMD_DONE;
        case CIRC_DRAW_FAILED:
            return CMD_REJECTED;
        case CIRC_BAD_SPOT:
            snprintf(t, OUT_BUFFER_SIZE, ":hotspot %d out of range\r", n);
            break;
        case CIRC_BAD_ANGLES:
            snprintf(t, OUT_BUFFER_SIZE, ":minAngle %d or maxAngle %d out of range\r", minAngle, maxAngle);
            break;
        case CIRC_BAD_START_DEG:
            snprintf(t, OUT_BUFFER_SIZE, ":startDeg %d out of range\r", startDeg);
            break;
        case CIRC_BAD_TYPE:
            snprintf(t, OUT_BUFFER_SIZE, ":type %d invalid\r", type);
            break;
        case CIRC_BAD_START:
            snprintf(t, OUT_BUFFER_SIZE, ":start value %d out of range\r", start);
            break;
        case CIRC_BAD_RADII:
            snprintf(t, OUT_BUFFER_SIZE, ":drawRadius or maxRange invalid\r");
            break;
        case CIRC_FULL:
            snprintf(t, OUT_BUFFER_SIZE, ":max sliders defined\r");
            break;
        case CIRC_BAD_BACKGROUND:
            snprintf(t, OUT_BUFFER_SIZE, ":bad background bitmap\r");
            break;
        case CIRC_BAD_KNOB:
            snprintf(t, OUT_BUFFER_SIZE, ":bad slider bitmap\r");
            break;
        default:
            snprintf(t, OUT_BUFFER_SIZE, ":drawRadius %d places slider bitmap outside background bitmap\r", radius);
            break;
    }
    txString(t);
    return CMD_REJECTED;
}

int cmdCircSliderValue(char *line) {
    int n, value;
    if (scanArgs(line, &n, &value) != 2) return CMD_REJECTED;
    return CircSetVarsAndDraw(n, value) ? CMD_DONE : CMD_REJECTED;
}

// ---------------------------------------------------------------------------------------
// Charts.

int cmdChartDefine(char *line) {
    Fields f = {line};
    nextWord(&f);  // the command word
    s32 v[9];      // n x0 y0 x1 y1 mode step min max
    u32 background;
    if (!nextNumbers(&f, v, 9) || !wordColour(nextWord(&f), &background)) return CMD_REJECTED;
    if (!KT_Chart_Setup(v[0], v[5], v[6], atX(v[1]), atY(v[2]), atX(v[3]), atY(v[4]), v[7],
                        v[8], background))
        return CMD_REJECTED;
    for (int pen = 0;; ++pen) {
        char *word = nextWord(&f);
        if (!word) return CMD_DONE;
        s32 size;
        u32 colour;
        if (!wordNumber(word, &size) || !wordColour(nextWord(&f), &colour)) return CMD_REJECTED;
        if (!KT_Chart_Set_Pen(v[0], pen, colour, size)) return CMD_REJECTED;
    }
}

int cmdChartValues(char *line) {
    Fields f = {line};
    nextWord(&f);
    // One value more than a chart has pens is read, so that a fifth value is refused by the
    // chart; words after it are not looked at.
    s32 n, values[CHART_PENS + 1];
    if (!nextNumber(&f, &n)) return CMD_REJECTED;
    int count = 0;
    while (count < CHART_PENS + 1) {
        char *word = nextWord(&f);
        if (!word) break;
        if (!wordNumber(word, &values[count])) return CMD_REJECTED;
        ++count;
    }
    return KT_Chart_Show(n, count, values) ? CMD_DONE : CMD_REJECTED;
}

// ---------------------------------------------------------------------------------------
// Level bars.

int cmdLevelBarDefine(char *line) {
    Fields f = {line};
    nextWord(&f);
    s32 v[8];  // n x0 y0 x1 y1 horizontal reversed min
    u32 background;
    if (!nextNumbers(&f, v, 8) || !wordColour(nextWord(&f), &background)) return CMD_REJECTED;
    if (!KT_LevelBar_Setup(v[0], 1, v[5], v[6], atX(v[1]), atY(v[2]), atX(v[3]), atY(v[4]),
                           v[7], background))
        return CMD_REJECTED;
    for (;;) {
        char *word = nextWord(&f);
        if (!word) return CMD_DONE;
        s32 value;
        u32 colour;
        if (!wordNumber(word, &value) || !wordColour(nextWord(&f), &colour)) return CMD_REJECTED;
        if (!KT_LevelBar_Add_Color(v[0], colour, value)) return CMD_REJECTED;
    }
}

int cmdLevelBarValue(char *line) {
    int n, value;
    if (scanArgs(line, &n, &value) != 2) return CMD_REJECTED;
    return KT_LevelBar_Show(n, value) ? CMD_DONE : CMD_REJECTED;
}
