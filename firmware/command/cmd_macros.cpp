// Command handlers. Macros: running, arguments, variables, the string stack, settings of
// macro behaviour.
#include "handlers.h"
#include "dispatch.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "../app/GUIDEMO.h"
#include "../comm/Rtosinit.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_eeprom.h"
#include "../touch/KT_touch.h"
#include "parse_command.h"

static bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
static char *skipBlanks(char *p) {
    while (isBlank(*p)) ++p;
    return p;
}

// A macro word (number, name or '/') at p; the next word follows after *next.
static char *wordEnd(char *p) {
    while (*p && !isBlank(*p)) ++p;
    return p;
}

// A macro that exists: its number, or 0 for none given ("0" or "/"), or -1 when it does not
// exist or cannot be looked up.
static int existingMacro(const char *word) {
    int n;
    if (!convertStringtoIndexMacro(word, &n)) return -1;
    if (n == 0) return 0;
    return KT_GetMacro(n) ? n : -1;
}

// "xa[q] <hot spot> <kind> <macro> <argument text>", fields split on single blanks.
int cmdMacroArgs(char *line) {
    char *p = line + 2;
    bool quiet = *p == 'q';
    if (quiet) ++p;
    char *rest;
    char *spot = strtokr(p, ' ', &rest);
    char *kind = strtokr(rest, ' ', &rest);
    if (!spot || !kind || !rest || !*rest) return CMD_REJECTED;
    char *macro = rest;
    char *end = macro;
    while (*end && *end != ' ') ++end;
    char *text = end;
    if (*text) *text++ = 0;  // one blank, then the argument text as it stands
    int n = atoi(spot);
    if (n < 0 || n > 255) return CMD_REJECTED;
    bool press = kind[0] == '1' || kind[0] == 'p';
    int m = existingMacro(macro);
    if (m < 0 || m > 255) return CMD_REJECTED;
    HotSpot *h = &TouchHotSpots[n];
    if (m == 0) {
        if (press)
            h->pressMacro = 0;
        else
            h->releaseMacro = 0;
        releaseMacroArgs(n, press);
        return CMD_DONE;
    }
    if (press)
        h->pressMacro = (u8)m;
    else
        h->releaseMacro = (u8)m;
    if (quiet)
        h->flags &= (u8)~HS_REPORT_ON;
    else
        h->flags |= HS_REPORT_ON;
    return assignMacroArgs(n, press, text);
}

int cmdSetInt(char *line) {
    int i, v;
    if (scanArgs(line, &i, &v) != 2 || i < 0 || i >= MACRO_VARS) return CMD_REJECTED;
    setMacro_iMem(i, v);
    return CMD_DONE;
}

int cmdSetString(char *line) {
    int i;
    if (scanArgs(line, &i) != 1 || i < 0 || i >= MACRO_VARS) return CMD_REJECTED;
    char *text = escstr(line + 5, '"', NULL);
    if (!text) return CMD_REJECTED;
    return setMacroString2(text, i);
}

// "mpush [<variable>] "text" [<max>]".
int cmdPush(char *line) {
    char *p = skipBlanks(line + 5);
    int var = -1;
    if (*p >= '0' && *p <= '9') {
        var = atoi(p);
        if (var >= MACRO_VARS) return CMD_REJECTED;
    }
    char *after;
    char *text = escstr(p, '"', &after);
    if (!text) return CMD_REJECTED;
    int max = 0;
    after = skipBlanks(after);
    if (*after) {
        char *end;
        long v = strtol(after, &end, 10);
        if (end == after) return CMD_DONE;  // a word that is no number: nothing appended
        max = v < 0 ? 0 : v > 0x7FFF ? 0x7FFF : (int)v;
    }
    return var < 0 ? pushMacroString(text, max) : pushMacroString2(text, var, max);
}

// "mpop <variable> <count>" or "mpop <count>" for M.
int cmdPop(char *line) {
    int a, b;
    int n = sscanf(line + 4, "%d %d", &a, &b);
    if (n == 2) {
        if (a < 0 || a >= MACRO_VARS) return CMD_REJECTED;
        return popMacroString2(b, a);
    }
    if (n == 1) {
        popMacroString(a);
        return CMD_DONE;
    }
    return CMD_REJECTED;
}

