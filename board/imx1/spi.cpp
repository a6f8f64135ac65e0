// The two CSPI controllers as byte-exchange masters, SPI mode 0, 8-bit words: CSPI1 for the
// serial flash (words queue in its 8-word FIFOs and go out when XCH is set), CSPI2 for the
// touch controller (one word at a time). Chip selects are GPIO outputs, active low.
#include "board.h"
#include "gpio.h"
#include "imx1.h"
#include "regs.h"
#include "wiring.h"

#define CSPI_RESET_POLLS 1000u
// One word at the touch controller's clock (PERCLK2 / 32, 1 MHz, inside the controller's
// 2 MHz) takes 8 us, far below this bound; the tick that samples the panel must never stall.
#define CSPI_WORD_POLLS 2000u

static void cspiInit(uint32_t base, uint32_t divider) {
    imx1_write32(base + CSPI_RESET, CSPI_RESET_START);
    imx1_wait(base + CSPI_RESET, CSPI_RESET_START, 0, CSPI_RESET_POLLS);
    imx1_write32(base + CSPI_INTCS, 0);  // polled: no interrupts
    imx1_write32(base + CSPI_CTRL, divider | CSPI_CTRL_MASTER | CSPI_CTRL_SPIEN | CSPI_CTRL_BITCOUNT8);
    for (int i = 0; i < 16 && (imx1_read32(base + CSPI_INTCS) & CSPI_INTCS_RR); ++i) (void)imx1_read32(base + CSPI_RXD);
}

// ---- serial flash on CSPI1 -------------------------------------------------------------

// The flash runs fast reads at up to 50 MHz: PERCLK2 / 4 (8.2 MHz) is well inside.
extern "C" void board_spi1_init(void) {
    board_gpio_output(SFLASH_CS_PORT, SFLASH_CS_PIN, 1);
    board_gpio_peripheral(PORT_C, 14);
    board_gpio_peripheral(PORT_C, 16);
    board_gpio_peripheral(PORT_C, 17);
    cspiInit(CSPI1_BASE, CSPI_CTRL_DIV4);
}

extern "C" void board_spi1_select(int on) { board_gpio_write(SFLASH_CS_PORT, SFLASH_CS_PIN, on ? 0 : 1); }

// The controller tells only empty and full; in between one free word is certain.
extern "C" int board_spi1_tx_space(void) {
    uint32_t s = imx1_read32(CSPI1_BASE + CSPI_INTCS);
    if (s & CSPI_INTCS_TF) return 0;
    return (s & CSPI_INTCS_TE) ? 8 : 1;
}

extern "C" void board_spi1_write(uint8_t byte) {
    if (imx1_read32(CSPI1_BASE + CSPI_INTCS) & CSPI_INTCS_TF) return;
    imx1_write32(CSPI1_BASE + CSPI_TXD, byte);
    imx1_set_bits(CSPI1_BASE + CSPI_CTRL, CSPI_CTRL_XCH);
}

extern "C" int board_spi1_busy(void) {
    if (imx1_read32(CSPI1_BASE + CSPI_CTRL) & CSPI_CTRL_XCH) return 1;
    return (imx1_read32(CSPI1_BASE + CSPI_INTCS) & CSPI_INTCS_TE) ? 0 : 1;
}

extern "C" int board_spi1_rx_ready(void) { return (imx1_read32(CSPI1_BASE + CSPI_INTCS) & CSPI_INTCS_RR) ? 1 : 0; }

extern "C" uint8_t board_spi1_read(void) {
    if (!board_spi1_rx_ready()) return 0;
    return (uint8_t)imx1_read32(CSPI1_BASE + CSPI_RXD);
}

// ---- touch controller on CSPI2 ---------------------------------------------------------

// Port D 7 and D 10 carry CSPI2's clock and data out through their AIN paths, D 9 brings the
// controller's data in through its AOUT path (selected in the function multiplexing register).
extern "C" void board_touch_init(void) {
    board_gpio_output(PORT_D, TOUCH_CS_PIN, 1);
    board_gpio_output(PORT_D, TOUCH_SCLK_PIN, 0);
    imx1_gpio_output_source(PORT_D, TOUCH_SCLK_PIN, GPIO_OCR_AIN);
    board_gpio_output(PORT_D, TOUCH_MOSI_PIN, 0);
    imx1_gpio_output_source(PORT_D, TOUCH_MOSI_PIN, GPIO_OCR_AIN);
    board_gpio_input(PORT_D, TOUCH_MISO_PIN);
    imx1_gpio_input_path(PORT_D, TOUCH_MISO_PIN, 0);
    imx1_set_bits(SC_FMCR, FMCR_SPI2_RXD_SEL);
    board_gpio_input(TOUCH_PEN_PORT, TOUCH_PEN_PIN);
    board_gpio_pullup(TOUCH_PEN_PORT, TOUCH_PEN_PIN, 1);
    cspiInit(CSPI2_BASE, CSPI_CTRL_DIV32);
}

extern "C" void board_touch_select(int on) { board_gpio_write(PORT_D, TOUCH_CS_PIN, on ? 0 : 1); }

// A controller that never answers reads as 0 (no touch, no pressure) rather than hanging
// the tick that samples it.
extern "C" uint8_t board_touch_transfer(uint8_t b) {
    imx1_write32(CSPI2_BASE + CSPI_TXD, b);
    imx1_set_bits(CSPI2_BASE + CSPI_CTRL, CSPI_CTRL_XCH);
    if (!imx1_wait(CSPI2_BASE + CSPI_INTCS, CSPI_INTCS_RR, CSPI_INTCS_RR, CSPI_WORD_POLLS)) return 0;
    return (uint8_t)imx1_read32(CSPI2_BASE + CSPI_RXD);
}

extern "C" int board_touch_pen_line(void) { return board_gpio_read(TOUCH_PEN_PORT, TOUCH_PEN_PIN); }
