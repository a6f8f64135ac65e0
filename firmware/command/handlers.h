// Handlers of the dispatch chain, one per command, in chain order within each file.
// Each takes the whole command line (and may modify it) and returns a result code of
// parse_command.h.
#ifndef VMOD_HANDLERS_H
#define VMOD_HANDLERS_H

#include "../types.h"

// cmd_widgets.cpp
int cmdMeterDefine(char *line);         // "md": meter definition
int cmdMeterValue(char *line);          // "mv %d %d": meter value
int cmdSliderDefine(char *line);        // "sl %d %d %d %d %d %d %d %d %d %d%d": linear slider
int cmdSliderValue(char *line);         // "sv %d %d": set a slider
int cmdCircSliderDefine(char *line);    // "slc %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d": circular slider
int cmdCircSliderValue(char *line);     // "svc %d %d": set a circular slider
int cmdChartDefine(char *line);         // "cd": define a chart
int cmdChartValues(char *line);         // cv: chart values
int cmdLevelBarDefine(char *line);      // "ld": define a level bar
int cmdLevelBarValue(char *line);       // "lv %d %d": set a level bar

// cmd_touch.cpp
int cmdTouchTraceClear(char *line);     // "tclr": clear the touch trace
int cmdPressureDebug(char *line);       // "*debug %d": touch pressure display option
int cmdTouchParm(char *line);           // "*touchParm": touch samples and span
int cmdDebounce(char *line);            // "*debounce": touch debounce
int cmdHotSpot(char *line);             // "x %d %d %d %d %d": define a hot spot that reports presses
int cmdHotSpotRepeat(char *line);       // "xt %d %d %d %d %d": as "x" with auto-repeat
int cmdHotSpotNoClick(char *line);      // "xsnb %d %d %d %d %d": reporting hot spot without click
int cmdHotSpotXY(char *line);           // "xxy %d %d %d %d %d": hot spot that reports coordinates
int cmdHotSpotXYNoClick(char *line);    // "xxynb %d %d %d %d %d": as "xxy" without click
int cmdHotSpotDisable(char *line);      // "xd": disable hot spots
int cmdHotSpotEnable(char *line);       // "xe": re-enable hot spots
int cmdHotSpotClick(char *line);        // "xs %d %d %d %d %d": reporting hot spot with click
int cmdHotSpotsOff(char *line);         // "*xn off": stop the reports of all hot spots
int cmdHotSpotClearAll(char *line);     // "xc all": clear all hot spots
int cmdHotSpotClear(char *line);        // "xc %d": clear one hot spot
int cmdHotSpotFlags(char *line);        // "xset": set or clear hot-spot flags
int cmdButtonState(char *line);         // "ssb %d %d": set a button's state
int cmdDefineButton(char *line);        // "bd %d%d%d%d": define a button
int cmdButtonClear(char *line);         // "bc %d": clear a button
int cmdTouchCalibrate(char *line);      // "tc": touch calibration
int cmdGetTouch(char *line);            // "*getTouch": report a touch reading
int cmdDefaultCalibration(char *line);  // "*KT": default touch calibration
int cmdTouchedEver(char *line);         // "*ever": touched since last asked
int cmdDebugTouch(char *line);          // "*debugTouch %d": touch debugging
int cmdTouchSwap(char *line);           // "*touchSwap": swap touch axes
int cmdTouchTrace(char *line);          // "*tt": show the touch trace
int cmdTouchTraceTest(char *line);      // "*ttt": touch trace test
int cmdTouchDisplay(char *line);        // "*td": touch display
int cmdTouchRaw(char *line);            // "*tr": raw touch readings
int cmdTouchStateDisplay(char *line);   // "*td2": touch state display
int cmdAutoCal(char *line);             // "*autoCal": calibration at start
int cmdTouchSpan(char *line);           // "*tspan": touch setting
int cmdTouchPressureLow(char *line);    // "*tplo": touch setting
int cmdTouchPressureHigh(char *line);   // "*tphi": touch setting
int cmdTouchDeltaLimit(char *line);     // "*tpDeltaLim": touch setting
int cmdTouchSamples(char *line);        // "*tsamp": touch setting
int cmdCalTimeout(char *line);          // "*tcTimeout": calibration timeout
int cmdTouchMode(char *line);           // "*touchMode": touch mode

