#include "Main.h"

#include <string.h>

#include "../comm/Rtosinit.h"
#include "../devices/KT_beep.h"
#include "../devices/KT_led.h"
#include "../devices/KT_timer.h"
#include "../devices/KT_visibility.h"
#include "../devices/interrupt.h"
#include "../devices/miscdrivers.h"
#include "../devices/serialmem.h"
#include "../fs/sdcard.h"
#include "../gui/GUI.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_eeprom.h"
#include "../storage/KT_extmem.h"
#include "../touch/KT_touch.h"
#include "../widgets/KT_chart.h"
#include "../widgets/KT_levelbar.h"
#include "../widgets/KT_slider.h"
#include "GUIDEMO.h"
#include "board.h"

// Board bring-up: the pins, the touch controller, the serial flash, the I2C bus and the SD
// slot. Each driver joins here as it exists.
void InitEverything(void) {
    InitGPIO();
    InitTouch();
    InitSerialFlash();
    KT_ExtMem_SetGeometry(ReadSerialFlashID());
    InitI2C();
    SDCardSlotInit(0);
}

static void startInterrupts(void) {
    board_gpio_pullup(3, 31, 0);  // port D pin 31: no pull-up on the beeper output
    interrupt_init();
}

// The ports open with the stored rates; the settings' own start-up (repairs, config.ini)
// needs them for its messages; RS-485 and the choice of main port follow from its result.
static void startPorts(void) {
    KT_COM_Init0();
    KT_COM_Init1();
}

static void chooseMainPort(void) {
    Init_485mode();
    if (eepromData.mainPort == 1) {
        mainIsUart0 = 0;
        makeUart1Main();
    }
}

static void startDevices(void) {
    KT_led_init();
    KT_BeepInit();
    KT_Touch_Init();
    KT_Chart_Init();
    KT_LevelBar_Init();
    KT_Slider_Init();
    CircSliderInit();
    KT_Macros_Init();
}

static void startDisplay(void) {
    GUI_Init();
    KT_Display_PowerUp();
}

static void loadImage(void) {
    if (!KT_Load_ExtMem()) perr("!Error loading bitmaps from SD card or Data Flash.\r");
}

static void loadSettings(void) { KT_EEPROM_Load(); }

// The tick starts after the board: the touch controller and the flash are set up by then,
// and the EEPROM accesses of the settings wait on it.
const StartupStep startupSteps[] = {
    {"interrupts", startInterrupts},
    {"board", InitEverything},
    {"tick", KT_TimerInit},
    {"settings", loadSettings},
    {"ports", startPorts},
    {"config", KT_EEPROM_Init},
    {"mainport", chooseMainPort},
    {"devices", startDevices},
    {"display", startDisplay},
    {"image", loadImage},
};
const int startupStepCount = sizeof startupSteps / sizeof startupSteps[0];

int KT_StartUpTo(const char *last) {
    for (int i = 0; i < startupStepCount; ++i) {
        startupSteps[i].run();
        if (last && strcmp(startupSteps[i].name, last) == 0) return 1;
    }
    return last == 0;
}

void KT_main(void) {
    KT_StartUpTo(0);
    GUIDEMO_main();
}
