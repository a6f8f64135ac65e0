// The 132-byte settings image: held in RAM, mirrored byte for byte to the first 132
// addresses of the I2C EEPROM. A stored format: offsets and widths never change.
#ifndef VMOD_KT_EEPROM_H
#define VMOD_KT_EEPROM_H

#include <stddef.h>
#include "../types.h"

#define EEPROM_VALID_MARKER 0x1255
#define EEPROM_IMAGE_SIZE 132
#define FLAG_ON 0xA5   // a flag field counts as on only at exactly this value
#define MODE_ON 'Z'    // a mode field counts as on only at exactly this value

// Where a save keeps its copy of the new image, outside the image and the start mark at 0xFE:
// the 132 bytes, their CRC-16 (little-endian), and the mark of a save under way.
#define EEPROM_COPY_ADDR 0x100
#define EEPROM_COPY_CHECK (EEPROM_COPY_ADDR + EEPROM_IMAGE_SIZE)
#define EEPROM_SAVE_STATE (EEPROM_COPY_CHECK + 2)
#define EEPROM_SAVE_UNDER_WAY 0xA5  // the copy is complete and the image is being rewritten
#define EEPROM_SAVE_IDLE 0xFF

#pragma pack(push, 1)
struct EepromImage {
    u16 validMarker;      // 0x1255 when the image is valid
    u8 tcTimeout;         // calibration screen time-out
    u8 pad03;             // alignment byte, not used
    s32 calXLog0;         // touch calibration, X: screen coordinate of point 0
    s32 calXLog1;         // X: screen coordinate of point 1
    s32 calXPhys0;        // X: raw reading at point 0
    s32 calXPhys1;        // X: raw reading at point 1
    s32 calYLog0;         // Y: screen coordinate of point 0
    s32 calYLog1;         // Y: screen coordinate of point 1
    s32 calYPhys0;        // Y: raw reading at point 0
    s32 calYPhys1;        // Y: raw reading at point 1
    u16 tplo;             // touch pressure low threshold
    u16 tphi;             // touch pressure high threshold
    u8 tpDeltaLim;        // touch pressure delta limit
    u8 tsamp;             // touch samples per reading
    u8 tspan;             // maximum span of the touch samples
    u8 touchSwap;         // 0/1: swap the touch axes
    u32 beepFreq;         // beeper frequency, Hz
    u8 beepVol;           // beeper volume 0..255
    u8 beepMax;           // upper limit of the beeper volume
    u8 brite;             // backlight brightness 0..255
    u8 typematicDelay;    // touch auto-repeat delay, 10 ms units
    u32 debounce;         // touch debounce time
    u8 typematicRepeat;   // touch auto-repeat interval, 10 ms units
    u8 splashFlag;        // flag: draw the splash bitmap at start
    u8 splashBitmap;      // external bitmap index of the splash
    u8 ponmacIndex;       // power-on macro, runs when 1..254
    u8 rs485Mode;         // 'Z' = RS-485 addressed mode
    u8 rs485Sof;          // RS-485 start-of-frame character
    u8 rs485Addr;         // RS-485 station address: group digit high, station digit low
    u8 ponmacFlag;        // flag: the power-on macro replaces the banner
    u8 demomacIndex;      // demonstration macro index
    u8 auxIO;             // 'Z' = aux-port input is forwarded to the host
    u8 auxEsc;            // escape character of the aux port
    u8 mainPort;          // 0 or 1: the port that carries commands
    u8 reserved44[6];     // not used
    char firmwareTag[8];  // reported by "*firmware", never written by the module
    u8 invEnaHiTrue;      // 0/1: inverter enable active high
    u8 hfp;               // LCD horizontal front porch, 0xFF = built-in
    u8 hpw;               // LCD horizontal sync pulse width
    u8 hbp;               // LCD horizontal back porch
    u8 vfp;               // LCD vertical front porch
    u8 vpw;               // LCD vertical sync pulse width
    u8 vbp;               // LCD vertical back porch
    u8 maxBrite;          // backlight level for brightness 255
    u8 minBrite;          // backlight level for brightness 0
    u8 pwmIsEnable;       // 0/1: backlight dimmed by PWM
    u8 orient;            // display orientation 0..3
    char config[32];      // panel configuration name, NUL-terminated
    u8 touchMode;         // touch mode
    u8 autoCal;           // flag: touch calibration at start
    u8 LCDshiftclock;     // 0/1: LCD shift-clock polarity
    u8 baud0;             // baud-rate index of port 0
    u8 baud1;             // baud-rate index of port 1
    u8 reserved82[2];     // not used
};
#pragma pack(pop)

