// GPIO ports: direction, output latch and input levels per pin. Pins reset to inputs
// pulled high.
#include "gpio.h"

#include <cstdint>

#include "board.h"
#include "sim.h"
#include "snapshot.h"

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

// Ports A..D in the peripheral space, 0x100 bytes apart; the registers modelled of each.
constexpr uint32_t kRegBlock = 0x1C000, kPortStride = 0x100;
enum : uint32_t {
    kDDIR = 0x00,  // 1 = output
    kDR = 0x1C,    // output latch
    kGIUS = 0x20,  // 1 = the pin is a GPIO, 0 = its peripheral's
    kSSR = 0x24,   // the pins' levels (read only)
    kPUEN = 0x40,  // pull-up enable
};

uint32_t portBits(const PortState &p, bool (*bit)(const PortState &, int)) {
    uint32_t v = 0;
    for (int i = 0; i < 32; ++i)
        if (bit(p, i)) v |= 1u << i;
    return v;
}

bool readReg(uint32_t off, uint32_t &v) {
    int port = int(off / kPortStride);
    const PortState &p = ports[port];
    switch (off % kPortStride) {
        case kDDIR: v = portBits(p, [](const PortState &q, int i) { return q.mode[i] == Mode::Output; }); return true;
        case kDR: v = portBits(p, [](const PortState &q, int i) { return q.out[i] != 0; }); return true;
        case kGIUS: v = portBits(p, [](const PortState &q, int i) { return q.mode[i] != Mode::Peripheral; }); return true;
        case kSSR:
            v = 0;
            for (int i = 0; i < 32; ++i)
                if (level(port, i)) v |= 1u << i;
            return true;
        case kPUEN: v = portBits(p, [](const PortState &q, int i) { return q.pullup[i] != 0; }); return true;
        default: return false;
    }
}

bool writeReg(uint32_t off, uint32_t v) {
    PortState &p = ports[off / kPortStride];
    uint32_t reg = off % kPortStride;
    if (reg != kDDIR && reg != kDR && reg != kGIUS && reg != kPUEN) return false;
    for (int i = 0; i < 32; ++i) {
        bool b = (v >> i) & 1;
        switch (reg) {
            case kDDIR:
                if (p.mode[i] != Mode::Peripheral) p.mode[i] = b ? Mode::Output : Mode::Input;
                break;
            case kDR: p.out[i] = b; break;
            case kGIUS:
                if (!b) p.mode[i] = Mode::Peripheral;
                else if (p.mode[i] == Mode::Peripheral) p.mode[i] = Mode::Input;
                break;
            default: p.pullup[i] = b; break;
        }
    }
    return true;
}

struct GpioDevice : Device {
    GpioDevice() {
        registerDevice(this);
        keepInSnapshots(ports);
        registerRegisters({kRegBlock, 4 * kPortStride, readReg, writeReg});
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
