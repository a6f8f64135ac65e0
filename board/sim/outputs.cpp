// Scenario checks of the board's single-pin outputs and the serial ports' set-up.
// Pins: user LED A 5 (on = low), panel power C 4 (on = low), LCD data enable C 5 (on = low),
// backlight inverter enable C 8 (the board's inverter runs on a high level), VQ C 7,
// orientation A 3 (bit 0) and A 4 (bit 1).
#include <string>

#include "board.h"
#include "gpio.h"
#include "sim.h"
#include "uart.h"

namespace {

using namespace sim;

std::string onOff(bool on) { return on ? "on" : "off"; }

struct Outputs {
    Outputs() {
        using namespace sim::gpio;
        registerCheck("led", [] { return onOff(mode(A, 5) == Mode::Output && level(A, 5) == 0); });
        registerCheck("panel", [] { return onOff(mode(C, 4) == Mode::Output && level(C, 4) == 0); });
        registerCheck("lcd-data", [] { return onOff(mode(C, 5) == Mode::Output && level(C, 5) == 0); });
        registerCheck("inverter", [] { return onOff(mode(C, 8) == Mode::Output && level(C, 8) == 1); });
        registerCheck("vq", [] { return std::to_string(level(C, 7)); });
        registerCheck("orient", [] { return std::to_string(level(A, 3) | level(A, 4) << 1); });
        registerCheck("rts", [] { return std::string(sim::uart::rs485DriverOn() ? "high" : "low"); });
        registerCheck("baud0", [] { return std::to_string(sim::uart::moduleBaud(0)); });
        registerCheck("baud1", [] { return std::to_string(sim::uart::moduleBaud(1)); });
    }
} outputs;

}  // namespace
