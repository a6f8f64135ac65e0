// The two UARTs: port 0 is UART1, port 1 is UART2. 8N1 with the RTS input ignored; the
// rate generator divides a reference of PERCLK1 / 2 (8.192 MHz). The transmit FIFO is used
// as a holding register: "ready" while fewer than two characters wait in it.
#include "board.h"
#include "imx1.h"
#include "regs.h"

#define RX_TRIGGER 1   // receiver-ready at the first character
#define TX_TRIGGER 2   // transmitter-ready while fewer than two characters are queued
#define RX_DRAIN_MAX 64 // more than the receiver FIFO holds

static int base(int port, uint32_t *addr) {
    if (port == 0)
        *addr = UART1_BASE;
    else if (port == 1)
        *addr = UART2_BASE;
    else
        return 0;
    return 1;
}

#define UART(port, b) \
    uint32_t b;       \
    if (!base(port, &b)) return

extern "C" void board_uart_enable(int port) {
    UART(port, b);
    imx1_write32(b + UART_UCR2, 0);  // software reset
    imx1_wait(b + UART_UCR2, UCR2_SRST, UCR2_SRST, 100);  // the bit sets itself when done
    imx1_write32(b + UART_UFCR, UFCR_TXTL(TX_TRIGGER) | UFCR_RFDIV_2 | UFCR_RXTL(RX_TRIGGER));
    imx1_write32(b + UART_UCR3, 0);
    imx1_write32(b + UART_UCR4, 0);
    imx1_write32(b + UART_UCR2, UCR2_SRST | UCR2_RXEN | UCR2_TXEN | UCR2_WS | UCR2_IRTS);
    imx1_write32(b + UART_UCR1, UCR1_UARTEN | UCR1_UARTCLKEN | UCR1_RRDYEN);
}

// The incremental register must be written before the modulator register, which loads both.
extern "C" void board_uart_set_ratio(int port, uint32_t num, uint32_t den) {
    UART(port, b);
    imx1_write32(b + UART_UBIR, num & 0xFFFF);
    imx1_write32(b + UART_UBMR, den & 0xFFFF);
}

static int statusBit(int port, uint32_t reg, uint32_t bit) {
    uint32_t b;
    if (!base(port, &b)) return 0;
    return (imx1_read32(b + reg) & bit) ? 1 : 0;
}

extern "C" int board_uart_rx_ready(int port) { return statusBit(port, UART_USR2, USR2_RDR); }

// The received-data register holds the character with its status flags in the very layout
// of the board seam's UART_RX_* flags.
extern "C" uint32_t board_uart_read(int port) {
    uint32_t b;
    if (!base(port, &b)) return 0;
    uint32_t w = imx1_read32(b + UART_URXD);
    if (!(w & URXD_CHARRDY)) return 0;
    return w & 0xFFFFu;
}

extern "C" void board_uart_rx_reset(int port) {
    UART(port, b);
    imx1_clear_bits(b + UART_UCR2, UCR2_RXEN);
    for (int i = 0; i < RX_DRAIN_MAX && (imx1_read32(b + UART_USR2) & USR2_RDR); ++i)
        (void)imx1_read32(b + UART_URXD);
    imx1_write32(b + UART_USR2, USR2_ORE | USR2_BRCD);           // write 1 to clear
    imx1_write32(b + UART_USR1, USR1_FRAMERR | USR1_PARITYERR);
    imx1_set_bits(b + UART_UCR2, UCR2_RXEN);
}

extern "C" void board_uart_write(int port, uint8_t c) {
    UART(port, b);
    imx1_write32(b + UART_UTXD, c);
}

extern "C" int board_uart_tx_ready(int port) { return statusBit(port, UART_USR1, USR1_TRDY); }
extern "C" int board_uart_tx_complete(int port) { return statusBit(port, UART_USR2, USR2_TXDC); }

static void enableBit(int port, uint32_t reg, uint32_t bit, int on) {
    UART(port, b);
    imx1_put_bits(b + reg, bit, on);
}

extern "C" void board_uart_tx_ready_irq(int port, int on) { enableBit(port, UART_UCR1, UCR1_TRDYEN, on); }
extern "C" void board_uart_tx_complete_irq(int port, int on) { enableBit(port, UART_UCR4, UCR4_TCEN, on); }
extern "C" void board_uart_rx_irq(int port, int on) { enableBit(port, UART_UCR1, UCR1_RRDYEN, on); }
