// Command handlers. Diagnostics and maintenance: checksums, registers, panel timing,
// serial flash, traces.
#include "handlers.h"
#include "dispatch.h"

#include "parse_command.h"

#include <stdio.h>
#include <string.h>

#include "../app/crc16.h"
#include "../comm/Rtosinit.h"
#include "../devices/lcd_driver.h"
#include "../devices/miscdrivers.h"
#include "../devices/serialmem.h"
#include "../fs/file_sys.h"
#include "../gui/GUI.h"
#include "../gui/GUI_BMP.h"
#include "../gui/GUI_Draw.h"
#include "../gui/LCD.h"
#include "../storage/KT_eeprom.h"
#include "../storage/KT_extmem.h"
#include "board.h"


// Lets a host check its handling of a refused line ("!\r") and of a corrupt one ("#\r").
int cmdRejectTest(char *line) { return CMD_REJECTED; }
int cmdCorruptTest(char *line) { return CMD_CORRUPT; }

// ---------------------------------------------------------------------------------------
// Waiting for the display scan.

// "wvr n": until the scan has passed row n (row 0 without a number).
int cmdLcdRegWrite(char *line) {
    int y;
    if (sscanf(line, "wvr %d", &y) != 1) y = 0;
    wvr(y);
    return CMD_DONE;
}

// The scan-out wait for row y below the host's origin; x is not used.
static void wrf(int x, int y) {
    (void)x;
    long long row = (long long)y + Origin_Y;  // any int plus any origin, without overflow
    wvr(row < 0 ? 0 : row > LCD_HEIGHT ? LCD_HEIGHT : (int)row);
}

// "wrf x y": the same for row y below the origin.
int cmdLcdReg(char *line) {
    int x, y;
    if (sscanf(line, "wrf %d %d", &x, &y) != 2) {
        txNotify(":Incorrect parameters\r");
        return CMD_REJECTED;
    }
    wrf(x, y);
    return CMD_DONE;
}

// ---------------------------------------------------------------------------------------
// Peripheral registers, by offset from the register space's base.

int cmdRegRead(char *line) {
    unsigned offset;
    u32 value;
    if (scanArgs(line, &offset) != 1 || !readPeripheralReg(offset, &value)) return CMD_REJECTED;
    snprintf(out_buffer, OUT_BUFFER_SIZE, "Reg 0x%08x = %08x\r", (unsigned)(PERIPH_REG_BASE + offset),
             (unsigned)value);
    txString(out_buffer);
    return CMD_DONE;
}

int cmdRegWrite(char *line) {
    unsigned offset, value;
    u32 back;
    if (scanArgs(line, &offset, &value) != 2 || !writePeripheralReg(offset, value)) return CMD_REJECTED;
    readPeripheralReg(offset, &back);
    snprintf(out_buffer, OUT_BUFFER_SIZE, "Reg 0x%08X <- %08X\r", (unsigned)(PERIPH_REG_BASE + offset),
             (unsigned)back);
    txString(out_buffer);
    return CMD_DONE;
}
// ---------------------------------------------------------------------------------------
// Screen capture to the SD card.

#define CAPTURE_LAST 999  // VMOD0999.BMP is overwritten once 0000 to 0998 exist

static u8 bmpWriteFailed;  // the capture under way lost bytes

// Byte sink of the BMP encoder. A full or removed card fails every byte from then on: the
// host hears of it once per capture, not once per byte.
void WriteByte2File(u8 byte, void *file) {
    if (fputc(byte, (FF_FILE *)file) != -1) return;
    if (!bmpWriteFailed) pout(":error writing BMP file\r");
    bmpWriteFailed = 1;
}

int cmdScreenToBmp(char *line) {
    if (initialize_media() != 1) {
        pout(":Unable to initialize SD Card\r");
        return CMD_REJECTED;
    }
    char name[16];
    for (int n = 0;; ++n) {
        snprintf(name, sizeof name, "VMOD%04d.BMP", n);
        if (n == CAPTURE_LAST) break;
        FF_FILE *f = fopen(name, FF_MODE_READ);
        if (!f) break;
        fclose(f);
    }
    FF_FILE *f = fcreate(name, 0);
    if (!f) {
        pout(":file %s not created\r", name);
        return CMD_REJECTED;
    }
    bmpWriteFailed = 0;
    GUI_BMP_Serialize(WriteByte2File, f);
    int closed = fclose(f);
    f = fopen(name, FF_MODE_READ);
    if (!f) {
        pout(":file %s not created\r", name);
        return CMD_REJECTED;
    }
    fclose(f);
    return (bmpWriteFailed || closed != 0) ? CMD_REJECTED : CMD_DONE;
}
// ---------------------------------------------------------------------------------------
// Panel timing: the six fields, and the interactive adjustment screens.

