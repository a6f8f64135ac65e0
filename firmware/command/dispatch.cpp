// The ordered dispatch chain and its matching. The table is the language: its order decides
// which handler gets a line, because earlier prefix tests shadow later commands that share
// their beginning. A new command goes in where its first match is the intended one.
#include "dispatch.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "../storage/KT_eeprom.h"
#include "handlers.h"

// One destination of a pattern test. Every value a pattern yields lands in one slot,
// whatever its conversion: an integer of any width, one %c character, or a word whose
// conversion carries a width below SCAN_SLOT_BYTES (the unit tests check every pattern).
union ScanSlot {
    long asLong;
    unsigned long asUnsigned;
    char text[SCAN_SLOT_BYTES];
};

// The number of values sscanf reads from the line with the pattern (EOF counts as none).
static int scanCount(const char *line, const char *pattern) {
    // The literal head of the pattern (the command word up to its first blank or
    // conversion) must match character for character; checking it first spares the
    // library call for the many lines that begin differently.
    for (int i = 0; pattern[i] != ' ' && pattern[i] != '%' && pattern[i] != '\0'; i++) {
        if (line[i] != pattern[i]) return 0;
    }
    ScanSlot v[SCAN_SLOTS];
    int n = sscanf(line, pattern, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                   &v[9], &v[10], &v[11], &v[12], &v[13], &v[14]);
    return n < 0 ? 0 : n;
}

// Pixel commands: pr, prx, pw, pwx. Other lines beginning with p are not theirs.
static bool fitsPixel(const char *line) {
    return line[0] == 'p' && (line[1] == 'r' || line[1] == 'w');
}

// The RS-485 poll exists only in addressed mode; elsewhere "Q" is an unknown line.
static bool fitsRs485Poll(const char *line) {
    return eepromData.rs485Mode == MODE_ON && strcmp(line, "Q") == 0;
}

// "*rs485 off" or "*rs485" with start-of-frame character and two address digits.
static bool fitsRs485(const char *line) {
    if (strncmp(line, "*rs485", 6) != 0) return false;
    return strncmp(line, "*rs485 off", 10) == 0 || scanCount(line, "*rs485 %c%c%c") == 3;
}

// Macro runs: "m%d" or "m %s" in text, or the binary command byte 0x82 followed by 'M' and
// the macro's index byte. Both text forms yield a value exactly when something other than
// white space follows the m, so that is the test; sscanf with an unbounded %s would need a
// buffer as long as the line.
static bool fitsMacroRun(const char *line) {
    if ((u8)line[0] == 0x82) return line[1] == 'M';
    if (line[0] != 'm') return false;
    const char *p = line + 1;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) p++;
    return *p != '\0';
}

