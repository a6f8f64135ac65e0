#include "GUIDEMO.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../command/cmd_draw.h"
#include "../command/parse_command.h"
#include "../devices/KT_beep.h"
#include "../devices/KT_led.h"
#include "../devices/lcd_driver.h"
#include "../storage/KT_fonts.h"
#include "../devices/KT_timer.h"
#include "../devices/KT_visibility.h"
#include "../devices/miscdrivers.h"
#include "../fs/file_sys.h"
#include "../fs/sdcard.h"
#include "../gui/GUI.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_eeprom.h"
#include "../storage/KT_bitmaps.h"
#include "../storage/KT_extmem.h"
#include "../touch/KT_touch.h"
#include "../touch/buttons.h"
#include "../widgets/KT_chart.h"
#include "../widgets/KT_levelbar.h"
#include "../widgets/KT_slider.h"
#include "board.h"
#include "animation.h"
#include "crc16.h"

char myBuf[MYBUF_SIZE];
u8 macroNotify;
int text_border;

#define LINE_MAX 129  // a line with its CR, as rxString copies it

static const char REPLY_OK[] = ">\r";
static const char REPLY_REJECTED[] = "!\r";
static const char REPLY_CORRUPT[] = "#\r";
static const char REPLY_OVERFLOW[] = "^\r";
static const char REPLY_RX_ERROR[] = "?\r";

// ---------------------------------------------------------------------------------------
// Log hooks of the graphics library.

static void guiMessage(const char *prefix, const char *s) {
    char msg[TX_MAX_CHARS + 1];
    if (s && *s == '\n') ++s;
    snprintf(msg, sizeof msg, "%s%s\r", prefix, s ? s : "");
    txString(msg);
}

void GUI_X_Warn(const char *s) { guiMessage(":GUI_WARN:", s); }
void GUI_X_ErrorOut(const char *s) { guiMessage(":GUI_ERR:", s); }
void GUI_X_Log(const char *s) { guiMessage(":GUI:", s); }

// ---------------------------------------------------------------------------------------
// Main loop.

static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A line "~HHHH<command>CR" carries the CRC of everything after the four digits, CR
// included. Returns the command text, or nullptr when the check fails.
static char *checkCrcLine(char *line) {
    size_t len = strlen(line);
    if (len <= 5) return nullptr;
    u32 want = 0;
    for (int i = 1; i <= 4; ++i) {
        int d = hexDigit(line[i]);
        if (d < 0) return nullptr;
        want = (want << 4) | (u32)d;
    }
    u16 got = CalcCRC((const u8 *)line + 5, (int)(len - 5));
    return (got == (want & 0xFFFF)) ? line + 5 : nullptr;
}

// A macro-run command is acknowledged before it runs on an RS-485 bus.
static bool isMacroRun(const char *cmd) {
    if (cmd[0] == 'm') {
        int n;
        return sscanf(cmd + 1, "%d", &n) == 1 && n >= 1 && cmd[1] >= '0' && cmd[1] <= '9';
    }
    return (u8)cmd[0] == 0x82 && cmd[1] == 'M' && cmd[2] != 0;
}

// Takes the waiting line and runs it; returns the reply (nullptr for none).
static const char *takeLine(void) {
    rxString(myBuf, LINE_MAX);
    stringSent = 0;
    char *cmd = myBuf;
    if (cmd[0] == '~') {
        cmd = checkCrcLine(myBuf);
        if (!cmd) return REPLY_CORRUPT;
    }
    if (cmd[0] == '\r' && cmd[1] == 0) {
        KT_Delay(10);
        return REPLY_OK;
    }
    // Busy light while the system owns the LED. Only a line that lit it puts it out, so
    // that "led sys" leaves the host's last level showing.
    bool busyLight = userLedState == 0;
    if (busyLight) Led(1);
    if (rs485On() && isMacroRun(cmd)) {
        txString(REPLY_OK);
        stringSent = 1;
    }
    if ((u8)cmd[0] < 0x80) {
        size_t len = strlen(cmd);
        if (len > 0) cmd[len - 1] = 0;
    }
    killTrailingComment(cmd);
    int r = parse_command(cmd);
    if (busyLight && userLedState == 0) Led(0);
    switch (r) {
        case 0: return REPLY_REJECTED;
        case 2: return REPLY_CORRUPT;
        case 3: return nullptr;
        default: return REPLY_OK;
    }
}

