#include "KT_beep.h"

#include "miscdrivers.h"
#include "storage/KT_eeprom.h"

volatile u8 beep_state;
volatile u32 immediate_beep_ms;
volatile u32 repeat_beep_ms;
volatile u32 repeat_beep_ms_reload_on;
volatile u32 repeat_beep_ms_reload_off;
volatile u8 repeat_beep_state;
volatile s32 alarmType;
volatile s32 timer_ms;
volatile s32 ba;
volatile s32 ba1;
volatile s32 ba2;
volatile s32 beepMS = 100;

void KT_BeepInit(void) {
    alarmType = 0;
    InitAudio();
    SetBeepVolume(eepromData.beepVol);
}

void SetBeepVolume(u8 v) {
    eepromData.beepVol = v;
    SetAudioVolume((int)((u32)v * eepromData.beepMax / 255));
}

u8 GetBeepVolume(void) { return eepromData.beepVol; }

void BeepFrequency(u32 f) { eepromData.beepFreq = f; }
u32 GetBeepFrequency(void) { return eepromData.beepFreq; }

void BeepMaxSet(u8 m) { eepromData.beepMax = m; }

int BeepActive(void) { return beep_state == 1; }

void Beep_Hardware_On(void) {
    if (beep_state == 0) {
        SoundOn((int)(eepromData.beepFreq & 0xFFFF));
        beep_state = 1;
    }
}

void Beep_Hardware_Off(void) {
    if (beep_state == 1) {
        SoundOff();
        beep_state = 0;
    }
}

void BeepImmediate(u32 ms) {
    if (ms) {
        immediate_beep_ms = ms;
        Beep_Hardware_On();
    } else {
        Beep_Hardware_Off();
    }
}

void BeepRepeat(u32 on, u32 off) {
    repeat_beep_state = 1;
    repeat_beep_ms = on;
    repeat_beep_ms_reload_off = off;
    repeat_beep_ms_reload_on = on;
    Beep_Hardware_On();
    if (on == 0 && off == 0) {
        Beep_Hardware_Off();
        repeat_beep_ms_reload_on = 0;
    }
}

int AlarmSet(s32 type) {
    s32 f = (s32)eepromData.beepFreq;
    alarmType = type;
    timer_ms = 1;
    switch (type) {
    case 1:
        ba1 = f;
        ba2 = f + 750;
        ba = f;
        return 1;
    case 2:
        ba1 = f;
        ba2 = f + 500;
        ba = 1;
        return 1;
    case 3:
        ba1 = f;
        ba2 = f + 386;
        ba = 1;
        return 1;
    default:
        return 0;
    }
}

// Alternates the pattern's two tones, the high one first.
static void warble(void) {
    if (ba == 0) {
        SoundOn(ba1);
        ba = 1;
    } else {
        SoundOn(ba2);
        ba = 0;
    }
}

void BeepTimerCheck(void) {
    s32 t;
    switch (alarmType) {
    case 1:
        t = timer_ms;
        timer_ms = t - 1;
        if (t % 16 == 0) {
            if (ba == 0) {
                ba = 1;
                SoundOff();
            } else {
                SoundOn(ba2);
                ba = 0;
            }
        }
        break;
    case 2:
        t = timer_ms;
        timer_ms = t - 1;
        if (t % 4 == 0) warble();
        break;
    case 3:
        timer_ms = timer_ms - 1;
        if (timer_ms < 0) {
            timer_ms = 250;
            warble();
        }
        break;
    default:
        break;
    }

    if (immediate_beep_ms) {
        immediate_beep_ms = immediate_beep_ms - 1;
        if (immediate_beep_ms == 0) {
            Beep_Hardware_Off();
            alarmType = 0;
        }
    }

    if (repeat_beep_ms_reload_on) {
        if (repeat_beep_ms) {
            repeat_beep_ms = repeat_beep_ms - 1;
            return;
        }
        if (repeat_beep_state) {
            repeat_beep_state = 0;
            repeat_beep_ms = repeat_beep_ms_reload_off;
            Beep_Hardware_Off();
        } else {
            repeat_beep_state = 1;
            repeat_beep_ms = repeat_beep_ms_reload_on;
            Beep_Hardware_On();
        }
    }
}
