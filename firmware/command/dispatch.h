// The dispatch chain: every command of the language as one ordered table. A line belongs to
// the first entry whose test it passes; the order is part of the language, because earlier
// prefix tests shadow later commands that share their beginning.
#ifndef VMOD_DISPATCH_H
#define VMOD_DISPATCH_H

#include "../types.h"

#define COMMAND_COUNT 200
#define SCAN_SLOTS 15      // most values any pattern of the chain yields
#define SCAN_SLOT_BYTES 16 // room for the widest scanned value: a word of at most 15 characters

// How an entry decides whether a line is its own.
enum CommandTest : u8 {
    TEST_EXACT,        // the line equals word
    TEST_PREFIX,       // the first count characters of the line are those of word
    TEST_PATTERN,      // sscanf(line, word) yields exactly count values
    TEST_PATTERN_MIN,  // sscanf(line, word) yields at least count values
    TEST_FIRST,        // the first count (1 or 2) bytes are those of word
    TEST_CUSTOM        // fits(line) decides; a line that does not fit goes on down the chain
};

typedef int (*CommandHandler)(char *line);
typedef bool (*CommandFits)(const char *line);

struct CommandEntry {
    CommandTest test;        // kind of test
    u8 count;                // characters compared, or values the pattern must yield
    const char *word;        // command word, prefix or scanf pattern
    CommandHandler handler;  // runs the command; gets the whole line, may modify it
    CommandFits fits;        // the entry's own test, for TEST_CUSTOM only
};

extern const CommandEntry commandChain[COMMAND_COUNT];

// The first entry that takes the line, or NULL when none does.
const CommandEntry *findCommand(const char *line);

// Runs the entry's handler on the line; while it runs, scanArgs knows the entry.
int runCommand(const CommandEntry *e, char *line);

// Scans the values of the line with the pattern of the chain entry that took it, so that a
// handler names only where the values go and the syntax stands in the chain alone. Returns
// what sscanf returns; 0 when the line belongs to no pattern entry.
int scanArgs(const char *line, ...);

// Position 1..COMMAND_COUNT in the chain of the entry that takes the line; 0 for none.
int commandIndexOf(const char *line);

#endif
