// The MC9328MX1/MXL peripheral map: the registers and bit fields these drivers program.
// Every address is the physical one; the start-up code maps the peripheral space 1:1.
#ifndef VMOD_IMX1_H
#define VMOD_IMX1_H

#include <stdint.h>

#define IMX_IO_BASE 0x00200000u  // the 1 MiB peripheral window (AIPI1 and AIPI2)

// ---- interrupt controller (AITC) -------------------------------------------------------
#define AITC_BASE (IMX_IO_BASE + 0x23000u)
#define AITC_INTCNTL (AITC_BASE + 0x00u)
#define AITC_NIMASK (AITC_BASE + 0x04u)     // priority mask of normal interrupts
#define AITC_INTENNUM (AITC_BASE + 0x08u)   // write a source number: enable it
#define AITC_INTDISNUM (AITC_BASE + 0x0Cu)  // write a source number: disable it
#define AITC_INTENABLEH (AITC_BASE + 0x10u)
#define AITC_INTENABLEL (AITC_BASE + 0x14u)
#define AITC_INTTYPEH (AITC_BASE + 0x18u)   // 1 = the source is a fast interrupt (FIQ)
#define AITC_INTTYPEL (AITC_BASE + 0x1Cu)
#define AITC_NIPRIORITY(n) (AITC_BASE + 0x3Cu - 4u * (n))  // n = 0..7, eight sources each
#define AITC_NIVECSR (AITC_BASE + 0x40u)    // bits 31..16: highest-priority pending normal source
#define AITC_NIPNDH (AITC_BASE + 0x58u)
#define AITC_NIPNDL (AITC_BASE + 0x5Cu)
#define AITC_NIMASK_NONE 0x1Fu              // no priority level is masked
#define AITC_SOURCES 64

// ---- timers 1 and 2 --------------------------------------------------------------------
#define TIMER1_BASE (IMX_IO_BASE + 0x02000u)
#define TIMER2_BASE (IMX_IO_BASE + 0x03000u)
#define TIMER_TCTL 0x00u
#define TIMER_TPRER 0x04u
#define TIMER_TCMP 0x08u
#define TIMER_TCN 0x10u
#define TIMER_TSTAT 0x14u
#define TCTL_TEN (1u << 0)
#define TCTL_CLK_PERCLK1 (1u << 1)
#define TCTL_IRQEN (1u << 4)
#define TCTL_OM (1u << 5)        // output mode: toggle the timer output at each compare
#define TCTL_FRR (1u << 8)       // free-run (0 = restart at each compare)
#define TCTL_SWR (1u << 15)      // software reset
#define TSTAT_COMP (1u << 0)     // compare event (write 0 to clear)

// ---- pulse-width modulator -------------------------------------------------------------
#define PWM_BASE (IMX_IO_BASE + 0x08000u)
#define PWM_PWMC (PWM_BASE + 0x00u)
#define PWM_PWMS (PWM_BASE + 0x04u)  // sample: the counts the output stays high per period
#define PWM_PWMP (PWM_BASE + 0x08u)  // period in counts
#define PWMC_EN (1u << 4)
#define PWMC_SWR (1u << 16)

// ---- UARTs -----------------------------------------------------------------------------
#define UART1_BASE (IMX_IO_BASE + 0x06000u)  // port 0
#define UART2_BASE (IMX_IO_BASE + 0x07000u)  // port 1
#define UART_URXD 0x00u
#define UART_UTXD 0x40u
#define UART_UCR1 0x80u
#define UART_UCR2 0x84u
#define UART_UCR3 0x88u
#define UART_UCR4 0x8Cu
#define UART_UFCR 0x90u
#define UART_USR1 0x94u
#define UART_USR2 0x98u
#define UART_UBIR 0xA4u
#define UART_UBMR 0xA8u
#define UART_UTS 0xD0u
#define UCR1_UARTEN (1u << 0)
#define UCR1_UARTCLKEN (1u << 2)
#define UCR1_RRDYEN (1u << 9)    // receiver-ready interrupt
#define UCR1_TRDYEN (1u << 13)   // transmitter-ready interrupt
#define UCR2_SRST (1u << 0)      // active low: 1 = not in reset
#define UCR2_RXEN (1u << 1)
#define UCR2_TXEN (1u << 2)
#define UCR2_WS (1u << 5)        // 8 data bits
#define UCR2_IRTS (1u << 14)     // ignore the RTS input
#define UCR4_TCEN (1u << 3)      // transmit-complete interrupt
#define UFCR_RXTL(n) ((uint32_t)(n) << 0)
#define UFCR_RFDIV_2 (4u << 7)   // reference clock = PERCLK1 / 2
#define UFCR_TXTL(n) ((uint32_t)(n) << 10)
#define USR1_FRAMERR (1u << 10)
#define USR1_TRDY (1u << 13)
#define USR1_PARITYERR (1u << 15)
#define USR2_RDR (1u << 0)
#define USR2_ORE (1u << 1)
#define USR2_BRCD (1u << 2)
#define USR2_TXDC (1u << 3)
#define URXD_CHARRDY (1u << 15)