const CommandEntry commandChain[COMMAND_COUNT] = {
    {TEST_PREFIX,      2,  "md",                    cmdMeterDefine,        NULL},          //   1 meter definition
    {TEST_PATTERN,     2,  "mv %d %d",              cmdMeterValue,         NULL},          //   2 meter value
    {TEST_EXACT,       0,  "tclr",                  cmdTouchTraceClear,    NULL},          //   3 clear the touch trace
    {TEST_CUSTOM,      2,  "p",                     cmdPixel,              fitsPixel},     //   4 read or write one frame-buffer pixel
    {TEST_CUSTOM,      1,  "Q",                     cmdRs485Poll,          fitsRs485Poll}, //   5 RS-485 poll
    {TEST_CUSTOM,      6,  "*rs485",                cmdRs485,              fitsRs485},     //   6 RS-485 mode off or on
    {TEST_EXACT,       0,  "ss",                    cmdSaveState,          NULL},          //   7 save the graphics state
    {TEST_EXACT,       0,  "sr",                    cmdRestoreState,       NULL},          //   8 restore the graphics state
    {TEST_PREFIX,      4,  "anic",                  cmdAnimClear,          NULL},          //   9 clear all animations
    {TEST_PATTERN,     2,  "tfd %d %d",             cmdAnimSetFrame,       NULL},          //  10 position an animation at a frame, idle
    {TEST_PATTERN,     2,  "anid %d %d",            cmdAnimSetFrame,       NULL},          //  11 same as "tfd"
    {TEST_PATTERN,     1,  "anix %d",               cmdAnimDelete,         NULL},          //  12 delete animation
    {TEST_PATTERN,     1,  "tfx %d",                cmdAnimDelete,         NULL},          //  13 same as "anix"
    {TEST_PREFIX,      4,  "anis",                  cmdAnimRewind,         NULL},          //  14 rewind every animation
    {TEST_PATTERN,     1,  "tfe %d",                cmdAnimStart,          NULL},          //  15 start an animation
    {TEST_PATTERN,     1,  "anie %d",               cmdAnimStart,          NULL},          //  16 same as "tfe"
    {TEST_PREFIX,      4,  "ani ",                  cmdAnimAddStep,        NULL},          //  17 append a step
    {TEST_PREFIX,      5,  "ani+ ",                 cmdAnimAddStep,        NULL},          //  18 same as "ani "
    {TEST_PREFIX,      3,  "tf ",                   cmdBlinkText,          NULL},          //  19 blinking-text animation
    {TEST_PREFIX,      2,  "tf",                    cmdAnimSpace,          NULL},          //  20 step-buffer space, "tf?" lists the steps
    {TEST_PREFIX,      3,  "ani",                   cmdAnimSpace,          NULL},          //  21 same as "tf"
    {TEST_PREFIX,      3,  "tu ",                   cmdTextAtCursor,       NULL},          //  22 draw text at the cursor
    {TEST_PREFIX,      2,  "ts",                    cmdTextPlain,          NULL},          //  23 draw text, quotes without escapes
    {TEST_PREFIX,      2,  "t ",                    cmdText,               NULL},          //  24 draw text with escapes, temporary mode
    {TEST_PREFIX,      3,  "T \"",                  cmdTextKeepMode,       NULL},          //  25 draw text with escapes, mode stays
    {TEST_PATTERN,     1,  "p %u",                  cmdPenSize,            NULL},          //  26 set the pen size
    {TEST_PREFIX,      2,  "ta",                    cmdTextAlign,          NULL},          //  27 set or report the text alignment
    {TEST_PATTERN,     1,  "sb %d",                 cmdAccept,             NULL},          //  28 no effect, result 1
    {TEST_EXACT,       0,  "su",                    cmdAccept,             NULL},          //  29 no effect, result 1
    {TEST_PATTERN,     3,  "SB %c%c%c",             cmdAccept,             NULL},          //  30 no effect, result 1
    {TEST_EXACT,       0,  "SU",                    cmdAccept,             NULL},          //  31 no effect, result 1
    {TEST_PATTERN,     1,  "*debug %d",             cmdPressureDebug,      NULL},          //  32 touch pressure display option
    {TEST_PREFIX,      5,  "baudp",                 cmdBaudSaved,          NULL},          //  33 baud rate, saved
    {TEST_PREFIX,      4,  "baud",                  cmdBaud,               NULL},          //  34 baud rate, not saved
    {TEST_PREFIX,      4,  "temp",                  cmdTemperature,        NULL},          //  35 report the temperature
    {TEST_PREFIX,      9,  "typematic",             cmdTypematic,          NULL},          //  36 touch auto-repeat delay and interval
    {TEST_PREFIX,      10, "*touchParm",            cmdTouchParm,          NULL},          //  37 touch samples and span
    {TEST_PREFIX,      9,  "*debounce",             cmdDebounce,           NULL},          //  38 touch debounce
    {TEST_PREFIX,      2,  "ls",                    cmdList,               NULL},          //  39 list macros or bitmaps
    {TEST_PREFIX,      6,  "xbl on",                cmdBacklightOn,        NULL},          //  40 backlight inverter on
    {TEST_PREFIX,      6,  "xbl of",                cmdBacklightOff,       NULL},          //  41 backlight inverter off
    {TEST_PREFIX,      2,  "xa",                    cmdMacroArgs,          NULL},          //  42 assign macro arguments
    {TEST_PATTERN,     2,  "set i%d %d",            cmdSetInt,             NULL},          //  43 set an integer variable
    {TEST_PATTERN,     1,  "set s%d",               cmdSetString,          NULL},          //  44 set a string variable
    {TEST_PREFIX,      5,  "mpush",                 cmdPush,               NULL},          //  45 push a string
    {TEST_PREFIX,      4,  "mpop",                  cmdPop,                NULL},          //  46 pop a string
    {TEST_CUSTOM,      1,  "m",                     cmdRunMacro,           fitsMacroRun},  //  47 run a macro
    {TEST_PATTERN,     3,  "xi %d%d%d",             cmdBitmap,             NULL},          //  48 draw a stored bitmap
    {TEST_PATTERN,     4,  "xit %d%d%d%x",          cmdBitmapTransparent,  NULL},          //  49 draw with a transparent colour
    {TEST_PATTERN,     7,  "xic %d%d%d%d%d%d%d",    cmdBitmapClipped,      NULL},          //  50 draw clipped
    {TEST_PATTERN,     6,  "xio %d%d%d%d%d%d",      cmdBitmapBand,         NULL},          //  51 draw a band
    {TEST_PREFIX,      3,  "xma",                   cmdExtMemSizes,        NULL},          //  52 report external-memory sizes
    {TEST_PREFIX,      3,  "xmc",                   cmdExtMemErase,        NULL},          //  53 erase external memory
    {TEST_PATTERN,     3,  "xmp %x %x %d",          cmdExtMemProgram,      NULL},          //  54 program external memory from the serial line
    {TEST_EXACT,       0,  "xmpmax",                cmdExtMemProgramMax,   NULL},          //  55 largest "xmp" block
    {TEST_PREFIX,      2,  "xm",                    cmdHotSpotMacros,      NULL},          //  56 assign macros to a hot spot
    {TEST_PATTERN,     4,  "bdld %d %lx %ld %ld",   cmdBinDownload,        NULL},          //  57 binary download
    {TEST_PATTERN,     1,  "*eer %x",               cmdEepromRead,         NULL},          //  58 read a byte
    {TEST_PATTERN,     2,  "*eew %x %x",            cmdEepromWrite,        NULL},          //  59 write a byte
    {TEST_PREFIX,      4,  "*eed",                  cmdEepromDump,         NULL},          //  60 dump the EEPROM
    {TEST_PREFIX,      4,  "*eec",                  cmdEepromClear,        NULL},          //  61 clear the EEPROM
    {TEST_PREFIX,      4,  "*ees",                  cmdEepromSave,         NULL},          //  62 save the settings
    {TEST_PATTERN,     1,  "beep %u",               cmdBeep,               NULL},          //  63 beep
    {TEST_PATTERN,     1,  "beepw %u",              cmdBeepWait,           NULL},          //  64 beep and wait
    {TEST_PATTERN,     2,  "al %d %u",              cmdAlarm,              NULL},          //  65 alarm pattern and beep
    {TEST_PREFIX,      2,  "bv",                    cmdBeepVolume,         NULL},          //  66 beeper volume
    {TEST_PREFIX,      2,  "bf",                    cmdBeepFreq,           NULL},          //  67 beeper frequency
    {TEST_PATTERN,     1,  "bMaX %u",               cmdBeepMax,            NULL},          //  68 maximum beeper volume
    {TEST_PATTERN,     1,  "bb %u",                 cmdClickLength,        NULL},          //  69 touch click length in units of 10 ms
    {TEST_PATTERN,     3,  "rb %u %u %d",           cmdRepeatBeep,         NULL},          //  70 repeating beep
    {TEST_PATTERN,     2,  "rb %u %u",              cmdRepeatBeep,         NULL},          //  71 repeating beep
    {TEST_PATTERN,     1,  "d %9s",                 cmdDrawMode,           NULL},          //  72 draw mode
    {TEST_PATTERN,     2,  "s %d %d",               cmdColorIndex,         NULL},          //  73 colours from color_map
    {TEST_EXACT,       0,  "S",                     cmdColorReport,        NULL},          //  74 report the colours
    {TEST_PATTERN,     2,  "S %x %x",               cmdColorSet,           NULL},          //  75 set the colours
    {TEST_PREFIX,      2,  "tm",                    cmdTextMode,           NULL},          //  76 set or report the text mode
    {TEST_PATTERN,     2,  "sc %d %d",              cmdCursor,             NULL},          //  77 set the text cursor
    {TEST_PREFIX,      3,  "out",                   cmdOut,                NULL},          //  78 send text to the host
    {TEST_PREFIX,      4,  "aout",                  cmdAuxOut,             NULL},          //  79 send text to the auxiliary port
    {TEST_PREFIX,      5,  "auxIO",                 cmdAuxIO,              NULL},          //  80 auxiliary-port forwarding
    {TEST_FIRST,       1,  "o",                     cmdOrigin,             NULL},          //  81 set or report the origin
    {TEST_PREFIX,      4,  "v on",                  cmdPanelOn,            NULL},          //  82 panel on
    {TEST_PREFIX,      4,  "v of",                  cmdPanelOff,           NULL},          //  83 panel off
    {TEST_PREFIX,      2,  "zs",                    cmdClearKeep,          NULL},          //  84 clear the screen to a colour index
    {TEST_EXACT,       0,  "z",                     cmdClear,              NULL},          //  85 clear the screen and stop animations
    {TEST_PATTERN,     4,  "l %d%d%d%d",            cmdLine,               NULL},          //  86 line
    {TEST_FIRST,       1,  "r",                     cmdRect,               NULL},          //  87 rectangle
    {TEST_FIRST,       2,  "tr",                    cmdTriangle,           NULL},          //  88 triangle
    {TEST_PATTERN,     3,  "c %d%d%d",              cmdCircle,             NULL},          //  89 circle
    {TEST_EXACT,       0,  "f",                     cmdFontReport,         NULL},          //  90 report the current font
    {TEST_EXACT,       0,  "f?",                    cmdFontList,           NULL},          //  91 list the fonts
    {TEST_PATTERN,     1,  "f %9s",                 cmdFontSelect,         NULL},          //  92 select a font
    {TEST_PATTERN,     5,  "x %d %d %d %d %d",      cmdHotSpot,            NULL},          //  93 define a hot spot that reports presses
    {TEST_PATTERN,     5,  "xt %d %d %d %d %d",     cmdHotSpotRepeat,      NULL},          //  94 as "x" with auto-repeat
    {TEST_PATTERN,     5,  "xsnb %d %d %d %d %d",   cmdHotSpotNoClick,     NULL},          //  95 reporting hot spot without click
    {TEST_PATTERN,     5,  "xxy %d %d %d %d %d",    cmdHotSpotXY,          NULL},          //  96 hot spot that reports coordinates
    {TEST_PATTERN,     5,  "xxynb %d %d %d %d %d",  cmdHotSpotXYNoClick,   NULL},          //  97 as "xxy" without click
    {TEST_PREFIX,      2,  "xd",                    cmdHotSpotDisable,     NULL},          //  98 disable hot spots
    {TEST_PREFIX,      2,  "xe",                    cmdHotSpotEnable,      NULL},          //  99 re-enable hot spots
    {TEST_PATTERN,     5,  "xs %d %d %d %d %d",     cmdHotSpotClick,       NULL},          // 100 reporting hot spot with click
    {TEST_EXACT,       0,  "*xn off",               cmdHotSpotsOff,        NULL},          // 101 stop the reports of all hot spots
    {TEST_PREFIX,      6,  "xc all",                cmdHotSpotClearAll,    NULL},          // 102 clear all hot spots
    {TEST_PATTERN,     1,  "xc %d",                 cmdHotSpotClear,       NULL},          // 103 clear one hot spot
    {TEST_PREFIX,      4,  "xset",                  cmdHotSpotFlags,       NULL},          // 104 set or clear hot-spot flags
    {TEST_PREFIX,      6,  "*STATE",                cmdState,              NULL},          // 105 report the graphics state
    {TEST_PATTERN,     1,  "led %9s",               cmdLed,                NULL},          // 106 user LED
    {TEST_PATTERN,     1,  "w %u",                  cmdWait,               NULL},          // 107 wait, serving touch
    {TEST_PREFIX,      4,  "vers",                  cmdVersion,            NULL},          // 108 report the version
    {TEST_PATTERN,     3,  "i %d%d%d",              cmdPicture,            NULL},          // 109 draw a built-in picture
    {TEST_PATTERN,     2,  "ssb %d %d",             cmdButtonState,        NULL},          // 110 set a button's state
    {TEST_PATTERN,     4,  "bd %d%d%d%d",           cmdDefineButton,       NULL},          // 111 define a button (cmd_ButtonDefine gets the whole line)
    {TEST_PATTERN,     1,  "bc %d",                 cmdButtonClear,        NULL},          // 112 clear a button
    {TEST_PREFIX,      2,  "tc",                    cmdTouchCalibrate,     NULL},          // 113 touch calibration
    {TEST_PATTERN,     11, "sl %d %d %d %d %d %d %d %d %d %d%d", cmdSliderDefine,       NULL},          // 114 linear slider
    {TEST_PATTERN,     2,  "sv %d %d",              cmdSliderValue,        NULL},          // 115 set a slider
    {TEST_PATTERN,     15, "slc %d %d %d %d %d %d %d %d %d %d %d %d %d %d %d", cmdCircSliderDefine,   NULL},          // 116 circular slider
    {TEST_PATTERN,     2,  "svc %d %d",             cmdCircSliderValue,    NULL},          // 117 set a circular slider
    {TEST_EXACT,       0,  "*getTouch",             cmdGetTouch,           NULL},          // 118 report a touch reading
    {TEST_PREFIX,      3,  "xbb",                   cmdBrightness,         NULL},          // 119 backlight brightness
    {TEST_PATTERN,     1,  "*macdebug %d",          cmdMacDebug,           NULL},          // 120 macro messages
    {TEST_PATTERN,     1,  "*binr %d",              cmdBinaryReports,      NULL},          // 121 binary notifications
    {TEST_PREFIX,      8,  "*macnote",              cmdMacNote,            NULL},          // 122 macro start/end notifications
    {TEST_PREFIX,      8,  "*DEMOMAC",              cmdDemoMac,            NULL},          // 123 demo macro
    {TEST_PREFIX,      7,  "*PONMAC",               cmdPonMac,             NULL},          // 124 power-on macro
    {TEST_PREFIX,      4,  "*SPL",                  cmdSplash,             NULL},          // 125 splash bitmap
    {TEST_PREFIX,      9,  "*MFGRESET",             cmdMfgReset,           NULL},          // 126 invalidate the settings, reset
    {TEST_PREFIX,      6,  "*RESET",                cmdReset,              NULL},          // 127 reset the module
    {TEST_EXACT,       0,  "*LOAD",                 cmdLoad,               NULL},          // 128 reload external memory
    {TEST_PATTERN,     1,  "*FB %d",                cmdFrameDump,          NULL},          // 129 dump frame-buffer pixels
    {TEST_EXACT,       0,  "*CRC",                  cmdFrameCrc,           NULL},          // 130 CRC of the frame buffer
    {TEST_EXACT,       0,  "*CSUM",                 cmdProgramCrc,         NULL},          // 131 CRC of the program image
    {TEST_EXACT,       0,  "*CSUMB",                cmdProgramBlockCrc,    NULL},          // 132 CRC per 4 KB block
    {TEST_PREFIX,      5,  "*CEXT",                 cmdExtMemCrc,          NULL},          // 133 CRC of external memory
    {TEST_EXACT,       0,  "*KT",                   cmdDefaultCalibration, NULL},          // 134 default touch calibration
    {TEST_EXACT,       0,  "*ever",                 cmdTouchedEver,        NULL},          // 135 touched since last asked
    {TEST_EXACT,       0,  "*prevCons",             cmdPrevCons,           NULL},          // 136 command port back to the stored choice
    {TEST_PREFIX,      7,  "*auxEsc",               cmdAuxEsc,             NULL},          // 137 aux escape character
    {TEST_EXACT,       0,  "*com1main",             cmdCom1Main,           NULL},          // 138 port 1 becomes the command port
    {TEST_EXACT,       0,  "*com0main",             cmdCom0Main,           NULL},          // 139 port 0 becomes the command port
    {TEST_PATTERN,     1,  "*debugTouch %d",        cmdDebugTouch,         NULL},          // 140 touch debugging
    {TEST_PREFIX,      4,  "utf8",                  cmdUtf8,               NULL},          // 141 UTF-8 text
    {TEST_EXACT,       0,  "*rst",                  cmdRxReset,            NULL},          // 142 empty the receive ring
    {TEST_EXACT,       0,  "*SERR",                 cmdRejectTest,         NULL},          // 143 result 0
    {TEST_EXACT,       0,  "*IERR",                 cmdCorruptTest,        NULL},          // 144 result 2
    {TEST_EXACT,       0,  "*BMOFF",                cmdBinaryOff,          NULL},          // 145 binary commands off
    {TEST_PREFIX,      2,  "cd",                    cmdChartDefine,        NULL},          // 146 define a chart
    {TEST_FIRST,       2,  "cv",                    cmdChartValues,        NULL},          // 147 chart values
    {TEST_PREFIX,      2,  "ld",                    cmdLevelBarDefine,     NULL},          // 148 define a level bar
    {TEST_PATTERN,     2,  "lv %d %d",              cmdLevelBarValue,      NULL},          // 149 set a level bar
    {TEST_PATTERN_MIN, 4,  "ws %d%d%d%d%d",         cmdSaveArea,           NULL},          // 150 save a screen area
    {TEST_PATTERN_MIN, 2,  "wr %d%d%d",             cmdRestoreArea,        NULL},          // 151 restore a screen area
    {TEST_PREFIX,      3,  "wvr",                   cmdLcdRegWrite,        NULL},          // 152 LCD controller register write
    {TEST_PREFIX,      3,  "wrf",                   cmdLcdReg,             NULL},          // 153 LCD controller register
    {TEST_EXACT,       0,  "*panel",                cmdPanelName,          NULL},          // 154 report the panel name
    {TEST_PREFIX,      7,  "*config",               cmdConfigName,         NULL},          // 155 configuration name
    {TEST_PREFIX,      10, "*touchSwap",            cmdSetting,            NULL},          // 156 swap touch axes
    {TEST_EXACT,       0,  "*tt",                   cmdTouchTrace,         NULL},          // 157 show the touch trace
    {TEST_EXACT,       0,  "*ttt",                  cmdTouchTraceTest,     NULL},          // 158 touch trace test
    {TEST_PREFIX,      9,  "*touchadj",             cmdTouchAdjust,        NULL},          // 159 interactive panel timing adjustment
    {TEST_EXACT,       0,  "*td",                   cmdTouchDisplay,       NULL},          // 160 touch display
    {TEST_EXACT,       0,  "*tr",                   cmdTouchRaw,           NULL},          // 161 raw touch readings
    {TEST_EXACT,       0,  "*td2",                  cmdTouchStateDisplay,  NULL},          // 162 touch state display
    {TEST_PATTERN,     1,  "*R %x",                 cmdRegRead,            NULL},          // 163 read a 32-bit register
    {TEST_PATTERN,     2,  "*W %x %x",              cmdRegWrite,           NULL},          // 164 write a 32-bit register
    {TEST_PREFIX,      7,  "*orient",               cmdSetting,            NULL},          // 165 display orientation
    {TEST_PREFIX,      8,  "*autoCal",              cmdSetting,            NULL},          // 166 calibration at start
    {TEST_PREFIX,      6,  "*tspan",                cmdSetting,            NULL},          // 167 touch setting
    {TEST_PREFIX,      5,  "*tplo",                 cmdSetting,            NULL},          // 168 touch setting
    {TEST_PREFIX,      5,  "*tphi",                 cmdSetting,            NULL},          // 169 touch setting
    {TEST_PREFIX,      11, "*tpDeltaLim",           cmdSetting,            NULL},          // 170 touch setting
    {TEST_PREFIX,      6,  "*tsamp",                cmdSetting,            NULL},          // 171 touch setting
    {TEST_PREFIX,      10, "*tcTimeout",            cmdSetting,            NULL},          // 172 calibration timeout
    {TEST_PREFIX,      3,  "*vq",                   cmdVq,                 NULL},          // 173 VQ output pin
    {TEST_PREFIX,      9,  "*maxBrite",             cmdSetting,            NULL},          // 174 PWM value for full brightness
    {TEST_PREFIX,      9,  "*minBrite",             cmdSetting,            NULL},          // 175 PWM value for zero brightness
    {TEST_PREFIX,      13, "*invEnaHiTrue",         cmdSetting,            NULL},          // 176 inverter enable polarity
    {TEST_PREFIX,      12, "*pwmIsEnable",          cmdSetting,            NULL},          // 177 brightness by PWM
    {TEST_PREFIX,      10, "*touchMode",            cmdTouchMode,          NULL},          // 178 touch mode
    {TEST_EXACT,       0,  "*getScreenAsBMPFile",   cmdScreenToBmp,        NULL},          // 179 screen to a BMP file on the SD card
    {TEST_PREFIX,      9,  "*firmware",             cmdFirmwareTag,        NULL},          // 180 report the firmware tag
    {TEST_PREFIX,      4,  "*hpw",                  cmdHpw,                NULL},          // 181 panel timing
    {TEST_PREFIX,      4,  "*hfp",                  cmdHfp,                NULL},          // 182 panel timing
    {TEST_PREFIX,      4,  "*hbp",                  cmdHbp,                NULL},          // 183 panel timing
    {TEST_PREFIX,      4,  "*vpw",                  cmdVpw,                NULL},          // 184 panel timing
    {TEST_PREFIX,      4,  "*vfp",                  cmdVfp,                NULL},          // 185 panel timing
    {TEST_PREFIX,      4,  "*vbp",                  cmdVbp,                NULL},          // 186 panel timing
    {TEST_PREFIX,      9,  "*paneladj",             cmdPanelAdjust,        NULL},          // 187 interactive panel timing adjustment
    {TEST_FIRST,       2,  "//",                    cmdAccept,             NULL},          // 188 no effect, result 1
    {TEST_EXACT,       0,  "*fhelp",                cmdFlashHelp,          NULL},          // 189 serial-flash command help
    {TEST_EXACT,       0,  "*fid",                  cmdFlashId,            NULL},          // 190 serial-flash identification
    {TEST_PREFIX,      3,  "*fr",                   cmdFlashRead,          NULL},          // 191 read serial flash
    {TEST_EXACT,       0,  "*fcmpem",               cmdFlashCompare,       NULL},          // 192 compare serial flash with the staging buffer
    {TEST_EXACT,       0,  "*fwr",                  cmdFlashWriteTest,     NULL},          // 193 serial-flash write test
    {TEST_EXACT,       0,  "*fer",                  cmdFlashErase,         NULL},          // 194 erase the serial flash
    {TEST_PREFIX,      4,  "*fse",                  cmdFlashSectorErase,   NULL},          // 195 erase one sector
    {TEST_EXACT,       0,  "*fst",                  cmdFlashStatus,        NULL},          // 196 serial-flash status
    {TEST_EXACT,       0,  "*fwe",                  cmdFlashWriteEnable,   NULL},          // 197 set write enable
    {TEST_EXACT,       0,  "*fwd",                  cmdFlashWriteDisable,  NULL},          // 198 clear write enable
    {TEST_EXACT,       0,  "*sht",                  cmdSerialTrace,        NULL},          // 199 show the serial trace
    {TEST_PATTERN,     1,  "sdload %8s",            cmdSdLoad,             NULL},          // 200 load the image file from an SD card directory
};

