// The board seam: every hardware service the firmware uses, as plain functions.
//
// firmware/ calls only what is declared here (and the freestanding C library); it never
// touches a register or the host OS. board/sim implements these on Linux with virtual time,
// board/imx1 on the real i.MX1 board. Each device has its own section so that a new device
// adds a section without touching the others.
//
// Conventions: port numbers are the physical UART numbers 0 and 1; GPIO ports are 0..3 for
// A..D; every call returns at once unless its comment says it waits.
#ifndef VMOD_BOARD_H
#define VMOD_BOARD_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// ---------------------------------------------------------------------------------------
// Time and idling

// Called by every loop that waits for something an interrupt changes, and once per main-loop
// pass. On the simulated board virtual time advances here and due interrupts run; on the
// real board it may wait for an interrupt.
void boardIdle(void);

// Stops the processor for good (an unexpected interrupt, a fatal fault). Never returns.
void board_halt(const char *why);

// ---------------------------------------------------------------------------------------
// Interrupt controller (64 sources). The board calls the firmware's irq_handler() whenever an
// enabled source is pending and IRQs are unmasked.

// Source numbers of the present board.
enum {
    IRQ_UART1_TX = 23,  // port 1 transmitter ready / complete
    IRQ_UART1_RX = 24,  // port 1 receiver ready
    IRQ_UART0_TX = 29,  // port 0 transmitter ready / complete
    IRQ_UART0_RX = 30,  // port 0 receiver ready
    IRQ_TIMER1 = 59,    // the 1 ms tick
    IRQ_SOURCES = 64
};

void board_irq_enable_source(int source, int fast);  // route the source to IRQ (fast=0) or FIQ
void board_irq_disable_source(int source);
int board_irq_pending_source(void);   // highest-priority pending enabled source, -1 if none
void board_irq_mask(void);            // processor IRQ mask on (critical section begins)
void board_irq_unmask(void);          // processor IRQ mask off

// ---------------------------------------------------------------------------------------
// Timer 1: the periodic tick.

// Clock of the timer after its prescaler: 16.384 MHz, so 0x4000 clocks are 1 ms.
#define BOARD_TIMER_CLOCK_HZ 16384000u

void board_timer1_start(uint32_t periodClocks);  // periodic compare interrupt, IRQ_TIMER1
void board_timer1_ack(void);                     // clear the compare-event status

// ---------------------------------------------------------------------------------------
// UARTs (8 data bits, no parity, 1 stop bit). One transmit holding register in front of the
// shift register; receive words queue in the receiver FIFO.

#define BOARD_UART_REF_HZ 8192000u  // reference clock of the rate generator

// Received-word flags (above the data byte).
#define UART_RX_CHARRDY 0x8000u  // a character was read
#define UART_RX_ERR 0x4000u      // any of the errors below
#define UART_RX_OVRRUN 0x2000u   // receiver FIFO overrun
#define UART_RX_FRMERR 0x1000u   // framing error (stop bit not found)
#define UART_RX_BRK 0x0800u      // break
#define UART_RX_PRERR 0x0400u    // parity error

void board_uart_enable(int port);       // 8N1, receiver and transmitter on, receive interrupt on
// Rate generator: rate = REF / (16 * (den + 1) / (num + 1)).
void board_uart_set_ratio(int port, uint32_t num, uint32_t den);
int board_uart_rx_ready(int port);      // a received word is waiting
uint32_t board_uart_read(int port);     // next received word: data byte | UART_RX_* flags
void board_uart_rx_reset(int port);     // receiver off and on again: FIFO emptied, errors cleared
void board_uart_write(int port, uint8_t c);  // into the transmit holding register
int board_uart_tx_ready(int port);      // the holding register is empty
int board_uart_tx_complete(int port);   // holding and shift register empty: the last stop bit is out
void board_uart_tx_ready_irq(int port, int on);     // interrupt while the holding register is empty
void board_uart_tx_complete_irq(int port, int on);  // interrupt while the transmitter is complete
void board_uart_rx_irq(int port, int on);           // interrupt while a word is waiting

// ---------------------------------------------------------------------------------------
// GPIO ports A..D (0..3), pins 0..31.

void board_gpio_output(int port, int pin, int level);  // make the pin an output at level
void board_gpio_input(int port, int pin);
void board_gpio_peripheral(int port, int pin);         // hand the pin to its peripheral
void board_gpio_pullup(int port, int pin, int on);
void board_gpio_write(int port, int pin, int level);
int board_gpio_read(int port, int pin);

