// The SD bus command layer: command and data CRCs, framing of one command with its
// response check, and the application-command prefix.
#ifndef VMOD_SD_CMD_H
#define VMOD_SD_CMD_H

#include "../types.h"
#include "board.h"

// Card-status bits that mean the command just given failed. ILLEGAL_COMMAND and
// COM_CRC_ERROR are left out: they describe the command before, which was already retried.
#define SD_STATUS_ERRORS 0xFD380000u
#define SD_STATUS_APP_CMD (1u << 5)
#define SD_STATUS_STATE(s) (((s) >> 9) & 0xF)
#define SD_STATE_TRAN 4
#define SD_STATE_PRG 7

u8 sdCrc7(const u8 *data, int len);
u16 sdCrc16(const u8 *data, int len);

// Sends a command. For SD_RESP_48 the response's index and CRC7 are checked (except for the
// operating-condition reply, which carries neither); for SD_RESP_136 the register's own CRC7
// is checked. Returns 1 with resp filled, 0 when no sound response arrived.
int sdCommand(u8 index, u32 arg, int kind, u8 *resp);
// A command with a 48-bit card-status response: 1 and *status when it arrived and reports
// no error for this command.
int sdCommandR1(u8 index, u32 arg, u32 *status);
// An application command (CMD55 with the card's address, then `index`).
int sdAppCommand(u16 rca, u8 index, u32 arg, int kind, u8 *resp);

// The 32-bit payload of a 48-bit response.
static inline u32 sdResp32(const u8 *resp) {
    return (u32)resp[1] << 24 | (u32)resp[2] << 16 | (u32)resp[3] << 8 | resp[4];
}

#endif
