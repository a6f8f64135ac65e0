#include "KT_led.h"

#include "board.h"
#include "miscdrivers.h"

volatile u32 ledFlashActive;
volatile u32 ledFlashVal;
volatile u32 ledFlashTimer;
volatile u32 ledState;
volatile u32 userLedState;

// The LED pin is active low. The tick changes this bit too (flashing), so the main loop's
// write is one call on the one pin, never a wider read-modify-write.
void Led(int on) { board_gpio_write(PIN_LED_PORT, PIN_LED, on ? 0 : 1); }

void KT_led_set(int v) { Led(v); }

void KT_led_init(void) {}

void FlashLed(u32 period) {
    if (period) {
        ledFlashVal = period;
        ledFlashTimer = period;
        ledFlashActive = 1;
    } else {
        ledFlashActive = 0;
        Led(0);
    }
}

void KT_Led_Tick(void) {
    if (!ledFlashActive) return;
    // A half-period of n ticks counts down to 0 and toggles on the tick after: FlashLed(1)
    // changes the LED every other tick.
    if (ledFlashTimer) {
        ledFlashTimer = ledFlashTimer - 1;
    } else {
        ledState = ledState ? 0 : 1;
        Led((int)ledState);
        ledFlashTimer = ledFlashVal;
    }
}
