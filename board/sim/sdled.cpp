// Scenario check `sd-led`: the SD-card activity LED on B 14, lit while the pin is driven high.
#include <string>

#include "gpio.h"
#include "sim.h"

namespace {

struct SdLed {
    SdLed() {
        using namespace sim::gpio;
        sim::registerCheck("sd-led", [] {
            return std::string(mode(B, 14) == Mode::Output && level(B, 14) == 1 ? "on" : "off");
        });
    }
} sdLed;

}  // namespace
