// Command handlers. Stored data: EEPROM settings, external-memory image, bitmaps, fonts,
// listings, downloads.
#include "handlers.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../storage/KT_eeprom.h"
#include "../storage/KT_fonts.h"
#include "parse_command.h"

int cmdList(char *line) { return 0; }
int cmdBitmap(char *line) { return 0; }
int cmdBitmapTransparent(char *line) { return 0; }
int cmdBitmapClipped(char *line) { return 0; }
int cmdBitmapBand(char *line) { return 0; }
int cmdExtMemSizes(char *line) { return 0; }
int cmdExtMemErase(char *line) { return 0; }
int cmdExtMemProgram(char *line) { return 0; }
int cmdExtMemProgramMax(char *line) { return 0; }
int cmdBinDownload(char *line) { return 0; }
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
int cmdSplash(char *line) { return 0; }
int cmdMfgReset(char *line) {
    KT_EEPROM_FactoryReset();
    return CMD_NO_REPLY;
}
int cmdLoad(char *line) { return 0; }
int cmdSdLoad(char *line) { return 0; }
