// Command handlers. Macros: running, arguments, variables, the string stack, settings of
// macro behaviour.
#include "handlers.h"

int cmdMacroArgs(char *line) { return 0; }
int cmdSetInt(char *line) { return 0; }
int cmdSetString(char *line) { return 0; }
int cmdPush(char *line) { return 0; }
int cmdPop(char *line) { return 0; }
int cmdRunMacro(char *line) { return 0; }
int cmdHotSpotMacros(char *line) { return 0; }
int cmdMacDebug(char *line) { return 0; }
int cmdMacNote(char *line) { return 0; }
int cmdDemoMac(char *line) { return 0; }
int cmdPonMac(char *line) { return 0; }
