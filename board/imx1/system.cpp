// Reset control and the parallel program flash.
#include <string.h>

#include "board.h"
#include "imx1.h"
#include "regs.h"

// The reset-control register is the watchdog's control register: 0x109 enables it with
// a time-out of about a second and no service, so the processor resets soon after.
#define WCR_ENABLE 1u

extern "C" void board_reset_control(uint32_t value) {
    imx1_write32(RESET_CONTROL, value & 0xFFFFu);
    if (!(value & WCR_ENABLE)) return;
    imx1_cpu_halt();  // the watchdog takes it from here
}

// The flash is mapped at chip select 0 and read like memory.
extern "C" uint32_t board_progflash_read(uint32_t offset, uint8_t *dst, uint32_t n) {
    if (offset >= BOARD_PROGFLASH_SIZE) return 0;
    if (n > BOARD_PROGFLASH_SIZE - offset) n = BOARD_PROGFLASH_SIZE - offset;
#ifdef VMOD_IMX1_FAKE_REGS
    for (uint32_t i = 0; i < n; ++i) dst[i] = (uint8_t)imx1_read32(IMX_CS0_BASE + offset + i);
#else
    memcpy(dst, (const void *)(uintptr_t)(IMX_CS0_BASE + offset), n);
#endif
    return n;
}
