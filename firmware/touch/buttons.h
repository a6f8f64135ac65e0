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
// Button styles: the magnitude names the kind (a negative style defines the button disabled);
// 0 when it names none.
int KT_Button_Style(int style);
int KT_Button_IsToggle(int style);     // 2, 20, 21 (21 starts on)
int KT_Button_IsMomentary(int style);  // 1, 3 (auto-repeat), 4, 5
// Defines button n at absolute (x, y): labels at offsets from there (the second label and
// offsets for toggles only), pictures for up and down of the same size w x h (image bitmap
// numbers, 0 for the built-in picture of that state); draws it.
void KT_Button_Define(int n, s32 x, s32 y, int style, const char *const text[2], const int offset[4],
                      s32 up, s32 dn, int w, int h);
void ButtonTimer(void);  // from the 1 ms tick

#endif
