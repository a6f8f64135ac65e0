// The drawing commands' own state: text-mode names, the saved graphics states, the saved
// screen areas, and direct frame-buffer pixels.
#ifndef VMOD_CMD_DRAW_H
#define VMOD_CMD_DRAW_H

#include "../gui/GUI.h"
#include "../storage/KT_fonts.h"

// One saved graphics state.
typedef struct {
    GUI_COLOR bkColor;
    GUI_COLOR color;
    u8 penSize;
    u8 lineStyle;
    u8 drawMode;
    s32 textAlign;
    s32 originX, originY;
    s32 cursorX, cursorY;
    const char *textModeName;  // curTextMode
    s32 textMode;
    const FONT_ENTRY *font;    // currFontPtr
} GDI_STATE;

#define GDI_MACRO_LEVELS 4               // records of macro depths 1..4
#define GDI_HOST_RECORD GDI_MACRO_LEVELS // the fifth record: lines from the host (depth 0)

// Records 0..3 serve macro depths 1..4 ("ss"/"sr" inside a macro use record depth - 1);
// record 4 serves the host's own "ss"/"sr".
extern GDI_STATE GDIState[GDI_MACRO_LEVELS + 1];

extern u8 lastTextMode;           // the mode last chosen by setTextMode or a lowercase text line
extern const char *curTextMode;   // "N", "X", "T", "R" or "TR"

int setTextMode(const char *word);  // 1 when the word names a mode (then set); 0 changes nothing
int getTextMode(void);
void SaveState(GDI_STATE *record);
void RestoreState(const GDI_STATE *record);
// The alignment as "ta" names it: horizontal L, R, C or X, vertical T, B, L (base line) or C.
void textAlignLetters(int align, char letters[2]);
// The record "ss"/"sr" use at the current macro depth; null beyond the deepest level.
GDI_STATE *currentStateRecord(void);

// Saved screen areas: four slots in display memory behind the frame.
#define SCREEN_AREA_SLOTS 4
extern u16 ssa_width[SCREEN_AREA_SLOTS];
extern u16 ssa_height[SCREEN_AREA_SLOTS];
// Copies the frame-buffer rectangle (x0, y0)-(x1, y1) into the slot. 0 for a slot above 3, an
// area larger than the slot holds, corners in the wrong order or outside the frame buffer.
int saveScreenArea(u16 x0, u16 y0, u16 x1, u16 y1, u8 slot);
// Copies the slot back with its top left at (x, y), cut at the frame buffer's edges. 0 for a
// slot above 3; a slot never saved restores nothing and gives 1.
int restoreScreenArea(u16 x, u16 y, u8 slot);

#endif
