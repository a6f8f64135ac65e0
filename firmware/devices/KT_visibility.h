// The display's simple outputs: panel power, LCD data enable, backlight inverter enable and
// the backlight brightness (the PWM duty in the LCD controller's contrast/PWM word).
#ifndef VMOD_KT_VISIBILITY_H
#define VMOD_KT_VISIBILITY_H

#include "../types.h"

#define LCD_PWM_DUTY_MASK 0xFFu
#define LCD_PWM_ENABLE 0x100u      // PWM output on
#define LCD_PWM_SOURCE_LEVEL 0x200u // output is a plain level instead of the PWM
#define LCD_PWM_SOURCE_MASK 0x600u
#define LCD_CONTRAST_PWM 0x00A00100u   // as the LCD start-up sets it with pwmIsEnable on
#define LCD_CONTRAST_LEVEL 0x00A00300u // and with it off

void KT_Panel_Power(int on);
void KT_LCD_Data(int on);
void KT_External_Inverter_On(void);
void KT_External_Inverter_Off(void);
// The PWM level for brightness b: minBrite at 0, maxBrite at 255, in between on a line.
u32 KT_Brite_Level(u32 b, u32 maxBrite, u32 minBrite);
void KT_Brite_Set(u8 b);
void KT_Visibility_Init(void);

void KT_Display_PowerUp(void);  // the start-up sequence, ending with the stored brightness
void KT_Display_On(void);       // "v on"
void KT_Display_Off(void);      // "v of"

// "*pwmIsEnable %d": the output source that goes with the setting.
void KT_Brite_PwmSource(int pwmIsEnable);

#endif
