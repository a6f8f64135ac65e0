// The start screen and the main loop.
#ifndef VMOD_GUIDEMO_H
#define VMOD_GUIDEMO_H

#include "../types.h"

#define MYBUF_SIZE 130

extern char myBuf[MYBUF_SIZE];
extern u8 macroNotify;

extern int text_border;  // x where a new text line starts (GUIDEMO_SetTextBorder)

void GUIDEMO_main(void);
// Resets the screen model for a new page: widgets and hot spots cleared, origin to (0, 0);
// bitmap -1 keeps the screen, 0 clears it to the background colour, n draws external bitmap
// n at (0, 0) when it exists. Then the cursor goes to (0, 0) and the text border to 0.
void GUIDEMO_Clear(int bitmap);
// Makes the font of that name current (and the current entry); 1, or 0 when there is none.
int GUIDEMO_SetFont(const char *name);
void GUIDEMO_SetTextBorder(int x);
int GUIDEMO_GetTextBorder(void);
// Rectangle: 0 outline with the pen, 1 filled, 2 dotted outline, 3 outline with pen size 1.
// 1, or 0 for another style (nothing drawn).
int GUIDEMO_DrawRect(int style, int x0, int y0, int x1, int y1);
// The version banner, e.g. VMOD5 V1.2.0 VGA "NEC_K2766_FUJ"; buf holds at least 40 bytes.
void KT_Copy_Version(char *buf);
// The demonstration macro named by "rundemo.ini" on the SD card (its "demomac" key, taken
// modulo 256), or 0 when there is no card, no file or no key.
int KT_Check_Demo(void);
// One pass of the main loop (exposed for tests and fuzzing).
void GUIDEMO_pass(void);
// Sends the reply the main loop gives a line status of isLineAvail that brings no line (an
// overflow, a refused binary announcement, a receive error), for code that polls the line
// itself; 1 when it was one, 0 for "no line" and "line ready".
int GUIDEMO_ReportLineFault(int status);

void GUI_X_Warn(const char *s);
void GUI_X_ErrorOut(const char *s);
void GUI_X_Log(const char *s);

#endif
