// The simulated LCD controller: its registers, its colour table and the frame it scans out.
#ifndef VMOD_SIM_LCD_H
#define VMOD_SIM_LCD_H

#include <cstdint>

#include "sim.h"

namespace sim {
namespace lcd {

constexpr int kWidth = 640;   // the panel's pixels per line
constexpr int kHeight = 480;  // the panel's lines

// The controller's registers as the firmware last wrote them (reset values after power-on).
struct Registers {
    uint32_t start = 0;       // screen start address
    unsigned width16 = 0;     // panel width in units of 16 pixels
    unsigned height = 0;      // panel height in lines
    unsigned pageWidth = 0;   // virtual page width in 32-bit words
    uint32_t panelConfig = 0;
    uint32_t panelConfig2 = 0;
    uint32_t contrast = 0;
    uint32_t dmaControl = 0;
    unsigned refreshMode = 0;
    unsigned hpulse = 0, hwait1 = 0, hwait2 = 0;  // horizontal timing fields
    unsigned vpulse = 0, vwait1 = 0, vwait2 = 0;  // vertical timing fields
    uint16_t lut[256] = {};   // colour table, 12-bit RGB
    bool frameStatus = false; // beginning of frame seen and not yet read
    bool keepAlive = false;   // the DMA keep-alive transfer was started
};

const Registers &registers();
bool scanning();             // the controller is enabled
uint64_t frameCount();       // frames begun since power-on
Time framePeriod();          // from the timing registers (nanoseconds), 0 when unprogrammed

// The 640 x 480 frame the controller scans out, row after row (stride `stride()` pixels),
// or nullptr while the start address does not hold a whole frame inside SDRAM (a dark panel).
const uint16_t *frame();
int stride();

// Copies the visible frame into `out` (640 x 480 pixels); a dark panel gives zeros.
void copyFrame(uint16_t *out);

}  // namespace lcd
}  // namespace sim

#endif
