// Command handlers. System and configuration: serial ports, RS-485, host output, waits,
// settings words, and the lines the interpreter accepts without effect.
#include "handlers.h"

#include "../app/GUIDEMO.h"
#include "../comm/Rtosinit.h"
#include "../devices/KT_timer.h"
#include "../macros/KT_macros.h"
#include "../touch/KT_touch.h"
#include "../touch/buttons.h"
#include "board.h"
#include <stdio.h>
#include <string.h>
#include "parse_command.h"

// The chain hands this handler "Q" only in RS-485 mode. The bus master polls to collect the
// notifications held back until the module is addressed; with none waiting the
// acknowledgement alone answers the poll.
int cmdRs485Poll(char *line) {
    if (anythingToTx()) txSavedBuf();
    return CMD_DONE;
}

int cmdRs485(char *line) { return 0; }

// "sb", "su", "SB", "SU" are accepted and ignored, and so is a "//" line that reached the
// chain without its comment stripped.
int cmdAccept(char *line) { return CMD_DONE; }

int cmdBaudSaved(char *line) { return 0; }
int cmdBaud(char *line) { return 0; }
// The touch controller's two temperature diodes: their difference is proportional to the
// absolute temperature. Tenths of a degree Celsius.
int cmdTemperature(char *line) {
    (void)line;
    s32 d = (s32)ReadTemp(1) - (s32)ReadTemp(0);
    s32 v = 25000 * d / 4095;
    s32 t = 2573 * v / 1000 - 2730;
    s32 a = t < 0 ? -t : t;
    char whole[16];  // the sign in front of the whole degrees, also for -0.5
    snprintf(whole, sizeof whole, "%s%d", t < 0 ? "-" : "", (int)(a / 10));
    pout("%3s.%1d\r", whole, (int)(a % 10));
    return CMD_DONE;
}
int cmdTypematic(char *line) { return 0; }
// "out"/"aout" take the quoted text with its escapes and expand the macro tokens, so a macro
// can report its variables; the forms ending in s send the quoted text as it stands.
static int sendOut(char *line, int wordLen, bool aux) {
    char *p = line + wordLen;
    if (*p == 's') {
        char *open = strchr(p + 1, '"');
        if (!open) return CMD_REJECTED;
        char *text = open + 1;
        char *close = strchr(text, '"');
        if (close) *close = 0;
        if (aux) {
            aTxString(text);
            return CMD_DONE;
        }
        txNotify(text);
        return CMD_NO_REPLY;
    }
    char *text = escstr(p, '"', NULL);
    if (!text) return CMD_REJECTED;
    substString(out_buffer, OUT_BUFFER_SIZE, text);
    if (aux)
        aTxString(out_buffer);
    else
        txNotify(out_buffer);
    return CMD_DONE;
}

int cmdOut(char *line) { return sendOut(line, 3, false); }
int cmdAuxOut(char *line) { return sendOut(line, 4, true); }
int cmdAuxIO(char *line) { return 0; }
// Buttons keep working while the host waits; a line beginning with ESC cuts the wait short
// and stays in the ring to be read as a line of its own.
int cmdWait(char *line) {
    unsigned ms;
    if (sscanf(line, "w %u", &ms) != 1) return CMD_REJECTED;
    gpTimer = ms;
    while (gpTimer) {
        handle_touch();
        if (!rs485On() && isLineAvail() == LINE_READY && peekChar() == ESC) break;
        boardIdle();
    }
    return CMD_DONE;
}
int cmdVersion(char *line) {
    KT_Copy_Version(out_buffer);
    txString(out_buffer);
    txString("\r");
    return CMD_DONE;
}
// Touch reports and macro notifications as binary records instead of text lines.
int cmdBinaryReports(char *line) {
    int n;
    if (sscanf(line, "*binr %d", &n) != 1) return CMD_REJECTED;
    binaryResponses = (u8)n;
    txString(n == 1 ? "on\r" : "off\r");
    return CMD_DONE;
}
int cmdReset(char *line) { return 0; }
int cmdPrevCons(char *line) { return 0; }
int cmdAuxEsc(char *line) { return 0; }
int cmdCom1Main(char *line) { return 0; }
int cmdCom0Main(char *line) { return 0; }
int cmdRxReset(char *line) { return 0; }
int cmdBinaryOff(char *line) { return 0; }
int cmdPanelName(char *line) { return 0; }
int cmdConfigName(char *line) { return 0; }
int cmdOrient(char *line) { return 0; }
int cmdVq(char *line) { return 0; }
int cmdMaxBrite(char *line) { return 0; }
int cmdMinBrite(char *line) { return 0; }
int cmdInvEnaHiTrue(char *line) { return 0; }
int cmdPwmIsEnable(char *line) { return 0; }
int cmdFirmwareTag(char *line) { return 0; }