static void sendReply(const char *reply) {
    if (!rs485On()) {
        if (reply) txString(reply);
        return;
    }
    if (anythingToTx()) txSavedBuf();
    if (!reply) return;
    if (reply == REPLY_OK) {
        if (stringSent == 0) txString(reply);
    } else {
        txString(reply);
    }
    stringSent = 0;
}

static void forwardAuxInput(void) {
    if (eepromData.auxIO != MODE_ON || anyAuxRx() == 0) return;
    getAuxRx(myBuf, 128);
    txNotify("a ");
    txNotify(myBuf);
    txNotify("\r");
}

// A macro a button scheduled runs here, between command lines, never inside another one.
static void runScheduledMacro(void) {
    int n = pendingMacro();
    if (n == 0) return;
    bool busyLight = userLedState == 0;  // as for a command line: only what lit it puts it out
    if (busyLight) Led(1);
    // The binary records are short strings: the letter and the number as one byte.
    char note[16];
    if (macroNotify == 1 || macroNotify == 3) {
        if (binaryResponses)
            snprintf(note, sizeof note, "M%c", (u8)n);
        else
            snprintf(note, sizeof note, "m%d\r", n);
        txNotify(note);
    }
    processScheduledMacro();
    if (macroNotify == 2 || macroNotify == 3) {
        if (binaryResponses)
            snprintf(note, sizeof note, "E%c", (u8)n);
        else
            snprintf(note, sizeof note, "e%d\r", n);
        txNotify(note);
    }
    if (busyLight && userLedState == 0) Led(0);
}

// The reply to a line status that brings no line: an overflow, a refused binary announcement,
// a receive error; none for "no line" and "line ready".
static const char *faultReply(int status) {
    switch (status) {
        case LINE_NONE:
        case LINE_READY: return nullptr;
        case LINE_OVERFLOW: return REPLY_OVERFLOW;
        case LINE_BAD_BINARY: return REPLY_REJECTED;
        case LINE_RX_ERROR: return REPLY_RX_ERROR;
        default: return REPLY_CORRUPT;
    }
}

int GUIDEMO_ReportLineFault(int status) {
    const char *reply = faultReply(status);
    if (!reply) return 0;
    sendReply(reply);
    return 1;
}

void GUIDEMO_pass(void) {
    handle_touch();
    handle_animation();
    forwardAuxInput();
    runScheduledMacro();
    int status = isLineAvail();
    if (status == LINE_NONE) return;
    sendReply(status == LINE_READY ? takeLine() : faultReply(status));
}

// A finger on the panel within 50 ms of power-on asks for a calibration (when autoCal allows),
// the way out of a calibration too far off to reach the "tc" command's host.
static void powerOnCalibration(void) {
    if (eepromData.autoCal != FLAG_ON) return;
    gpTimer = 50;
    while (gpTimer && !GetPenState()) boardIdle();
    if (!GetPenState()) return;
    BeepImmediate(50);
    KT_Delay(100);
    BeepImmediate(50);
    GUI_Clear();
    GUI_DispStringAt("Touch on power-up detected...starting touch calibrate", Origin_X + 10, Origin_Y + 100);
    GUI_DispStringAt("Release touch to begin calibration", Origin_X + 10, Origin_Y + 150);
    KT_Delay(2000);
    doCalibration();
    GUIDEMO_Clear(0);
}

// ---------------------------------------------------------------------------------------
// Drawing helpers of the command interpreter.

