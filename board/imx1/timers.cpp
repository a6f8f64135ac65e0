// Timer 1 as the 1 ms tick, timer 2 toggling pin D 31 for the beeper tone, and the PWM on
// pin A 2 for the beeper volume. Both timers count PERCLK1 (16.384 MHz, set by the boot block)
// with the prescaler at 1.
#include "board.h"
#include "gpio.h"
#include "imx1.h"
#include "regs.h"
#include "wiring.h"

#define PWM_PERIOD_COUNTS 102u
#define TONE_CLOCK_HZ 16666666u  // the figure the tone's compare value has always been based on
#define TIMER_RESET_POLLS 1000u

static void timerReset(uint32_t base) {
    imx1_write32(base + TIMER_TCTL, TCTL_SWR);
    imx1_wait(base + TIMER_TCTL, TCTL_SWR, 0, TIMER_RESET_POLLS);
    imx1_write32(base + TIMER_TCTL, 0);
}

extern "C" void board_timer1_start(uint32_t periodClocks) {
    timerReset(TIMER1_BASE);
    imx1_write32(TIMER1_BASE + TIMER_TPRER, 0);
    imx1_write32(TIMER1_BASE + TIMER_TCMP, periodClocks ? periodClocks - 1 : 0);  // counts 0..cmp
    imx1_write32(TIMER1_BASE + TIMER_TSTAT, 0);
    imx1_write32(TIMER1_BASE + TIMER_TCTL, TCTL_CLK_PERCLK1 | TCTL_IRQEN | TCTL_TEN);  // restart mode
}

extern "C" void board_timer1_ack(void) { imx1_write32(TIMER1_BASE + TIMER_TSTAT, 0); }

extern "C" void board_audio_init(void) {
    imx1_write32(PWM_PWMC, PWMC_SWR);
    imx1_wait(PWM_PWMC, PWMC_SWR, 0, TIMER_RESET_POLLS);
    imx1_write32(PWM_PWMP, PWM_PERIOD_COUNTS);
    imx1_write32(PWM_PWMS, 0);
    imx1_write32(PWM_PWMC, PWMC_EN);
    board_gpio_peripheral(PWM_PORT, PWM_PIN);
    timerReset(TIMER2_BASE);
}

extern "C" void board_audio_volume(uint32_t v) {
    if (v > 255) v = 255;
    imx1_write32(PWM_PWMS, PWM_PERIOD_COUNTS * v / 255u);
}

// The output toggles at every compare, so one period of the tone is two compare intervals.
extern "C" void board_tone_on(uint32_t hz) {
    hz &= 0xFFFF;
    if (hz == 0) {
        board_tone_off();
        return;
    }
    timerReset(TIMER2_BASE);
    imx1_write32(TIMER2_BASE + TIMER_TPRER, 0);
    imx1_write32(TIMER2_BASE + TIMER_TCMP, TONE_CLOCK_HZ / (2u * hz) - 1u);
    imx1_write32(TIMER2_BASE + TIMER_TCTL, TCTL_CLK_PERCLK1 | TCTL_OM | TCTL_TEN);
    board_gpio_peripheral(TONE_PORT, TONE_PIN);
}

extern "C" void board_tone_off(void) {
    board_gpio_output(TONE_PORT, TONE_PIN, 0);
    imx1_write32(TIMER2_BASE + TIMER_TCTL, 0);
}
