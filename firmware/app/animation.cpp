// The animation player and its step buffer.
//
// Steps of all animations lie packed in anibuf in order of creation; only the animation
// extended last can grow, and deleting one closes its gap. The player runs from the main loop
// whenever the shared animateTimer has run out, feeding the due slots' steps to the
// interpreter with the host's graphics state saved around them.
#include "animation.h"

#include <stddef.h>
#include <string.h>

#include "../command/parse_command.h"
#include "../macros/KT_macros.h"

ANI_SLOT dta[ANI_SLOTS];
char anibuf[ANIBUF_SIZE];
char *anibuf_ptr = anibuf;
volatile s32 animateTimer = -1;
s32 last_minT;
GDI_STATE AniGDI;
s32 ExecState = EXEC_IDLE;

#define NO_TIMER 32767        // next player run: none of the slots is waiting
#define LONGEST_WAIT 32766    // longer waits are served in pieces of this length
#define STEP_LINE_SIZE 128    // a step as the interpreter gets it, expanded, with its NUL
#define STEP_COPY_SIZE 256    // a step before expansion, with its LF and NUL
#define YIELD_MAX 1000000000  // yields beyond this many milliseconds are cut to it

static ANI_SLOT *slotOf(int n) {
    if (n < 0 || n >= ANI_SLOTS || dta[n].start == NULL) return NULL;
    return &dta[n];
}

static bool isTerminator(char c) { return c == 0 || c == '\n'; }

// The terminator of the step at p: its NUL or LF, never beyond the slot's end.
static char *stepEnd(const ANI_SLOT *s, char *p) {
    while (p < s->end && !isTerminator(*p)) ++p;
    return p;
}

void init_animation(void) {
    memset(dta, 0, sizeof dta);
    animateTimer = -1;
    anibuf_ptr = anibuf;
}

int aniFreeSpace(void) { return (int)(anibuf + ANIBUF_SIZE - anibuf_ptr); }

int aniAppendStep(int n, const char *text, int lineLen) {
    if (n < 0 || n >= ANI_SLOTS) return 0;
    ANI_SLOT *s = &dta[n];
    if (s->start && s->end + 1 != anibuf_ptr) return 0;
    int len = (int)strlen(text);
    if (lineLen > aniFreeSpace() || len + 1 > aniFreeSpace()) return 0;
    char *at = anibuf_ptr;
    memcpy(at, text, (size_t)len);
    at[len] = 0;
    if (!s->start) {
        s->start = s->cur = at;
        s->timer = ANI_STOPPED;
    }
    s->end = at + len;
    anibuf_ptr = s->end + 1;
    return 1;
}

int aniStoreScript(int n, const char *script, s32 period) {
    if (n < 0 || n >= ANI_SLOTS || dta[n].start) return 0;
    int len = (int)strlen(script);
    if (len + 1 > aniFreeSpace()) return 0;
    ANI_SLOT *s = &dta[n];
    memcpy(anibuf_ptr, script, (size_t)len + 1);
    s->start = s->cur = anibuf_ptr;
    s->end = anibuf_ptr + len;
    anibuf_ptr = s->end + 1;
    s->timer = 1;
    animateTimer = period;
    return 1;
}

int aniStart(int n) {
    ANI_SLOT *s = slotOf(n);
    if (!s) return 0;
    s->timer = 1;
    if (animateTimer <= 0) animateTimer = 1;
    return 1;
}

void aniRewindAll(void) {
    for (ANI_SLOT &s : dta) s.cur = s.start;
    if (animateTimer <= 0) animateTimer = 0;
}

// A yield step begins with 'y' at the start of the animation or of a step; a 0x80 byte counts
// as one wherever it stands.
static bool isYieldAt(const ANI_SLOT *s, const char *p) {
    if ((u8)*p == 0x80) return true;
    return *p == 'y' && (p == s->start || isTerminator(p[-1]));
}

int aniSetFrame(int n, int k) {
    ANI_SLOT *s = slotOf(n);
    if (!s) return 0;
    char *frame = s->start;  // first step of the frame the next yield step closes
    int yields = 0;
    for (char *p = s->start; p <= s->end; ++p) {
        if (!isYieldAt(s, p)) continue;
        if (yields == k) {
            s->cur = frame;
            break;
        }
        ++yields;
        char *t = stepEnd(s, p);
        frame = t < s->end ? t + 1 : s->start;
    }
    s->timer = ANI_IDLE;
    return 1;
}

