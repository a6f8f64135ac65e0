// The animation player: up to ten command scripts replayed by the main loop on timers, their
// steps packed in one shared step buffer.
#ifndef VMOD_ANIMATION_H
#define VMOD_ANIMATION_H

#include "../types.h"
#include "../command/cmd_draw.h"

#define ANI_SLOTS 10
#define ANIBUF_SIZE 2048

// Slot timer values besides N > 0 (due after N more milliseconds).
#define ANI_STOPPED (-2)  // not played until started
#define ANI_IDLE 0        // not scheduled; a start continues from cur
#define ANI_FREE (-1)     // runs at every player run until a yield or a full cycle

// ExecState values.
#define EXEC_IDLE 4       // the interpreter serves the host and macros
#define EXEC_ANIMATION 3  // the player is running steps

// One animation. Its steps lie contiguous in anibuf: start .. end, end at the terminator of the
// last step.
typedef struct {
    char *start;  // first byte of the first step; NULL = slot empty
    char *end;    // terminator of the last step
    char *cur;    // the step to run next
    s32 timer;    // ANI_STOPPED, ANI_IDLE, ANI_FREE or milliseconds until due
} ANI_SLOT;

extern ANI_SLOT dta[ANI_SLOTS];
extern char anibuf[ANIBUF_SIZE];
extern char *anibuf_ptr;             // first free byte of anibuf
// Milliseconds until the next player run, counted down by the 1 ms tick while above 0;
// 0 = run at the next main-loop pass; -1 = player off.
extern volatile s32 animateTimer;
extern s32 last_minT;                // the interval programmed at the end of the last run
extern GDI_STATE AniGDI;             // the host's graphics state while steps run
extern s32 ExecState;                // EXEC_ANIMATION while the player runs steps

// Every slot empty, the step buffer empty, the player off.
void init_animation(void);
// The player, once per main-loop pass: returns at once unless animateTimer is 0.
void handle_animation(void);
// Deletes animation n and closes its gap in the step buffer. 0 for n > 9 or an empty slot.
int DeleteAnimation(int n);

// Free bytes of the step buffer.
int aniFreeSpace(void);
// Appends one step (the text and a NUL) to animation n, creating it stopped if empty. 0 when
// n > 9, when a used slot is not the one extended last (steps are packed), or when `lineLen`
// (the whole command line's length) exceeds the free space.
int aniAppendStep(int n, const char *text, int lineLen);
// Stores a ready script (steps ending in LF, NUL after the last) as animation n, due at the
// next player run, and sets the player to run after `period` ms. 0 when n > 9, the slot is
// used, or the script with its NUL does not fit.
int aniStoreScript(int n, const char *script, s32 period);
// Starts animation n (due at the next run); 0 for n > 9 or an empty slot.
int aniStart(int n);
// Every slot back to its first step; the player runs at the next pass if it was off or due.
void aniRewindAll(void);
// Positions animation n at frame k (the steps after its k-th yield step) and makes it idle.
// 0 for n > 9 or an empty slot.
int aniSetFrame(int n, int k);

#endif
