#include "interrupt.h"

#include "../memmap.h"
#include "board.h"

static isr_t isrTable[INTERRUPT_SOURCES];

void default_isr(void) { board_halt("unexpected interrupt (default_isr)"); }

void interrupt_init(void) {
    for (int i = 0; i < INTERRUPT_SOURCES; ++i) {
        isrTable[i] = default_isr;
        board_irq_disable_source(i);
    }
    board_irq_unmask();
    *(volatile u32 *)sdramPtr(SDRAM_LAST_WORD) = SDRAM_MARKER;
}

void interrupt_set_isr(int n, isr_t handler) {
    if (n >= 0 && n < INTERRUPT_SOURCES) isrTable[n] = handler ? handler : default_isr;
}

void interrupt_enable(int n, int fast) { board_irq_enable_source(n, fast); }
void interrupt_disable(int n) { board_irq_disable_source(n); }

void __ARMLIB_disableIRQ(void) { board_irq_mask(); }
void __ARMLIB_enableIRQ(void) { board_irq_unmask(); }

// Entered by the board with IRQs masked; the handler clears its own source.
extern "C" void irq_handler(void) {
    int n = board_irq_pending_source();
    if (n >= 0 && n < INTERRUPT_SOURCES) isrTable[n]();
}
