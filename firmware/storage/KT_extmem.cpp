// The external-memory image: loading from the SD card or the Data Flash, copying to the
// Data Flash, the fix-up, and the download commands that program the Data Flash.
//
// An image comes from outside, so nothing here trusts it: the header, every directory entry
// and every record is checked against the staging buffer before it is read or changed.
#include "KT_extmem.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_led.h"
#include "../devices/KT_timer.h"
#include "../devices/miscdrivers.h"
#include "../devices/serialmem.h"
#include "../fs/file_sys.h"
#include "../fs/sdcard.h"
#include "../gui/GUI.h"
#include "../memmap.h"
#include "KT_bitmaps.h"
#include "KT_eeprom.h"
#include "KT_fonts.h"

u8 splashShown;
const u32 ExtMemSize = EXTMEM_SIZE;
u32 Flash1Size = 0x400000;
u32 Flash1SectorSize = 0x10000;
u32 Flash1NumSectors = 64;

#define COPY_WRITE_SIZE 8       // the copy to the Data Flash writes in units of this size
#define COPY_DOTS_EVERY 16384   // one "." per this many writes (128 KiB)
#define ERASE_UNIT 0x10000u     // a sector number of the erase command counts 64 KiB
#define COPY_LED_PERIOD 100
#define FLASH_STAYED_BUSY 5     // result of a program or erase the part never finished

void KT_ExtMem_SetGeometry(u32 flashId) {
    switch (flashId & 0xFF) {
        case 0x17:
            Flash1Size = 0x800000;
            Flash1SectorSize = 0x20000;
            break;
        case 0x18:
            Flash1Size = 0xB00000;
            Flash1SectorSize = 0x40000;
            break;
        default:
            Flash1Size = 0x400000;
            Flash1SectorSize = 0x10000;
            break;
    }
    Flash1NumSectors = 64;
}

// ---------------------------------------------------------------------------------------
// Field access and the relocation rule.

u16 extRd16(const void *p) {
    const u8 *b = (const u8 *)p;
    return (u16)(b[0] | b[1] << 8);
}

u32 extRd32(const void *p) {
    const u8 *b = (const u8 *)p;
    return (u32)b[0] | (u32)b[1] << 8 | (u32)b[2] << 16 | (u32)b[3] << 24;
}

void extWr32(void *p, u32 v) {
    u8 *b = (u8 *)p;
    b[0] = (u8)v;
    b[1] = (u8)(v >> 8);
    b[2] = (u8)(v >> 16);
    b[3] = (u8)(v >> 24);
}

int tryFixup(u32 *field) {
    u32 v = extRd32(field);
    if (v < EXTMEM_ADDR) {
        if (v >= ExtMemSize) return 0;
        extWr32(field, EXTMEM_ADDR + v);
        return 1;
    }
    return v - EXTMEM_ADDR <= ExtMemSize;
}

const u8 *KT_ExtMem_Range(u32 addr, u32 len) {
    if (addr < EXTMEM_ADDR) return 0;
    u32 off = addr - EXTMEM_ADDR;
    if (off > ExtMemSize || len > ExtMemSize - off) return 0;
    return ExtMemBuffer + off;
}

u32 KT_ExtMem_BytesFrom(u32 addr) {
    if (addr < EXTMEM_ADDR || addr - EXTMEM_ADDR >= ExtMemSize) return 0;
    return ExtMemSize - (addr - EXTMEM_ADDR);
}

static u32 stagedBytes;
static int beforeChange(u32 from, u32 length);

u32 KT_ExtMem_Staged(void) { return stagedBytes; }
void KT_ExtMem_SetStaged(u32 bytes) { stagedBytes = bytes < ExtMemSize ? bytes : ExtMemSize; }

const ExtMemHeader *KT_ExtMem_Header(void) {
    const ExtMemHeader *h = (const ExtMemHeader *)ExtMemBuffer;
    if (h->magic != EXTMEM_MAGIC || h->entries == 0 || h->size > ExtMemSize) return 0;
    return h;
}

