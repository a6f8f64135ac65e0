// Command handlers. System and configuration: serial ports, RS-485, host output, waits,
// settings words, and the lines the interpreter accepts without effect.
#include "handlers.h"
#include "dispatch.h"

#include <stdio.h>
#include <string.h>

#include "../app/GUIDEMO.h"
#include "../comm/Rtosinit.h"
#include "../devices/KT_timer.h"
#include "../macros/KT_macros.h"
#include "../touch/KT_touch.h"
#include "../touch/buttons.h"
#include "../devices/KT_visibility.h"
#include "../devices/miscdrivers.h"
#include "../storage/KT_eeprom.h"
#include "../storage/settings.h"
#include "board.h"
#include <stdio.h>
#include <string.h>
#include "parse_command.h"

#define BUILT_IN_PANEL "NEC_K2766_FUJ"  // the panel the timing defaults are made for

// The chain hands this handler "Q" only in RS-485 mode. The bus master polls to collect the
// notifications held back until the module is addressed; with none waiting the
// acknowledgement alone answers the poll.
int cmdRs485Poll(char *line) {
    if (anythingToTx()) txSavedBuf();
    return CMD_DONE;
}

// "*rs485 off" answers with the address it leaves; "*rs485 SAB" takes the start-of-frame
// character S and the capital hexadecimal address digits A and B.
int cmdRs485(char *line) {
    if (strncmp(line, "*rs485 off", 10) == 0) {
        snprintf(out_buffer, OUT_BUFFER_SIZE, "RS485 OFF ADR %02X\r", eepromData.rs485Addr);
        txString(out_buffer);
        eepromData.rs485Addr = 0xFF;
        eepromData.rs485Mode = 0xFF;
        KT_EEPROM_Save();
        Init_485mode();
        return CMD_DONE;
    }
    char sof, a, b;
    if (sscanf(line, "*rs485 %c%c%c", &sof, &a, &b) != 3) return CMD_REJECTED;
    u8 hi = oneCapHexToBin(a), lo = oneCapHexToBin(b);
    if (hi == 0xFF || lo == 0xFF) return CMD_REJECTED;
    eepromData.rs485Sof = (u8)sof;
    eepromData.rs485Addr = (u8)(hi << 4 | lo);
    snprintf(out_buffer, OUT_BUFFER_SIZE, "RS485 Mode SOF 0x%02X (%c) ADR %02X\r", (u8)sof, sof,
             eepromData.rs485Addr);
    txString(out_buffer);
    eepromData.rs485Mode = MODE_ON;
    eepromData.mainPort = 1;
    Init_485mode();
    KT_EEPROM_Save();
    return CMD_DONE;
}

// "sb", "su", "SB", "SU" are accepted and ignored, and so is a "//" line that reached the
// chain without its comment stripped.
int cmdAccept(char *line) { return CMD_DONE; }

// The word, then an optional port digit directly after it, then the rate. Returns the port
// (-1 for none) or -2 when no rate follows.
static int baudArgs(const char *p, unsigned long *rate) {
    int port = -1;
    if (*p == '0' || *p == '1') port = *p++ - '0';
    return sscanf(p, " %lu", rate) == 1 ? port : -2;
}

