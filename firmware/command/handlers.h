// Handlers of the dispatch chain, grouped by the file that holds them. Each takes the whole
// command line (and may modify it) and returns a result code of parse_command.h; which lines
// reach a handler, and with what syntax, stands in the chain table of dispatch.cpp alone.
#ifndef VMOD_HANDLERS_H
#define VMOD_HANDLERS_H

#include "../types.h"

// cmd_widgets.cpp
int cmdMeterDefine(char *line);
int cmdMeterValue(char *line);
int cmdSliderDefine(char *line);
int cmdSliderValue(char *line);
int cmdCircSliderDefine(char *line);
int cmdCircSliderValue(char *line);
int cmdChartDefine(char *line);
int cmdChartValues(char *line);
int cmdLevelBarDefine(char *line);
int cmdLevelBarValue(char *line);

// cmd_touch.cpp
int cmdTouchTraceClear(char *line);
int cmdPressureDebug(char *line);
int cmdTouchParm(char *line);
int cmdDebounce(char *line);
int cmdHotSpot(char *line);
int cmdHotSpotRepeat(char *line);
int cmdHotSpotNoClick(char *line);
int cmdHotSpotXY(char *line);
int cmdHotSpotXYNoClick(char *line);
int cmdHotSpotDisable(char *line);
int cmdHotSpotEnable(char *line);
int cmdHotSpotClick(char *line);
int cmdHotSpotsOff(char *line);
int cmdHotSpotClearAll(char *line);
int cmdHotSpotClear(char *line);
int cmdHotSpotFlags(char *line);
int cmdButtonState(char *line);
int cmdDefineButton(char *line);
int cmdButtonClear(char *line);
int cmdTouchCalibrate(char *line);
int cmdGetTouch(char *line);
int cmdDefaultCalibration(char *line);
int cmdTouchedEver(char *line);
int cmdDebugTouch(char *line);
int cmdTouchTrace(char *line);
int cmdTouchTraceTest(char *line);
int cmdTouchDisplay(char *line);
int cmdTouchRaw(char *line);
int cmdTouchStateDisplay(char *line);
int cmdTouchMode(char *line);

// cmd_draw.cpp
int cmdPixel(char *line);
int cmdSaveState(char *line);
int cmdRestoreState(char *line);
int cmdTextAtCursor(char *line);
int cmdTextPlain(char *line);
int cmdText(char *line);
int cmdTextKeepMode(char *line);
int cmdPenSize(char *line);
int cmdTextAlign(char *line);
int cmdDrawMode(char *line);
int cmdColorIndex(char *line);
int cmdColorReport(char *line);
int cmdColorSet(char *line);
int cmdTextMode(char *line);
int cmdCursor(char *line);
int cmdOrigin(char *line);
int cmdClearKeep(char *line);
int cmdClear(char *line);
int cmdLine(char *line);
int cmdRect(char *line);
int cmdTriangle(char *line);
int cmdCircle(char *line);
int cmdFontSelect(char *line);
int cmdState(char *line);
int cmdPicture(char *line);
int cmdUtf8(char *line);
int cmdSaveArea(char *line);
int cmdRestoreArea(char *line);

// cmd_system.cpp
int cmdRs485Poll(char *line);
int cmdRs485(char *line);
int cmdAccept(char *line);
int cmdBaudSaved(char *line);
int cmdBaud(char *line);
int cmdTemperature(char *line);
int cmdTypematic(char *line);
int cmdOut(char *line);
int cmdAuxOut(char *line);
int cmdAuxIO(char *line);
int cmdWait(char *line);
// For handlers that wait on the host or the finger: whether the host has sent an ESC line.
int hostEscaped(void);
int cmdVersion(char *line);
int cmdBinaryReports(char *line);
int cmdReset(char *line);
int cmdPrevCons(char *line);
int cmdAuxEsc(char *line);
int cmdCom1Main(char *line);
int cmdCom0Main(char *line);
int cmdRxReset(char *line);
int cmdBinaryOff(char *line);
int cmdPanelName(char *line);
int cmdConfigName(char *line);
int cmdSetting(char *line);
int cmdVq(char *line);
int cmdFirmwareTag(char *line);

