// The entry point: the whole start-up, then the main loop.
#include "Main.h"

extern "C" int main(void) {
    KT_main();
    return 0;
}
