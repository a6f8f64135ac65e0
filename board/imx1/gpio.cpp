// GPIO ports A..D. A pin is either a GPIO (its GIUS bit set) or handed to its peripheral's
// primary function; an output takes its level from the data register.
#include "board.h"
#include "gpio.h"
#include "imx1.h"
#include "regs.h"

static int validPin(int port, int pin) { return port >= 0 && port < 4 && pin >= 0 && pin < 32; }

static uint32_t reg(int port, uint32_t offset) { return GPIO_PORT(port) + offset; }

// The two-bit field of `pin` in a pair of configuration registers (pins 0..15, 16..31).
static void setPairField(int port, int pin, uint32_t lowReg, uint32_t value) {
    uint32_t addr = reg(port, pin < 16 ? lowReg : lowReg + 4);
    unsigned shift = 2u * (unsigned)(pin & 15);
    imx1_write32(addr, (imx1_read32(addr) & ~(3u << shift)) | (value << shift));
}

void imx1_gpio_output_source(int port, int pin, uint32_t ocr) {
    if (validPin(port, pin)) setPairField(port, pin, GPIO_OCR1, ocr & 3u);
}

void imx1_gpio_input_path(int port, int pin, uint32_t iconfA) {
    if (validPin(port, pin)) setPairField(port, pin, GPIO_ICONFA1, iconfA & 3u);
}

// The level is in the data register before the pin turns into an output: no glitch.
extern "C" void board_gpio_output(int port, int pin, int level) {
    if (!validPin(port, pin)) return;
    uint32_t bit = 1u << pin;
    imx1_put_bits(reg(port, GPIO_DR), bit, level);
    setPairField(port, pin, GPIO_OCR1, GPIO_OCR_DATA);
    imx1_set_bits(reg(port, GPIO_DDIR), bit);
    imx1_set_bits(reg(port, GPIO_GIUS), bit);
}

extern "C" void board_gpio_input(int port, int pin) {
    if (!validPin(port, pin)) return;
    imx1_clear_bits(reg(port, GPIO_DDIR), 1u << pin);
    imx1_set_bits(reg(port, GPIO_GIUS), 1u << pin);
}

extern "C" void board_gpio_peripheral(int port, int pin) {
    if (!validPin(port, pin)) return;
    imx1_clear_bits(reg(port, GPIO_GPR), 1u << pin);
    imx1_clear_bits(reg(port, GPIO_GIUS), 1u << pin);
}

extern "C" void board_gpio_pullup(int port, int pin, int on) {
    if (validPin(port, pin)) imx1_put_bits(reg(port, GPIO_PUEN), 1u << pin, on);
}

extern "C" void board_gpio_write(int port, int pin, int level) {
    if (validPin(port, pin)) imx1_put_bits(reg(port, GPIO_DR), 1u << pin, level);
}

// An output reads back its data register; anything else the level on the pin.
extern "C" int board_gpio_read(int port, int pin) {
    if (!validPin(port, pin)) return 0;
    uint32_t bit = 1u << pin;
    int output = (imx1_read32(reg(port, GPIO_GIUS)) & bit) && (imx1_read32(reg(port, GPIO_DDIR)) & bit);
    return (imx1_read32(reg(port, output ? GPIO_DR : GPIO_SSR)) & bit) ? 1 : 0;
}
