// The ARM920T side of the board: the IRQ mask in the processor's status register, the halt,
// and the memory map with the caches, set up once before main.
#include <stdint.h>

#include "imx1.h"
#include "regs.h"

extern "C" void imx1_cpu_irq_mask(void) {
    uint32_t psr;
    __asm__ volatile("mrs %0, cpsr\n\torr %0, %0, #0x80\n\tmsr cpsr_c, %0" : "=r"(psr)::"memory");
}

extern "C" void imx1_cpu_irq_unmask(void) {
    uint32_t psr;
    __asm__ volatile("mrs %0, cpsr\n\tbic %0, %0, #0x80\n\tmsr cpsr_c, %0" : "=r"(psr)::"memory");
}

extern "C" void imx1_cpu_halt(void) {
    uint32_t psr;
    __asm__ volatile("mrs %0, cpsr\n\torr %0, %0, #0xC0\n\tmsr cpsr_c, %0" : "=r"(psr)::"memory");
    for (;;) __asm__ volatile("mcr p15, 0, %0, c7, c0, 4" ::"r"(0));  // wait for interrupt, for ever
}

// ---- memory map ------------------------------------------------------------------------
// A flat map of 1 MiB sections, except that the first 4 KiB page shows the image's own
// vectors at address 0 (where the boot block's lie otherwise). Program RAM and the staging
// buffer are cached write-back; the frame buffer write-through, so the LCD controller always
// scans what was drawn; the last MiB write-through for the marker word; the flash cached for
// reading; peripherals and everything else uncached.

#define SECTION 0x2u
#define SECTION_AP_RW (3u << 10)
#define SECTION_BIT4 (1u << 4)  // must be one on this core
#define CACHED (1u << 3)
#define BUFFERED (1u << 2)
#define COARSE 0x1u
#define SMALL_PAGE 0x2u
#define SMALL_AP_RW (0xFFu << 4)

extern "C" uint32_t __ttb[4096];          // 16 KiB aligned, in the linker script
extern "C" uint32_t __coarse_table[256];  // 1 KiB aligned
extern "C" char _vectors[];
extern "C" void imx1_irq_controller_init(void);

static uint32_t sectionAttributes(uint32_t mb) {
    uint32_t a = SECTION | SECTION_AP_RW | SECTION_BIT4;
    if (mb >= 0x080 && mb < 0x088) return a | CACHED | BUFFERED;  // program RAM
    if (mb >= 0x088 && mb < 0x08C) return a | CACHED;             // frame buffer, saved areas
    if (mb >= 0x08C && mb < 0x0BF) return a | CACHED | BUFFERED;  // staging buffer and the rest
    if (mb == 0x0BF) return a | CACHED;                           // the marker's megabyte
    if (mb >= 0x100 && mb < 0x120) return a | CACHED;             // program flash
    return a;
}

static void mapMemory(void) {
    for (uint32_t mb = 0; mb < 4096; ++mb) __ttb[mb] = (mb << 20) | sectionAttributes(mb);
    for (uint32_t i = 0; i < 256; ++i) __coarse_table[i] = 0;  // the rest of the first MiB faults
    __coarse_table[0] = ((uint32_t)(uintptr_t)_vectors & ~0xFFFu) | SMALL_AP_RW | CACHED | SMALL_PAGE;
    __ttb[0] = ((uint32_t)(uintptr_t)__coarse_table & ~0x3FFu) | SECTION_BIT4 | COARSE;

    uint32_t zero = 0, control;
    __asm__ volatile("mcr p15, 0, %0, c7, c7, 0" ::"r"(zero));   // invalidate both caches
    __asm__ volatile("mcr p15, 0, %0, c7, c10, 4" ::"r"(zero));  // drain the write buffer
    __asm__ volatile("mcr p15, 0, %0, c8, c7, 0" ::"r"(zero));   // invalidate the TLBs
    __asm__ volatile("mcr p15, 0, %0, c2, c0, 0" ::"r"(__ttb));
    __asm__ volatile("mcr p15, 0, %0, c3, c0, 0" ::"r"(0x55555555u));  // every domain: client
    __asm__ volatile("mrc p15, 0, %0, c1, c0, 0" : "=r"(control));
    // MMU, data cache, instruction cache; the core clocked asynchronously, at its own FCLK.
    control |= (1u << 0) | (1u << 2) | (1u << 12) | (3u << 30);
    control &= ~(1u << 13);  // vectors low, at 0
    __asm__ volatile("mcr p15, 0, %0, c1, c0, 0\n\tnop\n\tnop\n\tnop" ::"r"(control) : "memory");
}

extern "C" void imx1_board_start(void) {
    mapMemory();
    imx1_irq_controller_init();
}
