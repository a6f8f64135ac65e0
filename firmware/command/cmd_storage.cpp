// Command handlers. Stored data: EEPROM settings, external-memory image, bitmaps, fonts,
// listings, downloads.
#include "handlers.h"
#include "dispatch.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_timer.h"
#include "../devices/lcd_driver.h"
#include "../devices/miscdrivers.h"
#include "../gui/GUI.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_bitmaps.h"
#include "../storage/KT_eeprom.h"
#include "../storage/KT_extmem.h"
#include "../storage/KT_fonts.h"
#include "parse_command.h"

// The raw EEPROM maintenance commands answer "AA = VV" with the byte as the part now holds it.
static void replyEepromByte(unsigned a) {
    snprintf(out_buffer, OUT_BUFFER_SIZE, "%02X = %02X\r", a & 0xFF, EEpromRead((u8)a));
    txString(out_buffer);
}

int cmdEepromRead(char *line) {
    unsigned a;
    if (scanArgs(line, &a) != 1) return CMD_REJECTED;
    replyEepromByte(a);
    return CMD_DONE;
}

int cmdEepromWrite(char *line) {
    unsigned a, v;
    if (scanArgs(line, &a, &v) != 2) return CMD_REJECTED;
    EEpromWrite((u8)a, (u8)v);
    replyEepromByte(a);
    return CMD_DONE;
}

#define DUMP_END 0x88  // the image and the bytes just past it
#define DUMP_ROW 8

// Rows of eight bytes in hexadecimal and as text, unprintable bytes as '.'.
int cmdEepromDump(char *line) {
    for (int row = 0; row < DUMP_END; row += DUMP_ROW) {
        u8 b[DUMP_ROW];
        for (int i = 0; i < DUMP_ROW; ++i) b[i] = EEpromRead((u8)(row + i));
        char text[64];
        int n = snprintf(text, sizeof text, "%02X:", row);
        for (int i = 0; i < DUMP_ROW; ++i) n += snprintf(text + n, sizeof text - (size_t)n, " %02X", b[i]);
        text[n++] = ' ';
        for (int i = 0; i < DUMP_ROW; ++i) text[n++] = (b[i] >= 0x21 && b[i] <= 0x79) ? (char)b[i] : '.';
        text[n++] = '\r';
        text[n] = 0;
        txString(text);
    }
    return CMD_DONE;
}
int cmdEepromClear(char *line) { return KT_EEPROM_Clear(); }
int cmdEepromSave(char *line) { return KT_EEPROM_Save(); }
int cmdFontReport(char *line) {
    snprintf(out_buffer, sizeof out_buffer, "%s\r", KT_GetCurrentFontName());
    txString(out_buffer);
    return CMD_DONE;
}
// The built-in names up to "dummy" (the rest are compatibility names), then the user fonts.
int cmdFontList(char *line) {
    for (const FONT_ENTRY *e = fontTable; e->name && strcmp(e->name, "dummy") != 0; ++e) {
        snprintf(out_buffer, sizeof out_buffer, "%s\r", e->name);
        txString(out_buffer);
    }
    for (int i = 0; i < KT_Fonts_UserCount(); ++i) {
        snprintf(out_buffer, sizeof out_buffer, "%s\r", KT_Fonts_User(i)->name);
        txString(out_buffer);
    }
    return CMD_DONE;
}
int cmdMfgReset(char *line) {
    KT_EEPROM_FactoryReset();
    return CMD_NO_REPLY;
}

// ---------------------------------------------------------------------------------------
// The external-memory image: listings, bitmaps, downloads.

// "lsmac" belongs to the macros; "lsbmp" lists the image directory.
int cmdList(char *line) {
    if (strncmp(line, "lsbmp", 5) == 0) {
        int n;
        if (sscanf(line + 5, "%d", &n) == 1 && n >= 0) return KT_ListBitmaps(n);
        return KT_ListBitmaps(-1);
    }
    if (strncmp(line, "lsmac", 5) == 0) {
        int n;
        return KT_ListMacros(sscanf(line + 5, "%d", &n) == 1 ? (n < 0 ? 0 : n) : -1);
    }
    return 0;
}

int cmdBitmap(char *line) {
    int n, x, y;
    if (scanArgs(line, &n, &x, &y) != 3) return 0;
    const ExtMemDirEntry *e = KT_GetExtBitmap(n);
    if (!e) return 0;
    return KT_DrawBitmap(e, withOrigin(x, Origin_X), withOrigin(y, Origin_Y));
}

// Any uncompressed bitmap with the given transparent colour; a compressed stream is not
// pixels and is refused.
int cmdBitmapTransparent(char *line) {
    int n, x, y;
    unsigned colour;
    if (scanArgs(line, &n, &x, &y, &colour) != 4) return 0;
    const ExtMemDirEntry *e = KT_GetExtBitmap(n);
    if (!e || e->type == EXTMEM_RLE) return 0;
    return KT_DrawBitmapTr(e, withOrigin(x, Origin_X), withOrigin(y, Origin_Y), (u16)colour);
}

