// CRC-16/MODBUS (initial value 0xFFFF, reflected polynomial 0xA001, no final XOR), used for
// CRC-checked command lines and the diagnostic checksums.
#ifndef VMOD_CRC16_H
#define VMOD_CRC16_H

#include "../types.h"

u16 CalcCRC(const u8 *buf, int len);

#endif
