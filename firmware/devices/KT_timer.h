// The 1 ms tick and the millisecond countdowns it drives.
#ifndef VMOD_KT_TIMER_H
#define VMOD_KT_TIMER_H

#include "../types.h"

#define TIMER1_PERIOD_CLOCKS 0x4000u  // 1 ms at the timer's 16.384 MHz clock

extern volatile u32 delayTimer;    // remaining ticks of KT_Delay
extern volatile u32 gpTimer;       // general time-out budget of the main loop
extern volatile u32 frameTimer;    // ticks since the LCD controller began a frame

void KT_TimerInit(void);
void KT_Delay(u32 ms);
void timer1_isr(void);

#endif