static bool standardRate(unsigned long rate) {
    static const unsigned long rates[] = {1200, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    for (unsigned long r : rates)
        if (r == rate) return true;
    return false;
}

static void setPortRate(int port, u32 rate) {
    if (port == 0)
        KT_COM_BaudRate(rate);
    else
        KT_AUX_BaudRate(rate);
}

// Prompting form: the prompt leaves at the old rate, then the port changes; nothing more is
// sent at the new rate.
int cmdBaudSaved(char *line) {
    unsigned long rate;
    int port = baudArgs(line + 5, &rate);
    if (port == -2) return CMD_REJECTED;
    if (!standardRate(rate) && rate != 460800) return CMD_REJECTED;
    if (port < 0) port = mainIsUart0 ? 0 : 1;
    txString(">\r");
    txWait();
    setPortRate(port, (u32)rate);
    return CMD_NO_REPLY;
}
// Immediate form: the port changes at once and the prompt goes out at the new rate. Without
// a digit it is always port 0.
int cmdBaud(char *line) {
    unsigned long rate;
    int port = baudArgs(line + 4, &rate);
    if (port == -2 || !standardRate(rate)) return CMD_REJECTED;
    setPortRate(port < 0 ? 0 : port, (u32)rate);
    return CMD_DONE;
}
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
int cmdTypematic(char *line) {
    int d, r;
    if (sscanf(line, "typematic %d %d", &d, &r) == 2) {
        if (d < 0 || d > 255 || r < 0 || r > 255) return CMD_REJECTED;
        eepromData.typematicDelay = (u8)d;
        eepromData.typematicRepeat = (u8)r;
        KT_EEPROM_Save();
    }
    snprintf(out_buffer, OUT_BUFFER_SIZE, "Delay %dms, Repeat %dms\r", eepromData.typematicDelay * 10,
             eepromData.typematicRepeat * 10);
    txString(out_buffer);
    return CMD_DONE;
}
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
int cmdAuxIO(char *line) {
    int n;
    if (sscanf(line, "auxIO %d", &n) == 1) {
        if (n == 0) {
            eepromData.auxIO = 0xFF;
        } else {
            aFlushRx();
            eepromData.auxIO = MODE_ON;
        }
        KT_EEPROM_Save();
        return CMD_DONE;
    }
    txString(eepromData.auxIO == MODE_ON ? "1\r" : "0\r");
    return CMD_DONE;
}
// A line beginning with ESC ends a command's wait wherever it waits among the complete lines
// (it stays in the ring, to be read as a line of its own): a host that sent its next lines
// behind the wait must still be able to get the module back. Polling the line empties the
// ring on an overflow or a receive error, so those are answered here as the main loop would.
// On an RS-485 bus there is no escape.
int hostEscaped(void) {
    if (rs485On()) return 0;
    int status = isLineAvail();
    if (status == LINE_READY) return escapeLineWaiting();
    GUIDEMO_ReportLineFault(status);
    return 0;
}

// Buttons keep working while the host waits; an ESC line cuts the wait short, also a wait of
// days (as "w -1" reads).
int cmdWait(char *line) {
    unsigned ms;
    if (scanArgs(line, &ms) != 1) return CMD_REJECTED;
    gpTimer = ms;
    while (gpTimer) {
        handle_touch();
        if (hostEscaped()) break;
        boardIdle();
    }
    return CMD_DONE;
}
// The banner and its CR go out as one reply, so that an RS-485 bus sees one framed line.
int cmdVersion(char *line) {
    KT_Copy_Version(out_buffer);
    strcat(out_buffer, "\r");
    txString(out_buffer);
    return CMD_DONE;
}
int cmdBinaryReports(char *line) {
    int n;
    if (scanArgs(line, &n) != 1) return CMD_REJECTED;
    binaryResponses = (u8)n;
    txString(n == 1 ? "on\r" : "off\r");
    return CMD_DONE;
}
int cmdReset(char *line) {
    board_reset_control(0x109);
    for (;;) boardIdle();  // until the reset takes effect
}
int cmdPrevCons(char *line) {
    if (prevMain == 1) {
        if (eepromData.rs485Addr != 0xFF) {
            eepromData.rs485Mode = MODE_ON;
            Init_485mode();
        } else {
            makeUart1Main();
        }
    } else {
        makeUart0Main();
    }
    return CMD_NO_REPLY;
}
int cmdAuxEsc(char *line) {
    unsigned v;
    if (sscanf(line, "*auxEsc %x", &v) == 1) {
        eepromData.auxEsc = (u8)(v & 0x7F);
        KT_EEPROM_Save();
    }
    snprintf(out_buffer, OUT_BUFFER_SIZE, "0x%02x\r", eepromData.auxEsc);
    txString(out_buffer);
    return CMD_DONE;
}
int cmdCom1Main(char *line) {
    makeUart1Main();
    eepromData.mainPort = 1;
    KT_EEPROM_Save();
    return CMD_DONE;
}
int cmdCom0Main(char *line) {
    makeUart0Main();
    eepromData.mainPort = 0;
    KT_EEPROM_Save();
    return CMD_DONE;
}
int cmdRxReset(char *line) {
    rxReset();
    return CMD_DONE;
}
int cmdBinaryOff(char *line) {
    binaryEnable = 0;
    binaryDisable = 1;
    return CMD_DONE;
}
int cmdPanelName(char *line) {
    const char *name = eepromData.config[0] ? eepromData.config : BUILT_IN_PANEL;
    snprintf(out_buffer, OUT_BUFFER_SIZE, "%.*s\r", (int)sizeof eepromData.config, name);
    txString(out_buffer);
    return CMD_DONE;
}
// The name always keeps its terminator inside the 32-byte field: at most 31 characters
// are stored.
int cmdConfigName(char *line) {
    if (strchr(line, '"')) {
        char *rest;
        char *text = escstr(line, '"', &rest);
        if (!text) return CMD_REJECTED;
        memset(eepromData.config, 0, sizeof eepromData.config);
        strncpy(eepromData.config, text, sizeof eepromData.config - 1);
        KT_EEPROM_Save();
        return CMD_DONE;
    }
    if (eepromData.config[0])
        snprintf(out_buffer, OUT_BUFFER_SIZE, "%.*s\r", (int)sizeof eepromData.config, eepromData.config);
    else
        snprintf(out_buffer, OUT_BUFFER_SIZE, "(not set)\r");
    txString(out_buffer);
    return CMD_DONE;
}
// The settings of the settings table: "<word> <value>" stores as the row's rule shapes it,
// lets the hardware follow and saves; "<word>" alone reports the current value.
int cmdSetting(char *line) {
    const Setting *row = settingOfCommand(line);
    if (row == NULL) return CMD_REJECTED;
    long v;
    if (sscanf(line + strlen(row->command), "%ld", &v) != 1) {
        replyNumber(settingReport(row));
        return CMD_DONE;
    }
    settingStore(row, row->commandRule, (s32)v);
    if (row->commandApplied) row->commandApplied((s32)v);
    KT_EEPROM_Save();
    return CMD_DONE;
}

int cmdVq(char *line) {
    int n;
    if (sscanf(line, "*vq %d", &n) != 1) {
        replyNumber(getVQpin());
        return CMD_DONE;
    }
    setVQpin(n & 1);
    return CMD_DONE;
}

// Always eight characters between the quotes: anything unprintable, the NUL fill of a short
// tag included, shows as '?'.
int cmdFirmwareTag(char *line) {
    char tag[sizeof eepromData.firmwareTag + 1];
    for (unsigned i = 0; i < sizeof eepromData.firmwareTag; ++i) {
        u8 c = (u8)eepromData.firmwareTag[i];
        tag[i] = (c >= 0x20 && c <= 0x7E) ? (char)c : '?';
    }
    tag[sizeof eepromData.firmwareTag] = 0;
    snprintf(out_buffer, OUT_BUFFER_SIZE, "\"%s\"\r", tag);
    txString(out_buffer);
    return CMD_DONE;
}
