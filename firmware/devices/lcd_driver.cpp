// LCD controller start-up for the 640 x 480 TFT panel, and its colour table.
#include "lcd_driver.h"

#include "board.h"
#include "MAC_panelTiming.h"
#include "miscdrivers.h"
#include "../memmap.h"
#include "../gui/LCD.h"
#include "../storage/KT_eeprom.h"
#include "KT_timer.h"

u16 LCD_WIDTH = 640;
u16 LCD_HEIGHT = 480;
u32 LCD_PIXELS = 640u * 480u;
u8 IMAGE_BPP = 16;
u16 *vram = (u16 *)(uintptr_t)VRAM_ADDR;
u32 msPerFrame;
volatile u32 frameTimer;

// Panel configuration: TFT, colour, 16 bits per pixel, signal polarities, pixel-clock divider.
#define PANEL_CONFIG 0xF8E80081u
#define PANEL_CONFIG_SHIFT_CLOCK_INVERTED (1u << 21)
#define PANEL_CONFIG2 0x04100073u
#define CONTRAST_PWM 0x00A00100u  // backlight dimmed through the controller's PWM output
#define CONTRAST_OFF 0x00A00300u
#define DMA_CONTROL 0x00030009u
#define REFRESH_ENABLE 2u

int InitLCD(int width, int height, int bpp) {
    (void)height;
    (void)bpp;
    setOrient(eepromData.orient);
    setVQpin(width == 320 ? 0 : 1);  // VQ low selects a 320-pixel (QVGA) panel
    InitLCD_VGA();
    return 1;
}

void InitLCD_VGA(void) {
    LCD_WIDTH = 640;
    LCD_HEIGHT = 480;
    LCD_PIXELS = 640u * 480u;
    IMAGE_BPP = 16;
    vram = (u16 *)sdramPtr(VRAM_ADDR);

    panelTimingDefaults();

    // Port D pins 6, 11 and 12..30 carry the LCD signals.
    board_gpio_peripheral(3, 6);
    board_gpio_peripheral(3, 11);
    for (int pin = 12; pin <= 30; ++pin) board_gpio_peripheral(3, pin);

    board_lcd_set_start(sdramAddr(vram));
    board_lcd_set_size(LCD_WIDTH / 16, LCD_HEIGHT);
    board_lcd_set_page_width(LCD_WIDTH * IMAGE_BPP / 32);
    u32 config = PANEL_CONFIG;
    if (eepromData.LCDshiftclock)
        config |= PANEL_CONFIG_SHIFT_CLOCK_INVERTED;
    else
        config &= ~PANEL_CONFIG_SHIFT_CLOCK_INVERTED;
    board_lcd_set_panel_config(config);
    lcdApplyTiming();
    board_lcd_set_panel_config2(PANEL_CONFIG2);
    board_lcd_set_contrast(eepromData.pwmIsEnable ? CONTRAST_PWM : CONTRAST_OFF);
    board_lcd_set_dma_control(DMA_CONTROL);
    board_lcd_set_refresh_mode(REFRESH_ENABLE);
    board_dma_keepalive_start();
}

void lcdApplyTiming(void) {
    panelTimingProgram();
    msPerFrame = panelFrameMs(LCD_WIDTH, LCD_HEIGHT);
}

void lcdFrameTick(void) {
    if (board_lcd_frame_status())
        frameTimer = 0;
    else
        frameTimer = frameTimer + 1;
}

u16 lutEntry(unsigned index) {
    u32 c = LCD_Index2Color(index);
    u32 r = (c & 0xFF) >> 4, g = ((c >> 8) & 0xFF) >> 4, b = ((c >> 16) & 0xFF) >> 4;
    return (u16)((r << 8) | (g << 4) | b);
}

void KT_Reset_LUT(void) {
    for (unsigned i = 0; i < 256; ++i) board_lcd_set_lut(i, lutEntry(i));
}

// The scan reaches row y about msPerFrame * y / 480 ms into the frame; drawing is safe while
// the scan is at least half a frame away from that row, on either side of it.
void wvr(int y) {
    u32 frame = msPerFrame;
    u32 height = LCD_HEIGHT ? LCD_HEIGHT : 480;
    // Rows above the screen count as row 0; rows below it as the row after the last (every
    // one of them is reached at the end of the frame), which keeps the product inside 32 bits.
    if (y < 0) y = 0;
    if ((u32)y > height) y = (int)height;
    u32 t = (frame * (u32)y + height / 2) / height + 2;
    if (t > frame) t = frame;
    u32 half = frame / 2;
    gpTimer = 20;
    while (gpTimer) {
        u32 f = frameTimer;
        if (t >= f) {
            if (t - f > half) return;
        } else {
            if (f - t < half) return;
        }
        boardIdle();
    }
}