static_assert(sizeof(EepromImage) == EEPROM_IMAGE_SIZE, "settings image is 132 bytes");
static_assert(offsetof(EepromImage, tcTimeout) == 0x02, "layout");
static_assert(offsetof(EepromImage, calXLog0) == 0x04, "layout");
static_assert(offsetof(EepromImage, calYPhys1) == 0x20, "layout");
static_assert(offsetof(EepromImage, tplo) == 0x24, "layout");
static_assert(offsetof(EepromImage, tpDeltaLim) == 0x28, "layout");
static_assert(offsetof(EepromImage, touchSwap) == 0x2B, "layout");
static_assert(offsetof(EepromImage, beepFreq) == 0x2C, "layout");
static_assert(offsetof(EepromImage, typematicDelay) == 0x33, "layout");
static_assert(offsetof(EepromImage, debounce) == 0x34, "layout");
static_assert(offsetof(EepromImage, typematicRepeat) == 0x38, "layout");
static_assert(offsetof(EepromImage, rs485Mode) == 0x3C, "layout");
static_assert(offsetof(EepromImage, mainPort) == 0x43, "layout");
static_assert(offsetof(EepromImage, firmwareTag) == 0x4A, "layout");
static_assert(offsetof(EepromImage, invEnaHiTrue) == 0x52, "layout");
static_assert(offsetof(EepromImage, hfp) == 0x53, "layout");
static_assert(offsetof(EepromImage, vbp) == 0x58, "layout");
static_assert(offsetof(EepromImage, orient) == 0x5C, "layout");
static_assert(offsetof(EepromImage, config) == 0x5D, "layout");
static_assert(offsetof(EepromImage, touchMode) == 0x7D, "layout");
static_assert(offsetof(EepromImage, autoCal) == 0x7E, "layout");
static_assert(offsetof(EepromImage, LCDshiftclock) == 0x7F, "layout");
static_assert(offsetof(EepromImage, baud0) == 0x80, "layout");
static_assert(offsetof(EepromImage, baud1) == 0x81, "layout");

extern EepromImage eepromData;

int KT_EEPROMvalid(void);
// Reads the image into eepromData, after finishing a save that a power cut interrupted.
int KT_EEPROM_Load(void);
// Marks the image valid and writes it so that a cut at any byte leaves the old or the new
// image (a copy first, then the image at its place).
int KT_EEPROM_Save(void);
int KT_EEPROM_Clear(void);
void KT_EEPROM_Init(void);
u32 KT_get_baudrate_eeprom(u8 index);
int KT_save_baudrate_eeprom(int port, u32 rate);

// Applies a configuration text ("config.ini", NUL-terminated): the keys in their fixed order,
// the tspan repair, one save when something changed, and the switch to port 1 when mainPort
// asks for it. complete = 0 when the file could not be read whole (only the repair and the
// switch run).
void KT_EEPROM_Config(const char *text, int complete);

// Finds key in text (not on a line beginning with '#') and reads the number after it, kind
// 'd' decimal or 'x'/'h' hexadecimal. 1 when found and parsed; with echo the value (or the
// syntax error) is reported.
int lookfor(const char *text, const char *key, char kind, s32 *dest, int echo);
// The same for a double-quoted value, escapes translated; 1 when it is not empty and fits
// dest (size bytes with its NUL).
int lookforQuotedString(const char *text, const char *key, char *dest, int size, int echo);

// Breaks the stored image's marker and resets: the next start applies the defaults. Never
// returns.
void KT_EEPROM_FactoryReset(void);

#endif