// A word that begins with an ordinary character takes only lines that begin with it: the
// comparisons match it exactly, and so does sscanf, which skips blanks only for a blank or a
// conversion in the pattern. So the chain is searched through an index by first byte: for a
// line, the entries whose word begins with its first byte, merged in chain order with those no
// first byte rules out (the custom tests). Built at the first search after power-on; entry
// numbers are 1-based, 0 ends a list.
static_assert(COMMAND_COUNT < 255, "entry numbers fit a byte");

static u8 firstOfByte[256];        // the first entry whose word begins with the byte
static u8 firstOfAny;              // the first entry any line may belong to
static u8 nextOfKind[COMMAND_COUNT];  // the next entry of the same list
static bool indexBuilt;

static bool anyLineMayFit(const CommandEntry *e) {
    const char first = e->word[0];
    const bool blank = first == ' ' || (first >= '\t' && first <= '\r');
    return e->test == TEST_CUSTOM || first == '%' || first == '\0' || blank;
}

static void buildIndex(void) {
    // Filled from the end, so that each entry goes in front of the later ones of its list.
    for (int i = COMMAND_COUNT - 1; i >= 0; i--) {
        u8 *head = anyLineMayFit(&commandChain[i]) ? &firstOfAny : &firstOfByte[(u8)commandChain[i].word[0]];
        nextOfKind[i] = *head;
        *head = (u8)(i + 1);
    }
    indexBuilt = true;
}

