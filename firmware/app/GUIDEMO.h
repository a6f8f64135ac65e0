// The start screen and the main loop.
#ifndef VMOD_GUIDEMO_H
#define VMOD_GUIDEMO_H

#include "../types.h"

#define MYBUF_SIZE 130

extern char myBuf[MYBUF_SIZE];
extern u8 splashShown;
extern u8 macroNotify;
extern volatile u32 userLedState;

void GUIDEMO_main(void);
// One pass of the main loop (exposed for tests and fuzzing).
void GUIDEMO_pass(void);

void GUI_X_Warn(const char *s);
void GUI_X_ErrorOut(const char *s);
void GUI_X_Log(const char *s);

#endif
