// Macros: the one-entry schedule through which touch buttons start macros, and the argument
// texts attached to the buttons' press and release edges.
#ifndef VMOD_KT_MACROS_H
#define VMOD_KT_MACROS_H

#include "../types.h"

#define MACRO_ARG_SLOTS 50
#define MACRO_ARG_SLOT_SIZE 132
#define MACRO_ARG_TEXT_MAX 129   // characters of an argument text
#define MACRO_QUEUED_ARGS_SIZE 130

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

extern MacroArgSlot argStore[MACRO_ARG_SLOTS];
extern volatile s32 macroQueued;                      // scheduled macro, 0 = none
extern char macroQueuedArgs[MACRO_QUEUED_ARGS_SIZE];  // its argument text

// Schedules macro index (not 0) with args (may be null); replaces what was still waiting.
void scheduleMacro(int index, const char *args);
int pendingMacro(void);
// Takes the scheduled macro off the queue and runs it with its arguments.
int processScheduledMacro(void);

// 1, or 0 when every slot is taken. Replaces the text already held for this hot spot and edge.
int assignMacroArgs(int hotSpot, int isPress, const char *args);
const char *getMacroArgs(int hotSpot, int isPress);  // null when none is stored
void releaseMacroArgs(int hotSpot, int isPress);

// Runs macro index now with its argument text; label null for the whole macro. The result of
// the last command line run, or 0.
int processMacro(int index, const char *args, const char *label);

#endif
