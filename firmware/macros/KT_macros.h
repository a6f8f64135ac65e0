// Macros: numbered, optionally named command sequences stored in the external-memory image
// (or in a table built into the firmware), run line by line through the interpreter with
// positional arguments, labels, ":repeat" and backtick substitution; the variables the macro
// lines use; the one-entry schedule through which touch buttons start macros, and the argument
// texts attached to the buttons' press and release edges.
#ifndef VMOD_KT_MACROS_H
#define VMOD_KT_MACROS_H

#include "../types.h"

#define MACRO_ARG_SLOTS 50
#define MACRO_ARG_SLOT_SIZE 132
#define MACRO_ARG_TEXT_MAX 129   // characters of an argument text
#define MACRO_QUEUED_ARGS_SIZE 130

#define MACRO_MAX_DEPTH 4        // macros running inside each other
#define MACRO_LINE_SIZE 129      // an expanded macro line with its NUL
#define MACRO_ARGS 10            // positional arguments `0` .. `9`
#define MACRO_ARG_CHARS 8        // characters kept of each argument
#define MACRO_LABEL_CHARS 32     // characters of a label that are compared
#define MACRO_VARS 10            // i0..i9 and s0..s9
#define MACRO_STRING_SIZE 81     // a string variable: 80 characters and the NUL
#define MACRO_NAMES_MARK 0xA5A5  // first field of the name block after the macro table

// One macro table entry, 8 bytes in the image and in internal tables.
#pragma pack(push, 1)
struct MacroEntry {
    u32 text;    // the macro's text: image offset, an address once fixed up (internal: from the table start)
    u16 lines;   // number of lines
    u16 number;  // the macro's own number, shown by "lsmac"
};
#pragma pack(pop)
static_assert(sizeof(MacroEntry) == 8, "macro table entries are 8 bytes");

// One argStore slot: flags, hot spot, then the NUL-terminated text (byte 131 always 0).
#define ARG_SLOT_USED 0x01
#define ARG_SLOT_PRESS 0x02
struct MacroArgSlot {
    u8 flags;                          // ARG_SLOT_USED, ARG_SLOT_PRESS (clear: the release edge)
    u8 hotSpot;                        // hot-spot number 0..255
    char text[MACRO_ARG_SLOT_SIZE - 2];
};
static_assert(sizeof(MacroArgSlot) == MACRO_ARG_SLOT_SIZE, "argument slots are 132 bytes");

// Nesting depth of the macro being run: 0 while a host line runs, 1 inside a macro, 2 inside a
// macro that another one called, and so on. Selects the graphics-state record of "ss"/"sr".
extern u8 macroDepth;
extern u8 macroVerbose;  // non-zero: every executed line is echoed to the host
extern u8 macroNotify;   // start/end notifications of scheduled macros: 1 start, 2 end, 3 both

extern s32 iMem[MACRO_VARS];                         // i0..i9
extern char mString[MACRO_VARS][MACRO_STRING_SIZE];  // s0..s9
extern char memoryString[MACRO_STRING_SIZE];         // M

extern MacroArgSlot argStore[MACRO_ARG_SLOTS];
extern volatile s32 macroQueued;                      // scheduled macro, 0 = none
extern char macroQueuedArgs[MACRO_QUEUED_ARGS_SIZE];  // its argument text

// Clears the string variables. Called once at start.
void KT_Macros_Init(void);

// The table entry of macro index, or none. With an internal table enabled, its entry index-1;
// otherwise the image's, when it holds a macro table reaching that far.
const MacroEntry *KT_GetMacro(int index);
// table: 8-byte entries whose text fields count from the table's first byte, ended by an
// all-zero entry. While enabled it replaces the image's macros.
void KT_EnableInternalMacros(const void *table);
void KT_DisableInternalMacros(void);

// A macro given as a number or a name (the word ends at white space or ':'). 1 on success with
// the number in *index ('/' gives 0: no macro); 0 with a notification, and *index negative
// (-3 no image, -2 no macros, -1 no name block, -4 bad name form) or 0 (name not found).
int convertStringtoIndexMacro(const char *text, int *index);
// The name of macro *index, or none (no name, index outside the table, or no usable image:
// then *index takes the negative codes above).
const char *convertIndextoStringMacro(int *index);

// Runs macro index now with its argument text; label (":name") null for the whole macro. The
// result of the last command line run, or 0.
int processMacro(int index, const char *args, const char *label);

// Schedules macro index (not 0) with args (may be null); replaces what was still waiting.
void scheduleMacro(int index, const char *args);
int pendingMacro(void);
// Takes the scheduled macro off the queue and runs it with its arguments.
int processScheduledMacro(void);

// 1, or 0 when every slot is taken. Replaces the text already held for this hot spot and edge.
int assignMacroArgs(int hotSpot, int isPress, const char *args);
const char *getMacroArgs(int hotSpot, int isPress);  // null when none is stored
void releaseMacroArgs(int hotSpot, int isPress);

// Splits an argument text into MACRO_ARGS words of at most MACRO_ARG_CHARS characters: blanks
// separate them, a word in double quotes may hold blanks (a quote after a backslash does not
// end it). Words not given are empty.
void splitMacroArgs(const char *args, char out[MACRO_ARGS][MACRO_ARG_CHARS + 1]);
// Copies src to dst (size bytes) with every `d` (a digit between backticks) replaced by
// argument d.
void prepareMacroCommand(char *dst, int size, const char *src, const char args[MACRO_ARGS][MACRO_ARG_CHARS + 1]);
// Copies src to dst (size bytes with the NUL) with the backtick tokens expanded: variables,
// slider values, touch coordinates, random numbers.
void substString(char *dst, int size, const char *src);

// The variable operations of "set", "mpush" and "mpop". The string ones return 1 when done.
void setMacro_iMem(int i, s32 value);
int setMacroString2(const char *text, int i);
int pushMacroString(const char *text, int max);
int pushMacroString2(const char *text, int i, int max);
void popMacroString(int n);
int popMacroString2(int n, int i);

// "lsmac" (n < 0: every macro). The command result.
int KT_ListMacros(int n);

#endif
