// The SD host controller on the native bus, one data line. The controller frames commands,
// checks and generates the CRCs on the wire and moves data through a 16-byte buffer; the
// board seam's driver above checks everything again itself, so what the controller gives is
// handed over as it came off the bus.
#include <stddef.h>

#include "board.h"
#include "imx1.h"
#include "regs.h"
#include "wiring.h"

#define SDHC_ENABLE (1u << 2)          // the controller's own enable in the clock register
#define SDHC_ST_DONE_AND_ERRORS                                                                   \
    (SDHC_ST_END_CMD_RESP | SDHC_ST_WRITE_DONE | SDHC_ST_DATA_DONE | SDHC_ST_RESP_CRC_ERR |         \
     SDHC_ST_CRC_READ_ERR | SDHC_ST_CRC_WRITE_ERR | SDHC_ST_TIME_OUT_RESP | SDHC_ST_TIME_OUT_READ)
#define SD_CMD_GO_IDLE 0
#define SD_CMD_SELECT 7
#define SD_CMD_READ_BLOCK 17
#define SD_CMD_WRITE_BLOCK 24
#define SD_BLOCK 512
#define SD_BURST_HALFWORDS 8           // one buffer burst on a one-bit bus
// PERCLK2 (32.768 MHz) / 8 / 2^4 = 256 kHz for identification; / 2 / 2^0 = 16.4 MHz for data.
#define CLK_RATE_IDENTIFY ((7u << 3) | 4u)
#define CLK_RATE_TRANSFER ((1u << 3) | 0u)
#define RESPONSE_TIMEOUT_CLOCKS 0xFFu  // the card answers within 64 clocks
#define READ_TIMEOUT_CLOCKS 0xFFFFu
// Backstops over the controller's own time-outs: a byte of a response at 256 kHz is 31 us.
#define CLOCK_POLLS 10000u
#define RESPONSE_POLLS 500000u
#define DATA_POLLS 2000000u

static uint32_t dataCommand;  // 0, or the CMD_DAT_CONT data bits of the pending transfer

static void stopClock(void) {
    imx1_write32(SDHC_STR_STP_CLK, SDHC_ENABLE | SDHC_CLK_STOP);
    imx1_wait(SDHC_STATUS, SDHC_ST_CLK_RUN, 0, CLOCK_POLLS);
}

static void startClock(void) {
    imx1_write32(SDHC_STR_STP_CLK, SDHC_ENABLE | SDHC_CLK_START);
    imx1_wait(SDHC_STATUS, SDHC_ST_CLK_RUN, SDHC_ST_CLK_RUN, CLOCK_POLLS);
}

extern "C" void board_sd_host_init(void) {
    for (int pin = SD_FIRST_PIN; pin <= SD_LAST_PIN; ++pin) board_gpio_peripheral(PORT_B, pin);
    board_gpio_input(SD_DETECT_PORT, SD_DETECT_PIN);
    board_gpio_pullup(SD_DETECT_PORT, SD_DETECT_PIN, 1);
    imx1_write32(SDHC_STR_STP_CLK, SDHC_CLK_RESET);
    imx1_write32(SDHC_STR_STP_CLK, SDHC_CLK_RESET | SDHC_CLK_STOP);
    stopClock();
    imx1_write32(SDHC_CLK_RATE, CLK_RATE_IDENTIFY);
    imx1_write32(SDHC_RES_TO, RESPONSE_TIMEOUT_CLOCKS);
    imx1_write32(SDHC_READ_TO, READ_TIMEOUT_CLOCKS);
    imx1_write32(SDHC_BLK_LEN, SD_BLOCK);
    imx1_write32(SDHC_NOB, 1);
    imx1_write32(SDHC_INT_MASK, 0x7Fu);  // polled: every interrupt masked
    dataCommand = 0;
}

extern "C" int board_sd_card_present(void) { return board_gpio_read(SD_DETECT_PORT, SD_DETECT_PIN) ? 0 : 1; }

static uint32_t responseFormat(int kind) {
    if (kind == SD_RESP_48) return SDHC_CDC_RESP_48;
    if (kind == SD_RESP_136) return SDHC_CDC_RESP_136;
    return SDHC_CDC_RESP_NONE;
}

// The response FIFO holds the response as 16-bit words, first word first: three for a 48-bit
// response (its six bytes, index to CRC7 and end bit), eight for a 136-bit one (the 16 bytes
// of the register with its CRC7; the controller drops the 0x3F header byte).
static void readResponse(int kind, uint8_t *resp) {
    size_t at = 0;
    int words = 3;
    if (kind == SD_RESP_136) {
        resp[at++] = 0x3F;
        words = 8;
    }
    for (int i = 0; i < words; ++i) {
        uint32_t w = imx1_read32(SDHC_RES_FIFO);
        resp[at++] = (uint8_t)(w >> 8);
        resp[at++] = (uint8_t)w;
    }
}

