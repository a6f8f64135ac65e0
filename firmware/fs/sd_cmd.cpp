// The SD bus command layer. The host controller only shifts bits; everything the bus
// protects with a CRC is computed and checked here.
#include "sd_cmd.h"

#define SD_CMD_APP 55

u8 sdCrc7(const u8 *data, int len) {
    u8 crc = 0;
    for (int i = 0; i < len; ++i) {
        u8 b = data[i];
        for (int k = 0; k < 8; ++k) {
            crc = (u8)(crc << 1);
            if ((b ^ crc) & 0x80) crc ^= 0x09;
            b = (u8)(b << 1);
        }
    }
    return crc & 0x7F;
}

// CRC-16/XMODEM (polynomial 0x1021, initial 0), the SD data-line CRC, a nibble at a time.
u16 sdCrc16(const u8 *data, int len) {
    static const u16 nibble[16] = {0x0000, 0x1021, 0x2042, 0x3063, 0x4084, 0x50A5, 0x60C6, 0x70E7,
                                   0x8108, 0x9129, 0xA14A, 0xB16B, 0xC18C, 0xD1AD, 0xE1CE, 0xF1EF};
    u16 crc = 0;
    for (int i = 0; i < len; ++i) {
        crc = (u16)((crc << 4) ^ nibble[(crc >> 12) ^ (data[i] >> 4)]);
        crc = (u16)((crc << 4) ^ nibble[(crc >> 12) ^ (data[i] & 0x0F)]);
    }
    return crc;
}

int sdCommand(u8 index, u32 arg, int kind, u8 *resp) {
    u8 frame[5] = {(u8)(0x40 | (index & 0x3F)), (u8)(arg >> 24), (u8)(arg >> 16), (u8)(arg >> 8), (u8)arg};
    u8 scratch[17];
    if (!resp) resp = scratch;
    if (board_sd_command(index, arg, sdCrc7(frame, 5), kind, resp) != 0) return kind == SD_RESP_NONE;
    if (kind == SD_RESP_48) {
        if (resp[0] == 0x3F && resp[5] == 0xFF) return 1;  // R3: no index, no CRC
        if ((resp[0] & 0x3F) != index) return 0;
        if ((resp[5] >> 1) != sdCrc7(resp, 5) || !(resp[5] & 1)) return 0;
    } else if (kind == SD_RESP_136) {
        if (resp[0] != 0x3F || (resp[16] >> 1) != sdCrc7(resp + 1, 15)) return 0;
    }
    return 1;
}

int sdCommandR1(u8 index, u32 arg, u32 *status) {
    u8 resp[17];
    if (!sdCommand(index, arg, SD_RESP_48, resp)) return 0;
    u32 s = sdResp32(resp);
    if (status) *status = s;
    return (s & SD_STATUS_ERRORS) == 0;
}

int sdAppCommand(u16 rca, u8 index, u32 arg, int kind, u8 *resp) {
    u8 r[17];
    if (!sdCommand(SD_CMD_APP, (u32)rca << 16, SD_RESP_48, r)) return 0;
    if (!(sdResp32(r) & SD_STATUS_APP_CMD)) return 0;  // the card did not take the prefix
    return sdCommand(index, arg, kind, resp);
}
