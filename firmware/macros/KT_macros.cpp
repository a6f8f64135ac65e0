// Macros. The image is input from outside: the macro table, the name block and the texts are
// read only inside the image the header describes, lines may lack their NUL, and every
// expansion is bounded by its buffer.
#include "KT_macros.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../command/parse_command.h"
#include "../memmap.h"
#include "../storage/KT_extmem.h"
#include "../touch/KT_touch.h"
#include "../touch/buttons.h"
#include "../widgets/KT_slider.h"
#include "board.h"

u8 macroDepth;
u8 macroVerbose;
s32 iMem[MACRO_VARS];
char mString[MACRO_VARS][MACRO_STRING_SIZE];
char memoryString[MACRO_STRING_SIZE];
MacroArgSlot argStore[MACRO_ARG_SLOTS];
volatile s32 macroQueued;
char macroQueuedArgs[MACRO_QUEUED_ARGS_SIZE];

static const u8 *intMacHead;  // enabled internal macro table, or none

static const char MSG_NO_IMAGE[] = ":Macro external memory record not found\r";
static const char MSG_NO_MACROS[] = ":No macros loaded\r";
static const char MSG_NO_NAMES[] = ":Macro meta table not loaded\r";

void KT_Macros_Init(void) {
    memoryString[0] = 0;
    for (int i = 0; i < MACRO_VARS; ++i) mString[i][0] = 0;
}

static bool isDigit(char c) { return c >= '0' && c <= '9'; }
static bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A decimal number at *p (optional sign); numbers beyond int saturate instead of overflowing.
static bool readInt(const char **p, long *v) {
    char *end;
    long n = strtol(*p, &end, 10);
    if (end == *p) return false;
    if (n > 0x7FFFFFFFL) n = 0x7FFFFFFFL;
    if (n < -0x7FFFFFFFL - 1) n = -0x7FFFFFFFL - 1;
    *v = n;
    *p = end;
    return true;
}

// ---------------------------------------------------------------------------------------
// The macro area of the image.

// The image's macro table and the end of the image, when the header is valid and directory
// entry 0 holds a macro table that lies inside the image. *code: -3 no image, -2 no macros.
struct MacroArea {
    const u8 *table;  // N entries
    u32 count;        // N
    const u8 *end;    // one past the image's last byte
};

static bool macroArea(MacroArea *a, int *code) {
    const ExtMemHeader *h = KT_ExtMem_Header();
    if (!h) {
        *code = -3;
        return false;
    }
    ExtMemDirEntry *e = KT_ExtMem_Entry(0);
    if (!e || e->type != EXTMEM_MACROS || e->size == 0) {
        *code = -2;
        return false;
    }
    a->end = ExtMemBuffer + KT_ExtMem_Staged();
    u32 rec = extRd32(&e->record);
    if (rec < EXTMEM_ADDR) rec += EXTMEM_ADDR;  // not fixed up (yet): an offset
    const u8 *t = KT_ExtMem_Range(rec, 0);
    if (!t || t > a->end || (u32)(a->end - t) / 8 < e->size) {
        *code = -2;
        return false;
    }
    a->table = t;
    a->count = e->size;
    return true;
}

// The name block after the table: its names start here, or none without the mark.
static const char *nameBlock(const MacroArea *a) {
    const u8 *p = a->table + 8 * a->count;
    if (a->end - p < 6 || extRd16(p) != MACRO_NAMES_MARK) return 0;
    return (const char *)p + 6;
}

// Name k (0..N) of the block, or none when the block ends before it does.
static const char *nameAt(const MacroArea *a, const char *names, u32 k) {
    const char *end = (const char *)a->end;
    const char *p = names;
    for (u32 i = 0; i < k; ++i) {
        const char *z = (const char *)memchr(p, 0, (size_t)(end - p));
        if (!z) return 0;
        p = z + 1;
    }
    if (p >= end || !memchr(p, 0, (size_t)(end - p))) return 0;
    return p;
}

void KT_EnableInternalMacros(const void *table) { intMacHead = (const u8 *)table; }
void KT_DisableInternalMacros(void) { intMacHead = 0; }

