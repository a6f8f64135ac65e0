// Peripheral registers by offset, for the service commands that read and write them by
// address. Each access is one aligned 32-bit bus access, so a register's own side effects
// (a read that takes a received character or clears a status flag) happen as for a driver.
#include "board.h"
#include "imx1.h"
#include "regs.h"

static_assert(BOARD_PERIPH_BASE == IMX_IO_BASE, "the register space is the peripheral window");

#define SLOT_SIZE 0x1000u

// The 4 KiB slots of the window that hold a module on both the MX1 and the MXL (the
// Bluetooth accelerator at 0x16000 is the MX1's alone). An access to an empty slot ends in a
// bus error, a data abort that would halt the module, so such an offset is treated like one
// outside the window: it reads 0 and takes no write.
static const uint32_t moduleSlots[] = {
    0x00000, 0x01000, 0x02000, 0x03000, 0x04000,  // AIPI1 itself, watchdog, timers 1 and 2, RTC
    0x05000, 0x06000, 0x07000, 0x08000, 0x09000,  // LCD controller, UART1, UART2, PWM, DMA
    0x10000, 0x11000, 0x12000, 0x13000, 0x14000,  // AIPI2 itself, SIM, USB device, CSPI1, SD host
    0x15000, 0x17000, 0x18000, 0x19000, 0x1A000,  // ASP, I2C, SSI, CSPI2, memory stick host
    0x1B000, 0x1C000,                             // clocks, reset and system control; GPIO
    0x20000, 0x21000, 0x22000, 0x23000, 0x24000,  // EIM, SDRAM controller, MMA, AITC, CSI
};

static int accessible(uint32_t offset) {
    if (offset >= BOARD_PERIPH_SIZE || (offset & 3u)) return 0;
    uint32_t slot = offset & ~(SLOT_SIZE - 1u);
    for (uint32_t s : moduleSlots)
        if (s == slot) return 1;
    return 0;
}

extern "C" uint32_t board_reg_read(uint32_t offset) {
    if (!accessible(offset)) return 0;
    return imx1_read32(BOARD_PERIPH_BASE + offset);
}

extern "C" void board_reg_write(uint32_t offset, uint32_t value) {
    if (!accessible(offset)) return;
    imx1_write32(BOARD_PERIPH_BASE + offset, value);
}
