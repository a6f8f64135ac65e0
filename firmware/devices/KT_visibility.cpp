#include "KT_visibility.h"

#include "board.h"
#include "KT_timer.h"
#include "miscdrivers.h"
#include "storage/KT_eeprom.h"

// Panel power and LCD data enable are active low.
void KT_Panel_Power(int on) { board_gpio_write(PIN_PANEL_PORT, PIN_PANEL, on ? 0 : 1); }
void KT_LCD_Data(int on) { board_gpio_write(PIN_LCDDATA_PORT, PIN_LCDDATA, on ? 0 : 1); }

// The contrast/PWM word is write-only on the controller: this copy holds what was written.
// It starts as the LCD start-up programs it from pwmIsEnable.
static u32 contrastWord;
static u8 contrastKnown;

static u32 contrastRead(void) {
    if (!contrastKnown) {
        contrastWord = eepromData.pwmIsEnable ? LCD_CONTRAST_PWM : LCD_CONTRAST_LEVEL;
        contrastKnown = 1;
    }
    return contrastWord;
}

static void contrastWrite(u32 w) {
    contrastWord = w;
    contrastKnown = 1;
    board_lcd_set_contrast(w);
}

// The inverter enable's "on" level depends on the inverter fitted: low when invEnaHiTrue is
// set, high otherwise.
static void inverterEnable(int on) {
    int level = eepromData.invEnaHiTrue ? !on : on;
    board_gpio_write(PIN_INVERTER_PORT, PIN_INVERTER, level);
}

void KT_External_Inverter_On(void) {
    if (eepromData.pwmIsEnable) contrastWrite(contrastRead() | LCD_PWM_ENABLE);
    inverterEnable(1);
}

void KT_External_Inverter_Off(void) {
    if (eepromData.pwmIsEnable) contrastWrite(contrastRead() & ~LCD_PWM_ENABLE);
    inverterEnable(0);
}

u32 KT_Brite_Level(u32 b, u32 maxB, u32 minB) {
    b &= 0xFF;
    u32 level;
    if (maxB > minB) {
        level = minB + ((maxB - minB) * b) / 255;
        if (level > maxB) level = maxB;
    } else {
        level = maxB + ((minB - maxB) * (255 - b)) / 255;
        if (level > minB) level = minB;
    }
    return level;
}

void KT_Brite_Set(u8 b) {
    eepromData.brite = b;
    u32 level = KT_Brite_Level(b, eepromData.maxBrite, eepromData.minBrite);
    u32 word = contrastRead() & ~LCD_PWM_DUTY_MASK;
    contrastWrite(word | (255 - level));
}

void KT_Visibility_Init(void) { KT_Brite_Set(eepromData.brite); }

void KT_Display_PowerUp(void) {
    KT_Panel_Power(1);
    KT_Delay(10);
    KT_LCD_Data(1);
    KT_Delay(100);
    KT_External_Inverter_On();
    KT_Visibility_Init();
}

void KT_Display_On(void) {
    KT_Panel_Power(1);
    KT_Delay(5);
    KT_LCD_Data(1);
    KT_Delay(50);
    KT_External_Inverter_On();
}

void KT_Display_Off(void) {
    KT_External_Inverter_Off();
    KT_LCD_Data(0);
    KT_Delay(5);
    KT_Panel_Power(0);
}

void KT_Brite_PwmSource(int pwmIsEnable) {
    u32 word = contrastRead();
    if (pwmIsEnable)
        word &= ~LCD_PWM_SOURCE_MASK;
    else
        word |= LCD_PWM_SOURCE_LEVEL;
    contrastWrite(word);
}
