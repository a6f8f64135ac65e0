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

// The controller's fields of one direction: pulse width - 1 (6 bits), front porch - 1 and the
// sum of the three - 3 (8 bits each). A zero setting would wrap below zero, so a count stops at
// zero; a sum too large for its field keeps its low bits, as the controller takes it.
typedef struct {
    unsigned pulse, wait1, wait2;
} TimingFields;

static unsigned atLeastZero(int v) { return v > 0 ? (unsigned)v : 0u; }

static TimingFields timingFields(int fp, int pw, int bp) {
    TimingFields f;
    f.pulse = atLeastZero(pw - 1) & 0x3Fu;
    f.wait1 = atLeastZero(fp - 1) & 0xFFu;
    f.wait2 = atLeastZero(fp + bp + pw - 3) & 0xFFu;
    return f;
}

static TimingFields horizontal(void) { return timingFields(eepromData.hfp, eepromData.hpw, eepromData.hbp); }
static TimingFields vertical(void) { return timingFields(eepromData.vfp, eepromData.vpw, eepromData.vbp); }

void panelTimingProgram(void) {
    TimingFields h = horizontal(), v = vertical();
    board_lcd_set_hconfig(h.pulse, h.wait1, h.wait2);
    board_lcd_set_vconfig(v.pulse, v.wait1, v.wait2);
}

// A line lasts the width plus the second wait plus 3 pixel clocks, a frame the height plus the
// vertical second wait plus 3 lines: with settings that fit their fields, the width plus the
// three horizontal settings times the height plus the three vertical ones.
u32 panelFrameMs(int width, int height) {
    u32 h = (u32)width + horizontal().wait2 + 3u;
    u32 v = (u32)height + vertical().wait2 + 3u;
    // H x V pixel clocks at 16.384 MHz: 16384 clocks per millisecond.
    return h * v / 16384u;
}
