// The settings image. Until the EEPROM driver exists the module behaves as with a blank
// part: every byte reads 0xFF, so the image is never valid and nothing is stored.
#include "KT_eeprom.h"

#include <string.h>

EepromImage eepromData;

int KT_EEPROMvalid(void) { return eepromData.validMarker == EEPROM_VALID_MARKER; }

int KT_EEPROM_Load(void) {
    memset(&eepromData, 0xFF, sizeof eepromData);
    return 1;
}

static const u32 baudTable[] = {115200, 1200, 4800, 9600, 19200, 38400, 57600, 115200, 230400};

u32 KT_get_baudrate_eeprom(u8 index) {
    return index < sizeof baudTable / sizeof baudTable[0] ? baudTable[index] : 115200;
}

int KT_save_baudrate_eeprom(int port, u32 rate) {
    if (port != 0 && port != 1) return 0;
    u8 index = 0xFF;
    for (u8 i = 1; i < sizeof baudTable / sizeof baudTable[0]; ++i)
        if (baudTable[i] == rate) index = i;
    if (port == 0)
        eepromData.baud0 = index;
    else
        eepromData.baud1 = index;
    return index != 0xFF;
}