// ---- configurable SPI (CSPI1: serial flash, CSPI2: touch controller) -------------------
#define CSPI1_BASE (IMX_IO_BASE + 0x13000u)
#define CSPI2_BASE (IMX_IO_BASE + 0x19000u)
#define CSPI_RXD 0x00u
#define CSPI_TXD 0x04u
#define CSPI_CTRL 0x08u
#define CSPI_INTCS 0x0Cu
#define CSPI_RESET 0x1Cu
#define CSPI_CTRL_BITCOUNT8 7u
#define CSPI_CTRL_XCH (1u << 8)       // start the exchange; cleared when the transmit FIFO is out
#define CSPI_CTRL_SPIEN (1u << 9)
#define CSPI_CTRL_MASTER (1u << 10)
#define CSPI_CTRL_DIV4 (0u << 13)
#define CSPI_CTRL_DIV32 (3u << 13)
#define CSPI_INTCS_TE (1u << 0)       // transmit FIFO empty
#define CSPI_INTCS_TF (1u << 2)       // transmit FIFO full
#define CSPI_INTCS_RR (1u << 3)       // receive FIFO holds a word
#define CSPI_RESET_START 1u

// ---- I2C -------------------------------------------------------------------------------
#define I2C_BASE (IMX_IO_BASE + 0x17000u)
#define I2C_IFDR (I2C_BASE + 0x04u)
#define I2C_I2CR (I2C_BASE + 0x08u)
#define I2C_I2SR (I2C_BASE + 0x0Cu)
#define I2C_I2DR (I2C_BASE + 0x10u)
#define I2CR_RSTA (1u << 2)
#define I2CR_TXAK (1u << 3)   // 1 = do not acknowledge the byte being received
#define I2CR_MTX (1u << 4)    // transmit mode
#define I2CR_MSTA (1u << 5)   // 0 -> 1 start, 1 -> 0 stop
#define I2CR_IEN (1u << 7)
#define I2SR_RXAK (1u << 0)   // 1 = the byte was not acknowledged
#define I2SR_IIF (1u << 1)    // a byte transfer ended (write 0 to clear)
#define I2SR_IBB (1u << 5)    // bus busy
#define I2SR_ICF (1u << 7)    // transfer complete

// ---- LCD controller --------------------------------------------------------------------
#define LCDC_BASE (IMX_IO_BASE + 0x05000u)
#define LCDC_SSA (LCDC_BASE + 0x00u)
#define LCDC_SIZE (LCDC_BASE + 0x04u)     // bits 25..20 width / 16, bits 8..0 height
#define LCDC_VPW (LCDC_BASE + 0x08u)
#define LCDC_PCR (LCDC_BASE + 0x18u)
#define LCDC_HCR (LCDC_BASE + 0x1Cu)      // bits 31..26 pulse, 15..8 wait 1, 7..0 wait 2
#define LCDC_VCR (LCDC_BASE + 0x20u)
#define LCDC_LSCR1 (LCDC_BASE + 0x28u)
#define LCDC_PWMR (LCDC_BASE + 0x2Cu)
#define LCDC_DMACR (LCDC_BASE + 0x30u)
#define LCDC_RMCR (LCDC_BASE + 0x34u)
#define LCDC_LCDISR (LCDC_BASE + 0x40u)   // read clears it
#define LCDC_LUT(i) (LCDC_BASE + 0x800u + 4u * (i))
#define LCDISR_BOF (1u << 0)              // beginning of frame

// ---- DMA controller --------------------------------------------------------------------
#define DMA_BASE (IMX_IO_BASE + 0x09000u)
#define DMA_DCR (DMA_BASE + 0x00u)
#define DMA_CH0 (DMA_BASE + 0x80u)
#define DMA_SAR 0x00u
#define DMA_DAR 0x04u
#define DMA_CNTR 0x08u
#define DMA_CCR 0x0Cu
#define DMA_RSSR 0x10u
#define DMA_BLR 0x14u
#define DMA_BUCR 0x18u
#define DMA_DCR_DEN (1u << 0)
#define DMA_CCR_CEN (1u << 0)
#define DMA_CCR_RPT (1u << 2)     // repeat the transfer when the count is done
#define DMA_CCR_SSIZ32 (0u << 4)  // 32-bit source port
#define DMA_CCR_DSIZ32 (0u << 6)  // 32-bit destination port