// A directory entry counts only when it lies inside what the load read, so that a truncated
// image never lends stale bytes of an earlier one as directory entries.
ExtMemDirEntry *KT_ExtMem_Entry(u32 i) {
    const ExtMemHeader *h = KT_ExtMem_Header();
    if (!h || i >= h->entries) return 0;
    u32 end = EXTMEM_HEADER_SIZE + EXTMEM_DIRENT_SIZE * (i + 1);
    if (end > stagedBytes) return 0;
    return (ExtMemDirEntry *)(ExtMemBuffer + EXTMEM_HEADER_SIZE + EXTMEM_DIRENT_SIZE * i);
}

// ---------------------------------------------------------------------------------------
// Fix-up.

// The record's own fields, after its record field was accepted. 0 stops the fix-up.
static int fixupRecord(u32 index, ExtMemDirEntry *e) {
    switch (e->type) {
        case EXTMEM_BITMAP:
        case EXTMEM_RLE:
        case EXTMEM_BITMAP_TR: {
            u8 *rec = (u8 *)KT_ExtMem_Range(e->record, 12);
            return rec && tryFixup((u32 *)(rec + 8));
        }
        case EXTMEM_MACROS: {
            if (index != 0) return 1;
            u32 n = e->size;
            if (n > ExtMemSize / 8) return 0;
            u8 *table = (u8 *)KT_ExtMem_Range(e->record, n * 8);
            if (!table) return 0;
            for (u32 k = 0; k < n; ++k)
                if (!tryFixup((u32 *)(table + 8 * k))) return 0;
            return 1;
        }
        case EXTMEM_FONT: {
            u8 *rec = (u8 *)KT_ExtMem_Range(e->record, 8);
            return rec && tryFixup((u32 *)(rec + 4)) && tryFixup((u32 *)rec);
        }
        default:
            return 1;
    }
}

// The user fonts of the image, in directory order, for the font table. A record counts when
// its name and its data lie in the buffer and the data is a SIF block ("GUIP" first).
static void registerUserFonts(void) {
    KT_Fonts_ClearUser();
    const ExtMemHeader *h = KT_ExtMem_Header();
    if (!h) return;
    for (u32 i = 0; i < h->entries; ++i) {
        ExtMemDirEntry *e = KT_ExtMem_Entry(i);
        if (!e) return;
        if ((e->type & 0x0F) != EXTMEM_FONT || !tryFixup(&e->record)) continue;
        u8 *rec = (u8 *)KT_ExtMem_Range(e->record, 8);
        if (!rec || !tryFixup((u32 *)rec) || !tryFixup((u32 *)(rec + 4))) continue;
        u32 nameAddr = extRd32(rec), dataAddr = extRd32(rec + 4);
        const char *name = (const char *)KT_ExtMem_Range(nameAddr, 1);
        u32 nameRoom = KT_ExtMem_BytesFrom(nameAddr);
        if (!name || !memchr(name, 0, nameRoom)) continue;
        u32 bytes = KT_ExtMem_BytesFrom(dataAddr);
        if (dataAddr >= e->record && dataAddr - e->record <= e->size && e->size - (dataAddr - e->record) < bytes)
            bytes = e->size - (dataAddr - e->record);  // the font ends with its record
        const u8 *data = KT_ExtMem_Range(dataAddr, 4);
        if (!data || bytes < 4 || memcmp(data, "GUIP", 4) != 0) continue;
        KT_Fonts_AddUser(name, data, bytes);
    }
}

void KT_Fixup_ExtMem(void) {
    const ExtMemHeader *h = KT_ExtMem_Header();
    GUI_RLE16_ForgetPosition();  // compressed streams may have changed under the decoder
    if (h) {
        for (u32 i = 0; i < h->entries; ++i) {
            ExtMemDirEntry *e = KT_ExtMem_Entry(i);
            if (!e || e->type > EXTMEM_TYPE_LAST || e->size > ExtMemSize) break;
            if (!tryFixup(&e->record)) break;
            if (!fixupRecord(i, e)) break;
        }
    }
    registerUserFonts();
}

