// Command handlers. Devices: beeper and alarm, user LED, backlight, panel power.
#include "handlers.h"
#include "dispatch.h"

#include <stdio.h>
#include <string.h>

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
    if (scanArgs(line, &ms) != 1) return CMD_REJECTED;
    BeepImmediate(ms);
    return CMD_DONE;
}

int cmdBeepWait(char *line) {
    unsigned ms;
    if (scanArgs(line, &ms) != 1) return CMD_REJECTED;
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
    if (scanArgs(line, &type, &ms) != 2) return CMD_REJECTED;
    int ok = AlarmSet(type);
    BeepImmediate(ms);
    return ok ? CMD_DONE : CMD_REJECTED;
}

// What follows a settings word of wordLen characters; *keep is 1 for its "s" form, which
// sets without saving.
static const char *afterWord(const char *line, size_t wordLen, int *keep) {
    const char *p = line + wordLen;
    *keep = *p == 's';
    return p + *keep;
}

// "bv" reports the volume, "bv <n>" sets it and "bv +<n>"/"bv -<n>" moves it, clamped to
// 0..255; each saves. "bvs" sets without saving and must have a value.
int cmdBeepVolume(char *line) {
    int keep;
    const char *p = afterWord(line, 2, &keep);
    const char *q = p;
    while (*q == ' ' || *q == '\t') ++q;
    int relative = *q == '+' || *q == '-';
    int v;
    if (sscanf(p, "%d", &v) != 1) {
        if (keep) return CMD_REJECTED;  // "bvs" says it sets a value
        replyNumber(GetBeepVolume());
        return CMD_DONE;
    }
    long level;
    if (relative) {
        level = (long)GetBeepVolume() + v;
        if (level < 0) level = 0;
    } else {
        if (v < 0) return CMD_REJECTED;
        level = v;
    }
    if (level > 255) level = 255;
    SetBeepVolume((u8)level);
    if (!keep) KT_EEPROM_Save();
    return CMD_DONE;
}

// "bf" reports the frequency, "bf <Hz>" sets and saves it, "bfs <Hz>" sets without saving.
int cmdBeepFreq(char *line) {
    int keep;
    const char *p = afterWord(line, 2, &keep);
    unsigned f;
    if (sscanf(p, "%u", &f) != 1) {
        if (keep) return CMD_REJECTED;  // a missing value fails
        replyNumber((long)GetBeepFrequency());
        return CMD_DONE;
    }
    BeepFrequency(f);
    if (!keep) KT_EEPROM_Save();
    return CMD_DONE;
}

int cmdBeepMax(char *line) {
    unsigned m;
    if (scanArgs(line, &m) != 1) return CMD_REJECTED;
    BeepMaxSet((u8)m);
    KT_EEPROM_Save();
    return CMD_DONE;
}

int cmdClickLength(char *line) {
    unsigned n;
    if (scanArgs(line, &n) != 1) return CMD_REJECTED;
    beepMS = (s32)(n * 10);
    return CMD_DONE;
}

// "rb on off type" picks an alarm pattern for the on phases; "rb on off" a plain tone.
int cmdRepeatBeep(char *line) {
    unsigned on, off;
    int type;
    int n = scanArgs(line, &on, &off, &type);
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
    if (scanArgs(line, word) != 1) return CMD_REJECTED;
    if (strcmp(word, "on") == 0) {
        userLedState = LED_OWNER_HOST_ON;
        Led(1);
    } else if (strcmp(word, "off") == 0) {
        userLedState = LED_OWNER_HOST_OFF;
        Led(0);
    } else if (strcmp(word, "sys") == 0) {
        userLedState = LED_OWNER_SYSTEM;  // the LED keeps its level until the next macro
    } else {
        return CMD_REJECTED;
    }
    return CMD_DONE;
}

// "xbb" reports the brightness, "xbb <n>" sets 0..255, "xbb +<n>"/"xbb -<n>" moves it within
// 0..255; each saves. "xbbs" sets without saving.
int cmdBrightness(char *line) {
    int keep;
    const char *p = afterWord(line, 3, &keep);
    int relative = p[0] == '+' || p[0] == '-' || (p[0] && (p[1] == '+' || p[1] == '-'));
    int v;
    if (sscanf(p, "%d", &v) != 1) {
        replyNumber(eepromData.brite);
        return CMD_DONE;
    }
    if (relative) {
        // Widen before adding so that no input can overflow the sum.
        long sum = (long)eepromData.brite + v;
        v = sum < 0 ? 0 : sum > 255 ? 255 : (int)sum;
    } else if (v < 0 || v > 255) {
        return CMD_REJECTED;
    }
    KT_Brite_Set((u8)v);
    if (!keep) KT_EEPROM_Save();
    return CMD_DONE;
}