// The card's clock rises to the data-transfer rate once a card is selected and falls back
// to the identification rate with the next reset of the card.
extern "C" int board_sd_command(uint8_t index, uint32_t arg, uint8_t crc7, int kind, uint8_t *resp) {
    (void)crc7;  // the controller computes the command's CRC7 itself
    stopClock();
    if (index == SD_CMD_GO_IDLE) imx1_write32(SDHC_CLK_RATE, CLK_RATE_IDENTIFY);
    if (index == SD_CMD_SELECT && (arg >> 16) != 0) imx1_write32(SDHC_CLK_RATE, CLK_RATE_TRANSFER);
    uint32_t control = responseFormat(kind);
    dataCommand = 0;
    if (index == SD_CMD_READ_BLOCK) dataCommand = SDHC_CDC_DATA_ENABLE;
    if (index == SD_CMD_WRITE_BLOCK) dataCommand = SDHC_CDC_DATA_ENABLE | SDHC_CDC_WRITE;
    if (index == SD_CMD_GO_IDLE) control |= SDHC_CDC_INIT;
    imx1_write32(SDHC_BLK_LEN, SD_BLOCK);
    imx1_write32(SDHC_NOB, 1);
    imx1_write32(SDHC_STATUS, SDHC_ST_DONE_AND_ERRORS);  // write one to clear: no stale flags
    imx1_write32(SDHC_CMD, index & 0x3Fu);
    imx1_write32(SDHC_ARGH, arg >> 16);
    imx1_write32(SDHC_ARGL, arg & 0xFFFFu);
    imx1_write32(SDHC_CMD_DAT_CONT, control | dataCommand);
    startClock();
    if (!imx1_wait(SDHC_STATUS, SDHC_ST_END_CMD_RESP, SDHC_ST_END_CMD_RESP, RESPONSE_POLLS)) {
        dataCommand = 0;
        return kind == SD_RESP_NONE ? 0 : -1;
    }
    uint32_t status = imx1_read32(SDHC_STATUS);
    if (kind == SD_RESP_NONE) return 0;
    if (status & SDHC_ST_TIME_OUT_RESP) {
        dataCommand = 0;
        return -1;
    }
    readResponse(kind, resp);  // a CRC error is the driver's to find in the response itself
    return 0;
}

// CRC-16 of the SD data line (polynomial 0x1021, initial 0), bit by bit.
static uint16_t dataCrc(const uint8_t *p, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc = (uint16_t)(crc ^ (uint16_t)(p[i] << 8));
        for (int b = 0; b < 8; ++b) crc = (uint16_t)((crc & 0x8000u) ? (crc << 1) ^ 0x1021u : crc << 1);
    }
    return crc;
}

// The controller checks the block's CRC16 itself and keeps only the verdict; the driver gets
// the CRC of what arrived, turned wrong when the controller found it wrong. The buffer's
// 16-bit words carry the bytes in bus order, the first one low.
extern "C" int board_sd_read_data(uint8_t *block, uint16_t *crc16) {
    if (dataCommand != SDHC_CDC_DATA_ENABLE) return -1;
    dataCommand = 0;
    for (int at = 0; at < SD_BLOCK;) {
        uint32_t s = imx1_wait_any(SDHC_STATUS, SDHC_ST_BUFF_FF | SDHC_ST_TIME_OUT_READ, DATA_POLLS);
        if (!(s & SDHC_ST_BUFF_FF) || (s & SDHC_ST_TIME_OUT_READ)) return -1;  // no block came
        for (int i = 0; i < SD_BURST_HALFWORDS && at < SD_BLOCK; ++i, at += 2) {
            uint32_t w = imx1_read32(SDHC_BUFFER_ACCESS);
            block[at] = (uint8_t)w;
            block[at + 1] = (uint8_t)(w >> 8);
        }
    }
    if (!imx1_wait(SDHC_STATUS, SDHC_ST_DATA_DONE, SDHC_ST_DATA_DONE, DATA_POLLS)) return -1;
    uint16_t crc = dataCrc(block, SD_BLOCK);
    *crc16 = (imx1_read32(SDHC_STATUS) & SDHC_ST_CRC_READ_ERR) ? (uint16_t)~crc : crc;
    return 0;
}

extern "C" int board_sd_write_data(const uint8_t *block, uint16_t crc16) {
    (void)crc16;  // the controller appends the CRC16 of the data it sends
    if (dataCommand != (SDHC_CDC_DATA_ENABLE | SDHC_CDC_WRITE)) return -1;
    dataCommand = 0;
    for (int at = 0; at < SD_BLOCK;) {
        if (!imx1_wait(SDHC_STATUS, SDHC_ST_BUFF_FE, SDHC_ST_BUFF_FE, DATA_POLLS)) return -1;
        for (int i = 0; i < SD_BURST_HALFWORDS && at < SD_BLOCK; ++i, at += 2)
            imx1_write32(SDHC_BUFFER_ACCESS, (uint32_t)block[at] | (uint32_t)block[at + 1] << 8);
    }
    uint32_t status = imx1_wait_any(SDHC_STATUS, SDHC_ST_DATA_DONE, DATA_POLLS);
    if (!status) return -1;  // the card never sent its CRC status
    if (!(status & SDHC_ST_CRC_WRITE_ERR)) return SD_TOKEN_ACCEPTED;
    return SDHC_ST_WR_CRC_CODE(status) == 1 ? SD_TOKEN_WRITE_ERROR : SD_TOKEN_CRC_ERROR;
}

// The card holds DAT0 low while it programs; the pin's level is readable whatever its function.
extern "C" int board_sd_busy(void) { return (imx1_read32(GPIO_PORT(PORT_B) + GPIO_SSR) & (1u << SD_DAT0_PIN)) ? 0 : 1; }