// cmd_anim.cpp
int cmdAnimClear(char *line);
int cmdAnimSetFrame(char *line);
int cmdAnimDelete(char *line);
int cmdAnimRewind(char *line);
int cmdAnimStart(char *line);
int cmdAnimAddStep(char *line);
int cmdBlinkText(char *line);
int cmdAnimSpace(char *line);

// cmd_storage.cpp
int cmdList(char *line);
int cmdBitmap(char *line);
int cmdBitmapTransparent(char *line);
int cmdBitmapClipped(char *line);
int cmdBitmapBand(char *line);
int cmdExtMemSizes(char *line);
int cmdExtMemErase(char *line);
int cmdExtMemProgram(char *line);
int cmdExtMemProgramMax(char *line);
int cmdBinDownload(char *line);
int cmdEepromRead(char *line);
int cmdEepromWrite(char *line);
int cmdEepromDump(char *line);
int cmdEepromClear(char *line);
int cmdEepromSave(char *line);
int cmdFontReport(char *line);
int cmdFontList(char *line);
int cmdSplash(char *line);
int cmdMfgReset(char *line);
int cmdLoad(char *line);
int cmdSdLoad(char *line);

// cmd_devices.cpp
int cmdBacklightOn(char *line);
int cmdBacklightOff(char *line);
int cmdBeep(char *line);
int cmdBeepWait(char *line);
int cmdAlarm(char *line);
int cmdBeepVolume(char *line);
int cmdBeepFreq(char *line);
int cmdBeepMax(char *line);
int cmdClickLength(char *line);
int cmdRepeatBeep(char *line);
int cmdPanelOn(char *line);
int cmdPanelOff(char *line);
int cmdLed(char *line);
int cmdBrightness(char *line);

// cmd_macros.cpp
int cmdMacroArgs(char *line);
int cmdSetInt(char *line);
int cmdSetString(char *line);
int cmdPush(char *line);
int cmdPop(char *line);
int cmdRunMacro(char *line);
int cmdHotSpotMacros(char *line);
int cmdMacDebug(char *line);
int cmdMacNote(char *line);
int cmdDemoMac(char *line);
int cmdPonMac(char *line);

// cmd_diag.cpp
int cmdFrameDump(char *line);
int cmdFrameCrc(char *line);
int cmdProgramCrc(char *line);
int cmdProgramBlockCrc(char *line);
int cmdExtMemCrc(char *line);
int cmdRejectTest(char *line);
int cmdCorruptTest(char *line);
int cmdLcdRegWrite(char *line);
int cmdLcdReg(char *line);
int cmdTouchAdjust(char *line);
int cmdRegRead(char *line);
int cmdRegWrite(char *line);
int cmdScreenToBmp(char *line);
void WriteByte2File(u8 byte, void *file);  // byte sink of the screen capture: the open FF_FILE
int cmdHpw(char *line);
int cmdHfp(char *line);
int cmdHbp(char *line);
int cmdVpw(char *line);
int cmdVfp(char *line);
int cmdVbp(char *line);
int cmdPanelAdjust(char *line);
int cmdFlashHelp(char *line);
int cmdFlashId(char *line);
int cmdFlashRead(char *line);
int cmdFlashCompare(char *line);
int cmdFlashWriteTest(char *line);
int cmdFlashErase(char *line);
int cmdFlashSectorErase(char *line);
int cmdFlashStatus(char *line);
int cmdFlashWriteEnable(char *line);
int cmdFlashWriteDisable(char *line);
int cmdSerialTrace(char *line);

// The serial trace ring of cmd_diag.cpp ("*sht"): two-byte entries, type and data.
#define TRACE_SIZE 4096
enum { TRACE_TX_INT = 0, TRACE_RX_INT = 1, TRACE_XOFF = 2, TRACE_LINE = 3, TRACE_STRING = 4 };
extern u8 traceBuf[TRACE_SIZE];
extern u8 *tracePt;
void trace(u8 type, u8 data);

#endif