// ---- SD host (MMC/SDHC) ----------------------------------------------------------------
#define SDHC_BASE (IMX_IO_BASE + 0x14000u)
#define SDHC_STR_STP_CLK (SDHC_BASE + 0x00u)
#define SDHC_STATUS (SDHC_BASE + 0x04u)
#define SDHC_CLK_RATE (SDHC_BASE + 0x08u)
#define SDHC_CMD_DAT_CONT (SDHC_BASE + 0x0Cu)
#define SDHC_RES_TO (SDHC_BASE + 0x10u)
#define SDHC_READ_TO (SDHC_BASE + 0x14u)
#define SDHC_BLK_LEN (SDHC_BASE + 0x18u)
#define SDHC_NOB (SDHC_BASE + 0x1Cu)
#define SDHC_INT_MASK (SDHC_BASE + 0x24u)
#define SDHC_CMD (SDHC_BASE + 0x28u)
#define SDHC_ARGH (SDHC_BASE + 0x2Cu)
#define SDHC_ARGL (SDHC_BASE + 0x30u)
#define SDHC_RES_FIFO (SDHC_BASE + 0x34u)
#define SDHC_BUFFER_ACCESS (SDHC_BASE + 0x38u)
#define SDHC_CLK_STOP (1u << 0)
#define SDHC_CLK_START (1u << 1)
#define SDHC_CLK_RESET (1u << 3)
#define SDHC_ST_TIME_OUT_READ (1u << 0)
#define SDHC_ST_TIME_OUT_RESP (1u << 1)
#define SDHC_ST_CRC_WRITE_ERR (1u << 2)
#define SDHC_ST_CRC_READ_ERR (1u << 3)
#define SDHC_ST_RESP_CRC_ERR (1u << 5)
#define SDHC_ST_BUFF_FE (1u << 6)      // the buffer may be written
#define SDHC_ST_BUFF_FF (1u << 7)      // the buffer holds data to read
#define SDHC_ST_CLK_RUN (1u << 8)
#define SDHC_ST_WR_CRC_CODE(s) (((s) >> 9) & 3u)  // the card's CRC status of a written block
#define SDHC_ST_DATA_DONE (1u << 11)
#define SDHC_ST_WRITE_DONE (1u << 12)
#define SDHC_ST_END_CMD_RESP (1u << 13)
#define SDHC_CDC_RESP_NONE 0u
#define SDHC_CDC_RESP_48 1u
#define SDHC_CDC_RESP_136 2u
#define SDHC_CDC_RESP_48_NOCRC 3u
#define SDHC_CDC_DATA_ENABLE (1u << 3)
#define SDHC_CDC_WRITE (1u << 4)
#define SDHC_CDC_INIT (1u << 7)        // 80 clocks before the command (the card's power-up)

// ---- GPIO ports A..D -------------------------------------------------------------------
#define GPIO_BASE (IMX_IO_BASE + 0x1C000u)
#define GPIO_PORT(p) (GPIO_BASE + 0x100u * (uint32_t)(p))
#define GPIO_DDIR 0x00u   // 1 = output
#define GPIO_OCR1 0x04u   // output source of pins 0..15, two bits each (3 = data register)
#define GPIO_OCR2 0x08u   // the same for pins 16..31
#define GPIO_ICONFA1 0x0Cu
#define GPIO_ICONFA2 0x10u
#define GPIO_DR 0x1Cu
#define GPIO_GIUS 0x20u   // 1 = the pin is a GPIO, 0 = it belongs to its peripheral
#define GPIO_SSR 0x24u    // the pin levels, whatever the pin's function
#define GPIO_GPR 0x38u    // 1 = the alternate peripheral function
#define GPIO_PUEN 0x40u   // pull-up enable
#define GPIO_OCR_AIN 0u   // a GPIO output driven by the peripheral's A input
#define GPIO_OCR_DATA 3u  // a GPIO output driven by the data register

// ---- system control, clocks and reset --------------------------------------------------
#define PLL_BASE (IMX_IO_BASE + 0x1B000u)
#define PLL_PCDR (PLL_BASE + 0x20u)
#define SC_BASE (IMX_IO_BASE + 0x1B800u)
#define SC_FMCR (SC_BASE + 0x08u)
#define SC_GPCR (SC_BASE + 0x0Cu)
#define FMCR_SPI2_RXD_SEL (1u << 8)  // CSPI2 receives on port D 9's AOUT path
#define RESET_CONTROL (IMX_IO_BASE + 0x01000u)  // the watchdog control register
#define WATCHDOG_WSR (IMX_IO_BASE + 0x01004u)

// ---- memories --------------------------------------------------------------------------
#define IMX_CS0_BASE 0x10000000u     // the parallel program flash
#define IMX_BOOTROM_BASE 0x00100000u

#endif