// cmd_draw.cpp
int cmdPixel(char *line);               // p followed by r or w: read or write one frame-buffer pixel
int cmdSaveState(char *line);           // "ss": save the graphics state
int cmdRestoreState(char *line);        // "sr": restore the graphics state
int cmdTextAtCursor(char *line);        // "tu ": draw text at the cursor
int cmdTextPlain(char *line);           // "ts": draw text, quotes without escapes
int cmdText(char *line);                // "t ": draw text with escapes, temporary mode
int cmdTextKeepMode(char *line);        // T, blank, double quote: draw text with escapes, mode stays
int cmdPenSize(char *line);             // "p %u": set the pen size
int cmdTextAlign(char *line);           // "ta": set or report the text alignment
int cmdDrawMode(char *line);            // "d %9s": draw mode
int cmdColorIndex(char *line);          // "s %d %d": colours from color_map
int cmdColorReport(char *line);         // "S": report the colours
int cmdColorSet(char *line);            // "S %x %x": set the colours
int cmdTextMode(char *line);            // "tm": set or report the text mode
int cmdCursor(char *line);              // "sc %d %d": set the text cursor
int cmdOrigin(char *line);              // o: set or report the origin
int cmdClearKeep(char *line);           // "zs": clear the screen to a colour index
int cmdClear(char *line);               // "z": clear the screen and stop animations
int cmdLine(char *line);                // "l %d%d%d%d": line
int cmdRect(char *line);                // r: rectangle
int cmdTriangle(char *line);            // tr: triangle
int cmdCircle(char *line);              // "c %d%d%d": circle
int cmdFontSelect(char *line);          // "f %9s": select a font
int cmdState(char *line);               // "*STATE": report the graphics state
int cmdPicture(char *line);             // "i %d%d%d": draw a built-in picture
int cmdUtf8(char *line);                // "utf8": UTF-8 text
int cmdSaveArea(char *line);            // "ws %d%d%d%d%d": save a screen area
int cmdRestoreArea(char *line);         // "wr %d%d%d": restore a screen area

// cmd_system.cpp
int cmdRs485Poll(char *line);           // "Q": RS-485 poll
int cmdRs485(char *line);               // "*rs485": RS-485 mode off or on
int cmdAccept(char *line);              // "sb %d", "su", "SB %c%c%c", "SU", two slashes: no effect, result 1
int cmdBaudSaved(char *line);           // "baudp": baud rate, saved
int cmdBaud(char *line);                // "baud": baud rate, not saved
int cmdTemperature(char *line);         // "temp": report the temperature
int cmdTypematic(char *line);           // "typematic": touch auto-repeat delay and interval
int cmdOut(char *line);                 // "out": send text to the host
int cmdAuxOut(char *line);              // "aout": send text to the auxiliary port
int cmdAuxIO(char *line);               // "auxIO": auxiliary-port forwarding
int cmdWait(char *line);                // "w %u": wait, serving touch
int cmdVersion(char *line);             // "vers": report the version
int cmdBinaryReports(char *line);       // "*binr %d": binary notifications
int cmdReset(char *line);               // "*RESET": reset the module
int cmdPrevCons(char *line);            // "*prevCons": command port back to the stored choice
int cmdAuxEsc(char *line);              // "*auxEsc": aux escape character
int cmdCom1Main(char *line);            // "*com1main": port 1 becomes the command port
int cmdCom0Main(char *line);            // "*com0main": port 0 becomes the command port
int cmdRxReset(char *line);             // "*rst": empty the receive ring
int cmdBinaryOff(char *line);           // "*BMOFF": binary commands off
int cmdPanelName(char *line);           // "*panel": report the panel name
int cmdConfigName(char *line);          // "*config": configuration name
int cmdOrient(char *line);              // "*orient": display orientation
int cmdVq(char *line);                  // "*vq": VQ output pin
int cmdMaxBrite(char *line);            // "*maxBrite": PWM value for full brightness
int cmdMinBrite(char *line);            // "*minBrite": PWM value for zero brightness
int cmdInvEnaHiTrue(char *line);        // "*invEnaHiTrue": inverter enable polarity
int cmdPwmIsEnable(char *line);         // "*pwmIsEnable": brightness by PWM
int cmdFirmwareTag(char *line);         // "*firmware": report the firmware tag

