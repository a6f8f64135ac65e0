// The interrupt controller's handler table: one plain function per source, replaceable at
// run time (port role switches, download mode).
#ifndef VMOD_INTERRUPT_H
#define VMOD_INTERRUPT_H

#include "../types.h"

#define INTERRUPT_SOURCES 64
#define SDRAM_MARKER 0xAA5555AAu

typedef void (*isr_t)(void);

void interrupt_init(void);
void interrupt_set_isr(int n, isr_t handler);
void interrupt_enable(int n, int fast);
void interrupt_disable(int n);
void default_isr(void);

// Processor IRQ mask around read-modify-writes of variables shared with handlers.
void __ARMLIB_disableIRQ(void);
void __ARMLIB_enableIRQ(void);

extern "C" void irq_handler(void);

#endif