// Whatever points into the staging buffer is let go before it is overwritten.
static void beginLoad(void) {
    stagedBytes = 0;
    KT_Fonts_ClearUser();
    GUI_RLE16_ForgetPosition();
}

// A failed load must not leave half an image that looks valid.
static void invalidateImage(void) {
    memset(ExtMemBuffer, 0, EXTMEM_HEADER_SIZE);
    stagedBytes = 0;
}

// ---------------------------------------------------------------------------------------
// Loading from the Data Flash.

static void readFlashBlocks(u8 *buffer, u32 from, u32 until) {
    for (u32 a = from; a < until; a += EXTMEM_FLASH_BLOCK) {
        u32 n = EXTMEM_FLASH_BLOCK;
        if (a + n > ExtMemSize) n = ExtMemSize - a;  // never past the staging buffer
        ReadSerialFlash(a, n, buffer + a);
        if (a + n > stagedBytes) stagedBytes = a + n;
    }
}

static void reportBadMagic(u16 magic) {
    perr("!Data Flash header is not valid!  Magic was 0x%04X, not 0x%04X\r", magic, EXTMEM_MAGIC);
}

// Bitmap 1 drawn from the first part of the image, before the rest has been read.
static void earlySplash(u8 *buffer) {
    if (eepromData.splashFlag != FLAG_ON || eepromData.splashBitmap != 1) return;
    const ExtMemHeader *h = (const ExtMemHeader *)buffer;
    if (h->entries < 2) return;
    ExtMemDirEntry *e = (ExtMemDirEntry *)(buffer + EXTMEM_HEADER_SIZE + EXTMEM_DIRENT_SIZE);
    if (e->type != EXTMEM_BITMAP && e->type != EXTMEM_RLE && e->type != EXTMEM_BITMAP_TR) return;
    u32 off = extRd32(&e->record), size = extRd32(&e->size);
    if (off >= ExtMemSize || size >= ExtMemSize || off + size < 32 || off + size - 32 >= ExtMemSize) return;
    readFlashBlocks(buffer, 32, off + size);
    if (!tryFixup(&e->record)) return;
    u8 *rec = (u8 *)KT_ExtMem_Range(e->record, 12);
    if (!rec || !tryFixup((u32 *)(rec + 8))) return;
    if (KT_DrawBitmap(e, 0, 0)) splashShown = 1;
}

int Flash1LoadFile(u8 *buffer, u32 flashSize) {
    beginLoad();
    ReadSerialFlash(0, 32, buffer);
    stagedBytes = 32;
    const ExtMemHeader *h = (const ExtMemHeader *)buffer;
    if (h->magic != EXTMEM_MAGIC) {
        reportBadMagic(h->magic);
        invalidateImage();
        return 1;
    }
    if (h->size > ExtMemSize) {
        perr("!Data Flash size is not valid! (%d)\r", (int)h->size);
        invalidateImage();
        return 1;
    }
    earlySplash(buffer);
    ReadSerialFlash(0, EXTMEM_HEADER_SIZE, buffer);
    if (h->magic != EXTMEM_MAGIC) {
        reportBadMagic(h->magic);
        invalidateImage();
        return 1;
    }
    u32 size = h->size;
    pout(":loading %dKB bitmap/macro file from data flash\r", (int)(size / 1024));
    readFlashBlocks(buffer, EXTMEM_HEADER_SIZE, size);
    GUI_RLE16_ForgetPosition();
    return 0;
}

// ---------------------------------------------------------------------------------------
// Copying to the Data Flash.

static int copyFailed(void) {
    FlashLed(0);
    return FLASH_STAYED_BUSY;
}