static bool entryIsEnd(const u8 *e) {
    for (int i = 0; i < 8; ++i)
        if (e[i]) return false;
    return true;
}

const MacroEntry *KT_GetMacro(int index) {
    if (intMacHead) {
        if (index < 1) return 0;
        for (int k = 1;; ++k) {
            const u8 *e = intMacHead + 8 * (k - 1);
            if (entryIsEnd(e)) return 0;
            if (k == index) return (const MacroEntry *)e;
        }
    }
    if (index < 1 || index > 255) return 0;
    MacroArea a;
    int code;
    if (!macroArea(&a, &code) || (u32)index > a.count) return 0;
    u8 *e = (u8 *)a.table + 8 * (index - 1);
    // A text field the fix-up did not reach is converted now, once. A text outside the image
    // makes no macro.
    if (!tryFixup((u32 *)e)) return 0;
    const u8 *text = KT_ExtMem_Range(extRd32(e), 0);
    if (!text || text >= a.end) return 0;
    return (const MacroEntry *)e;
}

// Where the macro's text lies: [*text, *end). Internal tables are part of the firmware and
// end their lines properly, so they get no end (null).
static bool macroText(const MacroEntry *m, const char **text, const char **end) {
    u32 t = extRd32(&m->text);
    if (intMacHead) {
        *text = (const char *)intMacHead + t;
        *end = 0;
        return true;
    }
    const ExtMemHeader *h = KT_ExtMem_Header();
    const u8 *p = KT_ExtMem_Range(t, 0);
    const u8 *imageEnd = ExtMemBuffer + KT_ExtMem_Staged();
    if (!h || !p || p >= imageEnd) return false;
    *text = (const char *)p;
    *end = (const char *)imageEnd;
    return true;
}

// The macro area and its name block for the name conversions; tells the host and leaves
// the failure code in *index when either is missing.
static const char *openNames(MacroArea *a, int *index) {
    int code;
    if (!macroArea(a, &code)) {
        txNotify(code == -3 ? MSG_NO_IMAGE : MSG_NO_MACROS);
        *index = code;
        return 0;
    }
    const char *names = nameBlock(a);
    if (!names) {
        txNotify(MSG_NO_NAMES);
        *index = -1;
    }
    return names;
}

int convertStringtoIndexMacro(const char *text, int *index) {
    if (isDigit(text[0])) {
        long v = 0;
        const char *p = text;
        readInt(&p, &v);
        *index = (int)v;
        return 1;
    }
    MacroArea a;
    const char *names = openNames(&a, index);
    if (!names) return 0;
    if (text[0] == '/') {
        *index = 0;
        return 1;
    }
    if (!isLetter(text[0]) && text[0] != '_') {
        txNotify(":Macro name has improper form\r");
        *index = -4;
        return 0;
    }
    size_t len = 0;
    while (text[len] && !isBlank(text[len]) && text[len] != ':') ++len;
    for (u32 k = 0; k <= a.count; ++k) {
        const char *n = nameAt(&a, names, k);
        if (!n) break;
        if (strlen(n) == len && strncmp(n, text, len) == 0) {
            *index = (int)k;
            return 1;
        }
    }
    txNotify(":Macro name not found\r");
    *index = 0;
    return 0;
}

const char *convertIndextoStringMacro(int *index) {
    MacroArea a;
    const char *names = openNames(&a, index);
    if (!names) return 0;
    if (*index < 1 || (u32)*index > a.count) return 0;
    const char *n = nameAt(&a, names, (u32)*index);
    return n && n[0] ? n : 0;
}

// The name of a macro for messages, without any notification: internal macros and images
// without a name block have none.
static const char *quietName(int index) {
    if (intMacHead) return 0;
    MacroArea a;
    int code;
    if (!macroArea(&a, &code) || index < 1 || (u32)index > a.count) return 0;
    const char *names = nameBlock(&a);
    const char *n = names ? nameAt(&a, names, (u32)index) : 0;
    return n && n[0] ? n : 0;
}

// ---------------------------------------------------------------------------------------
// Lines of a macro text.

struct LineReader {
    const char *start;  // the first line
    const char *end;    // one past the text's last byte, or null for an internal table
    const char *at;     // the next line
    int total;          // lines of the macro
    int done;           // lines read so far
};