// cmd_anim.cpp
int cmdAnimClear(char *line);           // "anic": clear all animations
int cmdAnimSetFrame(char *line);        // "tfd %d %d", "anid %d %d": position an animation at a frame, idle
int cmdAnimDelete(char *line);          // "anix %d", "tfx %d": delete animation
int cmdAnimRewind(char *line);          // "anis": rewind every animation
int cmdAnimStart(char *line);           // "tfe %d", "anie %d": start an animation
int cmdAnimAddStep(char *line);         // "ani ", "ani+ ": append a step
int cmdBlinkText(char *line);           // "tf ": blinking-text animation
int cmdAnimSpace(char *line);           // "tf", "ani": step-buffer free space, or the listing of all steps

// cmd_storage.cpp
int cmdList(char *line);                // "ls": list macros or bitmaps
int cmdBitmap(char *line);              // "xi %d%d%d": draw a stored bitmap
int cmdBitmapTransparent(char *line);   // "xit %d%d%d%x": draw with a transparent colour
int cmdBitmapClipped(char *line);       // "xic %d%d%d%d%d%d%d": draw clipped
int cmdBitmapBand(char *line);          // "xio %d%d%d%d%d%d": draw a band
int cmdExtMemSizes(char *line);         // "xma": report external-memory sizes
int cmdExtMemErase(char *line);         // "xmc": erase external memory
int cmdExtMemProgram(char *line);       // "xmp %x %x %d": program external memory from the serial line
int cmdExtMemProgramMax(char *line);    // "xmpmax": reply "%d\r" with 128
int cmdBinDownload(char *line);         // "bdld %d %lx %ld %ld": binary download
int cmdEepromRead(char *line);          // "*eer %x": read a byte
int cmdEepromWrite(char *line);         // "*eew %x %x": write a byte
int cmdEepromDump(char *line);          // "*eed": dump the EEPROM
int cmdEepromClear(char *line);         // "*eec": clear the EEPROM
int cmdEepromSave(char *line);          // "*ees": save the settings
int cmdFontReport(char *line);          // "f": report the current font
int cmdFontList(char *line);            // "f?": list the fonts
int cmdSplash(char *line);              // "*SPL": splash bitmap
int cmdMfgReset(char *line);            // "*MFGRESET": invalidate the settings, reset
int cmdLoad(char *line);                // "*LOAD": reload external memory
int cmdSdLoad(char *line);              // "sdload %8s": load the image file from an SD card directory

// cmd_devices.cpp
int cmdBacklightOn(char *line);         // "xbl on": backlight inverter on
int cmdBacklightOff(char *line);        // "xbl of": backlight inverter off
int cmdBeep(char *line);                // "beep %u": beep
int cmdBeepWait(char *line);            // "beepw %u": beep and wait
int cmdAlarm(char *line);               // "al %d %u": alarm pattern and beep
int cmdBeepVolume(char *line);          // "bv": beeper volume
int cmdBeepFreq(char *line);            // "bf": beeper frequency
int cmdBeepMax(char *line);             // "bMaX %u": maximum beeper volume
int cmdClickLength(char *line);         // "bb %u": touch click length in units of 10 ms
int cmdRepeatBeep(char *line);          // "rb %u %u %d", "rb %u %u": repeating beep
int cmdPanelOn(char *line);             // "v on": panel on
int cmdPanelOff(char *line);            // "v of": panel off
int cmdLed(char *line);                 // "led %9s": user LED
int cmdBrightness(char *line);          // "xbb": backlight brightness

