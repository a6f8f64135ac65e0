// The user LED: set by the host, by the system as a busy indication, or flashing from the tick.
#ifndef VMOD_KT_LED_H
#define VMOD_KT_LED_H

#include "../types.h"

// Who owns the LED (userLedState).
enum { LED_OWNER_SYSTEM = 0, LED_OWNER_HOST_ON = 1, LED_OWNER_HOST_OFF = 2 };

extern volatile u32 ledFlashActive;  // non-zero while the LED flashes
extern volatile u32 ledFlashVal;     // flash half-period in ticks
extern volatile u32 ledFlashTimer;   // ticks left in the current half-period
extern volatile u32 ledState;        // level the flashing drives next (0 off, 1 on)
extern volatile u32 userLedState;   // the owner (LED_OWNER_*)

void Led(int on);
void KT_led_set(int v);
void KT_led_init(void);
void FlashLed(u32 period);
void KT_Led_Tick(void);  // the tick's flashing step

#endif
