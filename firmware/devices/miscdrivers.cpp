#include "miscdrivers.h"

#include "board.h"
#include "KT_timer.h"

// Outputs at their reset levels: everything the panel needs stays off until the power
// sequence, the LED is dark, the serial flash deselected.
void InitGPIO(void) {
    board_gpio_output(0, PIN_ORIENT0, 1);
    board_gpio_output(0, PIN_ORIENT1, 0);
    board_gpio_output(PIN_LED_PORT, PIN_LED, 1);
    board_gpio_output(0, 18, 1);
    board_gpio_output(PIN_SDLED_PORT, PIN_SDLED, 0);
    board_gpio_output(1, 29, 0);  // RS-485 driver off: receive
    board_gpio_output(PIN_PANEL_PORT, PIN_PANEL, 1);
    board_gpio_output(PIN_LCDDATA_PORT, PIN_LCDDATA, 1);
    board_gpio_output(PIN_INVERTER_PORT, PIN_INVERTER, 1);
    board_gpio_output(PIN_VQ_PORT, PIN_VQ, 0);
    board_gpio_output(2, 13, 1);
    board_gpio_output(2, 15, 1);  // serial flash chip select, active low
}

// ---------------------------------------------------------------------------------------
// I2C

#define I2C_CLOCK_DIVIDER 640  // about 100 kHz from the 64 MHz peripheral clock
#define EEPROM_BUSY_RETRIES 10 // 1 ms apart: longer than one internal write cycle

void InitI2C(void) {
    board_gpio_peripheral(0, 15);
    board_gpio_peripheral(0, 16);
    board_i2c_init(I2C_CLOCK_DIVIDER);
}

// Settling time around each byte, as the controller needs on the real bus.
static void shortDelay(void) {
    for (volatile int i = 0; i < 100; i = i + 1) {
    }
}

static int sendByte(u8 b) {
    shortDelay();
    int ack = board_i2c_write(b);
    shortDelay();
    return ack;
}

int I2Cio(u8 dev, int nWrite, int nRead, u8 *buf) {
    board_i2c_start();
    int ok = sendByte((u8)(dev & 0xFE));
    for (int i = 0; ok && i < nWrite; ++i) ok = sendByte(buf[i]);
    if (ok && nRead > 0) {
        board_i2c_start();  // repeated start
        ok = sendByte((u8)(dev | 1));
        for (int i = 0; ok && i < nRead; ++i) {
            shortDelay();
            buf[i] = board_i2c_read(i < nRead - 1);
            shortDelay();
        }
    }
    if (!ok)
        for (int i = 0; i < nRead; ++i) buf[i] = 0xFF;
    board_i2c_stop();
    return ok;
}

// A part still busy with a write cycle refuses its address; ask again a little later
// (acknowledge polling). A missing part costs the retries and reads as 0xFF.
static int eepromTransfer(int nWrite, int nRead, u8 *buf) {
    u8 keep[3];
    for (int i = 0; i < nWrite && i < 3; ++i) keep[i] = buf[i];
    for (int tries = 0;; ++tries) {
        if (I2Cio(EEPROM_DEVICE, nWrite, nRead, buf)) return 1;
        if (tries >= EEPROM_BUSY_RETRIES) return 0;
        for (int i = 0; i < nWrite && i < 3; ++i) buf[i] = keep[i];
        KT_Delay(1);
    }
}

u8 EEpromRead(u16 addr) {
    u8 buf[2] = {(u8)(addr >> 8), (u8)addr};  // word address, high byte first
    eepromTransfer(2, 2, buf);
    return buf[0];
}

void EEpromWrite(u16 addr, u8 value) {
    u8 buf[3] = {(u8)(addr >> 8), (u8)addr, value};
    eepromTransfer(3, 0, buf);
    KT_Delay(5);  // the part's internal write cycle
}

// ---------------------------------------------------------------------------------------
// Beeper tone and volume

void InitAudio(void) {
    board_audio_init();
    SoundOff();
}

void SoundOn(int freq) {
    u32 f = (u32)freq & 0xFFFF;
    if (f == 0) {  // no such tone: the divider would be undefined
        SoundOff();
        return;
    }
    board_tone_on(f);
}

void SoundOff(void) { board_tone_off(); }

void SetAudioVolume(int v) {
    if (v > 255) v = 255;
    if (v < 0) v = 0;
    board_audio_volume((u32)v);
}

// ---------------------------------------------------------------------------------------
// Single pins

void setVQpin(int v) { board_gpio_write(PIN_VQ_PORT, PIN_VQ, v & 1); }
int getVQpin(void) { return board_gpio_read(PIN_VQ_PORT, PIN_VQ); }

void setOrient(int o) {
    board_gpio_write(PIN_ORIENT0_PORT, PIN_ORIENT0, o & 1);
    board_gpio_write(PIN_ORIENT1_PORT, PIN_ORIENT1, (o >> 1) & 1);
}

// The SD-card activity LED, lit while the card is read for the image.
void setSDled(int on) { board_gpio_write(PIN_SDLED_PORT, PIN_SDLED, on ? 1 : 0); }

static_assert(PERIPH_REG_BASE == BOARD_PERIPH_BASE, "one register space");

static int isRegOffset(u32 offset) { return offset < BOARD_PERIPH_SIZE && (offset & 3u) == 0; }

int readPeripheralReg(u32 offset, u32 *value) {
    if (!isRegOffset(offset)) return 0;
    *value = board_reg_read(offset);
    return 1;
}

int writePeripheralReg(u32 offset, u32 value) {
    if (!isRegOffset(offset)) return 0;
    board_reg_write(offset, value);
    return 1;
}
