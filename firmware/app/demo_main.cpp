// The entry point: board bring-up, the tick, then the modules.
#include "../devices/KT_timer.h"
#include "../devices/interrupt.h"
#include "Main.h"
#include "board.h"

extern "C" int main(void) {
    board_gpio_pullup(3, 31, 0);  // port D pin 31: no pull-up on the beeper output
    interrupt_init();
    InitEverything();
    KT_TimerInit();
    KT_main();
    return 0;
}
