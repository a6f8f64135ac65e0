// The interrupt controller (AITC) and the processor's IRQ mask. Every source has the same
// priority, so the controller reports the highest-numbered pending source; the firmware's
// irq_handler reads that number and calls its table entry.
#include "board.h"
#include "imx1.h"
#include "regs.h"

static int validSource(int n) { return n >= 0 && n < AITC_SOURCES; }

// Called once by the start-up code before main: nothing enabled, nothing routed to FIQ,
// no priority level masked.
extern "C" void imx1_irq_controller_init(void) {
    imx1_write32(AITC_INTENABLEH, 0);
    imx1_write32(AITC_INTENABLEL, 0);
    imx1_write32(AITC_INTTYPEH, 0);
    imx1_write32(AITC_INTTYPEL, 0);
    for (int i = 0; i < 8; ++i) imx1_write32(AITC_NIPRIORITY(i), 0);
    imx1_write32(AITC_INTCNTL, 0);
    imx1_write32(AITC_NIMASK, AITC_NIMASK_NONE);
}

extern "C" void board_irq_enable_source(int source, int fast) {
    if (!validSource(source)) return;
    uint32_t typeReg = source >= 32 ? AITC_INTTYPEH : AITC_INTTYPEL;
    uint32_t bit = 1u << (source & 31);
    imx1_put_bits(typeReg, bit, fast);
    imx1_write32(AITC_INTENNUM, (uint32_t)source);
}

extern "C" void board_irq_disable_source(int source) {
    if (validSource(source)) imx1_write32(AITC_INTDISNUM, (uint32_t)source);
}

// The vector field reads all ones while nothing is pending (an IRQ that went away before it
// was taken); any number outside the table is reported the same way.
extern "C" int board_irq_pending_source(void) {
    uint32_t n = imx1_read32(AITC_NIVECSR) >> 16;
    return n < AITC_SOURCES ? (int)n : -1;
}

extern "C" void board_irq_mask(void) { imx1_cpu_irq_mask(); }
extern "C" void board_irq_unmask(void) { imx1_cpu_irq_unmask(); }

// Waiting loops poll registers as well as interrupt-driven counters, so idling must not
// sleep until the next interrupt: on the board it returns at once.
extern "C" void boardIdle(void) {}

// No console on the board: the module stops with its screen as it was, and the reason waits
// here for a debugger.
const char *volatile imx1HaltReason = nullptr;

extern "C" void board_halt(const char *why) {
    imx1HaltReason = why;
    imx1_cpu_halt();
    for (;;) {
    }
}