// ---------------------------------------------------------------------------------------
// Peripheral registers: the system-on-chip's 32-bit register space, by offset from its base,
// for the service commands that peek and poke registers by address. Callers pass only offsets
// below BOARD_PERIPH_SIZE that are multiples of 4 (the firmware checks before calling). A read
// or write is one word access at BOARD_PERIPH_BASE + offset, with the register's own effect
// (a timing register retimes the panel, a rate register the UART), as any other access has.
// Where the bus would fault (a slot with no module behind it), a board reads 0 and drops the
// write instead, so that no offset the firmware passes can halt the module.

#define BOARD_PERIPH_BASE 0x00200000u
#define BOARD_PERIPH_SIZE 0x00025000u  // the peripheral blocks end here

uint32_t board_reg_read(uint32_t offset);
void board_reg_write(uint32_t offset, uint32_t value);

// ---------------------------------------------------------------------------------------
// Reset control and program flash.

// Writes the reset-control register; 0x109 resets the processor (the board restarts the
// firmware from main, RAM as at power-on, media kept). Does not return when it resets.
void board_reset_control(uint32_t value);

// ---------------------------------------------------------------------------------------
// LCD controller: scans a 16-bit frame buffer in SDRAM out to the panel. The timing fields are
// the controller's own encodings; the frame period is H x V pixel clocks at 16.384 MHz, with
// H = width + hwait2 + 3 and V = height + vwait2 + 3.

#define BOARD_LCD_PIXEL_CLOCK_HZ 16384000u

void board_lcd_set_start(uint32_t addr);                // screen start address (SDRAM) scanned out
void board_lcd_set_size(unsigned width16, unsigned height);  // width in units of 16 pixels, lines
void board_lcd_set_page_width(unsigned words);          // virtual page width, 32-bit words per line
void board_lcd_set_panel_config(uint32_t word);         // panel type, depth, polarities, clock divider
void board_lcd_set_hconfig(unsigned pulse, unsigned wait1, unsigned wait2);  // sync pulse - 1, waits
void board_lcd_set_vconfig(unsigned pulse, unsigned wait1, unsigned wait2);  // same, in lines
void board_lcd_set_panel_config2(uint32_t word);        // second panel configuration word
void board_lcd_set_contrast(uint32_t word);             // contrast / PWM output control word
void board_lcd_set_dma_control(uint32_t word);          // frame-buffer DMA burst and trigger levels
void board_lcd_set_refresh_mode(unsigned mode);         // bit 1 set: the controller scans (enabled)
void board_lcd_set_lut(unsigned index, uint16_t rgb444);  // colour table entry 0..255, 12-bit colour
// Beginning-of-frame status: 1 when a frame has begun since the last call. Reading clears it,
// so the 1 ms tick sees each frame start exactly once.
int board_lcd_frame_status(void);
// Starts the DMA keep-alive transfer that runs beside the LCD refresh (a repeating 4-byte
// memory-to-memory copy on channel 0). The simulated board has no DMA to keep awake.
void board_dma_keepalive_start(void);

// ---------------------------------------------------------------------------------------
// I2C bus. One master controller; the settings EEPROM is its only device.
// Byte level: every byte operation returns when its ninth clock is done (the controller's
// transfer-complete flag).

void board_i2c_init(uint32_t divider);  // controller on, bus clock = module clock / divider
void board_i2c_start(void);             // START: take the bus (or a repeated START while holding it)
int board_i2c_write(uint8_t byte);      // shift a byte out; 1 = the addressed device acknowledged
uint8_t board_i2c_read(int ack);        // shift a byte in, then ACK (ack = 1) or NACK (ack = 0)
void board_i2c_stop(void);              // STOP: release the bus

// ---------------------------------------------------------------------------------------
// Beeper tone and volume. Timer 2 toggling pin D 31 makes the tone; a PWM output on pin A 2 sets the volume.

void board_audio_init(void);           // PWM on A 2 with a 102-count period and sample 0; timer 2 reset
void board_audio_volume(uint32_t v);   // PWM sample = 102 * v / 255, i.e. duty v/255 (v <= 255)
void board_tone_on(uint32_t hz);       // square wave of hz (1..65535) on D 31: compare 16666666/(2*hz)-1
void board_tone_off(void);             // timer output released, D 31 a plain output, low