int DeleteAnimation(int n) {
    ANI_SLOT *s = slotOf(n);
    if (!s) return 0;
    ptrdiff_t len = s->end - s->start + 1;
    for (ANI_SLOT &o : dta) {
        if (&o == s || !o.start || o.start <= s->start) continue;
        o.start -= len;
        o.end -= len;
        o.cur -= len;
    }
    char *after = s->end + 1;
    memmove(s->start, after, (size_t)(anibuf_ptr - after));
    anibuf_ptr -= len;
    s->start = s->end = s->cur = NULL;
    s->timer = ANI_STOPPED;
    return 1;
}

// The timer a yield step at p (terminator t) sets: its number of milliseconds after one
// separator character, ANI_STOPPED for 's', ANI_IDLE for no number.
static s32 yieldTimer(const char *p, const char *t) {
    if (p + 1 >= t) return ANI_IDLE;
    const char *q = p + 2;
    if (q < t && *q == 's') return ANI_STOPPED;
    s32 ms = 0;
    for (; q < t && *q >= '0' && *q <= '9'; ++q) {
        ms = ms * 10 + (*q - '0');
        if (ms > YIELD_MAX) ms = YIELD_MAX;
    }
    return ms;
}

// Hands one step (p up to its terminator t) to the interpreter, with an LF after it and the
// back-quote tokens expanded.
static void runStep(const char *p, const char *t) {
    char copy[STEP_COPY_SIZE];
    size_t len = (size_t)(t - p);
    if (len > sizeof copy - 2) len = sizeof copy - 2;
    memcpy(copy, p, len);
    copy[len] = '\n';
    copy[len + 1] = 0;
    char line[STEP_LINE_SIZE];
    substString(line, sizeof line, copy);
    parse_command(line);
}

// Runs slot s from cur until a yield step or a full cycle.
static void runSlot(ANI_SLOT *s, bool wasFree) {
    if (s->cur < s->start || s->cur > s->end) s->cur = s->start;
    char *first = s->cur;
    char *start = s->start;
    // Every step moves cur on by at least one byte, so a cycle takes at most this many.
    for (ptrdiff_t steps = s->end - s->start + 1; steps >= 0; --steps) {
        char *p = s->cur;
        char *t = stepEnd(s, p);
        if (*p == 'y' && p < t) {
            s32 timer = yieldTimer(p, t);
            s->timer = wasFree ? ANI_STOPPED : timer;
            s->cur = t;
            return;
        }
        runStep(p, t);
        // A step may have emptied or rebuilt the table ("anic", "z"): the slot is no longer
        // the one this run began.
        if (s->start != start) return;
        s->cur = t >= s->end ? s->start : t + 1;
        if (s->cur == first) break;
    }
    s->timer = wasFree ? ANI_STOPPED : ANI_FREE;
}

void handle_animation(void) {
    if (animateTimer != 0 || ExecState == EXEC_ANIMATION) return;
    bool due = false;
    for (const ANI_SLOT &s : dta) due = due || (s.start && (s.timer > 0 || s.timer == ANI_FREE));
    if (!due) return;  // nothing to run: spare the state save

    s32 savedExec = ExecState;
    ExecState = EXEC_ANIMATION;
    SaveState(&AniGDI);
    s32 next = NO_TIMER;
    for (ANI_SLOT &s : dta) {
        s32 t = s.timer;
        if (!s.start || !(t > 0 || t == ANI_FREE)) continue;
        bool wasFree = t == ANI_FREE;
        if (t > 0) {
            t -= last_minT;
            if (t < 0) t = 0;
            s.timer = t;
        }
        if (t <= 0) runSlot(&s, wasFree);
        if (s.timer > 0) {
            s32 wait = s.timer > LONGEST_WAIT ? LONGEST_WAIT : s.timer;
            if (wait < next) next = wait;
        }
    }
    RestoreState(&AniGDI);
    ExecState = savedExec;
    if (next < NO_TIMER) {
        animateTimer = next;
        last_minT = next;
    }
}
