// The touch-screen controller on its synchronous serial port and the resistive panel behind it.
#include "touch.h"

#include <cmath>
#include <cstdio>
#include <deque>
#include <string>

#include "board.h"
#include "sim.h"
#include "snapshot.h"

namespace {

using namespace sim;

// Factory mapping: the 10-bit reading at the first and last pixel of each axis. The Y channel
// runs along the screen's columns, the X channel along its rows.
constexpr int kColRaw0 = 9, kColRaw639 = 484;
constexpr int kRowRaw0 = 5, kRowRaw479 = 497;
// The panel's electrical make-up: the resistance of each plate from edge to edge and the
// contact resistance of a firm fingertip between the plates.
constexpr double kXPlateOhms = 400;
constexpr double kYPlateOhms = 300;
constexpr double kFingerOhms = 580;

// The controller's channel select field (bits 6..4 of a control byte).
enum Channel { kTemp0 = 0, kYPos = 1, kZ1 = 3, kZ2 = 4, kXPos = 5, kTemp1 = 7 };
constexpr uint16_t kTemp0Reading = 2000;  // the two temperature diodes at about 25 degrees
constexpr uint16_t kTemp1Reading = 2190;

// Smallest reading whose truncating conversion lands on pixel p (or one past it).
int rawFor(int p, int raw0, int rawLast, int lastPixel) {
    int span = rawLast - raw0;
    int k = (p * span + lastPixel - 1) / lastPixel;
    if (p < 0) k = -((-p * span) / lastPixel);
    return raw0 + k;
}

uint16_t clamp12(long v) { return uint16_t(v < 0 ? 0 : v > 4095 ? 4095 : v); }

struct Touch : Device {
    touch::Readings pen;          // what the panel gives while the pen is down
    bool down = false;
    bool selected = false;
    std::deque<uint8_t> out;      // bytes the controller clocks out next
    int noise = 0;
    uint32_t noiseState = 1;
    uint64_t conversions = 0;

    Touch() {
        registerDevice(this);
        keepInSnapshots(*this);
    }
    void powerOn() override { reset(); }
    void powerOff() override { reset(); }
    void reset() {
        down = false;
        selected = false;
        out.clear();
        noise = 0;
        noiseState = 1;
        conversions = 0;
    }

    int jitter() {
        if (!noise) return 0;
        noiseState = noiseState * 1103515245u + 12345u;
        return int((noiseState >> 16) % unsigned(2 * noise + 1)) - noise;
    }

    // A resistive panel with nobody on it reads its pull-downs: position and pressure 0.
    uint16_t convert(int channel) {
        ++conversions;
        switch (channel) {
            case kXPos: return down ? clamp12(long(pen.x) + jitter()) : 0;
            case kYPos: return down ? clamp12(long(pen.y) + jitter()) : 0;
            case kZ1: return down ? pen.z1 : 0;
            case kZ2: return down ? pen.z2 : 0;
            case kTemp0: return kTemp0Reading;
            case kTemp1: return kTemp1Reading;
            default: return 0;  // the auxiliary and battery inputs are not wired
        }
    }

    uint8_t transfer(uint8_t b) {
        if (!selected) return 0xFF;  // nobody drives the data line
        uint8_t r = 0;
        if (!out.empty()) {
            r = out.front();
            out.pop_front();
        }
        if (b & 0x80) {  // start bit: a new conversion replaces what was still to come
            uint16_t v = convert((b >> 4) & 7);
            out.clear();
            out.push_back(uint8_t(v >> 5));
            out.push_back(uint8_t((v & 0x1F) << 3));
        }
        return r;
    }
} dev;

}  // namespace

namespace sim {
namespace touch {

Readings factoryReadings(int px, int py) {
    int col = rawFor(px, kColRaw0, kColRaw639, 639);
    int row = rawFor(py, kRowRaw0, kRowRaw479, 479);
    if (col < 0) col = 0;
    if (col > 1023) col = 1023;
    if (row < 0) row = 0;
    if (row > 1023) row = 1023;
    Readings r;
    r.x = uint16_t(row * 4);
    r.y = uint16_t(col * 4);
    double xf = row / 1024.0, yf = col / 1024.0;  // where the finger sits on each plate
    // The pressure measurement drives Y+ against X-: the current runs through the Y plate from
    // its driven edge to the finger, through the finger, and along the X plate to X-. Z1 is
    // the voltage the X plate shows at the finger, Z2 the one the Y plate shows there.
    double xPart = kXPlateOhms * xf, yPart = kYPlateOhms * (1.0 - yf);
    double total = xPart + kFingerOhms + yPart;
    r.z1 = clamp12(std::lround(4096.0 * xPart / total));
    r.z2 = clamp12(std::lround(4096.0 * (xPart + kFingerOhms) / total));
    return r;
}

void press(int px, int py) {
    dev.pen = factoryReadings(px, py);
    dev.down = true;
}

void pressRaw(int xch, int ych, int z1, int z2) {
    dev.pen.x = clamp12(long(xch) * 4);
    dev.pen.y = clamp12(long(ych) * 4);
    dev.pen.z1 = clamp12(long(z1) * 4);
    dev.pen.z2 = clamp12(long(z2) * 4);
    dev.down = true;
}

void release() { dev.down = false; }
bool penDown() { return dev.down; }
void setNoise(int amplitude) { dev.noise = amplitude < 0 ? 0 : amplitude; }
uint64_t conversions() { return dev.conversions; }

}  // namespace touch
}  // namespace sim

extern "C" {

void board_touch_init(void) {
    dev.selected = false;
    dev.out.clear();
}

void board_touch_select(int on) {
    dev.selected = on != 0;
    if (!dev.selected) dev.out.clear();
}

uint8_t board_touch_transfer(uint8_t b) { return dev.transfer(b); }

int board_touch_pen_line(void) { return dev.down ? 0 : 1; }
}