// "*hpw n" and its five siblings set one field, cut to the width the command allows (a cut to
// 0 gives 1), and apply it at once without saving; without a value they report it.
static int timingField(const char *line, const char *pattern, u8 *field, int mask) {
    int v;
    if (sscanf(line, pattern, &v) != 1) {
        snprintf(out_buffer, OUT_BUFFER_SIZE, "%d\r", *field);
        txString(out_buffer);
        return CMD_DONE;
    }
    v &= mask;
    *field = (u8)(v ? v : 1);
    lcdApplyTiming();
    return CMD_DONE;
}

int cmdHpw(char *line) { return timingField(line, "*hpw %d", &eepromData.hpw, 0x3F); }
int cmdHfp(char *line) { return timingField(line, "*hfp %d", &eepromData.hfp, 0xFF); }
int cmdHbp(char *line) { return timingField(line, "*hbp %d", &eepromData.hbp, 0xFF); }
int cmdVpw(char *line) { return timingField(line, "*vpw %d", &eepromData.vpw, 0x3F); }
int cmdVfp(char *line) { return timingField(line, "*vfp %d", &eepromData.vfp, 0x3F); }
int cmdVbp(char *line) { return timingField(line, "*vbp %d", &eepromData.vbp, 0x3F); }

#define ADJUST_MIN 1    // the keys never take a field below this
#define ADJUST_MAX 200  // ... nor above this

static void timingStatus(void) {
    const EepromImage &e = eepromData;
    pout("hfp %2d  hpw %2d  hbp %2d (HTOT %3d) / vfp %2d  vpw %2d  vbp %2d (VTOT %3d)\r", e.hfp, e.hpw, e.hbp,
         e.hfp + e.hpw + e.hbp + 640, e.vfp, e.vpw, e.vbp, e.vfp + e.vpw + e.vbp + 480);
}

// Both diagonals and the diamond through the edge midpoints: a panel whose timing is off
// shows them bent, cut or shifted.
static void timingTestPattern(void) {
    int pen = GUI_GetPenSize();
    GUI_SetPenSize(1);
    GUI_DrawLine(0, 0, 639, 479);
    GUI_DrawLine(639, 0, 0, 479);
    GUI_DrawLine(0, 240, 320, 0);
    GUI_DrawLine(320, 0, 639, 240);
    GUI_DrawLine(639, 240, 320, 479);
    GUI_DrawLine(320, 479, 0, 240);
    GUI_SetPenSize(pen);
}

static void stepField(u8 *field, int by) {
    if (by < 0 && *field > ADJUST_MIN) --*field;
    if (by > 0 && *field < ADJUST_MAX) ++*field;
}

// The adjustment screen: keys until ESC, CR or '!' (which saves). With the number-pad keys
// (the panel screen) w, f and b choose the pulse-width, front-porch or back-porch pair and
// 4/6 and 8/2 step its horizontal and vertical field.
static int timingAdjust(const char *title, bool numberPad) {
    txString(":\r");
    txString(title);
    txString(":Number pad keys: 4 left, 6 right, 2 down, 8 up\r");
    txString(":Hit w for pulse width, f for front porch b for back porch\r");
    txString(":(return or escape to end, ! to save changes and quit)\r");
    txString("\r");
    timingStatus();
    timingTestPattern();
    u8 *h = &eepromData.hbp, *v = &eepromData.vbp;
    for (;;) {
        u8 key = waitChar();
        txString("\r");
        if (key == ESC || key == '\r') {
            if (key == '\r') decRxGotLine();  // the key was counted as a line
            return CMD_DONE;
        }
        if (key == '!') {
            KT_EEPROM_Save();
            return CMD_DONE;
        }
        if (numberPad) {
            switch (key) {
                case 'w': h = &eepromData.hpw; v = &eepromData.vpw; break;
                case 'f': h = &eepromData.hfp; v = &eepromData.vfp; break;
                case 'b': h = &eepromData.hbp; v = &eepromData.vbp; break;
                case '4': stepField(h, -1); break;
                case '6': stepField(h, +1); break;
                case '8': stepField(v, -1); break;
                case '2': stepField(v, +1); break;
                default: break;
            }
        }
        timingStatus();
        lcdApplyTiming();
    }
}

int cmdPanelAdjust(char *line) { return timingAdjust(":Panel Timing Adjustment\r", true); }
int cmdTouchAdjust(char *line) { return timingAdjust(":Touch Operation Adjustment\r", false); }

// ---------------------------------------------------------------------------------------
// Checksums and the frame-buffer dump.

#define PIECE 256                 // checksummed memories are read in pieces of this size
#define FRAME_LINE_PIXELS 640
#define FRAME_LINES 480
#define PROG_IMAGE_START 0x10000u  // the program image lies 64 KiB above the boot block
#define PROG_IMAGE_SIZE 0x7F0000u
#define BOOT_BLOCK_SIZE 0x1000u