// ---------------------------------------------------------------------------------------
// Touch-screen controller. A synchronous serial port to the 12-bit touch controller and its active-low pen line.
// One transfer: chip select low, bytes clocked out and in one at a time, chip select high.
// A byte with its top bit set is a control byte that starts a conversion; the controller
// answers each conversion with the next two bytes it clocks out (bits 11..5, then 4..0 << 3).

void board_touch_init(void);              // port as byte-transfer master, chip select high, pen input
void board_touch_select(int on);          // chip select: 1 drives it low (selected), 0 high
uint8_t board_touch_transfer(uint8_t b);  // clocks b out and one byte in; busy-waits the 8 clocks
int board_touch_pen_line(void);           // level of the active-low pen-interrupt line (0 = pen down)

// ---------------------------------------------------------------------------------------
// SPI serial flash. The serial NOR flash ("Data Flash") on SPI with chip select on pin C 15.
// The controller (CSPI1, pins C 14, C 16, C 17) is a master with 8-bit words and 8-word
// transmit and receive FIFOs: every byte written is exchanged for one byte from the flash,
// which lands in the receive FIFO (a full receive FIFO drops it). Chip select is a plain
// output on C 15, active low, held for the whole of one flash command.

void board_spi1_init(void);           // controller on, FIFOs empty, pins C 14/16/17 to the SPI
void board_spi1_select(int on);       // chip select: on = 1 drives C 15 low (flash selected)
int board_spi1_tx_space(void);        // free words in the transmit FIFO (0..8)
void board_spi1_write(uint8_t byte);  // queue one byte for exchange; ignored when the FIFO is full
int board_spi1_busy(void);            // 1 while words wait in the transmit FIFO or are shifting
int board_spi1_rx_ready(void);        // a received byte waits in the receive FIFO
uint8_t board_spi1_read(void);        // next received byte; 0 when none waits

// ---------------------------------------------------------------------------------------
// SD host. The SD card slot: card detect, commands and 512-byte data blocks. One slot on the
// native SD bus; the host controller frames commands and clocks data, while the command
// sequences, the card state and every CRC check belong to the driver, which computes the
// command CRC7 and each data block's CRC16 itself.

// Response kinds of board_sd_command.
enum {
    SD_RESP_NONE = 0,  // no response expected (CMD0)
    SD_RESP_48 = 1,    // 48-bit response: 6 bytes, command index .. CRC7 with end bit
    SD_RESP_136 = 2    // 136-bit response (CID, CSD): 17 bytes, 0x3F then the 16-byte register
};
// CRC status tokens the card returns after a written data block.
#define SD_TOKEN_ACCEPTED 0x05    // data accepted
#define SD_TOKEN_CRC_ERROR 0x0B   // the block's CRC16 did not match
#define SD_TOKEN_WRITE_ERROR 0x0D // the card could not write the block

void board_sd_host_init(void);   // host controller on, bus idle, card clock at identification rate
int board_sd_card_present(void); // card-detect switch: 1 while a card sits in the slot
// Sends command `index` (0..63) with `arg` and the driver's CRC7 (7 bits); for SD_RESP_48
// and SD_RESP_136 fills resp with the response as it came off the bus. Returns 0, or -1
// when no response arrived in time (no card, card in a state that ignores the command).
int board_sd_command(uint8_t index, uint32_t arg, uint8_t crc7, int kind, uint8_t *resp);
// After a read command: receives one 512-byte block and the CRC16 the card sent with it.
// Returns 0, or -1 when no block started in time.
int board_sd_read_data(uint8_t *block, uint16_t *crc16);
// After a write command: sends one 512-byte block with the driver's CRC16 and returns the
// card's CRC status token (SD_TOKEN_*), or -1 when the card did not answer.
int board_sd_write_data(const uint8_t *block, uint16_t crc16);
int board_sd_busy(void);         // 1 while the card holds DAT0 low (programming a block)

// ---------------------------------------------------------------------------------------
// Program flash. The parallel flash holding the firmware's own image.

// 8 MiB on chip select 0: a boot block in its first 4 KiB, the program image above 64 KiB.

#define BOARD_PROGFLASH_SIZE 0x800000u

// Copies n bytes from `offset` on into dst and returns how many were copied: the copy stops
// at the end of the flash. Erased cells read 0xFF.
uint32_t board_progflash_read(uint32_t offset, uint8_t *dst, uint32_t n);


#ifdef __cplusplus
}
#endif

#endif
