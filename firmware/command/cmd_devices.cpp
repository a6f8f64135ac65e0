// Command handlers. Devices: beeper and alarm, user LED, backlight, panel power.
#include "handlers.h"

int cmdBacklightOn(char *line) { return 0; }
int cmdBacklightOff(char *line) { return 0; }
int cmdBeep(char *line) { return 0; }
int cmdBeepWait(char *line) { return 0; }
int cmdAlarm(char *line) { return 0; }
int cmdBeepVolume(char *line) { return 0; }
int cmdBeepFreq(char *line) { return 0; }
int cmdBeepMax(char *line) { return 0; }
int cmdClickLength(char *line) { return 0; }
int cmdRepeatBeep(char *line) { return 0; }
int cmdPanelOn(char *line) { return 0; }
int cmdPanelOff(char *line) { return 0; }
int cmdLed(char *line) { return 0; }
int cmdBrightness(char *line) { return 0; }
