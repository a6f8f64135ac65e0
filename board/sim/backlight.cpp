// Scenario check `pwm`: the duty field (bits 0-7) of the LCD controller's contrast/PWM control
// word, which dims the backlight.
#include <string>

#include "lcd.h"
#include "sim.h"

namespace {

struct Backlight {
    Backlight() {
        sim::registerCheck("pwm", [] { return std::to_string(sim::lcd::registers().contrast & 0xFF); });
    }
} backlight;

}  // namespace
