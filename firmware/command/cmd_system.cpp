// Command handlers. System and configuration: serial ports, RS-485, host output, waits,
// settings words, and the lines the interpreter accepts without effect.
#include "handlers.h"

#include "../app/GUIDEMO.h"
#include "../comm/Rtosinit.h"
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
int cmdTemperature(char *line) { return 0; }
int cmdTypematic(char *line) { return 0; }
int cmdOut(char *line) { return 0; }
int cmdAuxOut(char *line) { return 0; }
int cmdAuxIO(char *line) { return 0; }
int cmdWait(char *line) { return 0; }
int cmdVersion(char *line) {
    KT_Copy_Version(out_buffer);
    txString(out_buffer);
    txString("\r");
    return CMD_DONE;
}
int cmdBinaryReports(char *line) { return 0; }
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
