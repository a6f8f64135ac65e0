// The SPI serial NOR flash ("Data Flash") that holds the external-memory image: one command
// per chip-select cycle, one byte exchanged per transfer, everything polled.
#ifndef VMOD_SERIALMEM_H
#define VMOD_SERIALMEM_H

#include "../types.h"

#define SFLASH_PAGE_SIZE 256  // a page program stays inside one page
#define SFLASH_STATUS_WIP 0x01
#define SFLASH_STATUS_WEN 0x02

void InitSerialFlash(void);
u32 ReadSerialFlashID(void);   // three identification bytes, the first one highest
u8 SerialFlashStatus(void);
void SetWriteEnable(void);
void ClearWriteEnable(void);
// Programs n bytes at addr; the caller keeps them inside one 256-byte page. Waits until the
// part is no longer busy: 1 when it got there, 0 when the part stayed busy past any
// program time (the same for the erases).
int WriteSerialFlash(u32 addr, u32 n, const u8 *src);
void ReadSerialFlash(u32 addr, u32 n, u8 *dst);
// Erases the 64 KiB of address space at sector * 65536 (waits until done).
int SectorEraseSerialFlash(u8 sector);
int EraseSerialFlash(void);   // bulk erase, waits until done (tens of seconds)
void FlushSpi1Fifo(void);

#endif
