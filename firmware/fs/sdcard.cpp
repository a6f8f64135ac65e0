// The SD card driver. Initialisation follows the native-bus sequence of the SD physical
// layer: reset, interface condition, operating-condition negotiation, identification,
// relative address, card-specific data, selection. Transfers are single 512-byte blocks,
// each checked against its CRC16 and retried a few times.
#include "sdcard.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_timer.h"
#include "board.h"
#include "sd_cmd.h"

// Commands of the native bus.
#define CMD_GO_IDLE 0
#define CMD_ALL_SEND_CID 2
#define CMD_SEND_RCA 3
#define CMD_SELECT 7
#define CMD_SEND_IF_COND 8
#define CMD_SEND_CSD 9
#define CMD_SEND_STATUS 13
#define CMD_SET_BLOCKLEN 16
#define CMD_READ_BLOCK 17
#define CMD_WRITE_BLOCK 24
#define ACMD_SEND_OP_COND 41

#define IF_COND_CHECK 0x1AAu       // 2.7-3.6 V and a check pattern the card echoes
#define OCR_VOLTAGES 0x00FF8000u   // 2.7-3.6 V
#define OCR_HCS (1u << 30)         // host takes high-capacity cards / card is high capacity
#define OCR_READY (1u << 31)       // the card finished powering up
#define INIT_TIMEOUT_MS 1000       // a card must be ready within a second
#define BUSY_FAST_POLLS 64         // polls before the busy wait starts counting milliseconds
#define BUSY_TIMEOUT_MS 500        // longest block programming time allowed
#define TRANSFER_TRIES 3

SDCardInfo sdCard;

void SDCardSlotInit(int slot) {
    (void)slot;  // one slot on this board
    memset(&sdCard, 0, sizeof sdCard);
    board_sd_host_init();
}

int SDCardDetect(void) { return board_sd_card_present() ? 1 : 0; }

int SDCardIsReady(void) {
    if (!SDCardDetect()) sdCard.ready = 0;  // pulled out: must be initialised again
    return sdCard.ready;
}

// Bits hi..hi-width+1 of a 128-bit register stored most significant byte first.
static u32 regBits(const u8 *reg, int hi, int width) {
    u32 v = 0;
    for (int bit = hi; bit > hi - width; --bit) v = (v << 1) | ((reg[15 - bit / 8] >> (bit % 8)) & 1u);
    return v;
}

static u32 csdBlocks(const u8 *csd) {
    if (regBits(csd, 127, 2) == 1) return (regBits(csd, 69, 22) + 1) * 1024u;
    u32 cSize = regBits(csd, 73, 12), mult = regBits(csd, 49, 3), readBlLen = regBits(csd, 83, 4);
    if (readBlLen < 9 || readBlLen > 11) return 0;
    return (cSize + 1) << (mult + 2 + readBlLen - 9);
}

// Waits while the card holds the data line busy after a block write or a selection.
static int waitNotBusy(void) {
    for (int i = 0; i < BUSY_FAST_POLLS; ++i)
        if (!board_sd_busy()) return 1;
    for (int ms = 0; ms < BUSY_TIMEOUT_MS; ++ms) {
        KT_Delay(1);
        if (!board_sd_busy()) return 1;
    }
    return 0;
}

