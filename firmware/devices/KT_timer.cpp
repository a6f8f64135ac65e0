#include "KT_timer.h"

#include "board.h"
#include "interrupt.h"

volatile u32 delayTimer;
volatile u32 gpTimer;

void timer1_isr(void) {
    if (delayTimer) delayTimer = delayTimer - 1;
    if (gpTimer) gpTimer = gpTimer - 1;
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