int CopyMemToFlash1(u32 size, u8 *buffer) {
    if (size == 0) {
        pout(": No memory to copy to Data Flash?\r");
        return 0;
    }
    if (size > Flash1Size) size = Flash1Size;
    // Whole sectors of the part's own size, named by the 64 KiB unit they start at, so
    // that every byte to be written has been erased whatever the geometry.
    u32 sectors = (size + Flash1SectorSize - 1) / Flash1SectorSize;
    if (sectors > Flash1NumSectors) sectors = Flash1NumSectors;
    if (sectors == 0) {
        pout("\r! No sectors to erase!\r");
        return 0;
    }
    FlashLed(COPY_LED_PERIOD);
    pout(":Copy SD Card to Data Flash:");
    // The copy replaces whatever a download left unfinished, and the old image goes before
    // its first sector is erased: an erase cut short may leave any bits of it.
    if (beforeChange(0, size)) return copyFailed();
    for (u32 s = 0; s < sectors; ++s) {
        if (s % 8 == 1) pout("+");
        SectorEraseSerialFlash((u8)(s * (Flash1SectorSize / ERASE_UNIT)));
        u8 status = SerialFlashStatus();
        if (status) pout("\r! Sector erase has status 0x%X!  Continuing... ", status);
    }
    // The header goes in last: a copy cut short by a power failure leaves an erased header,
    // never a valid one in front of incomplete data. A part that never finishes a write ends
    // the copy there (header still erased) rather than costing every later write its wait.
    u32 writes = 0;
    for (u32 a = EXTMEM_HEADER_SIZE; a < size; a += COPY_WRITE_SIZE) {
        u32 n = size - a < COPY_WRITE_SIZE ? size - a : COPY_WRITE_SIZE;
        if (!WriteSerialFlash(a, n, buffer + a)) return copyFailed();
        if (++writes % COPY_DOTS_EVERY == 0) pout(".");
    }
    if (!WriteSerialFlash(0, EXTMEM_HEADER_SIZE, buffer)) return copyFailed();
    FlashLed(0);
    pout("  DONE!\r");
    return 0;
}

static int CopyBinFileToFlash1(FF_FILE *file, const char *name, u8 *buffer, u32 flashSize) {
    u32 len = file->length;
    if (len > ExtMemSize || fread(buffer, 1, len, file) != len) {
        pout("!Failed to read file '%s' into memory\r", name);
        return 21;
    }
    stagedBytes = len;
    if (len >= EXTMEM_HEADER_SIZE) extWr32(buffer + 4, len);
    return CopyMemToFlash1(len, buffer);
}

// ---------------------------------------------------------------------------------------
// Loading from the SD card.

static int SDLoadBinFileAndSplash(u8 *buffer, u32 size, u32 *count, FF_FILE *file) {
    u32 len = file->length;
    if (len > size) return 0;  // larger than the staging buffer: nothing is read
    u32 got = fread(buffer, 1, len, file);
    if (count) *count = got;
    if (got != len) return 0;
    stagedBytes = got;
    u16 magic = len >= 2 ? extRd16(buffer) : 0;
    if (magic != EXTMEM_MAGIC) {
        reportBadMagic(magic);
        return 0;
    }
    return 1;
}

// The lower-cased 8.3 name of a directory entry says "vmod*.bin".
static int isImageName(const FF_DIRENT *d) {
    const char *want = "vmod";
    for (int i = 0; i < 4; ++i)
        if ((d->name[i] | 0x20) != want[i]) return 0;
    return (d->name[8] | 0x20) == 'b' && (d->name[9] | 0x20) == 'i' && (d->name[10] | 0x20) == 'n';
}

static void entryName(const FF_DIRENT *d, char *out) {
    int n = 0;
    for (int i = 0; i < 8 && d->name[i] != ' '; ++i) out[n++] = d->name[i];
    out[n++] = '.';
    for (int i = 8; i < 11 && d->name[i] != ' '; ++i) out[n++] = d->name[i];
    out[n] = 0;
}

