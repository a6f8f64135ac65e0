// CRC-16/MODBUS (initial value 0xFFFF, reflected polynomial 0xA001, no final XOR), used for
// CRC-checked command lines and the diagnostic checksums.
#ifndef VMOD_CRC16_H
#define VMOD_CRC16_H

#include "../types.h"

#define CRC_INIT 0xFFFF  // the running value before the first byte

u16 CalcCRC(const u8 *buf, int len);
// Continues a CRC over more bytes, for data checked in pieces: CalcCRC(b, n) equals
// CalcCRCMore(CRC_INIT, b, n).
u16 CalcCRCMore(u16 crc, const u8 *buf, u32 len);

#endif
