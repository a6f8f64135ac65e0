#include "KT_macros.h"

#include <string.h>

u8 macroDepth;
MacroArgSlot argStore[MACRO_ARG_SLOTS];
volatile s32 macroQueued;
char macroQueuedArgs[MACRO_QUEUED_ARGS_SIZE];

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

// The macro engine (stored macros, substitution, labels) replaces this: until an image with
// macros can be run, a scheduled macro runs nothing.
__attribute__((weak)) int processMacro(int, const char *, const char *) { return 0; }