void GUIDEMO_Clear(int bitmap) {
    // A new page: no hot spot, chart, level bar or slider of the old one survives. Meters
    // stay defined; they are not touch objects.
    KT_Touch_HotSpot_Clear();
    KT_Chart_Init();
    KT_LevelBar_Init();
    KT_Slider_Init();
    CircSliderInit();
    Origin_X = 0;
    Origin_Y = 0;
    if (bitmap == 0) {
        GUI_Clear();
    } else if (bitmap > 0) {
        const ExtMemDirEntry *e = KT_GetExtBitmap(bitmap);  // a missing bitmap leaves the screen
        if (e) KT_DrawBitmap(e, 0, 0);
    }
    GUI_GotoXY(0, 0);
    GUIDEMO_SetTextBorder(0);
}

int GUIDEMO_SetFont(const char *name) {
    const FONT_ENTRY *e = KT_FindFont(name);
    if (!e || !KT_SetFont(e, &CmdFont)) return 0;
    currFontPtr = e;
    return 1;
}

void GUIDEMO_SetTextBorder(int x) {
    text_border = x;
    GUI_SetLBorder(x);
}

int GUIDEMO_GetTextBorder(void) { return text_border; }

// The closed polygon of the four corners, edge by edge in int coordinates.
static void drawOutline(int x0, int y0, int x1, int y1) {
    GUI_DrawLine(x0, y0, x1, y0);
    GUI_DrawLine(x1, y0, x1, y1);
    GUI_DrawLine(x1, y1, x0, y1);
    GUI_DrawLine(x0, y1, x0, y0);
}

int GUIDEMO_DrawRect(int style, int x0, int y0, int x1, int y1) {
    switch (style) {
        case 0:
            drawOutline(x0, y0, x1, y1);
            return 1;
        case 1:
            GUI_FillRect(x0, y0, x1, y1);
            return 1;
        case 2: {
            // Every second pixel; the loops are bounded by the clip rectangle so that a huge
            // rectangle far off screen costs nothing.
            GUI_RECT c = GUI_GetClipRect();
            int xa = x0, xb = x1 < c.x1 + 1 ? x1 : c.x1 + 1;
            if (xa < c.x0 - 1) xa = x0 + ((c.x0 - 1 - x0) & ~1);
            for (int x = xa; x < xb; x += 2) {
                GUI_DrawPixel(x, y0);
                GUI_DrawPixel(x, y1);
            }
            int ya = y0, yb = y1 < c.y1 + 1 ? y1 : c.y1 + 1;
            if (ya < c.y0 - 1) ya = y0 + ((c.y0 - 1 - y0) & ~1);
            for (int y = ya; y < yb; y += 2) {
                GUI_DrawPixel(x0, y);
                GUI_DrawPixel(x1, y);
            }
            return 1;
        }
        case 3: {
            int pen = GUI_SetPenSize(1);
            drawOutline(x0, y0, x1, y1);
            GUI_SetPenSize(pen);
            return 1;
        }
        default:
            return 0;
    }
}

void KT_Copy_Version(char *buf) {
    sprintf(buf, "VMOD5 V%d.%d.%d VGA \"%s\"", 1, 2, 0, "NEC_K2766_FUJ");
}

// ---------------------------------------------------------------------------------------
// Demonstration macro from the SD card.

#define DEMO_FILE_MAX 1024  // "rundemo.ini" holds a few short lines

int KT_Check_Demo(void) {
    static char text[DEMO_FILE_MAX + 1];
    if (!SDCardIsReady()) return 0;
    FF_FILE *f = fopen("rundemo.ini", FF_MODE_READ);
    if (!f) return 0;
    u32 size = f->length;
    if (size > DEMO_FILE_MAX || fread(text, 1, size, f) != size) {
        pout(":rundemo.ini could not be loaded\r");
        fclose(f);
        return 0;
    }
    fclose(f);
    // The terminator goes after the last byte, so a last line without an end keeps its value.
    text[size] = 0;
    s32 v;
    int echo = 0;
    if (lookfor(text, "verbose", 'd', &v, 0)) {
        echo = v;
        if (v) pout(":rundemo.ini verbose mode enabled\r");
    }
    if (lookfor(text, "demomac", 'd', &v, echo)) return (int)((u32)v % 256);
    return 0;
}

