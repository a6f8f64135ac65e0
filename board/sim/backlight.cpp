// Stand-in for the two LCD-controller registers the tick and the backlight use, until the
// simulated LCD controller provides them: the contrast/PWM control word, which dims the
// backlight, and the beginning-of-frame status (no frames are scanned here). Weak, so that
// the controller's own definitions take over when it is linked in; the `pwm` check must then
// read the controller's word instead.
// Scenario check `pwm`: the duty field (bits 0-7).
#include <string>

#include "board.h"
#include "sim.h"

namespace {

using namespace sim;

struct Backlight : Device {
    uint32_t word = 0;
    Backlight() {
        registerDevice(this);
        registerCheck("pwm", [this] { return std::to_string(word & 0xFF); });
    }
    void powerOn() override { word = 0; }
} backlight;

}  // namespace

extern "C" __attribute__((weak)) void board_lcd_set_contrast(uint32_t w) { backlight.word = w; }
extern "C" __attribute__((weak)) int board_lcd_frame_status(void) { return 0; }
