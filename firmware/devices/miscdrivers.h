// Thin board drivers: the pin table, the I2C bus and the settings EEPROM on it, the beeper's
// tone and volume outputs, and the single control pins of the panel.
#ifndef VMOD_MISCDRIVERS_H
#define VMOD_MISCDRIVERS_H

#include "../types.h"

// Pins of the present board (GPIO port, pin). Ports A..D are 0..3.
#define PIN_ORIENT0_PORT 0   // A 3: orientation code bit 0
#define PIN_ORIENT0 3
#define PIN_ORIENT1_PORT 0   // A 4: orientation code bit 1
#define PIN_ORIENT1 4
#define PIN_LED_PORT 0       // A 5: user LED, active low
#define PIN_LED 5
#define PIN_SDLED_PORT 1     // B 14: SD-card activity LED
#define PIN_SDLED 14
#define PIN_PANEL_PORT 2     // C 4: panel power, active low
#define PIN_PANEL 4
#define PIN_LCDDATA_PORT 2   // C 5: LCD data enable, active low
#define PIN_LCDDATA 5
#define PIN_VQ_PORT 2        // C 7: the display's VQ control line
#define PIN_VQ 7
#define PIN_INVERTER_PORT 2  // C 8: backlight inverter enable (polarity from invEnaHiTrue)
#define PIN_INVERTER 8

#define EEPROM_DEVICE 0xA0    // I2C address of the settings EEPROM (0xA1 to read)

void InitGPIO(void);

void InitI2C(void);
// One master transaction: write nWrite bytes of buf, then (nRead > 0) a repeated start and
// nRead bytes read into buf, the last one not acknowledged. Returns 1 when every byte was
// acknowledged; a refused byte ends the transaction with a stop (read bytes then stay 0xFF).
int I2Cio(u8 dev, int nWrite, int nRead, u8 *buf);
// One byte of the settings EEPROM (4 KiB: the settings image at 0..131, its save copy above
// 0xFF). A write returns after the part's 5 ms write cycle.
u8 EEpromRead(u16 addr);
void EEpromWrite(u16 addr, u8 value);

void InitAudio(void);
void SoundOn(int freq);
void SoundOff(void);
void SetAudioVolume(int v);

// Peripheral registers by offset from the register space's base (PERIPH_REG_BASE). Offsets
// outside the space or not on a word boundary are refused: 0, nothing read or written.
#define PERIPH_REG_BASE 0x00200000u
int readPeripheralReg(u32 offset, u32 *value);
int writePeripheralReg(u32 offset, u32 value);

void setVQpin(int v);
int getVQpin(void);
void setOrient(int o);
void setSDled(int on);  // B 14 high while on

#endif