// The first vmod*.bin of the current directory that opens, or none.
static FF_FILE *openImageFile(char *name) {
    FF_DIRENT d;
    for (int r = read_directory_entry(&d, 0); r; r = read_directory_entry(&d, 1)) {
        if ((d.attributes & (FF_ATTR_DIRECTORY | FF_ATTR_VOLUME)) || !isImageName(&d)) continue;
        entryName(&d, name);
        FF_FILE *f = fopen(name, FF_MODE_READ);
        if (f) return f;
    }
    return 0;
}

static int fileExists(const char *name) {
    FF_FILE *f = fopen(name, FF_MODE_READ);
    if (!f) return 0;
    fclose(f);
    return 1;
}

static int loadFromFlash(void) {
    int err = Flash1LoadFile(ExtMemBuffer, Flash1Size);
    if (err) {
        perr("!No SD Card and failed to load from Data Flash(%d)\r\n", err);
        return 0;
    }
    KT_Fixup_ExtMem();
    return 1;
}

static void drawSplashFile(void) {
    FF_FILE *f = fopen("splash.bmp", FF_MODE_READ);
    if (!f) return;
    u32 len = f->length;
    int complete = len <= ExtMemSize && fread(ExtMemBuffer, 1, len, f) == len;
    fclose(f);
    if (!complete) {
        pout(":splash.bmp could not be loaded\r");
        return;
    }
    GUI_CONTEXT saved;
    GUI_SaveContext_(&saved);
    int drawn = GUI_BMP_DrawEx(ExtMemBuffer, len, 0, 0);
    GUI_RestoreContext(&saved);
    if (drawn) splashShown = 1;
}

// Reads the open image file into the staging buffer with the SD LED lit, closes it and fixes
// the image up. On failure the staged image is invalidated and the caller reports the error.
static int loadOpenImage(FF_FILE *f) {
    setSDled(1);
    int ok = SDLoadBinFileAndSplash(ExtMemBuffer, ExtMemSize, 0, f);
    setSDled(0);
    fclose(f);
    if (!ok) {
        invalidateImage();
        return 0;
    }
    KT_Fixup_ExtMem();
    return 1;
}

int KT_Load_ExtMem(void) {
    beginLoad();
    if (!SDCardIsReady() && SDCardDetect()) initialize_media();
    if (!SDCardIsReady()) return loadFromFlash();
    drawSplashFile();
    int copyMode = fileExists("flash1.ini");
    char name[13];
    FF_FILE *f = openImageFile(name);
    if (!f) return loadFromFlash();
    u32 len = f->length;
    if (copyMode) {
        if (len > Flash1Size) {
            fclose(f);
            perr("!Failed to copy *.BIN file (%d bytes) from SD Card to Data Flash (max %d bytes)\r", (int)len,
                 (int)Flash1Size);
            return 0;
        }
        setSDled(1);
        int err = CopyBinFileToFlash1(f, name, ExtMemBuffer, Flash1Size);
        setSDled(0);
        fclose(f);
        if (err) {
            invalidateImage();
            perr("!Failed to copy *.BIN file from SD Card to Data Flash(%d)\r", err);
            return 0;
        }
        KT_Fixup_ExtMem();
        return 1;
    }
    pout(":loading %dKB bitmap/macro file from SD card\r", (int)(len / 1024));
    if (!loadOpenImage(f)) {
        perr("!SD card error %d\r", _FF_error);
        return 0;
    }
    return 1;
}

int KT_Load_VmodBin_To_ExtMem(void) {
    char name[13];
    FF_FILE *f = openImageFile(name);
    if (!f) return 0;
    beginLoad();
    pout(":loading %dKB bitmap/macro file from SD card...\r", (int)(f->length / 1024));
    if (!loadOpenImage(f)) {
        pout(":!SD card error %d\r", _FF_error);
        return 0;
    }
    return 1;
}

int KT_ExtMem_SdLoad(const char *dir) {
    if (initialize_media() != 1) return 0;
    if (chdir(dir, FF_FROM_ROOT) < 0) return 0;
    return KT_Load_VmodBin_To_ExtMem();
}