static void rewind(LineReader *r) {
    r->at = r->start;
    r->done = 0;
}

// Copies the next line (at most size - 1 characters; a longer one is cut) into buf. False
// after the last line, or where the text runs out of the image.
static bool nextLine(LineReader *r, char *buf, int size) {
    if (r->done >= r->total) return false;
    if (r->end && r->at >= r->end) return false;
    int n = 0;
    const char *p = r->at;
    while ((!r->end || p < r->end) && *p) {
        if (n < size - 1) buf[n++] = *p;
        ++p;
    }
    buf[n] = 0;
    r->at = (!r->end || p < r->end) ? p + 1 : p;  // past the NUL, or at the image end
    ++r->done;
    return true;
}

// ---------------------------------------------------------------------------------------
// Arguments and substitution.

void splitMacroArgs(const char *args, char out[MACRO_ARGS][MACRO_ARG_CHARS + 1]) {
    for (int i = 0; i < MACRO_ARGS; ++i) out[i][0] = 0;
    if (!args) return;
    const char *p = args;
    for (int i = 0; i < MACRO_ARGS; ++i) {
        while (isBlank(*p)) ++p;
        if (!*p) return;
        int n = 0;
        if (*p == '"') {
            ++p;
            const char *q = p;
            while (*q && !(*q == '"' && q[-1] != '\\')) ++q;
            for (const char *c = p; c < q; ++c)
                if (n < MACRO_ARG_CHARS) out[i][n++] = *c;
            out[i][n] = 0;
            if (!*q) return;  // no closing quote: it took the rest
            p = q + 1;
        } else {
            while (*p && !isBlank(*p)) {
                if (n < MACRO_ARG_CHARS) out[i][n++] = *p;
                ++p;
            }
            out[i][n] = 0;
        }
    }
}

void prepareMacroCommand(char *dst, int size, const char *src, const char args[MACRO_ARGS][MACRO_ARG_CHARS + 1]) {
    int o = 0;
    const char *s = src;
    while (*s && o < size - 1) {
        if (s[0] == '`' && isDigit(s[1]) && s[2] == '`') {
            for (const char *a = args[s[1] - '0']; *a && o < size - 1; ++a) dst[o++] = *a;
            s += 3;
        } else {
            dst[o++] = *s++;
        }
    }
    dst[o] = 0;
}

// The output side of substString: an insertion that does not fit is dropped whole.
struct SubstOut {
    char *dst;
    int size;
    int at;
};

static void put(SubstOut *o, const char *text) {
    int len = (int)strlen(text);
    if (len > o->size - 1 - o->at) return;
    memcpy(o->dst + o->at, text, (size_t)len);
    o->at += len;
}

static void putInt(SubstOut *o, long v) {
    char num[16];
    snprintf(num, sizeof num, "%ld", v);
    put(o, num);
}

// The token's text is t (after the opening backtick) up to close (its closing backtick).
static void expandToken(SubstOut *o, const char *t, const char *close) {
    switch (t[0]) {
        case 'R': {
            const char *p = t + 1;
            long a, b;
            if (!readInt(&p, &a) || *p != ':') return;
            ++p;
            if (!readInt(&p, &b) || p != close) return;
            // b < a has no range to draw from: a, like a = b.
            long long span = (long long)b - a + 1;
            putInt(o, span <= 1 ? a : (long)(a + (long long)rand() % span));
            return;
        }
        case 'M':
            put(o, memoryString);
            return;
        case 's':
            if (isDigit(t[1])) put(o, mString[t[1] - '0']);
            return;
        case 'i':
            if (isDigit(t[1])) putInt(o, iMem[t[1] - '0']);
            return;
        case 'L': {
            const char *p = t + 1;
            long n;
            s32 v;
            if (!readInt(&p, &n)) return;
            if (KT_Slider_Value((int)n, &v)) putInt(o, v);
            if (KT_CircSlider_Value((int)n, &v)) putInt(o, v);
            return;
        }
        case 'X':
            if (t[1] == 'r') putInt(o, lastHotRX);
            if (t[1] == 'a') putInt(o, lastHotAX);
            return;
        case 'Y':
            if (t[1] == 'r') putInt(o, lastHotRY);
            if (t[1] == 'a') putInt(o, lastHotAY);
            return;
        case '$': {
            char num[24];
            snprintf(num, sizeof num, "%d,%d", (int)(baudrate0 / 1000), (int)(baudrate0 % 1000));
            put(o, num);
            return;
        }
    }
}

