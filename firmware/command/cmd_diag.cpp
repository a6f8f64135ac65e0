// Command handlers. Diagnostics and maintenance: checksums, registers, panel timing,
// serial flash, traces.
#include "handlers.h"

#include "parse_command.h"

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
int cmdScreenToBmp(char *line) { return 0; }
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
