// The settings table, in the order the configuration file is applied: the order is what a
// verbose file reader echoes, and later keys see what earlier ones stored.
#include "settings.h"

#include <stddef.h>
#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_beep.h"
#include "../devices/KT_visibility.h"
#include "../devices/miscdrivers.h"
#include "../macros/KT_macros.h"
#include "KT_eeprom.h"

static void setFlag(u8 *field, int on, int *changed) {
    u8 v = on ? FLAG_ON : 0xFF;
    if (*field != v) {
        *field = v;
        *changed = 1;
    }
}

static void fileMacDebug(s32 v, int *changed) {
    if (v == (s32)macroVerbose) return;
    macroVerbose = (u8)(v & 1);
    *changed = 1;
}

// The volume goes through the beeper so that the output level follows at once.
static void fileBeepVol(s32 v, int *changed) {
    if ((u8)v == GetBeepVolume()) return;
    SetBeepVolume((u8)v);
    *changed = 1;
}

// A power-on macro index; 0 turns the power-on macro off.
static void filePonMac(s32 v, int *changed) {
    u8 index = (u8)v;
    setFlag(&eepromData.ponmacFlag, index != 0, changed);
    if (eepromData.ponmacIndex != index) {
        eepromData.ponmacIndex = index;
        *changed = 1;
    }
}

// A splash bitmap index; 0 turns the splash off and keeps the index.
static void fileSplash(s32 v, int *changed) {
    setFlag(&eepromData.splashFlag, v != 0, changed);
    if (v != 0 && v != (s32)eepromData.splashBitmap) {
        eepromData.splashBitmap = (u8)v;
        *changed = 1;
    }
}

static void fileMainPort(s32 v, int *changed) {
    if ((v == 0 || v == 1) && eepromData.mainPort != (u8)v) {
        eepromData.mainPort = (u8)v;
        *changed = 1;
    }
}

static void fileBaud0(s32 v, int *changed) { KT_COM_BaudRate((u32)v); }
static void fileBaud1(s32 v, int *changed) { KT_AUX_BaudRate((u32)v); }

static void commandOrient(s32 v) { setOrient(v); }
static void commandInverter(s32 v) { KT_External_Inverter_On(); }
static void commandPwmSource(s32 v) { KT_Brite_PwmSource(eepromData.pwmIsEnable); }

#define FIELD(f) (u8) sizeof eepromData.f, (u16)offsetof(EepromImage, f)
#define NO_FIELD 0, 0

