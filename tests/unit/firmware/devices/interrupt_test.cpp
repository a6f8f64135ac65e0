// The handler table: sources start at default_isr, handlers replace it, and the board's
// pending source selects the entry.
#include <gtest/gtest.h>

#include "board.h"
#include "devices/interrupt.h"
#include "memmap.h"
#include "sim.h"

namespace {
int hits;
void countingIsr() {
    hits++;
    sim::irqRaise(IRQ_TIMER1, false);
}
}  // namespace

TEST(Interrupt, DispatchesThePendingSourceToItsHandler) {
    sim::mapSdram();
    interrupt_init();
    EXPECT_EQ(*(volatile u32 *)sdramPtr(SDRAM_LAST_WORD), SDRAM_MARKER);
    interrupt_set_isr(IRQ_TIMER1, countingIsr);
    interrupt_enable(IRQ_TIMER1, 0);
    sim::irqRaise(IRQ_TIMER1, true);
    hits = 0;
    irq_handler();
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(board_irq_pending_source(), -1);
    interrupt_disable(IRQ_TIMER1);
}