// cmd_macros.cpp
int cmdMacroArgs(char *line);           // "xa": assign macro arguments
int cmdSetInt(char *line);              // "set i%d %d": set an integer variable
int cmdSetString(char *line);           // "set s%d": set a string variable
int cmdPush(char *line);                // "mpush": push a string
int cmdPop(char *line);                 // "mpop": pop a string
int cmdRunMacro(char *line);            // m, or the byte 0x82: run a macro
int cmdHotSpotMacros(char *line);       // "xm": assign macros to a hot spot
int cmdMacDebug(char *line);            // "*macdebug %d": macro messages
int cmdMacNote(char *line);             // "*macnote": macro start/end notifications
int cmdDemoMac(char *line);             // "*DEMOMAC": demo macro
int cmdPonMac(char *line);              // "*PONMAC": power-on macro

// cmd_diag.cpp
int cmdFrameDump(char *line);           // "*FB %d": dump frame-buffer pixels
int cmdFrameCrc(char *line);            // "*CRC": CRC of the frame buffer
int cmdProgramCrc(char *line);          // "*CSUM": CRC of the program image
int cmdProgramBlockCrc(char *line);     // "*CSUMB": CRC per 4 KB block
int cmdExtMemCrc(char *line);           // "*CEXT": CRC of external memory
int cmdRejectTest(char *line);          // "*SERR": result 0
int cmdCorruptTest(char *line);         // "*IERR": result 2
int cmdLcdRegWrite(char *line);         // "wvr": LCD controller register write
int cmdLcdReg(char *line);              // "wrf": LCD controller register
int cmdTouchAdjust(char *line);         // "*touchadj": interactive panel timing adjustment
int cmdRegRead(char *line);             // "*R %x": read a 32-bit register
int cmdRegWrite(char *line);            // "*W %x %x": write a 32-bit register
int cmdScreenToBmp(char *line);         // "*getScreenAsBMPFile": screen to a BMP file on the SD card
void WriteByte2File(u8 byte, void *file);  // byte sink of the screen capture: the open FF_FILE
int cmdHpw(char *line);                 // "*hpw": panel timing
int cmdHfp(char *line);                 // "*hfp": panel timing
int cmdHbp(char *line);                 // "*hbp": panel timing
int cmdVpw(char *line);                 // "*vpw": panel timing
int cmdVfp(char *line);                 // "*vfp": panel timing
int cmdVbp(char *line);                 // "*vbp": panel timing
int cmdPanelAdjust(char *line);         // "*paneladj": interactive panel timing adjustment
int cmdFlashHelp(char *line);           // "*fhelp": serial-flash command help
int cmdFlashId(char *line);             // "*fid": serial-flash identification
int cmdFlashRead(char *line);           // "*frd": read serial flash
int cmdFlashCompare(char *line);        // "*fcmpem": compare serial flash with the staging buffer
int cmdFlashWriteTest(char *line);      // "*fwr": serial-flash write test
int cmdFlashErase(char *line);          // "*fer": erase the serial flash
int cmdFlashSectorErase(char *line);    // "*fser": erase one sector
int cmdFlashStatus(char *line);         // "*fst": serial-flash status
int cmdFlashWriteEnable(char *line);    // "*fwe": set write enable
int cmdFlashWriteDisable(char *line);   // "*fwd": clear write enable
int cmdSerialTrace(char *line);         // "*sht": show the serial trace

// The serial trace ring of cmd_diag.cpp ("*sht"): two-byte entries, type and data.
#define TRACE_SIZE 4096
enum { TRACE_TX_INT = 0, TRACE_RX_INT = 1, TRACE_XOFF = 2, TRACE_LINE = 3, TRACE_STRING = 4 };
extern u8 traceBuf[TRACE_SIZE];
extern u8 *tracePt;
void trace(u8 type, u8 data);

#endif
