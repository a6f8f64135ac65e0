// Command handlers. Devices: beeper and alarm, user LED, backlight, panel power.
#include "handlers.h"

#include <stdio.h>

#include "../devices/KT_beep.h"
#include "../devices/KT_led.h"
#include "../devices/KT_visibility.h"
#include "../storage/KT_eeprom.h"
#include "../touch/buttons.h"
#include "board.h"
#include "parse_command.h"

int cmdBacklightOn(char *line) {
    KT_External_Inverter_On();
    return CMD_DONE;
}

int cmdBacklightOff(char *line) {
    KT_External_Inverter_Off();
    return CMD_DONE;
}

int cmdBeep(char *line) {
    unsigned ms;
    if (sscanf(line, "beep %u", &ms) != 1) return CMD_REJECTED;
    BeepImmediate(ms);
    return CMD_DONE;
}

int cmdBeepWait(char *line) {
    unsigned ms;
    if (sscanf(line, "beepw %u", &ms) != 1) return CMD_REJECTED;
    BeepImmediate(ms);
    while (BeepActive()) {  // buttons stay alive while the beep sounds
        handle_touch();
        boardIdle();
    }
    return CMD_DONE;
}

int cmdAlarm(char *line) {
    int type;
    unsigned ms;
    if (sscanf(line, "al %d %u", &type, &ms) != 2) return CMD_REJECTED;
    int ok = AlarmSet(type);
    BeepImmediate(ms);
    return ok ? CMD_DONE : CMD_REJECTED;
}

int cmdBeepVolume(char *line) { return KT_Beep_VolumeCommand(line); }
int cmdBeepFreq(char *line) { return KT_Beep_FrequencyCommand(line); }

int cmdBeepMax(char *line) {
    unsigned m;
    if (sscanf(line, "bMaX %u", &m) != 1) return CMD_REJECTED;
    BeepMaxSet((u8)m);
    KT_EEPROM_Save();
    return CMD_DONE;
}

int cmdClickLength(char *line) {
    unsigned n;
    if (sscanf(line, "bb %u", &n) != 1) return CMD_REJECTED;
    beepMS = (s32)(n * 10);
    return CMD_DONE;
}

// "rb on off type" picks an alarm pattern for the on phases; "rb on off" a plain tone.
int cmdRepeatBeep(char *line) {
    unsigned on, off;
    int type;
    int n = sscanf(line, "rb %u %u %d", &on, &off, &type);
    if (n < 2) return CMD_REJECTED;
    AlarmSet(n == 3 ? type : 0);
    BeepRepeat(on, off);
    return CMD_DONE;
}

int cmdPanelOn(char *line) {
    KT_Display_On();
    return CMD_DONE;
}

int cmdPanelOff(char *line) {
    KT_Display_Off();
    return CMD_DONE;
}

int cmdLed(char *line) {
    char word[10];
    if (sscanf(line, "led %9s", word) != 1) return CMD_REJECTED;
    return KT_Led_Command(word) ? CMD_DONE : CMD_REJECTED;
}

int cmdBrightness(char *line) { return KT_Brite_Command(line); }
