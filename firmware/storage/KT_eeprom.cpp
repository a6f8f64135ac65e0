#include "KT_eeprom.h"

#include <stdio.h>
#include <string.h>

#include "comm/Rtosinit.h"
#include "devices/miscdrivers.h"
#include "fs/file_sys.h"
#include "memmap.h"
#include "settings.h"
#include "board.h"

EepromImage eepromData;

// Set once KT_EEPROM_Init has settled the image. Until then the port set-up may record a
// rate in RAM but must not save: the image may still be the unchecked EEPROM content, and a
// save would mark it valid.
static u8 settingsSettled;

static u8 *imageBytes(void) { return (u8 *)&eepromData; }

int KT_EEPROMvalid(void) { return eepromData.validMarker == EEPROM_VALID_MARKER; }

// ---------------------------------------------------------------------------------------
// Saving so that a power cut cannot mix two images.
//
// The settings image keeps its fixed place at 0..131, where tools read it. A save first
// writes a complete copy of the new image with its check value above the image (the part
// holds 4 KiB), then marks the save under way, rewrites the image in place and clears the
// mark. A cut while the copy is written leaves the old image untouched and the mark clear;
// a cut while the image is rewritten leaves the mark set over a complete copy, and the next
// load finishes the save from the copy. With the mark clear the image at 0..131 stands as it
// is, so that a byte changed there on purpose ("*eew", "*eec", a programmer) is never undone.

static u16 copyCheck(const u8 *img) {
    u16 crc = 0xFFFF;  // CRC-16/CCITT-FALSE
    for (int i = 0; i < EEPROM_IMAGE_SIZE; ++i) {
        crc = (u16)(crc ^ (u16)img[i] << 8);
        for (int b = 0; b < 8; ++b) crc = (u16)(crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1);
    }
    return crc;
}

// A byte written only when the part holds another value: the copy of an unchanged image
// costs no write cycles.
static void writeIfChanged(u16 addr, u8 value) {
    if (EEpromRead(addr) != value) EEpromWrite(addr, value);
}

// Finishes a save that a power cut interrupted: the mark is set and the copy is complete.
static void finishInterruptedSave(void) {
    if (EEpromRead(EEPROM_SAVE_STATE) != EEPROM_SAVE_UNDER_WAY) return;
    u8 copy[EEPROM_IMAGE_SIZE];
    for (int a = 0; a < EEPROM_IMAGE_SIZE; ++a) copy[a] = EEpromRead((u16)(EEPROM_COPY_ADDR + a));
    u16 check = (u16)(EEpromRead(EEPROM_COPY_CHECK) | EEpromRead(EEPROM_COPY_CHECK + 1) << 8);
    if (check == copyCheck(copy))
        for (int a = 0; a < EEPROM_IMAGE_SIZE; ++a) writeIfChanged((u16)a, copy[a]);
    EEpromWrite(EEPROM_SAVE_STATE, EEPROM_SAVE_IDLE);
}

int KT_EEPROM_Load(void) {
    finishInterruptedSave();
    u8 *img = imageBytes();
    for (int a = 0; a < EEPROM_IMAGE_SIZE; ++a) img[a] = EEpromRead((u16)a);
    return 1;
}

int KT_EEPROM_Save(void) {
    eepromData.validMarker = EEPROM_VALID_MARKER;
    const u8 *img = imageBytes();
    for (int a = 0; a < EEPROM_IMAGE_SIZE; ++a) writeIfChanged((u16)(EEPROM_COPY_ADDR + a), img[a]);
    u16 check = copyCheck(img);
    writeIfChanged(EEPROM_COPY_CHECK, (u8)check);
    writeIfChanged(EEPROM_COPY_CHECK + 1, (u8)(check >> 8));
    EEpromWrite(EEPROM_SAVE_STATE, EEPROM_SAVE_UNDER_WAY);
    for (int a = 0; a < EEPROM_IMAGE_SIZE; ++a) EEpromWrite((u16)a, img[a]);
    EEpromWrite(EEPROM_SAVE_STATE, EEPROM_SAVE_IDLE);
    return 1;
}

