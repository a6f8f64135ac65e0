// Panel timing: the porch and sync values of the settings image, their built-in defaults, and
// the controller's timing registers computed from them.
#ifndef VMOD_MAC_PANELTIMING_H
#define VMOD_MAC_PANELTIMING_H

#include "../types.h"

// Built-in panel timing, in pixel clocks (horizontal) and lines (vertical).
#define PANEL_HFP 32
#define PANEL_HPW 2
#define PANEL_HBP 32
#define PANEL_VFP 8
#define PANEL_VPW 2
#define PANEL_VBP 20
#define PANEL_TIMING_UNSET 0xFF  // a settings field holding this uses the built-in value

// Replaces every unset timing field of eepromData with its built-in value (in RAM only; the
// settings are not saved).
void panelTimingDefaults(void);
// Writes the horizontal and vertical timing registers from eepromData.
void panelTimingProgram(void);
// Frame period in whole milliseconds for a width x height panel with eepromData's timing.
u32 panelFrameMs(int width, int height);

#endif
