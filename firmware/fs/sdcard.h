// The SD card driver: card detection, the standard initialisation and 512-byte block
// transfers over the native bus.
#ifndef VMOD_SDCARD_H
#define VMOD_SDCARD_H

#include "../types.h"

#define SD_BLOCK_SIZE 512
#define SD_CID_STRING_SIZE 96  // room for SDCardGetCIDString's text

// What the initialisation learnt about the card in the slot.
struct SDCardInfo {
    u8 ready;         // initialised and selected, ready for block transfers
    u8 highCapacity;  // blocks are addressed by number, not by byte offset
    u16 rca;          // relative card address given by the card
    u32 blocks;       // capacity in 512-byte blocks, from the CSD
    u8 cid[16];       // card identification register
    u8 csd[16];       // card-specific data register
};

extern SDCardInfo sdCard;

void SDCardSlotInit(int slot);
int SDCardDetect(void);
int SDCardIsReady(void);
int SDCardInit(void);
int SDCardReadBlock(u32 block, u8 *buffer);
int SDCardWriteBlock(u32 block, const u8 *buffer);
// Formats the card identification; buffer holds at least SD_CID_STRING_SIZE characters.
void SDCardGetCIDString(char *buffer);

#endif
