// Command handlers. Diagnostics and maintenance: checksums, registers, panel timing,
// serial flash, traces.
#include "handlers.h"

#include "parse_command.h"

#include <stdio.h>

#include "../comm/Rtosinit.h"
#include "../fs/file_sys.h"
#include "../gui/GUI_BMP.h"

int cmdFrameDump(char *line) { return 0; }
int cmdFrameCrc(char *line) { return 0; }
int cmdProgramCrc(char *line) { return 0; }
int cmdProgramBlockCrc(char *line) { return 0; }
int cmdExtMemCrc(char *line) { return 0; }

// Lets a host check its handling of a refused line ("!\r") and of a corrupt one ("#\r").
int cmdRejectTest(char *line) { return CMD_REJECTED; }
int cmdCorruptTest(char *line) { return CMD_CORRUPT; }

int cmdLcdRegWrite(char *line) { return 0; }
int cmdLcdReg(char *line) { return 0; }
int cmdTouchAdjust(char *line) { return 0; }
int cmdRegRead(char *line) { return 0; }
int cmdRegWrite(char *line) { return 0; }
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
int cmdHpw(char *line) { return 0; }
int cmdHfp(char *line) { return 0; }
int cmdHbp(char *line) { return 0; }
int cmdVpw(char *line) { return 0; }
int cmdVfp(char *line) { return 0; }
int cmdVbp(char *line) { return 0; }
int cmdPanelAdjust(char *line) { return 0; }
int cmdFlashHelp(char *line) { return 0; }
int cmdFlashId(char *line) { return 0; }
int cmdFlashRead(char *line) { return 0; }
int cmdFlashCompare(char *line) { return 0; }
int cmdFlashWriteTest(char *line) { return 0; }
int cmdFlashErase(char *line) { return 0; }
int cmdFlashSectorErase(char *line) { return 0; }
int cmdFlashStatus(char *line) { return 0; }
int cmdFlashWriteEnable(char *line) { return 0; }
int cmdFlashWriteDisable(char *line) { return 0; }
int cmdSerialTrace(char *line) { return 0; }
