// GPIO ports: direction, output latch and input levels per pin. Pins reset to inputs
// pulled high.
#include "gpio.h"

#include <cstdint>

#include "board.h"
#include "sim.h"

namespace sim::gpio {
namespace {

struct PortState {
    Mode mode[32];
    uint8_t out[32];
    uint8_t in[32];
    uint8_t pullup[32];
};
PortState ports[4];

bool valid(int port, int pin) { return port >= 0 && port < 4 && pin >= 0 && pin < 32; }

struct GpioDevice : Device {
    GpioDevice() {
        registerDevice(this);
        reset();
    }
    void powerOn() override { reset(); }
    void reset() {
        for (PortState &p : ports)
            for (int i = 0; i < 32; ++i) {
                p.mode[i] = Mode::Input;
                p.out[i] = 0;
                p.in[i] = 1;
                p.pullup[i] = 1;
            }
    }
} device;

}  // namespace

int level(int port, int pin) {
    if (!valid(port, pin)) return 0;
    const PortState &p = ports[port];
    return p.mode[pin] == Mode::Output ? p.out[pin] : p.in[pin];
}

Mode mode(int port, int pin) { return valid(port, pin) ? ports[port].mode[pin] : Mode::Input; }

void setInput(int port, int pin, int lvl) {
    if (valid(port, pin)) ports[port].in[pin] = lvl ? 1 : 0;
}

}  // namespace sim::gpio

using namespace sim::gpio;

extern "C" void board_gpio_output(int port, int pin, int lvl) {
    if (!valid(port, pin)) return;
    ports[port].mode[pin] = Mode::Output;
    ports[port].out[pin] = lvl ? 1 : 0;
}

extern "C" void board_gpio_input(int port, int pin) {
    if (valid(port, pin)) ports[port].mode[pin] = Mode::Input;
}

extern "C" void board_gpio_peripheral(int port, int pin) {
    if (valid(port, pin)) ports[port].mode[pin] = Mode::Peripheral;
}

extern "C" void board_gpio_pullup(int port, int pin, int on) {
    if (valid(port, pin)) ports[port].pullup[pin] = on ? 1 : 0;
}

extern "C" void board_gpio_write(int port, int pin, int lvl) {
    if (valid(port, pin)) ports[port].out[pin] = lvl ? 1 : 0;
}

extern "C" int board_gpio_read(int port, int pin) { return level(port, pin); }