// "m<index>", "m <index>", "m <name>", each optionally with ":label" glued on and followed by
// the argument text; or the binary 0x82 'M' <index>.
int cmdRunMacro(char *line) {
    if ((u8)line[0] == 0x82) return processMacro((u8)line[2], "", NULL);
    char *word = skipBlanks(line + 1);
    char *end = word;
    while (*end && !isBlank(*end) && *end != ':') ++end;
    char label[MACRO_LABEL_CHARS + 1];
    const char *labelArg = NULL;
    char *args = end;
    if (*end == ':') {
        char *l = end;
        char *le = wordEnd(l);
        if (le - l < 2) {
            txString(":unable to parse label\r");
            return CMD_REJECTED;
        }
        size_t n = (size_t)(le - l) < MACRO_LABEL_CHARS ? (size_t)(le - l) : MACRO_LABEL_CHARS;
        memcpy(label, l, n);
        label[n] = 0;
        labelArg = label;
        args = le;
    }
    char saved = *end;
    *end = 0;
    int index;
    int ok = convertStringtoIndexMacro(word, &index);
    *end = saved;
    if (!ok) return CMD_REJECTED;
    return processMacro(index, skipBlanks(args), labelArg);
}

// "xm[q] <hot spot> <press macro> [<release macro>]".
int cmdHotSpotMacros(char *line) {
    char *p = line + 2;
    bool quiet = *p == 'q';
    if (quiet) ++p;
    char *end;
    long n = strtol(p, &end, 10);
    if (end == p || n < 0 || n > 255) return CMD_REJECTED;
    HotSpot *h = &TouchHotSpots[n];
    if (h->kind == KIND_FREE) return CMD_REJECTED;
    char *press = skipBlanks(end);
    if (!*press) return CMD_REJECTED;
    char *pe = wordEnd(press);
    char *release = skipBlanks(pe);
    *pe = 0;
    if (*release) *wordEnd(release) = 0;
    int pm = existingMacro(press);
    if (pm < 0 || pm > 255) return CMD_REJECTED;
    if (pm == 0) {
        h->pressMacro = 0;
        h->releaseMacro = 0;
        h->flags |= HS_REPORT_ON;
        return CMD_DONE;
    }
    int rm = 0;
    if (*release) {
        rm = existingMacro(release);
        if (rm < 0 || rm > 255) return CMD_REJECTED;
    }
    h->pressMacro = (u8)pm;
    h->releaseMacro = (u8)rm;
    if (quiet) h->flags &= (u8)~HS_REPORT_ON;
    return CMD_DONE;
}

int cmdMacDebug(char *line) {
    int v;
    if (scanArgs(line, &v) != 1) return CMD_REJECTED;
    macroVerbose = (u8)v;
    return CMD_DONE;
}

int cmdMacNote(char *line) {
    int v;
    if (sscanf(line + 8, "%d", &v) == 1) macroNotify = (u8)v;
    static const char *const modes[] = {"off\r", "start\r", "end\r", "both\r"};
    txString(macroNotify < 4 ? modes[macroNotify] : modes[0]);
    return CMD_DONE;
}

int cmdDemoMac(char *line) {
    char *word = skipBlanks(line + 8);
    if (!*word) {
        replyNumber(eepromData.demomacIndex);
        return CMD_DONE;
    }
    *wordEnd(word) = 0;
    int m = existingMacro(word);
    if (m <= 0 || m > 255) return CMD_REJECTED;
    eepromData.demomacIndex = (u8)m;
    KT_EEPROM_Save();
    return CMD_DONE;
}

// "*PONMAC <macro> [<quiet flag>]"; the quiet flag 1 means the macro draws the first page, so
// no banner is drawn under it.
int cmdPonMac(char *line) {
    char *word = skipBlanks(line + 7);
    if (!*word) {
        replyNumber(eepromData.ponmacIndex);
        return CMD_DONE;
    }
    char *we = wordEnd(word);
    char *flagText = skipBlanks(we);
    *we = 0;
    int flag;
    bool haveFlag = sscanf(flagText, "%d", &flag) == 1;
    if (strcmp(word, "255") == 0 || word[0] == '/' || (word[0] == '0' && atoi(word) == 0)) {
        eepromData.ponmacIndex = 0;
        eepromData.ponmacFlag = 0xFF;
    } else {
        int m = existingMacro(word);
        if (m <= 0 || m > 254) return CMD_REJECTED;
        eepromData.ponmacIndex = (u8)m;
        if (haveFlag && flag == 1) eepromData.ponmacFlag = FLAG_ON;
    }
    KT_EEPROM_Save();
    if (haveFlag) {
        replyNumber(eepromData.ponmacIndex);
    }
    return CMD_DONE;
}