// A coordinate for the library's 16-bit rectangles; beyond that range it is off the screen anyway.
static s16 clip16(int v) { return (s16)(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

// The clip rectangle means the same for every type: screen corners relative to the origin.
int cmdBitmapClipped(char *line) {
    int n, x, y, x0, y0, x1, y1;
    if (scanArgs(line, &n, &x, &y, &x0, &y0, &x1, &y1) != 7) return 0;
    const ExtMemDirEntry *e = KT_GetExtBitmap(n);
    if (!e) return 0;
    x = withOrigin(x, Origin_X);
    y = withOrigin(y, Origin_Y);
    x0 = withOrigin(x0, Origin_X);
    y0 = withOrigin(y0, Origin_Y);
    x1 = withOrigin(x1, Origin_X);
    y1 = withOrigin(y1, Origin_Y);
    if (e->type == EXTMEM_BITMAP_TR) {
        const ExtBitmap *r = (const ExtBitmap *)KT_ExtMem_Range(e->record, sizeof(ExtBitmap));
        return KT_DrawBitmapTrClipAbs(e, x, y, x0, y0, x1, y1, r ? (u16)extRd32(&r->extra) : 0);
    }
    GUI_RECT clip = {clip16(x0), clip16(y0), clip16(x1), clip16(y1)};
    GUI_RECT old = GUI_SetClipRect(&clip);
    KT_DrawBitmap(e, x, y);
    GUI_SetClipRect(&old);
    return 1;
}

// A band of rows (dir 0) or columns of an uncompressed bitmap. The offset counts inside the
// bitmap and is not moved by the origin.
int cmdBitmapBand(char *line) {
    int n, x, y, dir, len, off;
    if (scanArgs(line, &n, &x, &y, &dir, &len, &off) != 6) return 0;
    const ExtMemDirEntry *e = KT_GetExtBitmap(n);
    if (!e) {
        txString(":invalid bitmap\r");
        return 0;
    }
    if (e->type != EXTMEM_BITMAP && e->type != EXTMEM_BITMAP_TR) {
        txString(":bitmap must be uncompressed\r");
        txString(":invalid bitmap\r");
        return 0;
    }
    x = withOrigin(x, Origin_X);
    y = withOrigin(y, Origin_Y);
    int w = KT_BitmapWidth(e), h = KT_BitmapHeight(e);
    if (len < 0) len = 0;
    if (dir == 0) {
        if ((long long)y + len > SCREEN_H - 1) len = y < SCREEN_H - 1 ? SCREEN_H - 1 - y : 0;
        wvr(y + len);
        return KT_DrawBitmapCutOff(e, x, y, 0, off, w, off + len);
    }
    if ((long long)x + len > SCREEN_W - 1) len = x < SCREEN_W - 1 ? SCREEN_W - 1 - x : 0;
    wvr(y + h);
    return KT_DrawBitmapCutOff(e, x, y, off, 0, off + len, h);
}

int cmdExtMemSizes(char *line) {
    ExtMemSizes z = KT_ExtMem_Sizes();
    pout("%ld %ld %ld\r", (long)z.memory, (long)z.sector, (long)z.staging);
    return CMD_DONE;
}

// "xmc <magic>" erases the chip, "xmc <magic> <sector>" one sector; the magic guards both.
int cmdExtMemErase(char *line) {
    unsigned magic = 0;
    int sector = 0;
    int n = sscanf(line + 3, "%x %d", &magic, &sector);
    if (n < 1 || magic != EXTMEM_MAGIC) {
        perr(":Magic value was wrong (got 0x%X, should be 0x%X\r", magic, EXTMEM_MAGIC);
        return CMD_REJECTED;
    }
    if (n == 2) {
        pout(":Erasing sector %d...", sector);
        if (KT_ExtMem_Erase_Sector(sector) != 0) {
            pout("\r:Erase sector %d failed\r", sector);
            return CMD_REJECTED;
        }
        pout(" done\r");
        return CMD_DONE;
    }
    pout(":Erasing chip...");
    if (KT_ExtMem_Erase_Chip() != 0) {
        pout("\r:Erase failed\r");
        return CMD_REJECTED;
    }
    pout(" done\r");
    return CMD_DONE;
}

// One "xmp" line: characters are data bytes, a blank escapes the next character.
enum { XMP_GO_ON, XMP_END, XMP_PAST_END, XMP_OVERFLOW };

static int escapedByte(char c, u8 *out) {
    switch (c) {
        case ' ': *out = 0x20; return 1;
        case '0': *out = 0x00; return 1;
        case 'B': *out = 0x08; return 1;
        case 'N': *out = 0x0A; return 1;
        case 'R': *out = 0x0D; return 1;
        case 'X': *out = 0x11; return 1;
        case 'Y': *out = 0x13; return 1;
        case '[': *out = 0x1B; return 1;
        case 'Q':
        case 'q': return 0;
        default: *out = (u8)c; return 1;
    }
}

static int decodeXmpLine(const char *line, u32 addr, u8 *data, u32 *count, int verbose) {
    u32 n = 0;
    for (const char *p = line; *p; ++p) {
        u8 b = (u8)*p;
        if (*p == ' ') {
            if (!p[1]) break;  // a blank at the end escapes nothing
            ++p;
            if (!escapedByte(*p, &b)) {
                *count = n;
                return XMP_END;
            }
        }
        if ((unsigned long long)addr + n + 1 > Flash1Size) {
            *count = n;
            return XMP_PAST_END;
        }
        if (n == XMP_MAX_BYTES) {
            *count = n;
            return XMP_OVERFLOW;
        }
        data[n++] = b;
        if (verbose) pout("byte %u: %02X\r", (unsigned)(n - 1), b);
    }
    *count = n;
    return XMP_GO_ON;
}

static char xmpLine[RX_BUF_SIZE + 1];

// The "xmp" session: a prompt for every line, the lines' bytes programmed through the
// download writes, until the end escape or an error.
static int textDownload(u32 addr, int verbose) {
    u8 data[XMP_MAX_BYTES];
    int result = 1;
    int ended = 0;
    binaryEnable = 0;
    for (;;) {
        txString("p>\r");
        // A line longer than the receive ring never completes: the ring overflows instead.
        while (rxGotLine == 0 && !bufferOverflow) KT_Delay(1);
        if (rxGotLine == 0) {
            bufferOverflow = 0;
            rxReset();
            txString("\rInput buffer overflowed!\r");
            result = 0;
            break;
        }
        rxString(xmpLine, sizeof xmpLine);
        // A host that sent ahead until the ring stopped it may go on once there is room, as
        // the main loop lets it: without this XON it would wait for one while the download
        // waits for its next line.
        if (rxStopped && rxCount <= RX_XON_LEVEL && !rs485On()) {
            txChar(XON);
            rxStopped = 0;
        }
        size_t len = strlen(xmpLine);
        if (len > 0) xmpLine[len - 1] = 0;  // the terminator
        if (verbose) {
            txString("\rSaw: '");
            txString(xmpLine);
            txString("'\r");
        }
        u32 n = 0;
        int state = decodeXmpLine(xmpLine, addr, data, &n, verbose);
        if (state == XMP_PAST_END) txString("\rCannot write past end of external memory!\r");
        if (state == XMP_OVERFLOW) txString("\rInput buffer overflowed!\r");
        if (n > 0) {
            const char *plural = n == 1 ? "" : "s";
            if (verbose) pout("Programming %u byte%s @ 0x%08X...\r", (unsigned)n, plural, (unsigned)addr);
            if (KT_ExtMem_DownloadWrite(addr, data, n) != 0) {
                pout("\rWrite to external memory failed! (%u byte%s @ 0x%04X%04X)\r", (unsigned)n, plural,
                     (unsigned)(addr >> 16), (unsigned)(addr & 0xFFFF));
                result = 0;
                break;
            }
            addr += n;
        }
        if (state == XMP_PAST_END || state == XMP_OVERFLOW) {
            result = 0;
            break;
        }
        if (state == XMP_END) {
            ended = 1;
            break;
        }
    }
    if (ended && KT_ExtMem_DownloadEnd() != 0) {
        // The held header, programmed last at the start of the flash.
        pout("\rWrite to external memory failed! (%u bytes @ 0x00000000)\r", (unsigned)EXTMEM_HEADER_SIZE);
        result = 0;
        ended = 0;
    }
    if (ended && !KT_ExtMem_TakeDownload()) {
        perr(":Failed to copy new image from Data Flash to memory!\r");
        result = 0;
    }
    if (!binaryDisable) binaryEnable = 1;
    return result;
}

int cmdExtMemProgram(char *line) {
    unsigned hi, lo;
    int verbose;
    if (scanArgs(line, &hi, &lo, &verbose) != 3) return 0;
    return textDownload(((hi & 0xFFFF) << 16) + (lo & 0xFFFF), verbose);
}

int cmdExtMemProgramMax(char *line) {
    replyNumber(XMP_MAX_BYTES);
    return CMD_DONE;
}

// Type 4 downloads into the Data Flash; no other type exists.
int cmdBinDownload(char *line) {
    int type;
    long addr, len, timeout;
    if (scanArgs(line, &type, &addr, &len, &timeout) != 4) return 0;
    if (type != 4 || len < 0 || timeout < 0) return 0;
    return doEEPROMBinDownload((u32)addr, (u32)len, (u32)timeout);
}

int cmdSplash(char *line) {
    int n;
    if (sscanf(line + 4, "%d", &n) != 1) {
        replyNumber(eepromData.splashFlag == FLAG_ON ? eepromData.splashBitmap : 0);
        return 1;
    }
    if (n == 0) {
        eepromData.splashFlag = 0;
        eepromData.splashBitmap = 0;
    } else {
        if (n > 255 || !KT_GetExtBitmap(n)) return 0;
        eepromData.splashBitmap = (u8)n;
        eepromData.splashFlag = FLAG_ON;
    }
    KT_EEPROM_Save();
    return 1;
}

int cmdLoad(char *line) { return KT_Load_ExtMem(); }

int cmdSdLoad(char *line) {
    char dir[9];
    if (scanArgs(line, dir) != 1) return 0;
    return KT_ExtMem_SdLoad(dir);
}
