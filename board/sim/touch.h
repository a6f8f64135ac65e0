// The simulated touch-screen controller and its 4-wire resistive panel.
//
// The controller answers the control bytes of a 12-bit touch controller on a synchronous
// serial port: X and Y position, the pressure channels Z1 and Z2 and the two temperature
// channels. The panel turns a finger at a screen pixel into channel readings: the position
// through its factory mapping (the one the firmware's default calibration expects), the
// pressure channels from the plates' and the fingertip's resistances, as a controller
// measures them.
#ifndef VMOD_SIM_TOUCH_H
#define VMOD_SIM_TOUCH_H

#include <cstdint>

namespace sim {
namespace touch {

// Channel readings of the controller, 12 bits each (0..4095).
struct Readings {
    uint16_t x = 0;   // X channel: with the factory wiring it measures the screen row
    uint16_t y = 0;   // Y channel: measures the screen column
    uint16_t z1 = 0;  // pressure channels
    uint16_t z2 = 0;
};

// Readings of a firm finger at screen pixel (px, py): the factory mapping's position, and
// the Z1/Z2 voltages the plates and the fingertip's contact resistance divide.
Readings factoryReadings(int px, int py);

// Pen down at screen pixel (px, py) through the factory mapping (moves the pen while down).
void press(int px, int py);
// Pen down with these 10-bit readings (X channel, Y channel, Z1, Z2); 1024 reads as full scale.
void pressRaw(int xch, int ych, int z1, int z2);
void release();
bool penDown();

// Noise: every conversion of a position channel is off by up to +-amplitude 12-bit counts
// (a fixed pseudo-random sequence, so runs repeat). 0 switches it off.
void setNoise(int amplitude);

// Conversions started since power-on (a test can see that the sampler is running or frozen).
uint64_t conversions();

}  // namespace touch
}  // namespace sim

#endif
