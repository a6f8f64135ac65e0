// Touch handling of the main loop: bitmap buttons, press feedback, clicks, reports to the
// host, auto-repeat and the macros tied to hot spots.
#ifndef VMOD_BUTTONS_H
#define VMOD_BUTTONS_H

#include "../gui/GUI.h"
#include "../storage/KT_fonts.h"
#include "../types.h"

#define BUTTON_TEXT_SIZE 80  // a label of at most 79 characters and its NUL

struct ButtonInfo {
    u8 state;                            // 0 up / off, 1 down / on
    s32 textX[2];                        // label x for state 0 and 1 (absolute)
    s32 textY[2];                        // label y for state 0 and 1
    const FONT_ENTRY *font;              // the host's font when the button was defined
    u32 color;                           // the host's colour then
    char text[2][BUTTON_TEXT_SIZE];      // labels for state 0 and 1
    s32 bitmap[2];                       // pictures for state 0 and 1: image bitmap numbers,
                                         // 0 = the built-in picture of that state
};

extern ButtonInfo buttonInfo[128];
extern s32 currentSpot, previousSpot, tempSpot;
extern s32 waitForRelease;
extern volatile s32 typematicTimer;
extern GUI_FONT touchfont;  // a button's user font is opened here while its label is drawn
extern s32 lastHotAX, lastHotAY, lastHotRX, lastHotRY;
extern const GUI_BITMAP *const kt_bmbutton_up;  // built-in pictures, 64 x 64
extern const GUI_BITMAP *const kt_bmbutton_dn;

void handle_touch(void);
int updateSpot(int press, int n, int notify, int x, int y, int quiet);
void spotProcess(int n, int press, int quiet);
int buttonDisable(int n);
int buttonReEnable(int n, int noRedraw);
// "bd": line is the whole command line; the result of the command.
int cmd_ButtonDefine(char *line, int n, int x, int y, int style);
void ButtonTimer(void);  // from the 1 ms tick

#endif