const Setting settingsTable[] = {
    {"verbose",         NULL,            KIND_DEC,    NO_FIELD,               RULE_VERBOSE, RULE_NONE, NULL,         NULL},
    {"autoCal",         "*autoCal",      KIND_DEC,    FIELD(autoCal),         RULE_FLAG,    RULE_FLAG, NULL,         NULL},
    {"macdebug",        NULL,            KIND_DEC,    NO_FIELD,               RULE_CUSTOM,  RULE_NONE, fileMacDebug, NULL},
    {"orient",          "*orient",       KIND_DEC,    FIELD(orient),          RULE_AND3,    RULE_AND3, NULL,         commandOrient},
    {"invEnaHiTrue",    "*invEnaHiTrue", KIND_DEC,    FIELD(invEnaHiTrue),    RULE_BOOL,    RULE_AND1, NULL,         commandInverter},
    {"touchSwap",       "*touchSwap",    KIND_DEC,    FIELD(touchSwap),       RULE_BOOL,    RULE_BOOL, NULL,         NULL},
    {"tplo",            "*tplo",         KIND_DEC,    FIELD(tplo),            RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"tphi",            "*tphi",         KIND_DEC,    FIELD(tphi),            RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"tpDeltaLim",      "*tpDeltaLim",   KIND_DEC,    FIELD(tpDeltaLim),      RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"tsamp",           "*tsamp",        KIND_DEC,    FIELD(tsamp),           RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"tspan",           "*tspan",        KIND_DEC,    FIELD(tspan),           RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"touchMode",       NULL,            KIND_DEC,    FIELD(touchMode),       RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"tcTimeout",       "*tcTimeout",    KIND_DEC,    FIELD(tcTimeout),       RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"auxEsc",          NULL,            KIND_HEX,    FIELD(auxEsc),          RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"beepFreq",        NULL,            KIND_DEC,    FIELD(beepFreq),        RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"beepVol",         NULL,            KIND_DEC,    FIELD(beepVol),         RULE_CUSTOM,  RULE_NONE, fileBeepVol,  NULL},
    {"typematicDelay",  NULL,            KIND_DEC,    FIELD(typematicDelay),  RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"typematicRepeat", NULL,            KIND_DEC,    FIELD(typematicRepeat), RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"debounce",        NULL,            KIND_DEC,    FIELD(debounce),        RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"PONMAC",          NULL,            KIND_DEC,    FIELD(ponmacIndex),     RULE_CUSTOM,  RULE_NONE, filePonMac,   NULL},
    {"SPL",             NULL,            KIND_DEC,    FIELD(splashBitmap),    RULE_CUSTOM,  RULE_NONE, fileSplash,   NULL},
    {"hfp",             NULL,            KIND_DEC,    FIELD(hfp),             RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"hpw",             NULL,            KIND_DEC,    FIELD(hpw),             RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"hbp",             NULL,            KIND_DEC,    FIELD(hbp),             RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"vfp",             NULL,            KIND_DEC,    FIELD(vfp),             RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"vpw",             NULL,            KIND_DEC,    FIELD(vpw),             RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"vbp",             NULL,            KIND_DEC,    FIELD(vbp),             RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"maxBrite",        "*maxBrite",     KIND_DEC,    FIELD(maxBrite),        RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"minBrite",        "*minBrite",     KIND_DEC,    FIELD(minBrite),        RULE_CUT,     RULE_CUT,  NULL,         NULL},
    {"brite",           NULL,            KIND_DEC,    FIELD(brite),           RULE_CUT,     RULE_NONE, NULL,         NULL},
    {"pwmIsEnable",     "*pwmIsEnable",  KIND_DEC,    FIELD(pwmIsEnable),     RULE_BOOL,    RULE_AND1, NULL,         commandPwmSource},
    {"mainPort",        NULL,            KIND_DEC,    FIELD(mainPort),        RULE_CUSTOM,  RULE_NONE, fileMainPort, NULL},
    {"LCDshiftclock",   NULL,            KIND_DEC,    FIELD(LCDshiftclock),   RULE_BOOL,    RULE_NONE, NULL,         NULL},
    {"baud0",           NULL,            KIND_DEC,    NO_FIELD,               RULE_CUSTOM,  RULE_NONE, fileBaud0,    NULL},
    {"baud1",           NULL,            KIND_DEC,    NO_FIELD,               RULE_CUSTOM,  RULE_NONE, fileBaud1,    NULL},
    {"config",          NULL,            KIND_QUOTED, FIELD(config),          RULE_CUSTOM,  RULE_NONE, NULL,         NULL},
};
const int settingsCount = (int)(sizeof settingsTable / sizeof settingsTable[0]);

const Setting *settingOfCommand(const char *line) {
    for (int i = 0; i < settingsCount; ++i) {
        const char *w = settingsTable[i].command;
        if (w && strncmp(line, w, strlen(w)) == 0) return &settingsTable[i];
    }
    return NULL;
}

static u8 *field(const Setting *s) { return (u8 *)&eepromData + s->offset; }

u32 settingValue(const Setting *s) {
    u8 b1;
    u16 b2;
    u32 b4;
    switch (s->width) {
    case 1:
        memcpy(&b1, field(s), 1);
        return b1;
    case 2:
        memcpy(&b2, field(s), 2);
        return b2;
    case 4:
        memcpy(&b4, field(s), 4);
        return b4;
    }
    return 0;
}

void settingStore(const Setting *s, SettingRule rule, s32 v) {
    u32 store;
    switch (rule) {
    case RULE_BOOL: store = v != 0; break;
    case RULE_AND1: store = (u32)v & 1; break;
    case RULE_AND3: store = (u32)v & 3; break;
    case RULE_FLAG: store = v ? FLAG_ON : 0xFF; break;
    default: store = (u32)v; break;
    }
    u8 b1 = (u8)store;
    u16 b2 = (u16)store;
    if (s->width == 1) memcpy(field(s), &b1, 1);
    if (s->width == 2) memcpy(field(s), &b2, 2);
    if (s->width == 4) memcpy(field(s), &store, 4);
}

s32 settingReport(const Setting *s) {
    u32 v = settingValue(s);
    if (s->commandRule == RULE_FLAG) return v == FLAG_ON ? 1 : 0;
    return (s32)v;
}
