// The external-memory image: bitmaps, macros and user fonts built on a PC as one file,
// staged in SDRAM from the SD card or the serial flash ("Data Flash"), fixed up so that its
// offsets become addresses, and used in place.
//
// Image layout (little-endian): an 8-byte header, then R directory entries of 12 bytes.
// Offsets inside the image count from its first byte; the fix-up turns them into SDRAM
// addresses of the staging buffer, which lives at the target's own address on every board.
#ifndef VMOD_KT_EXTMEM_H
#define VMOD_KT_EXTMEM_H

#include "../memmap.h"
#include "../types.h"

#define EXTMEM_MAGIC 0xFEEB
#define EXTMEM_HEADER_SIZE 8
#define EXTMEM_DIRENT_SIZE 12
#define EXTMEM_FLASH_BLOCK 256   // the Data Flash is read in blocks of this size
#define XMP_MAX_BYTES 128        // data bytes one "xmp" line may carry

// Record types of the directory.
enum {
    EXTMEM_BLANK = 0,      // an empty index
    EXTMEM_BITMAP = 1,     // uncompressed bitmap
    EXTMEM_RLE = 2,        // RLE16-compressed bitmap
    EXTMEM_MACROS = 3,     // the macro table (entry 0 only)
    EXTMEM_FONT = 4,       // user font (SIF)
    EXTMEM_BITMAP_TR = 5,  // uncompressed bitmap with a transparent colour
    EXTMEM_TYPE_LAST = 5
};

#pragma pack(push, 1)
struct ExtMemHeader {
    u16 magic;    // EXTMEM_MAGIC
    u16 entries;  // R, directory entries (at least 1)
    u32 size;     // image size in bytes, at most ExtMemSize
};
struct ExtMemDirEntry {
    u8 type;       // EXTMEM_* record type
    u8 unused[3];  // not read
    u32 record;    // offset of the record from the image start, an address once fixed up
    u32 size;      // record size in bytes; for the macro table the number of macros
};
#pragma pack(pop)
static_assert(sizeof(ExtMemHeader) == EXTMEM_HEADER_SIZE, "image header is 8 bytes");
static_assert(sizeof(ExtMemDirEntry) == EXTMEM_DIRENT_SIZE, "directory entries are 12 bytes");

// The staging buffer in SDRAM: a fixed address rather than a pointer variable, so that RAM
// holds nothing that start-up code must compute.
#define ExtMemBuffer ((u8 *)sdramPtr(EXTMEM_ADDR))
extern u8 splashShown;           // 1 once a splash bitmap stands on the screen
extern const u32 ExtMemSize;    // its size, 11 MiB
// Data Flash geometry from its identification (KT_ExtMem_SetGeometry).
extern u32 Flash1Size;
extern u32 Flash1SectorSize;
extern u32 Flash1NumSectors;

// Geometry from the capacity byte (low byte) of the flash identification.
void KT_ExtMem_SetGeometry(u32 flashId);

// The staged image's header and directory entry i, or none when the header is not valid
// (magic, size, R) or entry i lies outside the image.
const ExtMemHeader *KT_ExtMem_Header(void);
ExtMemDirEntry *KT_ExtMem_Entry(u32 i);

// How many bytes of the staging buffer the last load filled: the image's extent as it was
// read, whatever its header's size field says (tools may leave that field 0). Every load
// sets it; so does code that stages an image by other means (tests).
u32 KT_ExtMem_Staged(void);
void KT_ExtMem_SetStaged(u32 bytes);

// The relocation rule on one 32-bit field (in place): an offset below ExtMemSize becomes an
// address of the staging buffer; an address is kept when it lies in the buffer. 1 when the
// field now holds an accepted address, 0 when rejected (the field is left as it was).
int tryFixup(u32 *field);
// The buffer bytes [addr, addr + len) when they lie inside the staging buffer, else none.
const u8 *KT_ExtMem_Range(u32 addr, u32 len);
// How many buffer bytes lie from addr to the end of the staging buffer (0 outside it).
u32 KT_ExtMem_BytesFrom(u32 addr);

// Little-endian fields of records at any alignment.
u16 extRd16(const void *p);
u32 extRd32(const void *p);
void extWr32(void *p, u32 v);

int KT_Load_ExtMem(void);
void KT_Fixup_ExtMem(void);
int Flash1LoadFile(u8 *buffer, u32 flashSize);
int KT_Load_VmodBin_To_ExtMem(void);
// 0 when copied (or nothing to copy); 5 when the part never finished a write, the flash's
// header then left erased.
int CopyMemToFlash1(u32 size, u8 *buffer);
// 0 when done; 3 a sector number out of range, 1 past the end of the part, 2 no source,
// 4 the reset form; 5 when the part never finished a program or erase.
// The erases and KT_ExtMem_WriteRaw change the flash at once, but a valid image stored there
// has its magic broken before the first of its bytes changes (so a cut, or a change that
// covers only part of it, leaves no valid header over other data), and a download's held
// header is let go when the bytes that download wrote may change.
int KT_ExtMem_Erase_Sector(int n);  // n counts the part's own sectors
int KT_ExtMem_Erase_Unit(int n);    // n counts 64 KiB of address space; the part's sector holding it
int KT_ExtMem_Erase_Chip(void);
int KT_ExtMem_WriteRaw(u32 address, const u8 *source, u32 length);
int KT_ExtMem_ProgramArea(u32 address, const u8 *source, u32 length, int reset);
// The writes of a download ("xmp", "bdld"): the results of KT_ExtMem_ProgramArea, but the
// header bytes (flash 0..7) are held back, and a valid image stored in the flash has its magic
// broken before its bytes change. KT_ExtMem_DownloadEnd, at the end of a download, programs
// the held header once the downloads have reached the end of the image it describes (until
// then the flash holds no valid header); 0, or 5 when the part never finished the write.
int KT_ExtMem_DownloadWrite(u32 address, const u8 *source, u32 length);
int KT_ExtMem_DownloadEnd(void);
// After a finished download: a valid image in the flash is staged, and what is staged is fixed
// up. 0 when the copy from the flash failed.
int KT_ExtMem_TakeDownload(void);

// Operations behind the image commands.
struct ExtMemSizes {
    u32 memory;   // the image's medium
    u32 sector;   // its erase unit
    u32 staging;  // the staging buffer
};
// A card with "SD_dnld.ini" stands in for the Data Flash: its sizes count instead.
ExtMemSizes KT_ExtMem_Sizes(void);
int KT_ExtMem_SdLoad(const char *dir);         // "sdload %8s"

#endif
