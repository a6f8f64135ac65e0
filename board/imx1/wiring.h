// How the present board wires the i.MX1 to its devices, beyond the pins the firmware sets up
// itself: the pins only the board layer drives.
#ifndef VMOD_IMX1_WIRING_H
#define VMOD_IMX1_WIRING_H

enum { PORT_A = 0, PORT_B = 1, PORT_C = 2, PORT_D = 3 };

// Serial flash on CSPI1: clock C 14, MISO C 16, MOSI C 17, chip select C 15 (a GPIO, so that
// it stays low over a whole command).
#define SFLASH_CS_PORT PORT_C
#define SFLASH_CS_PIN 15

// Touch controller on CSPI2 through port D's AIN/AOUT paths: clock D 7, MOSI D 10, MISO D 9;
// chip select D 8 as a GPIO, the controller's active-low pen-interrupt line on A 6.
#define TOUCH_SCLK_PIN 7
#define TOUCH_CS_PIN 8
#define TOUCH_MISO_PIN 9
#define TOUCH_MOSI_PIN 10
#define TOUCH_PEN_PORT PORT_A
#define TOUCH_PEN_PIN 6

// Beeper: timer 2's output on D 31, the volume PWM on A 2.
#define TONE_PORT PORT_D
#define TONE_PIN 31
#define PWM_PORT PORT_A
#define PWM_PIN 2

// SD slot on the SDHC pins B 8..B 13 (DAT0..DAT3, CMD, CLK); the slot's card-detect switch
// pulls B 15 low while a card sits in it.
#define SD_DAT0_PIN 8
#define SD_FIRST_PIN 8
#define SD_LAST_PIN 13
#define SD_DETECT_PORT PORT_B
#define SD_DETECT_PIN 15

#endif