int SDCardInit(void) {
    u8 resp[17];
    u32 status;
    sdCard.ready = 0;
    if (!SDCardDetect()) return 0;
    sdCommand(CMD_GO_IDLE, 0, SD_RESP_NONE, resp);
    // A version 2 card echoes the interface condition; an older one ignores the command.
    int v2 = 0;
    if (sdCommand(CMD_SEND_IF_COND, IF_COND_CHECK, SD_RESP_48, resp)) {
        if ((sdResp32(resp) & 0xFFF) != IF_COND_CHECK) return 0;
        v2 = 1;
    }
    u32 ocr = 0;
    for (int ms = 0;; ++ms) {
        if (!sdAppCommand(0, ACMD_SEND_OP_COND, OCR_VOLTAGES | (v2 ? OCR_HCS : 0), SD_RESP_48, resp)) return 0;
        ocr = sdResp32(resp);
        if (ocr & OCR_READY) break;
        if (ms >= INIT_TIMEOUT_MS) return 0;
        KT_Delay(1);
    }
    sdCard.highCapacity = (v2 && (ocr & OCR_HCS)) ? 1 : 0;
    if (!sdCommand(CMD_ALL_SEND_CID, 0, SD_RESP_136, resp)) return 0;
    memcpy(sdCard.cid, resp + 1, 16);
    u16 rca = 0;
    for (int tries = 0; rca == 0 && tries < 3; ++tries) {  // address 0 is not a card's own
        if (!sdCommand(CMD_SEND_RCA, 0, SD_RESP_48, resp)) return 0;
        rca = (u16)(resp[1] << 8 | resp[2]);
    }
    if (rca == 0) return 0;
    sdCard.rca = rca;
    if (!sdCommand(CMD_SEND_CSD, (u32)rca << 16, SD_RESP_136, resp)) return 0;
    memcpy(sdCard.csd, resp + 1, 16);
    sdCard.blocks = csdBlocks(sdCard.csd);
    if (sdCard.blocks == 0) return 0;
    if (!sdCommandR1(CMD_SELECT, (u32)rca << 16, &status) || !waitNotBusy()) return 0;
    if (!sdCard.highCapacity && !sdCommandR1(CMD_SET_BLOCKLEN, SD_BLOCK_SIZE, &status)) return 0;
    sdCard.ready = 1;
    return 1;
}

static u32 blockAddress(u32 block) { return sdCard.highCapacity ? block : block * SD_BLOCK_SIZE; }

int SDCardReadBlock(u32 block, u8 *buffer) {
    if (!SDCardIsReady() || block >= sdCard.blocks) return 0;
    for (int tries = 0; tries < TRANSFER_TRIES; ++tries) {
        u32 status;
        u16 crc;
        if (!sdCommandR1(CMD_READ_BLOCK, blockAddress(block), &status)) continue;
        if (board_sd_read_data(buffer, &crc) != 0) continue;
        if (sdCrc16(buffer, SD_BLOCK_SIZE) == crc) return 1;
        pout("DAT CRC Error\r\n");
    }
    SDCardIsReady();
    return 0;
}

int SDCardWriteBlock(u32 block, const u8 *buffer) {
    if (!SDCardIsReady() || block >= sdCard.blocks) return 0;
    u16 crc = sdCrc16(buffer, SD_BLOCK_SIZE);
    for (int tries = 0; tries < TRANSFER_TRIES; ++tries) {
        u32 status;
        if (!sdCommandR1(CMD_WRITE_BLOCK, blockAddress(block), &status)) continue;
        int token = board_sd_write_data(buffer, crc);
        if (!waitNotBusy()) break;
        if (token != SD_TOKEN_ACCEPTED) continue;
        // The programming result: the card is back in transfer state without an error.
        if (sdCommandR1(CMD_SEND_STATUS, (u32)sdCard.rca << 16, &status) &&
            SD_STATUS_STATE(status) == SD_STATE_TRAN)
            return 1;
    }
    SDCardIsReady();
    return 0;
}

void SDCardGetCIDString(char *buffer) {
    const u8 *c = sdCard.cid;
    char pnm[6];
    memcpy(pnm, c + 3, 5);
    pnm[5] = 0;
    for (int i = 0; i < 5; ++i)
        if ((u8)pnm[i] < 0x20 || (u8)pnm[i] > 0x7E) pnm[i] = '?';
    u32 psn = (u32)c[9] << 24 | (u32)c[10] << 16 | (u32)c[11] << 8 | c[12];
    u32 mdt = regBits(c, 19, 12);
    snprintf(buffer, SD_CID_STRING_SIZE, "MID=%u\r\nOID=%04Xh\r\nPNM=%s\r\nPSN=%06u\r\nMDT=%02u/%02u",
             (unsigned)c[0], (unsigned)(c[1] << 8 | c[2]), pnm, (unsigned)psn, (unsigned)(mdt & 0xF),
             (unsigned)((mdt >> 4) % 100));
}