// ---------------------------------------------------------------------------------------
// Changes of the Data Flash that a power cut cannot turn into a partial image.
//
// A download arrives in address order with the header first; written as it comes, a cut
// would leave a header describing the whole new image in front of a part of it. So the
// header bytes (flash 0..7) of a download are held back here and programmed only once the
// download has reached the end of the image they describe. And before anything changes the
// bytes of an image the flash still describes as valid (a download, an erase, a raw write of
// the maintenance commands), that image's magic is programmed to zero (programming only
// clears bits: it needs no erase), so that a cut never leaves the old header in front of
// changed data, nor does a change that ends inside the image. At any cut the flash holds the
// old image, the new one, or no valid header at all.

static u8 heldHeader[EXTMEM_HEADER_SIZE];
static u8 heldMask;   // bit i: byte i of the held header has arrived
static u32 heldReach; // the end of the furthest write since the header arrived

// The image the flash describes as valid now: its size, or 0.
static u32 flashImageSize(void) {
    u8 head[EXTMEM_HEADER_SIZE];
    ReadSerialFlash(0, EXTMEM_HEADER_SIZE, head);
    if (extRd16(head) != EXTMEM_MAGIC) return 0;
    u32 size = extRd32(head + 4);
    return size < EXTMEM_HEADER_SIZE ? EXTMEM_HEADER_SIZE : size;
}

// Breaks the stored image's magic when [from, from + length) touches its bytes, its header
// included; 0 when the part never finished that write.
static int protectStoredImage(u32 from, u32 length) {
    u32 size = flashImageSize();
    if (size == 0 || length == 0 || from >= size) return 1;
    static const u8 zero[2] = {0, 0};
    return WriteSerialFlash(0, sizeof zero, zero);
}

static void dropHeldHeader(void) {
    heldMask = 0;
    heldReach = 0;
}

// Programs the held header bytes, in runs of consecutive ones (normally the whole header in
// one write), and lets them go. Programmed over a header that is still valid they would mix
// with it, so that one is broken first.
static int writeHeldBytes(void) {
    if (!protectStoredImage(0, EXTMEM_HEADER_SIZE)) {
        dropHeldHeader();
        return FLASH_STAYED_BUSY;
    }
    for (u32 a = 0; a < EXTMEM_HEADER_SIZE;) {
        if (!(heldMask & 1u << a)) {
            ++a;
            continue;
        }
        u32 b = a;
        while (b < EXTMEM_HEADER_SIZE && heldMask & 1u << b) ++b;
        if (!WriteSerialFlash(a, b - a, heldHeader + a)) {
            dropHeldHeader();
            return FLASH_STAYED_BUSY;
        }
        a = b;
    }
    dropHeldHeader();
    return 0;
}

// Only an image's header is worth holding: bytes at 0 that do not begin with the magic are
// plain data and go to the flash as they come.
static int heldIsImageHeader(void) { return (heldMask & 3) != 3 || extRd16(heldHeader) == EXTMEM_MAGIC; }

int KT_ExtMem_DownloadWrite(u32 address, const u8 *source, u32 length) {
    if (!source) return 2;
    if ((unsigned long long)address + length > Flash1Size) return 1;
    u32 end = address + length;
    while (length > 0 && address < EXTMEM_HEADER_SIZE) {
        if (address == 0) heldReach = 0;  // a new header: the reach counts from here
        heldHeader[address] = *source++;
        heldMask = (u8)(heldMask | 1u << address);
        ++address;
        --length;
    }
    if (!heldIsImageHeader()) {
        int r = writeHeldBytes();
        if (r) return r;
    }
    if (length > 0) {
        if (!protectStoredImage(address, length)) return FLASH_STAYED_BUSY;
        int r = KT_ExtMem_ProgramArea(address, source, length, 0);
        if (r) return r;
    }
    if (heldMask && end > heldReach) heldReach = end;
    return 0;
}