int KT_EEPROM_Clear(void) {
    for (int a = 0; a < EEPROM_IMAGE_SIZE; ++a) EEpromWrite((u8)a, 0);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Baud-rate index

static const u32 baudTable[] = {1200, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
#define BAUD_INDEX_FIRST 1
#define BAUD_INDEX_COUNT (sizeof baudTable / sizeof baudTable[0])
#define BAUD_DEFAULT_INDEX 7  // 115200

u32 KT_get_baudrate_eeprom(u8 index) {
    if (index >= BAUD_INDEX_FIRST && index < BAUD_INDEX_FIRST + BAUD_INDEX_COUNT)
        return baudTable[index - BAUD_INDEX_FIRST];
    return 115200;
}

int KT_save_baudrate_eeprom(int port, u32 rate) {
    u8 *field;
    if (port == 0)
        field = &eepromData.baud0;
    else if (port == 1)
        field = &eepromData.baud1;
    else
        return 0;
    for (u32 i = 0; i < BAUD_INDEX_COUNT; ++i)
        if (baudTable[i] == rate) {
            *field = (u8)(i + BAUD_INDEX_FIRST);
            if (settingsSettled) KT_EEPROM_Save();
            return 1;
        }
    pout(":baud rate %ld setting non-standard\r", (long)rate);
    *field = 0xFF;
    return 0;
}

// ---------------------------------------------------------------------------------------
// Defaults

static void applyDefaults(void) {
    EepromImage &e = eepromData;
    e.tcTimeout = 10;
    e.calXLog0 = 15;
    e.calXLog1 = 304;
    e.calXPhys0 = 20;
    e.calXPhys1 = 235;
    e.calYLog0 = 224;
    e.calYLog1 = 15;
    e.calYPhys0 = 235;
    e.calYPhys1 = 20;
    e.tplo = 250;
    e.tphi = 700;
    e.tpDeltaLim = 10;
    e.tsamp = 8;
    e.tspan = 12;
    e.touchSwap = 0;
    e.beepFreq = 2600;
    e.beepVol = 200;
    e.beepMax = 0xFF;
    e.brite = 0xFF;
    e.typematicDelay = 75;
    e.debounce = 100;
    e.typematicRepeat = 20;
    e.ponmacIndex = 0;
    e.rs485Mode = 0xFF;
    e.rs485Addr = 0xFF;
    e.ponmacFlag = 0xFF;
    e.auxIO = 0xFF;
    e.auxEsc = 0x0D;
    e.mainPort = 0;
    e.invEnaHiTrue = 0;
    e.hfp = e.hpw = e.hbp = 0xFF;
    e.vfp = e.vpw = e.vbp = 0xFF;
    e.maxBrite = 0;
    e.minBrite = 242;
    e.pwmIsEnable = 1;
    e.orient = 0;
    e.config[0] = 0;  // only the first byte: the rest of the field is kept
    e.touchMode = 0;
    e.LCDshiftclock = 1;
    e.baud0 = BAUD_DEFAULT_INDEX;
    e.baud1 = BAUD_DEFAULT_INDEX;
    // Kept as read: splashFlag, splashBitmap, rs485Sof, demomacIndex, firmwareTag, autoCal,
    // the reserved bytes. The marker stays invalid until something saves.
}

// "config.ini" on the SD card, read whole into the external-memory staging buffer (nothing
// is loaded there yet at this point of the start) and applied. No card, no volume or no
// file: the settings stand as they are. A file that does not fit the buffer, or that reads
// short, counts as not loaded.
static void readConfigFile(void) {
    if (initialize_media() != 1) return;
    FF_FILE *f = fopen("config.ini", FF_MODE_READ);
    if (!f) return;
    char *text = (char *)sdramPtr(EXTMEM_ADDR);
    u32 size = f->length;
    u32 room = EXTMEM_SIZE - 1;  // and the terminator
    u32 got = fread(text, 1, size < room ? size : room, f);
    text[got] = 0;
    fclose(f);
    KT_EEPROM_Config(text, got == size);
}

void KT_EEPROM_Init(void) {
    eepromData.validMarker = 0;
    KT_EEPROM_Load();
    if (!KT_EEPROMvalid())
        applyDefaults();
    else if (eepromData.mainPort == 0xFF)
        eepromData.mainPort = 0;
    settingsSettled = 1;
    readConfigFile();
}

// ---------------------------------------------------------------------------------------
// Key lookup in a configuration text

// The first occurrence of key that does not sit on a line beginning with '#'.
static const char *findKey(const char *text, const char *key) {
    if (!text || !key || !*key) return 0;
    const char *from = text;
    for (;;) {
        const char *hit = strstr(from, key);
        if (!hit) return 0;
        const char *line = hit;
        while (line > text && line[-1] != '\r' && line[-1] != '\n') --line;
        if (*line != '#') return hit;
        from = hit + 1;
    }
}

static int lineLength(const char *s) {
    int n = 0;
    while (s[n] && s[n] != '\r' && s[n] != '\n') ++n;
    return n;
}

static void syntaxError(const char *hit, int echo) {
    if (echo) pout(":Syntax error \"%.*s\"\r", lineLength(hit), hit);
}

int lookfor(const char *text, const char *key, char kind, s32 *dest, int echo) {
    int hex = kind == 'x' || kind == 'h';
    if (!hex && kind != 'd') return 0;
    const char *hit = findKey(text, key);
    if (!hit) return 0;
    int ok;
    if (hex) {
        unsigned v;
        ok = sscanf(hit, "%*s = %x", &v) == 1 || sscanf(hit, "%*s %x", &v) == 1;
        if (ok) *dest = (s32)v;
    } else {
        int v;
        ok = sscanf(hit, "%*s = %d", &v) == 1 || sscanf(hit, "%*s %d", &v) == 1;
        if (ok) *dest = v;
    }
    if (!ok) {
        syntaxError(hit, echo);
        return 0;
    }
    if (echo) {
        if (hex)
            pout(":%s = 0x%X\r", key, (unsigned)*dest);
        else
            pout(":%s = %d\r", key, (int)*dest);
    }
    return 1;
}

static u8 hexDigit(char c) {
    if (c < 'A') return (u8)(c - '0');
    return (u8)((c | 0x20) - 'a' + 10);
}

// Copies the quoted text that starts at s (just after its opening quote) into dest with the
// escapes of quoted command arguments, leaving the source as it is. Returns the length, or
// -1 when the text does not fit dest with its NUL.
static int copyQuoted(const char *s, char *dest, int size) {
    int n = 0;
    while (*s && *s != '"') {
        char c = *s++;
        if (c == '\\') {
            char e = *s;
            if (!e) break;  // a backslash at the end ends the text
            ++s;
            if (e == 'n') {
                c = '\n';
            } else if (e == 'r') {
                c = '\r';
            } else if (e == 'x' || e == 'X') {
                if (!s[0] || !s[1]) break;  // the digits are missing: the text ends
                c = (char)(hexDigit(s[0]) << 4 | hexDigit(s[1]));
                s += 2;
            } else {
                c = e;
            }
        }
        if (n + 1 >= size) return -1;
        dest[n++] = c;
    }
    dest[n] = 0;
    return n;
}

int lookforQuotedString(const char *text, const char *key, char *dest, int size, int echo) {
    if (!dest || size <= 0) return 0;
    const char *hit = findKey(text, key);
    if (!hit) return 0;
    int at = -1;
    char c;
    if (sscanf(hit, "%*s = \"%n%c", &at, &c) != 1) {
        at = -1;
        if (sscanf(hit, "%*s \"%n%c", &at, &c) != 1) at = -1;
    }
    if (at < 0) {
        syntaxError(hit, echo);
        return 0;
    }
    char value[256];
    int cap = size < (int)sizeof value ? size : (int)sizeof value;
    int n = copyQuoted(hit + at, value, cap);
    if (n <= 0) return 0;  // empty, or too long for the buffer
    memcpy(dest, value, (size_t)n + 1);
    if (echo) pout(":%s = \"%s\"\r", key, dest);
    return 1;
}

// ---------------------------------------------------------------------------------------
// Configuration text

// One key of the file: a value read and differing from the field (compared as a 32-bit
// number) is stored as the row's rule shapes it and counts as a change.
static void applyKey(const char *text, const Setting *row, int echo, int *changed) {
    if (row->kind == KIND_QUOTED) {
        char name[sizeof eepromData.config];
        char *dest = (char *)&eepromData + row->offset;
        if (lookforQuotedString(text, row->key, name, sizeof name, echo) &&
            strncmp(name, dest, row->width) != 0) {
            strncpy(dest, name, row->width);
            *changed = 1;
        }
        return;
    }
    s32 v;
    if (!lookfor(text, row->key, (char)row->kind, &v, echo)) return;
    if (row->fileRule == RULE_CUSTOM) {
        row->fileApply(v, changed);
        return;
    }
    u32 before = settingValue(row);
    if (row->fileRule == RULE_FLAG) {
        settingStore(row, RULE_FLAG, v);
        if (settingValue(row) != before) *changed = 1;
        return;
    }
    if (v == (s32)before) return;
    settingStore(row, row->fileRule, v);
    *changed = 1;
}

void KT_EEPROM_Config(const char *text, int complete) {
    int echo = 0;
    int changed = 0;
    if (!complete) {
        pout(":Config.ini could not be loaded\r");
    } else {
        for (int i = 0; i < settingsCount; ++i) {
            const Setting *row = &settingsTable[i];
            if (row->fileRule != RULE_VERBOSE) {
                applyKey(text, row, echo, &changed);
                continue;
            }
            s32 v;
            if (lookfor(text, row->key, 'd', &v, 0)) {
                echo = v;
                if (v) pout(":config.ini verbose mode enabled\r");
            }
        }
    }

    if (eepromData.tspan <= 3) {
        eepromData.tspan = 12;
        if (echo) pout(":tspan too low!! Set to default (12)\r");
    }
    if (changed) {
        eepromData.validMarker = EEPROM_VALID_MARKER;
        KT_EEPROM_Save();
        if (echo) pout(":new values stored in EEPROM\r");
    }
    if (eepromData.mainPort == 1) makeUart1Main();
}

void KT_EEPROM_FactoryReset(void) {
    EEpromWrite(0, 0);  // breaks the marker: the next start applies the defaults
    board_reset_control(0x109);
    for (;;) boardIdle();
}
