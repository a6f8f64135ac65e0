// Panel timing from the settings image.
#include "MAC_panelTiming.h"

#include "board.h"
#include "../storage/KT_eeprom.h"

static void defaultField(u8 *field, u8 builtIn) {
    if (*field == PANEL_TIMING_UNSET) *field = builtIn;
}

void panelTimingDefaults(void) {
    defaultField(&eepromData.hfp, PANEL_HFP);
    defaultField(&eepromData.hpw, PANEL_HPW);
    defaultField(&eepromData.hbp, PANEL_HBP);
    defaultField(&eepromData.vfp, PANEL_VFP);
    defaultField(&eepromData.vpw, PANEL_VPW);
    defaultField(&eepromData.vbp, PANEL_VBP);
}

// A register field of n - 1 (or n - 3): a zero setting would wrap to the field's maximum, so
// the count stops at zero instead.
static unsigned field(int v) { return v > 0 ? (unsigned)v : 0u; }

void panelTimingProgram(void) {
    int hfp = eepromData.hfp, hpw = eepromData.hpw, hbp = eepromData.hbp;
    int vfp = eepromData.vfp, vpw = eepromData.vpw, vbp = eepromData.vbp;
    board_lcd_set_hconfig(field(hpw - 1), field(hfp - 1), field(hfp + hbp + hpw - 3));
    board_lcd_set_vconfig(field(vpw - 1), field(vfp - 1), field(vfp + vbp + vpw - 3));
}

u32 panelFrameMs(int width, int height) {
    u32 h = (u32)eepromData.hfp + eepromData.hbp + eepromData.hpw + (u32)width;
    u32 v = (u32)eepromData.vfp + eepromData.vbp + eepromData.vpw + (u32)height;
    // H x V pixel clocks at 16.384 MHz: 16384 clocks per millisecond.
    return h * v / 16384u;
}
