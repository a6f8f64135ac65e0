#include "GUIDEMO.h"

#include <stdio.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../command/parse_command.h"
#include "../devices/KT_led.h"
#include "../devices/KT_timer.h"
#include "../devices/KT_visibility.h"
#include "../devices/miscdrivers.h"
#include "../storage/KT_eeprom.h"
#include "board.h"
#include "crc16.h"

char myBuf[MYBUF_SIZE];
u8 splashShown;
u8 macroNotify;
volatile u32 userLedState;

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

void GUIDEMO_pass(void) {
    forwardAuxInput();
    const char *reply;
    switch (isLineAvail()) {
        case LINE_NONE: return;
        case LINE_READY: reply = takeLine(); break;
        case LINE_OVERFLOW: reply = REPLY_OVERFLOW; break;
        case LINE_BAD_BINARY: reply = REPLY_REJECTED; break;
        case LINE_RX_ERROR: reply = REPLY_RX_ERROR; break;
        default: reply = REPLY_CORRUPT; break;
    }
    sendReply(reply);
}

void GUIDEMO_main(void) {
    KT_External_Inverter_On();
    EEpromWrite(0xFE, 0xA5);  // marks every start, outside the settings image
    if (eepromData.rs485Mode != MODE_ON) txString(REPLY_OK);
    if (eepromData.demomacIndex == 0xFF) eepromData.demomacIndex = 1;
    for (;;) {
        GUIDEMO_pass();
        boardIdle();
    }
}
