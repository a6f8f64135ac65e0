// The command interpreter: one text line in, one result code out. The line goes to the first
// entry of the dispatch chain (dispatch.cpp) that takes it; the helpers here are the argument
// conventions every handler shares (quoted text, hexadecimal digits, colours).
#ifndef VMOD_PARSE_COMMAND_H
#define VMOD_PARSE_COMMAND_H

#include "../types.h"

#define OUT_BUFFER_SIZE 129  // 128 characters of reply and a NUL
#define COLOR_MAP_SIZE 20

// Result codes of parse_command and of every handler.
enum {
    CMD_REJECTED = 0,  // no entry took the line, or its handler refused the arguments: "!\r"
    CMD_DONE = 1,      // ">\r"
    CMD_CORRUPT = 2,   // "#\r"
    CMD_NO_REPLY = 3   // the handler has answered itself, or must not be answered
};

// Graphics-layer text modes named by the mode words.
enum {
    TEXT_MODE_NORMAL = 0,
    TEXT_MODE_XOR = 1,
    TEXT_MODE_TRANS = 2,
    TEXT_MODE_REV = 4,
    TEXT_MODE_TRANS_REV = 6
};

extern char out_buffer[OUT_BUFFER_SIZE];  // handlers format their replies here
extern const u32 color_map[COLOR_MAP_SIZE]; // colours of the "s" command, 0x00BBGGRR
extern s32 Origin_X;                       // the host's drawing origin
extern s32 Origin_Y;

// A coordinate plus an origin, held inside int: the sum of two extreme values is not.
int withOrigin(int v, s32 origin);

// The one reply of a number: "%ld\r" on the command port.
void replyNumber(long v);

// Runs the handler of the first chain entry that takes the line; 0 when none does.
// The result is folded to 0..3: any other handler value counts as done (1).
int parse_command(char *line);

// Cuts a trailing "//" comment and the white space before it; true when text remains.
bool killTrailingComment(char *line);

// Extracts the first delim-quoted text of s in place with \n \r \xHH and \c escapes; *rest
// is set to what follows the closing delim. NULL when s holds no delim.
char *escstr(char *s, char delim, char **rest);

// Re-entrant tokeniser on one delimiter character, no escapes.
char *strtokr(char *s, char delim, char **rest);

u8 atoh(char c);             // one hexadecimal digit of either case; 0 for anything else
u8 shtoU8(const char *s);    // the byte of two hexadecimal digits, unchecked
u8 oneCapHexToBin(char c);   // '0'-'9', 'A'-'F' only; 0xFF for anything else
s32 atoRGB(const char *s);   // "RGB" or "RRGGBB" to 0x00RRGGBB; -1 for any other length
u32 atoBGR(const char *s);   // atoRGB with red and blue exchanged: a graphics colour value

// The text mode a mode word names (TEXT_MODE_*), or -1 when it names none. "TR" is tested
// on two characters before "T", every other mode on its first. *name, when given, gets the
// constant word reported for the mode ("N", "X", "T", "R", "TR").
int textModeOf(const char *word, const char **name);

#endif
