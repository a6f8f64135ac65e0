// Command handlers. Stored data: EEPROM settings, external-memory image, bitmaps, fonts,
// listings, downloads.
#include "handlers.h"

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
int cmdEepromRead(char *line) { return 0; }
int cmdEepromWrite(char *line) { return 0; }
int cmdEepromDump(char *line) { return 0; }
int cmdEepromClear(char *line) { return 0; }
int cmdEepromSave(char *line) { return 0; }
int cmdFontReport(char *line) { return 0; }
int cmdFontList(char *line) { return 0; }
int cmdSplash(char *line) { return 0; }
int cmdMfgReset(char *line) { return 0; }
int cmdLoad(char *line) { return 0; }
int cmdSdLoad(char *line) { return 0; }
