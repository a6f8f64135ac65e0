// Command handlers. Animations: the step buffer, frames, blinking text.
#include "handlers.h"

#include <stdio.h>
#include <string.h>

#include "../app/animation.h"
#include "../comm/Rtosinit.h"
#include "../gui/GUI.h"
#include "../storage/KT_fonts.h"
#include "../widgets/widget_util.h"
#include "cmd_draw.h"
#include "dispatch.h"
#include "parse_command.h"

#define BLINK_PERIOD 500  // ms per frame of a blinking text without a period
#define BLINK_SLACK 70    // the script's bytes besides the text, asked for before composing

// Steps are fed to the interpreter by the player: while it runs them, no command may add to
// the step buffer or move steps in it.
static bool playerRunning(void) { return ExecState == EXEC_ANIMATION; }

// The animation number of "anie n", "anix n" and their aliases.
static int slotNumber(const char *line) {
    int n;
    return scanArgs(line, &n) == 1 ? n : -1;
}

int cmdAnimClear(char *line) {
    init_animation();
    return CMD_DONE;
}

int cmdAnimSetFrame(char *line) {
    int n, k;
    if (scanArgs(line, &n, &k) != 2) return CMD_REJECTED;
    return aniSetFrame(n, k);
}

int cmdAnimDelete(char *line) {
    if (playerRunning()) return CMD_REJECTED;
    return DeleteAnimation(slotNumber(line));
}

int cmdAnimRewind(char *line) {
    aniRewindAll();
    return CMD_DONE;
}

int cmdAnimStart(char *line) { return aniStart(slotNumber(line)); }

// "ani n text" / "ani+ n text": n is one digit; the step is everything after it and the white
// space that follows.
int cmdAnimAddStep(char *line) {
    if (playerRunning()) return CMD_REJECTED;
    int lineLen = (int)strlen(line);
    char *p = line + (line[3] == '+' ? 5 : 4);
    while (*p == ' ' || *p == '\t') ++p;
    if (*p < '0' || *p > '9' || (p[1] >= '0' && p[1] <= '9')) return CMD_REJECTED;
    int n = *p++ - '0';
    while (*p == ' ' || *p == '\t') ++p;
    killTrailingComment(p);
    return aniAppendStep(n, p, lineLen);
}

// A colour value of the graphics layer (0x00BBGGRR) as "S" reads it: RRGGBB.
static unsigned hostColor(GUI_COLOR c) {
    return (unsigned)(((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
}

// "tf n [period] "text"": two frames, the text in its colours and then in the background
// colour over itself, each with the font, alignment, origin and cursor of this moment.
int cmdBlinkText(char *line) {
    if (playerRunning() || (int)strlen(line) + BLINK_SLACK > aniFreeSpace()) return CMD_REJECTED;
    int n, period = BLINK_PERIOD;
    if (sscanf(line, "tf %d%d", &n, &period) < 1) return CMD_REJECTED;
    if (n < 0 || n >= ANI_SLOTS || dta[n].start || period < 0) return CMD_REJECTED;
    char *text = strchr(line, '"');
    if (!text) return CMD_REJECTED;
    killTrailingComment(text);

    const char *font = currFontPtr && currFontPtr->name ? currFontPtr->name : "";
    unsigned fg = hostColor(GUI_GetColor()), bg = hostColor(GUI_GetBkColor());
    char ta[2];
    textAlignLetters(GUI_GetTextAlign(), ta);
    // The cursor goes in relative to the origin, as "sc" takes it after the "o" before it.
    // In 64 bits: the origin may be anywhere in its range.
    int ox = (int)Origin_X, oy = (int)Origin_Y;
    int cx = clampToInt((long long)GUI_GetDispPosX() - ox), cy = clampToInt((long long)GUI_GetDispPosY() - oy);
    static char script[ANIBUF_SIZE];
    int len = snprintf(script, sizeof script,
                       "tm N\nf %s\nS %06x %06x\nta %c%c\no %d %d\nsc %d %d\nT %s\ny %d\n"
                       "f %s\nS %06x %06x\nta %c%c\no %d %d\nsc %d %d\ntm N\nT %s\ny %d\n",
                       font, fg, bg, ta[0], ta[1], ox, oy, cx, cy, text, period,
                       font, bg, bg, ta[0], ta[1], ox, oy, cx, cy, text, period);
    if (len < 0 || len >= (int)sizeof script) return CMD_REJECTED;
    return aniStoreScript(n, script, period);
}

// Sends the steps of every animation, one line per step: control bytes as \xHH, each step's
// terminator as CR.
static void listSteps(void) {
    char out[TX_BUF_SIZE];
    int k = 0;
    for (const ANI_SLOT &s : dta) {
        if (!s.start) continue;
        for (const char *p = s.start; p <= s.end; ++p) {
            u8 c = (u8)*p;
            bool last = c == 0 || c == '\n' || c == '\r';
            if (last)
                out[k++] = '\r';
            else if (c < 0x20)
                k += snprintf(out + k, sizeof out - k, "\\x%02x", c);
            else
                out[k++] = (char)c;
            if (last || k > (int)sizeof out - 6) {
                out[k] = 0;
                txString(out);
                k = 0;
            }
        }
    }
}

// "tf" alone: the free space; "tf?" or "ani?" (a '?' third or fourth): the listing.
int cmdAnimSpace(char *line) {
    size_t len = strlen(line);
    if ((len >= 3 && line[2] == '?') || (len >= 4 && line[3] == '?')) {
        listSteps();
        return CMD_DONE;
    }
    if (len > 2) return CMD_REJECTED;
    snprintf(out_buffer, OUT_BUFFER_SIZE, "Free: %d\r", aniFreeSpace());
    txString(out_buffer);
    return CMD_DONE;
}