// ---------------------------------------------------------------------------------------
// Start screen.

static void drawBanner(void) {
    char line[80];
    GUI_SetTextAlign(GUI_TA_LEFT | GUI_TA_TOP);
    GUI_GotoXY(Origin_X, Origin_Y);
    GUIDEMO_SetTextBorder(Origin_X);
    GUIDEMO_SetFont("16");
    line[0] = line[1] = ' ';
    KT_Copy_Version(line + 2);
    GUI_DispStringAt(line, Origin_X, Origin_Y + 10);
    GUI_DispNextLine();
    GUI_DispString("  (c) vmod developers");
    GUI_DispNextLine();
    GUI_DispString("  Virtual and real vmod display modules");
    GUI_DispNextLine();
    u32 rate = baudrate0;
    snprintf(line, sizeof line, "  Baud rate = %d,%03d", (int)(rate / 1000), (int)(rate % 1000));
    GUI_DispString(line);
    if (eepromData.rs485Mode == MODE_ON) {
        GUI_DispNextLine();
        u8 sof = eepromData.rs485Sof;
        snprintf(line, sizeof line, "  RS485 Mode SOF 0x%02X (%c) ADR %02X", sof, sof,
                 eepromData.rs485Addr);
        GUI_DispString(line);
    }
    GUI_DispNextLine();
}

// The first page: colours, font and modes of the start, then the splash notice or the banner.
static void startScreen(void) {
    KT_Reset_LUT();
    GUI_SetColor(color_map[0]);
    GUI_SetBkColor(color_map[1]);
    GUIDEMO_Clear(splashShown ? -1 : 0);
    GUIDEMO_SetFont("16");
    GUI_SetTextMode(GUI_TM_NORMAL);
    GUI_SetDrawMode(GUI_DRAWMODE_NORMAL);
    KT_External_Inverter_On();
    EEpromWrite(0xFE, 0xA5);  // marks every start, outside the settings image
    powerOnCalibration();
    // ESC CR waiting at power-up is the way out of a power-on macro that makes the module
    // unusable; the line stays in the ring and is answered like any other.
    bool escapeSeen = checkEscape() != 0;
    if (!escapeSeen && eepromData.ponmacIndex >= 1 && eepromData.ponmacIndex <= 254)
        processMacro(eepromData.ponmacIndex, "", nullptr);
    bool demoRan = false;
    int demo = KT_Check_Demo();
    if (demo != 0) {
        processMacro(demo, "", nullptr);
        demoRan = true;
    }
    if (eepromData.splashFlag == FLAG_ON && !escapeSeen && !splashShown) {
        const ExtMemDirEntry *e = KT_GetExtBitmap(eepromData.splashBitmap);
        if (e && KT_DrawBitmap(e, Origin_X, Origin_Y))
            splashShown = 1;
        else
            GUI_DispStringAt("(invalid splash bitmap)", Origin_X, Origin_Y + 10);
    } else if (eepromData.ponmacFlag != FLAG_ON && !demoRan) {
        drawBanner();
    }
}

void GUIDEMO_main(void) {
    startScreen();
    if (eepromData.rs485Mode != MODE_ON) txString(REPLY_OK);
    if (eepromData.demomacIndex == 0xFF) eepromData.demomacIndex = 1;
    // The start state is what "sr" brings back: at the host level and in the first macro level.
    SaveState(&GDIState[0]);
    SaveState(&GDIState[GDI_HOST_RECORD]);
    for (;;) {
        GUIDEMO_pass();
        boardIdle();
    }
}
