#include "Main.h"

#include "../comm/Rtosinit.h"
#include "../fs/sdcard.h"
#include "../storage/KT_eeprom.h"
#include "GUIDEMO.h"
#include "../devices/KT_beep.h"
#include "../devices/KT_led.h"
#include "../devices/KT_visibility.h"
#include "../devices/miscdrivers.h"
#include "../devices/serialmem.h"
#include "../fs/sdcard.h"
#include "../gui/GUI.h"
#include "../macros/KT_macros.h"
#include "../storage/KT_extmem.h"
#include "../touch/KT_touch.h"
#include "../widgets/KT_chart.h"
#include "../widgets/KT_levelbar.h"
#include "../widgets/KT_slider.h"
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

void KT_main(void) {
    KT_EEPROM_Load();
    KT_COM_Init0();
    KT_COM_Init1();
    KT_EEPROM_Init();
    Init_485mode();
    if (eepromData.mainPort == 1) {
        mainIsUart0 = 0;
        makeUart1Main();
    }
    KT_led_init();
    KT_BeepInit();
    KT_Touch_Init();
    KT_Chart_Init();
    KT_LevelBar_Init();
    KT_Slider_Init();
    CircSliderInit();
    KT_Macros_Init();
    GUI_Init();
    KT_Display_PowerUp();
    if (!KT_Load_ExtMem()) perr("!Error loading bitmaps from SD card or Data Flash.\r");
    GUIDEMO_main();
}