int cmdFrameDump(char *line) {
    int y;
    if (scanArgs(line, &y) != 1 || y < 0 || y >= FRAME_LINES) return 0;
    char v[8];
    for (int x = 0; x < FRAME_LINE_PIXELS; ++x) {
        snprintf(v, sizeof v, x < FRAME_LINE_PIXELS - 1 ? "%04X," : "%04X", LCD_GetPixelIndex(x, y));
        txString(v);
    }
    return 1;
}

// Over the frame buffer's bytes as they lie in memory, row by row.
int cmdFrameCrc(char *line) {
    u16 row[FRAME_LINE_PIXELS];
    u16 crc = CRC_INIT;
    for (int y = 0; y < FRAME_LINES; ++y) {
        LCD_ReadRowRaw(0, y, FRAME_LINE_PIXELS, row);
        crc = CalcCRCMore(crc, (const u8 *)row, sizeof row);
    }
    pout("0x%04X\r", crc);
    return 1;
}

static u16 programCrc(u32 from, u32 n) {
    u8 piece[PIECE];
    u16 crc = CRC_INIT;
    while (n > 0) {
        u32 want = n < PIECE ? n : PIECE;
        u32 got = board_progflash_read(from, piece, want);
        if (got == 0) break;
        crc = CalcCRCMore(crc, piece, got);
        from += got;
        n -= got;
    }
    return crc;
}

int cmdProgramCrc(char *line) {
    pout("0x%04X\r", programCrc(PROG_IMAGE_START, PROG_IMAGE_SIZE));
    return 1;
}

int cmdProgramBlockCrc(char *line) {
    pout("0x%04X ", programCrc(0, BOOT_BLOCK_SIZE));
    return 1;
}

int cmdExtMemCrc(char *line) {
    unsigned long start = 0, end = 0;
    int n = sscanf(line, "%*s %lx %lx", &start, &end);
    if (n == 2) {
        if (end >= Flash1Size || end < start) {
            txString(":arg error\r");
            return 0;
        }
        u8 piece[PIECE];
        u16 crc = CRC_INIT;
        for (unsigned long a = start; a <= end; a += PIECE) {
            u32 want = end - a + 1 < PIECE ? (u32)(end - a + 1) : PIECE;
            ReadSerialFlash((u32)a, want, piece);
            crc = CalcCRCMore(crc, piece, want);
        }
        snprintf(out_buffer, OUT_BUFFER_SIZE, "0x%04lX\r", (unsigned long)crc);
        txString(out_buffer);
        return 1;
    }
    if (n == 1) {
        txString(":missing argument\r");
        return 0;
    }
    u16 magic = extRd16(ExtMemBuffer);
    if (magic != EXTMEM_MAGIC) {
        perr(":External memory invalid (%04X vs %04X)\r", magic, EXTMEM_MAGIC);
        return 0;
    }
    u32 size = extRd32(ExtMemBuffer + 4);
    // A size the staging buffer cannot hold is as invalid as none.
    if (size == 0 || size == 0xFF || size > ExtMemSize) {
        perr(":External memory invalid size 0x%08X\r", (unsigned)size);
        return 0;
    }
    pout("0x%04X\r", CalcCRC(ExtMemBuffer, (int)size));
    return 1;
}

// ---------------------------------------------------------------------------------------
// Serial flash maintenance.

static const char *const flashHelp[] = {
    ":Serial Flash Commands: \r",
    ":  *fid      Display Serial FLASH ID (m25p32=202016)\r",
    ":  *fst      Display status (b0=WIP, b1=WEN, 2-4=BlkProt, 7=SWRP\r",
    ":  *frd [#]  Read from 0x0 or optional address\r",
    ":  *fwr      Write specific location\r",
    ":  *fer      Block erase whole flash (~20 seconds)\r",
    ":  *fser #   Erase sector # (64 sectors of 64K each in m25p32)\r",
    ":  *fwe      Set write enable bit(WEN) in status register\r",
    ":  *fwd      Clear write enable bit(WEN) in status register\r",
};

int cmdFlashHelp(char *line) {
    for (const char *l : flashHelp) pout("%s", l);
    return 1;
}

int cmdFlashId(char *line) {
    pout(":Serial Flash ID = %08x\r", (unsigned)ReadSerialFlashID());
    return 1;
}