void substString(char *dst, int size, const char *src) {
    if (size <= 0) return;
    SubstOut o = {dst, size, 0};
    const char *s = src;
    while (*s && o.at < size - 1) {
        if (*s != '`') {
            dst[o.at++] = *s++;
            continue;
        }
        const char *t = s + 1;
        if (*t == '`') {
            put(&o, "`");
            s = t + 1;
            continue;
        }
        bool known = *t == 'R' || *t == 'M' || *t == 's' || *t == 'i' || *t == 'L' || *t == 'X' ||
                     *t == 'Y' || strncmp(t, "$BAUD0`", 7) == 0;
        if (!known) {
            // Not a token: the backtick and the character after it go.
            if (!*t) break;
            s = t + 1;
            continue;
        }
        const char *close = strchr(t, '`');
        if (!close) break;
        expandToken(&o, t, close);
        s = close + 1;
    }
    dst[o.at] = 0;
}

// ---------------------------------------------------------------------------------------
// Running a macro.

static void sendVerboseHeader(int index, const char args[MACRO_ARGS][MACRO_ARG_CHARS + 1]) {
    char msg[OUT_BUFFER_SIZE];
    const char *name = quietName(index);
    if (name)
        snprintf(msg, sizeof msg, "\r:Running Macro %d (%s)... ", index, name);
    else
        snprintf(msg, sizeof msg, "\r:Running Macro %d... ", index);
    txString(msg);
    if (args[0][0]) {
        txString("( Args: ");
        for (int i = 0; i < MACRO_ARGS && args[i][0]; ++i) {
            snprintf(msg, sizeof msg, "\"%s\" ", args[i]);
            txString(msg);
        }
        txString(")");
    }
    txString("\r");
}

// The label of a label line: its first word, of which the first MACRO_LABEL_CHARS count.
static void labelOf(const char *line, char *out) {
    int n = 0;
    while (line[n] && !isBlank(line[n]) && n < MACRO_LABEL_CHARS) {
        out[n] = line[n];
        ++n;
    }
    out[n] = 0;
}

static bool sameLabel(const char *word, const char *label) {
    return label && strncmp(word, label, MACRO_LABEL_CHARS) == 0;
}

int processMacro(int index, const char *args, const char *label) {
    if (label && label[0] && isDigit(label[1])) {
        txString(":label cannot begin with a digit\r");
        return 0;
    }
    const MacroEntry *m = KT_GetMacro(index);
    if (!m) return 0;
    LineReader r;
    if (!macroText(m, &r.start, &r.end)) return 0;
    r.total = extRd16(&m->lines);
    rewind(&r);
    if (macroDepth >= MACRO_MAX_DEPTH) {
        if (macroVerbose == 1) {
            char msg[48];
            snprintf(msg, sizeof msg, ":maximum macro depth of %d exceeded\r", MACRO_MAX_DEPTH);
            txString(msg);
        }
        return 0;
    }
    ++macroDepth;

    char argv[MACRO_ARGS][MACRO_ARG_CHARS + 1];
    splitMacroArgs(args, argv);
    if (macroVerbose) sendVerboseHeader(index, argv);

    char line[MACRO_LINE_SIZE], prepared[MACRO_LINE_SIZE], expanded[MACRO_LINE_SIZE];
    char word[MACRO_LABEL_CHARS + 1];
    bool seen = false, inside = false;
    int executed = 0;     // command lines run by this call
    int sinceLabel = 0;   // command lines run since the requested label was found
    int result = 0;
    bool stopped = false;  // by a failing line, a scheduled macro or the escape
    for (;;) {
        if (macroQueued != 0) {
            stopped = true;
            break;
        }
        if (!nextLine(&r, line, sizeof line)) break;
        if (line[0] == '\r' || line[0] == 0) continue;
        bool repeat = strncmp(line, ":repeat", 7) == 0;
        if (line[0] == ':' && !repeat) {
            labelOf(line, word);
            if (!seen) {
                seen = true;
                if (sameLabel(word, label)) {
                    inside = true;
                    sinceLabel = 0;
                }
            } else if (!inside) {
                if (sameLabel(word, label)) {
                    inside = true;
                    sinceLabel = 0;
                }
            } else if (sinceLabel > 0) {
                break;  // the end of the requested section
            }
            continue;
        }
        if (seen && !inside) continue;
        if (repeat) {
            // The host's ESC CR is the way out of an endless loop, except on a bus, where it
            // cannot be told from traffic for other stations. Time passes here so that a loop
            // of lines that cost nothing still lets the escape and touches arrive.
            if (!rs485On() && checkEscape()) {
                stopped = true;
                break;
            }
            handle_touch();
            boardIdle();
            rewind(&r);
            continue;
        }
        prepareMacroCommand(prepared, sizeof prepared, line, argv);
        substString(expanded, sizeof expanded, prepared);
        if (macroVerbose) {
            txString(expanded);
            txString("\r");
        }
        killTrailingComment(expanded);
        result = parse_command(expanded);
        ++executed;
        ++sinceLabel;
        if (result == 0) {
            stopped = true;
            break;
        }
        handle_touch();
    }
    if (label && !inside && !stopped) txString(":label not found\r");
    --macroDepth;
    if (result == 0 && executed == 0) pout(":no command lines processed\r");
    return result;
}

