// Board bring-up and the entry point.
#include "board.h"
#include "../devices/interrupt.h"

extern "C" int main(void) {
    board_gpio_pullup(3, 31, 0);  // port D pin 31: no pull-up on the beeper output
    interrupt_init();
    for (;;) boardIdle();
}
