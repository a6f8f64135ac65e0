// The settings that the configuration file ("config.ini") and the "*"-commands reach, one row
// each: the file's key, the command word, the field of the settings image and how a value is
// stored. The file reader, the commands, and the tools that exercise them all walk this table.
#ifndef VMOD_SETTINGS_H
#define VMOD_SETTINGS_H

#include "../types.h"

// How a value becomes the field's content.
enum SettingRule : u8 {
    RULE_CUT,      // cut to the field's width
    RULE_BOOL,     // 1 when non-zero, else 0
    RULE_AND1,     // the lowest bit
    RULE_AND3,     // the two lowest bits
    RULE_FLAG,     // FLAG_ON when non-zero, else 0xFF; reported as 1 or 0
    RULE_CUSTOM,   // the row's fileApply decides (file only)
    RULE_VERBOSE,  // not a setting: switches the file reader's echo
    RULE_NONE      // no command sets it
};

// The form of the value after the key in the file.
enum SettingKind : u8 { KIND_DEC = 'd', KIND_HEX = 'x', KIND_QUOTED = '"' };

struct Setting {
    const char *key;          // key in config.ini
    const char *command;      // "*"-command word, NULL when there is none
    SettingKind kind;         // value form in the file
    u8 width;                 // bytes of the field: 1, 2 or 4; 0 when it is no field
    u16 offset;               // field offset in eepromData
    SettingRule fileRule;     // how the file stores it
    SettingRule commandRule;  // how the command stores it
    // RULE_CUSTOM in the file: applies the value read, sets *changed when it changes a field.
    void (*fileApply)(s32 v, int *changed);
    // After the command has stored its value (and before the save): what the hardware needs.
    void (*commandApplied)(s32 v);
};

extern const Setting settingsTable[];
extern const int settingsCount;

// The row whose command word begins line, or NULL.
const Setting *settingOfCommand(const char *line);

// The field's value, read byte-wise (fields of the packed image need not be aligned).
u32 settingValue(const Setting *s);
// The value shaped by rule into the field.
void settingStore(const Setting *s, SettingRule rule, s32 v);
// What a command reports: the field, a flag as 1 or 0.
s32 settingReport(const Setting *s);

#endif
