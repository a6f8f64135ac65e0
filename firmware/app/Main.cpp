#include "Main.h"

#include "../comm/Rtosinit.h"
#include "../fs/sdcard.h"
#include "../storage/KT_eeprom.h"
#include "GUIDEMO.h"
#include "board.h"

// Board bring-up: the pins, the touch controller, the serial flash, the I2C bus and the SD
// slot. Each driver joins here as it exists.
void InitEverything(void) {
    SDCardSlotInit(0);
}

void KT_main(void) {
    KT_EEPROM_Load();
    KT_COM_Init0();
    KT_COM_Init1();
    Init_485mode();
    if (eepromData.mainPort == 1) {
        mainIsUart0 = 0;
        makeUart1Main();
    }
    GUIDEMO_main();
}