// ---------------------------------------------------------------------------------------
// The schedule and the button arguments.

static void copyText(char *dst, const char *src, size_t max) {
    size_t n = 0;
    if (src)
        while (n < max && src[n]) {
            dst[n] = src[n];
            ++n;
        }
    dst[n] = 0;
}

void scheduleMacro(int index, const char *args) {
    if (index == 0) return;
    copyText(macroQueuedArgs, args, MACRO_ARG_TEXT_MAX);
    macroQueued = index;
}

int pendingMacro(void) { return macroQueued; }

int processScheduledMacro(void) {
    char args[MACRO_QUEUED_ARGS_SIZE];
    int index = macroQueued;
    copyText(args, macroQueuedArgs, MACRO_ARG_TEXT_MAX);
    macroQueued = 0;
    if (index == 0) return 0;
    return processMacro(index, args, nullptr);
}

static int findSlot(int hotSpot, int isPress) {
    u8 edge = isPress ? ARG_SLOT_PRESS : 0;
    for (int i = 0; i < MACRO_ARG_SLOTS; ++i) {
        const MacroArgSlot *s = &argStore[i];
        if ((s->flags & ARG_SLOT_USED) && s->hotSpot == (u8)hotSpot && (s->flags & ARG_SLOT_PRESS) == edge)
            return i;
    }
    return -1;
}

int assignMacroArgs(int hotSpot, int isPress, const char *args) {
    if (hotSpot < 0 || hotSpot > 255) return 0;
    releaseMacroArgs(hotSpot, isPress);
    for (int i = 0; i < MACRO_ARG_SLOTS; ++i) {
        MacroArgSlot *s = &argStore[i];
        if (s->flags & ARG_SLOT_USED) continue;
        s->flags = (u8)(ARG_SLOT_USED | (isPress ? ARG_SLOT_PRESS : 0));
        s->hotSpot = (u8)hotSpot;
        copyText(s->text, args, MACRO_ARG_TEXT_MAX);
        s->text[sizeof s->text - 1] = 0;
        return 1;
    }
    return 0;
}

const char *getMacroArgs(int hotSpot, int isPress) {
    if (hotSpot < 0 || hotSpot > 255) return nullptr;
    int i = findSlot(hotSpot, isPress);
    return i < 0 ? nullptr : argStore[i].text;
}

void releaseMacroArgs(int hotSpot, int isPress) {
    if (hotSpot < 0 || hotSpot > 255) return;
    int i = findSlot(hotSpot, isPress);
    if (i >= 0) argStore[i].flags = 0;
}

// ---------------------------------------------------------------------------------------
// Variables.

