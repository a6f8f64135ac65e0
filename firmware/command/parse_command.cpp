// Line-level helpers of the interpreter and its entry point.
#include "parse_command.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../widgets/widget_util.h"
#include "dispatch.h"

char out_buffer[OUT_BUFFER_SIZE];
s32 Origin_X;
s32 Origin_Y;

int withOrigin(int v, s32 origin) { return clampToInt((long long)v + origin); }

void replyNumber(long v) {
    char t[24];
    snprintf(t, sizeof t, "%ld\r", v);
    txString(t);
}

const u32 color_map[COLOR_MAP_SIZE] = {
    0x000000,  // black
    0xFFFFFF,  // white
    0xFF0000,  // blue
    0x00FF00,  // green
    0xFFFF00,  // cyan
    0x0000FF,  // red
    0xFF00FF,  // magenta
    0x2A2AA5,  // brown
    0x404040,  // dark grey
    0x808080,  // grey
    0xD3D3D3,  // light grey
    0xFF8080,  // light blue
    0x80FF80,  // light green
    0xFFFF80,  // light cyan
    0x8080FF,  // light red
    0xFF80FF,  // light magenta
    0x00FFFF,  // yellow
    0x0000FF,  // red
    0x00FF00,  // green
    0xFF0000,  // blue
};

static bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int parse_command(char *line) {
    if (line == NULL) return CMD_REJECTED;
    const CommandEntry *entry = findCommand(line);
    if (entry == NULL) return CMD_REJECTED;
    int result = runCommand(entry, line);
    // Handlers may forward another module's return value; only 0, 2 and 3 mean anything
    // but "done", and the main loop and macros see nothing else.
    if (result == CMD_REJECTED || result == CMD_CORRUPT || result == CMD_NO_REPLY) return result;
    return CMD_DONE;
}

bool killTrailingComment(char *line) {
    if (line == NULL) return false;
    bool inQuotes = false;
    bool prevSlash = false;
    int run = 0;  // characters in the current stretch of white space and slashes
    for (int i = 0; line[i] != '\0'; i++) {
        char c = line[i];
        if (c == '"' && (i == 0 || line[i - 1] != '\\')) inQuotes = !inQuotes;
        run = (isBlank(c) || c == '/') ? run + 1 : 0;
        if (c == '/' && prevSlash && !inQuotes) {
            // The stretch that ends with the second slash holds the blanks before the
            // comment as well: they go with it.
            line[i + 1 - run] = '\0';
            break;
        }
        prevSlash = (c == '/') && !inQuotes;
    }
    return line[0] != '\0';
}

char *escstr(char *s, char delim, char **rest) {
    if (s == NULL || *s == '\0' || delim == '\0') return NULL;
    char *open = strchr(s, delim);
    if (open == NULL) return NULL;
    // The text moves to the start of s; it never gets ahead of the character being read,
    // so reading and writing share the buffer.
    char *dst = s;
    char *src = open + 1;
    for (;;) {
        char c = *src;
        if (c == '\0') break;
        if (c == delim) {
            src++;
            break;
        }
        if (c != '\\') {
            *dst++ = c;
            src++;
            continue;
        }
        char e = src[1];
        if (e == '\0') {  // a lone backslash at the end ends the text
            src++;
            break;
        }
        if (e == 'n') {
            *dst++ = 0x0A;
            src += 2;
        } else if (e == 'r') {
            *dst++ = 0x0D;
            src += 2;
        } else if (e == 'x' || e == 'X') {
            if (src[2] == '\0' || src[3] == '\0') {  // cut short: the text ends here
                src += (src[2] == '\0') ? 2 : 3;
                break;
            }
            *dst++ = (char)shtoU8(src + 2);
            src += 4;
        } else {
            *dst++ = e;
            src += 2;
        }
    }
    *dst = '\0';
    if (rest != NULL) *rest = src;
    return s;
}

char *strtokr(char *s, char delim, char **rest) {
    if (rest != NULL) *rest = NULL;
    if (s == NULL || *s == '\0') return NULL;
    char *p = s;
    bool seenText = false;
    while (*p != '\0' && !(*p == delim && seenText)) {
        if (*p != delim) seenText = true;
        p++;
    }
    if (*p != '\0') {
        *p++ = '\0';
        while (*p != '\0' && *p == delim) p++;
    }
    if (rest != NULL) *rest = p;
    return s;
}

u8 atoh(char c) {
    if (c >= '0' && c <= '9') return (u8)(c - '0');
    if (c >= 'a' && c <= 'f') return (u8)(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return (u8)(c - 'A' + 10);
    return 0;
}

static u8 looseHexDigit(char c) {
    return (u8)(c < 'A' ? c - '0' : (c | 0x20) - 'a' + 10);
}

u8 shtoU8(const char *s) {
    return (u8)((looseHexDigit(s[0]) << 4) + looseHexDigit(s[1]));
}

u8 oneCapHexToBin(char c) {
    if (c >= '0' && c <= '9') return (u8)(c - '0');
    if (c >= 'A' && c <= 'F') return (u8)(c - 'A' + 10);
    return 0xFF;
}

s32 atoRGB(const char *s) {
    if (s == NULL) return -1;
    while (isBlank(*s)) s++;
    size_t len = strlen(s);
    if (len == 3) {
        u32 r = atoh(s[0]) * 0x11u;
        u32 g = atoh(s[1]) * 0x11u;
        u32 b = atoh(s[2]) * 0x11u;
        return (s32)((r << 16) | (g << 8) | b);
    }
    if (len == 6) {
        unsigned int v = 0;
        if (sscanf(s, "%x", &v) != 1) v = 0;
        // A sign in the text must not turn the colour into the -1 that means "invalid".
        return (s32)(v & 0xFFFFFFu);
    }
    return -1;
}

u32 atoBGR(const char *s) {
    u32 rgb = (u32)atoRGB(s);
    return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

int textModeOf(const char *word, const char **name) {
    static const char *const names[] = {"N", "X", "T", "R", "TR"};
    static const int modes[] = {TEXT_MODE_NORMAL, TEXT_MODE_XOR, TEXT_MODE_TRANS, TEXT_MODE_REV,
                                TEXT_MODE_TRANS_REV};
    if (word == NULL) return -1;
    int which;
    if (word[0] == 'T' && word[1] == 'R') which = 4;
    else if (word[0] == 'R') which = 3;
    else if (word[0] == 'T') which = 2;
    else if (word[0] == 'X') which = 1;
    else if (word[0] == 'N') which = 0;
    else return -1;
    if (name != NULL) *name = names[which];
    return modes[which];
}
