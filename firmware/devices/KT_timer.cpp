#include "KT_timer.h"

#include "board.h"
#include "../app/animation.h"
#include "interrupt.h"
#include "KT_beep.h"
#include "KT_led.h"
#include "../touch/KT_touch.h"
#include "../touch/buttons.h"
#include "lcd_driver.h"

volatile u32 delayTimer;
volatile u32 gpTimer;

// Everything time-based runs from here, in this order, once per millisecond. Nothing here
// waits: the whole tick must end well inside its millisecond.
void timer1_isr(void) {
    lcdFrameTick();
    if (delayTimer) delayTimer = delayTimer - 1;
    if (gpTimer) gpTimer = gpTimer - 1;
    BeepTimerCheck();
    ButtonTimer();
    if (animateTimer > 0) animateTimer = animateTimer - 1;
    KT_Update_Touch();
    KT_Led_Tick();
    board_timer1_ack();
}

void KT_TimerInit(void) {
    interrupt_set_isr(IRQ_TIMER1, timer1_isr);
    interrupt_enable(IRQ_TIMER1, 0);
    board_timer1_start(TIMER1_PERIOD_CLOCKS);
}

void KT_Delay(u32 ms) {
    delayTimer = ms;
    while (delayTimer) boardIdle();
}
