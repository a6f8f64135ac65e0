// Command handlers. Stored data: EEPROM settings, external-memory image, bitmaps, fonts,
// listings, downloads.
#include "handlers.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/lcd_driver.h"
#include "../gui/GUI.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_bitmaps.h"
#include "../storage/KT_eeprom.h"
#include "../storage/KT_extmem.h"
#include "../storage/KT_fonts.h"
#include "parse_command.h"

int cmdEepromRead(char *line) { return KT_EEPROM_ReadCommand(line); }
int cmdEepromWrite(char *line) { return KT_EEPROM_WriteCommand(line); }
int cmdEepromDump(char *line) {
    KT_EEPROM_Dump();
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
    if (sscanf(line, "xi %d%d%d", &n, &x, &y) != 3) return 0;
    const ExtMemDirEntry *e = KT_GetExtBitmap(n);
    if (!e) return 0;
    return KT_DrawBitmap(e, x + Origin_X, y + Origin_Y);
}

// Any uncompressed bitmap with the given transparent colour; a compressed stream is not
// pixels and is refused.
int cmdBitmapTransparent(char *line) {
    int n, x, y;
    unsigned colour;
    if (sscanf(line, "xit %d%d%d%x", &n, &x, &y, &colour) != 4) return 0;
    const ExtMemDirEntry *e = KT_GetExtBitmap(n);
    if (!e || e->type == EXTMEM_RLE) return 0;
    return KT_DrawBitmapTr(e, x + Origin_X, y + Origin_Y, (u16)colour);
}

// A coordinate for the library's 16-bit rectangles; beyond that range it is off the screen anyway.
static s16 clip16(int v) { return (s16)(v < -32768 ? -32768 : v > 32767 ? 32767 : v); }

// The clip rectangle means the same for every type: screen corners relative to the origin.
int cmdBitmapClipped(char *line) {
    int n, x, y, x0, y0, x1, y1;
    if (sscanf(line, "xic %d%d%d%d%d%d%d", &n, &x, &y, &x0, &y0, &x1, &y1) != 7) return 0;
    const ExtMemDirEntry *e = KT_GetExtBitmap(n);
    if (!e) return 0;
    x += Origin_X;
    y += Origin_Y;
    x0 += Origin_X;
    y0 += Origin_Y;
    x1 += Origin_X;
    y1 += Origin_Y;
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
    if (sscanf(line, "xio %d%d%d%d%d%d", &n, &x, &y, &dir, &len, &off) != 6) return 0;
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
    x += Origin_X;
    y += Origin_Y;
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

int cmdExtMemSizes(char *line) { return KT_ExtMem_ReportSizes(); }

int cmdExtMemErase(char *line) { return KT_ExtMem_EraseCommand(line + 3); }

int cmdExtMemProgram(char *line) {
    unsigned hi, lo;
    int verbose;
    if (sscanf(line, "xmp %x %x %d", &hi, &lo, &verbose) != 3) return 0;
    return KT_ExtMem_TextDownload(((hi & 0xFFFF) << 16) + (lo & 0xFFFF), verbose);
}

int cmdExtMemProgramMax(char *line) {
    snprintf(out_buffer, OUT_BUFFER_SIZE, "%d\r", XMP_MAX_BYTES);
    txNotify(out_buffer);
    return 1;
}

// Type 4 downloads into the Data Flash; no other type exists.
int cmdBinDownload(char *line) {
    int type;
    long addr, len, timeout;
    if (sscanf(line, "bdld %d %lx %ld %ld", &type, &addr, &len, &timeout) != 4) return 0;
    if (type != 4 || len < 0 || timeout < 0) return 0;
    return doEEPROMBinDownload((u32)addr, (u32)len, (u32)timeout);
}

int cmdSplash(char *line) {
    int n;
    if (sscanf(line + 4, "%d", &n) != 1) {
        snprintf(out_buffer, OUT_BUFFER_SIZE, "%d\r",
                 eepromData.splashFlag == FLAG_ON ? eepromData.splashBitmap : 0);
        txString(out_buffer);
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
    if (sscanf(line, "sdload %8s", dir) != 1) return 0;
    return KT_ExtMem_SdLoad(dir);
}