int cmdFlashRead(char *line) {
    int a = 0;
    if (sscanf(line, "*frd %i", &a) != 1) a = 0;
    u32 addr = (u32)a;
    if (addr > Flash1Size) {
        perr(":Address to large.  Max size is 0x%X(%d decimal)\r", (unsigned)Flash1Size, (int)Flash1Size);
        return 0;
    }
    u32 n = addr + 16 < Flash1Size ? 16 : Flash1Size - addr;
    u8 b[16];
    ReadSerialFlash(addr, n, b);
    char text[TX_BUF_SIZE];
    int k = snprintf(text, sizeof text, ":Data Flash %d bytes at 0x%08X:", (int)n, (unsigned)addr);
    for (u32 i = 0; i < n; ++i) k += snprintf(text + k, sizeof text - k, " %02X", b[i]);
    snprintf(text + k, sizeof text - k, "\r");
    pout("%s", text);
    return 1;
}

int cmdFlashCompare(char *line) {
    u32 size = extRd32(ExtMemBuffer + 4);
    if (size > ExtMemSize) size = ExtMemSize;  // never past the staging buffer
    if (size > Flash1Size) size = Flash1Size;
    u8 b[8];
    for (u32 a = 0; a < size; a += 8) {
        u32 n = size - a < 8 ? size - a : 8;
        ReadSerialFlash(a, n, b);
        for (u32 i = 0; i < n; ++i) {
            if (b[i] != ExtMemBuffer[a + i]) {
                pout(":Data Flash[%d] = 0x%02X, but ExtMemBuffer[%d] = 0x%02X\r", (int)(a + i), b[i], (int)(a + i),
                     ExtMemBuffer[a + i]);
                return 0;
            }
        }
    }
    pout(":Data Flash and ExtMemBuffer seem identical\r");
    return 1;
}

// The maintenance writes and erases go through the image module, which breaks a stored image
// they touch before its bytes change; their replies say nothing of the outcome.
static void writeTest(u32 addr, const u8 *bytes) {
    char text[TX_BUF_SIZE];
    int k = snprintf(text, sizeof text, ":Writing Serial Flash addr0x%08X/len=%d: ", (unsigned)addr, 8);
    for (int i = 0; i < 8; ++i) k += snprintf(text + k, sizeof text - k, " %02X", bytes[i]);
    pout("%s", text);
    KT_ExtMem_WriteRaw(addr, bytes, 8);
    pout("   done!\r");
}

int cmdFlashWriteTest(char *line) {
    static const u8 first[8] = {0xC5, 0x5C, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    static const u8 second[8] = {0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE};
    writeTest(0, first);
    writeTest(0x10000, second);
    return 1;
}

int cmdFlashErase(char *line) {
    pout(":Erasing Serial Flash...  ");
    KT_ExtMem_Erase_Chip();
    pout("done!\r");
    return 1;
}

// Sector numbers count 64 KiB of address space; only those inside the flash are erased.
int cmdFlashSectorErase(char *line) {
    int n;
    if (sscanf(line, "*fser %d", &n) != 1 || n < 0 || (u32)n >= Flash1Size / 0x10000u) return 0;
    pout(":Erasing 64KByte sector %d of serial flash... ", n);
    KT_ExtMem_Erase_Unit(n);
    pout("  done!\r");
    return 1;
}

int cmdFlashStatus(char *line) {
    pout(":Serial Flash Status = 0x%02X\r", SerialFlashStatus());
    return 1;
}

int cmdFlashWriteEnable(char *line) {
    SetWriteEnable();
    return 1;
}

int cmdFlashWriteDisable(char *line) {
    ClearWriteEnable();
    return 1;
}

// ---------------------------------------------------------------------------------------
// The serial trace ring: two-byte entries (type, data) of the serial link's trace points.

u8 traceBuf[TRACE_SIZE];
u8 *tracePt = traceBuf;
u8 *const traceEnd = traceBuf + TRACE_SIZE - 6;

void trace(u8 type, u8 data) {
    u8 *p = tracePt;
    if (p >= traceEnd) p = traceBuf;
    p[0] = type;
    p[1] = data;
    p[2] = 0;
    tracePt = p + 2;
}

int cmdSerialTrace(char *line) {
    static u8 copy[TRACE_SIZE];  // the ring keeps changing under the interrupts
    memcpy(copy, traceBuf, sizeof copy);
    u32 start = (u32)(tracePt - traceBuf);
    u32 end = (u32)(traceEnd - traceBuf);
    if (start >= end) start = 0;
    u32 p = start;
    do {
        u8 type = copy[p], data = copy[p + 1];
        char shown = data > 0x20 ? (char)data : '.';
        switch (type) {
            case TRACE_TX_INT: pout("txInt *txPtr = 0x%02x ('%c')\r", data, shown); break;
            case TRACE_RX_INT: pout("rxInt data = 0x%02x ('%c')\r", data, shown); break;
            case TRACE_XOFF: pout("Sent XOFF\r"); break;
            case TRACE_LINE: pout("rxString %d long\r", data); break;
            case TRACE_STRING: pout("txString '%c'\r", data); break;
            default: break;
        }
        p += 2;
        if (p >= end) p = 0;
    } while (p != start);
    return 1;
}
