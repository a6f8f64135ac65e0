// The beeper: timer 2 making the tone on pin D 31 and the volume PWM on pin A 2.
// Scenario checks: `beeper` (off, or the tone in Hz) and `volume` (the level last given).
#include <string>

#include "board.h"
#include "sim.h"
#include "snapshot.h"

namespace {

using namespace sim;

struct Audio : Device {
    uint32_t toneHz = 0;  // 0 = no tone
    uint32_t volume = 0;
    uint32_t pwmSample = 0;
    bool pwmOn = false;

    Audio() {
        registerDevice(this);
        keepInSnapshots(*this);
        registerCheck("beeper", [this] { return toneHz ? std::to_string(toneHz) : std::string("off"); });
        registerCheck("volume", [this] { return std::to_string(volume); });
    }
    void powerOn() override { reset(); }
    void powerOff() override { reset(); }
    void reset() {
        toneHz = 0;
        volume = 0;
        pwmSample = 0;
        pwmOn = false;
    }
} audio;

}  // namespace

extern "C" void board_audio_init(void) {
    audio.pwmOn = true;
    audio.pwmSample = 0;
    audio.volume = 0;
    audio.toneHz = 0;
}

extern "C" void board_audio_volume(uint32_t v) {
    if (v > 255) v = 255;
    audio.volume = v;
    audio.pwmSample = 102 * v / 255;
}

extern "C" void board_tone_on(uint32_t hz) { audio.toneHz = hz & 0xFFFF; }
extern "C" void board_tone_off(void) { audio.toneHz = 0; }
