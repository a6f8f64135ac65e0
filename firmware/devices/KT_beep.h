// The beeper: single beeps, a repeating beep and three two-tone alarm patterns, all timed by
// the 1 ms tick, plus the volume and frequency settings of the settings image.
#ifndef VMOD_KT_BEEP_H
#define VMOD_KT_BEEP_H

#include "../types.h"

extern volatile u8 beep_state;                  // 1 while Beep_Hardware_On holds the tone
extern volatile u32 immediate_beep_ms;          // ticks left of the single beep, 0 = none
extern volatile u32 repeat_beep_ms;             // ticks left in the repeating beep's phase
extern volatile u32 repeat_beep_ms_reload_on;   // on-phase length; 0 = repeating beep stopped
extern volatile u32 repeat_beep_ms_reload_off;  // off-phase length
extern volatile u8 repeat_beep_state;           // 1 in the on phase
extern volatile s32 alarmType;                  // 0 none, 1..3 pattern
extern volatile s32 timer_ms;                   // pattern tick counter, counts down
extern volatile s32 ba;                         // pattern phase flag
extern volatile s32 ba1;                        // pattern's low frequency, Hz
extern volatile s32 ba2;                        // pattern's high frequency, Hz
extern volatile s32 beepMS;                     // touch click length in ms, 0 = no click

void KT_BeepInit(void);
void SetBeepVolume(u8 v);
u8 GetBeepVolume(void);
void BeepFrequency(u32 f);
u32 GetBeepFrequency(void);
void BeepMaxSet(u8 m);
int BeepActive(void);
void Beep_Hardware_On(void);
void Beep_Hardware_Off(void);
void BeepImmediate(u32 ms);
void BeepRepeat(u32 on, u32 off);
int AlarmSet(s32 type);
void BeepTimerCheck(void);

#endif
