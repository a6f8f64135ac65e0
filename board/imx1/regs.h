// Register access for the i.MX1 drivers, and the few processor services they need.
//
// On the board a register is a volatile word at its physical address. The host tests build
// the same drivers with VMOD_IMX1_FAKE_REGS, which routes every access through functions of
// the test's register space (recorded, and answered by device models), so that a driver is
// checked down to the register writes it makes.
#ifndef VMOD_IMX1_REGS_H
#define VMOD_IMX1_REGS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifdef VMOD_IMX1_FAKE_REGS
uint32_t imx1_read32(uint32_t addr);
void imx1_write32(uint32_t addr, uint32_t value);
#else
static inline uint32_t imx1_read32(uint32_t addr) { return *(volatile uint32_t *)(uintptr_t)addr; }
static inline void imx1_write32(uint32_t addr, uint32_t value) { *(volatile uint32_t *)(uintptr_t)addr = value; }
#endif

// Processor state (cpu_arm.cpp on the board, the test's fake on the host).
void imx1_cpu_irq_mask(void);
void imx1_cpu_irq_unmask(void);
void imx1_cpu_halt(void);  // IRQs masked, stopped for good
extern const char *volatile imx1HaltReason;  // why board_halt stopped the module

#ifdef __cplusplus
}

static inline void imx1_set_bits(uint32_t addr, uint32_t bits) { imx1_write32(addr, imx1_read32(addr) | bits); }
static inline void imx1_clear_bits(uint32_t addr, uint32_t bits) { imx1_write32(addr, imx1_read32(addr) & ~bits); }
static inline void imx1_put_bits(uint32_t addr, uint32_t bits, int on) {
    if (on)
        imx1_set_bits(addr, bits);
    else
        imx1_clear_bits(addr, bits);
}

// Polls addr until (value & mask) == want. Returns 1 when it got there, 0 after `polls` reads.
// Every register read crosses the peripheral bus (at least 50 ns), so a poll count is a
// lower bound on the time waited; callers size it well above the hardware's worst case.
static inline int imx1_wait(uint32_t addr, uint32_t mask, uint32_t want, uint32_t polls) {
    for (uint32_t i = 0; i < polls; ++i)
        if ((imx1_read32(addr) & mask) == want) return 1;
    return 0;
}

// Polls addr until any bit of mask is set; returns the register value then, 0 after `polls`.
static inline uint32_t imx1_wait_any(uint32_t addr, uint32_t mask, uint32_t polls) {
    for (uint32_t i = 0; i < polls; ++i) {
        uint32_t v = imx1_read32(addr);
        if (v & mask) return v;
    }
    return 0;
}
#endif

#endif