static bool takes(const CommandEntry *e, const char *line) {
    switch (e->test) {
    case TEST_EXACT:
        return strcmp(line, e->word) == 0;
    case TEST_PREFIX:
    case TEST_FIRST:
        return strncmp(line, e->word, e->count) == 0;
    case TEST_PATTERN:
        return scanCount(line, e->word) == e->count;
    case TEST_PATTERN_MIN:
        return scanCount(line, e->word) >= e->count;
    case TEST_CUSTOM:
        return e->fits(line);
    }
    return false;
}

const CommandEntry *findCommand(const char *line) {
    if (line == NULL) return NULL;
    if (!indexBuilt) buildIndex();
    u8 byFirst = firstOfByte[(u8)line[0]], any = firstOfAny;
    while (byFirst != 0 || any != 0) {
        u8 entry;
        if (any == 0 || (byFirst != 0 && byFirst < any)) {
            entry = byFirst;
            byFirst = nextOfKind[entry - 1];
        } else {
            entry = any;
            any = nextOfKind[entry - 1];
        }
        if (takes(&commandChain[entry - 1], line)) return &commandChain[entry - 1];
    }
    return NULL;
}

int commandIndexOf(const char *line) {
    const CommandEntry *e = findCommand(line);
    return e == NULL ? 0 : (int)(e - commandChain) + 1;
}

// The entry whose handler runs, and its line. Handlers may run further lines (macros), so
// every run restores what it found.
static const CommandEntry *runningEntry;
static const char *runningLine;

int runCommand(const CommandEntry *e, char *line) {
    const CommandEntry *outerEntry = runningEntry;
    const char *outerLine = runningLine;
    runningEntry = e;
    runningLine = line;
    int result = e->handler(line);
    runningEntry = outerEntry;
    runningLine = outerLine;
    return result;
}

int scanArgs(const char *line, ...) {
    // A handler called directly, not through the chain, finds its entry the same way.
    const CommandEntry *e = line == runningLine && runningEntry ? runningEntry : findCommand(line);
    if (e == NULL || (e->test != TEST_PATTERN && e->test != TEST_PATTERN_MIN)) return 0;
    va_list ap;
    va_start(ap, line);
    int n = vsscanf(line, e->word, ap);
    va_end(ap);
    return n;
}
