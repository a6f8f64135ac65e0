// The LCD controller's contrast/PWM control word, which dims the backlight, and its
// beginning-of-frame status (no frames are scanned here).
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

extern "C" void board_lcd_set_contrast(uint32_t w) { backlight.word = w; }
extern "C" int board_lcd_frame_status(void) { return 0; }