void setMacro_iMem(int i, s32 value) {
    if (i >= 0 && i < MACRO_VARS) iMem[i] = value;
}

int setMacroString2(const char *text, int i) {
    if (i < 0 || i >= MACRO_VARS) return 0;
    copyText(mString[i], text, MACRO_STRING_SIZE - 1);
    return 1;
}

// Appends when the result stays shorter than max characters (0: the whole variable).
static int pushOnto(char *s, const char *text, int max) {
    if (max <= 0 || max > MACRO_STRING_SIZE) max = MACRO_STRING_SIZE;
    size_t have = strlen(s), add = strlen(text);
    if (have + add >= (size_t)max) return 1;
    memcpy(s + have, text, add + 1);
    return 1;
}

int pushMacroString(const char *text, int max) { return pushOnto(memoryString, text, max); }

int pushMacroString2(const char *text, int i, int max) {
    if (i < 0 || i >= MACRO_VARS) return 0;
    return pushOnto(mString[i], text, max);
}

static void popFrom(char *s, int n) {
    int len = (int)strlen(s);
    s[(n < 0 || n > len) ? 0 : len - n] = 0;
}

void popMacroString(int n) { popFrom(memoryString, n); }

int popMacroString2(int n, int i) {
    if (i < 0 || i >= MACRO_VARS) return 0;
    popFrom(mString[i], n);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Listing.

static void listOne(const MacroArea *a, const char *names, u32 k) {
    char msg[MACRO_LINE_SIZE + 8];  // txString sends at most 128 characters of it
    const u8 *e = a->table + 8 * (k - 1);
    const char *n = names ? nameAt(a, names, k) : 0;
    int number = extRd16(e + 6) & 0xFF;
    if (n && n[0])
        snprintf(msg, sizeof msg, "    #%d: %s\r", number, n);
    else
        snprintf(msg, sizeof msg, "    #%d:\r", number);
    txString(msg);
    const MacroEntry *m = KT_GetMacro((int)k);
    LineReader r;
    if (!m || !macroText(m, &r.start, &r.end)) return;
    r.total = extRd16(&m->lines);
    rewind(&r);
    char line[MACRO_LINE_SIZE];
    while (nextLine(&r, line, sizeof line)) {
        snprintf(msg, sizeof msg, "    '%s'\r", line);
        txString(msg);
    }
}

int KT_ListMacros(int n) {
    const ExtMemHeader *h = (const ExtMemHeader *)ExtMemBuffer;
    if (!KT_ExtMem_Header()) {
        char msg[80];
        snprintf(msg, sizeof msg, "external memory invalid (found %04X, expected %04X).\r", h->magic, EXTMEM_MAGIC);
        txString(msg);
        return 0;
    }
    MacroArea a;
    int code;
    bool have = macroArea(&a, &code);
    const char *names = have ? nameBlock(&a) : 0;
    u32 count = have ? a.count : 0;
    if (n >= 0) {
        if (n < 1 || (u32)n >= count) {
            txString(":index outside valid range\r");
            return 0;
        }
        txString("    Macro Definition\r");
        listOne(&a, names, (u32)n);
    } else {
        txString("    Macro Definitions\r");
        for (u32 k = 1; k < count; ++k) listOne(&a, names, k);
    }
    txString("\r    Button -> macro (args):\r");
    char msg[OUT_BUFFER_SIZE];
    for (int s = 0; s < HOTSPOT_COUNT; ++s) {
        const HotSpot *hs = &TouchHotSpots[s];
        if (hs->kind == KIND_FREE || (!hs->pressMacro && !hs->releaseMacro)) continue;
        snprintf(msg, sizeof msg, "    %3d ->", s);
        txString(msg);
        if (hs->pressMacro) {
            const char *args = getMacroArgs(s, 1);
            snprintf(msg, sizeof msg, " press: %d (%s)", hs->pressMacro, args ? args : "");
            txString(msg);
        }
        if (hs->releaseMacro) {
            const char *args = getMacroArgs(s, 0);
            snprintf(msg, sizeof msg, " release: %d (%s)", hs->releaseMacro, args ? args : "");
            txString(msg);
        }
        txString("\r");
    }
    return 1;
}