int KT_ExtMem_DownloadEnd(void) {
    if (!heldMask) return 0;
    if (heldMask == 0xFF && heldIsImageHeader() && heldReach < extRd32(heldHeader + 4))
        return 0;  // the image is not complete yet: a later download may finish it
    return writeHeldBytes();
}

// Before an erase or a write of [from, from + length) that is not a download's own: a
// download's held header goes when the bytes it has written so far (its own included) may
// change, as it would describe other data; and the stored image is broken when touched.
// 0, or FLASH_STAYED_BUSY.
static int beforeChange(u32 from, u32 length) {
    u32 written = heldReach > EXTMEM_HEADER_SIZE ? heldReach : EXTMEM_HEADER_SIZE;
    if (heldMask && from < written) dropHeldHeader();
    return protectStoredImage(from, length) ? 0 : FLASH_STAYED_BUSY;
}

// ---------------------------------------------------------------------------------------
// Programming and erasing the Data Flash.

// Erases the part's sector that holds 64 KiB unit `unit` of the address space. A part that
// never finishes is a failed erase, not a done one.
static int eraseUnit(u32 unit) {
    u32 sector = Flash1SectorSize > ERASE_UNIT ? Flash1SectorSize : ERASE_UNIT;
    u32 from = unit * ERASE_UNIT / sector * sector;
    if (beforeChange(from, sector)) return FLASH_STAYED_BUSY;
    if (!SectorEraseSerialFlash((u8)unit)) return FLASH_STAYED_BUSY;
    return 0;
}

int KT_ExtMem_Erase_Sector(int n) {
    if (n < 0 || (u32)n >= Flash1NumSectors) return 3;
    // A sector of the part's own size, as "xma" reports it.
    return eraseUnit((u32)n * (Flash1SectorSize / ERASE_UNIT));
}

int KT_ExtMem_Erase_Unit(int n) {
    if (n < 0 || (u32)n >= Flash1Size / ERASE_UNIT) return 3;
    return eraseUnit((u32)n);
}

int KT_ExtMem_Erase_Chip(void) {
    if (beforeChange(0, Flash1Size)) return FLASH_STAYED_BUSY;
    return EraseSerialFlash() ? 0 : FLASH_STAYED_BUSY;
}

int KT_ExtMem_WriteRaw(u32 address, const u8 *source, u32 length) {
    if (!source) return 2;
    if ((unsigned long long)address + length > Flash1Size) return 1;
    if (beforeChange(address, length)) return FLASH_STAYED_BUSY;
    return KT_ExtMem_ProgramArea(address, source, length, 0);
}

int KT_ExtMem_ProgramArea(u32 address, const u8 *source, u32 length, int reset) {
    if (reset && address == 0 && !source) return 0;  // nothing is kept between calls to clear
    if (!source) return 2;
    if (reset) return 4;
    if ((unsigned long long)address + length > Flash1Size) return 1;
    // A page program wraps inside its page: split at every page boundary.
    while (length > 0) {
        u32 room = SFLASH_PAGE_SIZE - (address % SFLASH_PAGE_SIZE);
        u32 n = length < room ? length : room;
        if (!WriteSerialFlash(address, n, source)) return FLASH_STAYED_BUSY;
        address += n;
        source += n;
        length -= n;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// Commands.

ExtMemSizes KT_ExtMem_Sizes(void) {
    if (SDCardIsReady() && fileExists("SD_dnld.ini")) return ExtMemSizes{ExtMemSize, 0x100000, ExtMemSize};
    return ExtMemSizes{Flash1Size, Flash1SectorSize, ExtMemSize};
}

int KT_ExtMem_TakeDownload(void) {
    u8 head[2];
    ReadSerialFlash(0, 2, head);
    if (extRd16(head) == EXTMEM_MAGIC && Flash1LoadFile(ExtMemBuffer, Flash1Size) != 0) return 0;
    KT_Fixup_ExtMem();
    return 1;
}
