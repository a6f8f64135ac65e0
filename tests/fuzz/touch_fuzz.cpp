// Pen traces through the simulated panel into the whole firmware, with buttons, touch areas,
// a linear and a circular slider defined: each 4-byte record of the input moves the pen to
// a pixel (or presses with raw, possibly implausible channel readings), lifts it, and holds
// for a few milliseconds. Afterwards the module must still answer its host.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "loader.h"
#include "onboard.h"
#include "serialflash.h"
#include "sim.h"
#include "touch.h"
#include "uart.h"
#include "widget_image.h"

namespace {

// The touch objects every trace meets, as the widget and touch scenarios define them.
const char *const kSetup[] = {
    "bd 1 100 100 5 \"Alpha\" 10 24\r",
    "bd 2 300 100 5 \"Beta\" 10 24\r",
    "xs 140 0 350 200 479\r",
    "sl 200 1 100 50 2 0 1 0 0 100 0\r",
    "slc 210 3 300 20 6 1 270 0 135 0 315 225 0 42 20\r",
};

void startOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    powerOnWithWidgetImage();
    for (const char *line : kSetup)
        if (!onboard::exchange(0, line, ">\r")) {  // the objects must exist
            std::fprintf(stderr, "touch_fuzz: \"%s\" answered \"%s\"\n", line, onboard::hostText(0).c_str());
            __builtin_trap();
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    startOnce();
    if (!sim::powered() || !sim::haltReason().empty()) __builtin_trap();
    for (size_t i = 0; i + 4 <= size && i < 4 * 256; i += 4) {
        const uint8_t *r = data + i;
        int hold = 1 + (r[3] & 0x3F);  // ms
        if (r[3] & 0x80) {
            sim::touch::release();
        } else if (r[3] & 0x40) {
            sim::touch::pressRaw(r[0] << 2 | (r[1] & 3), r[2] << 2 | (r[1] >> 2 & 3), r[1] & 0xF0, r[2] ^ r[0]);
        } else {
            sim::touch::press((r[0] | (r[1] & 3) << 8) % 640, (r[2] | (r[1] >> 2 & 1) << 8) % 480);
        }
        sim::runFor(sim::Time(hold) * sim::kMs);
    }
    sim::touch::release();
    sim::runFor(300 * sim::kMs);
    // The reports of the trace are the host's; then the module must still answer.
    sim::uart::hostReceived(0).clear();
    if (!onboard::exchange(0, "\x1b\r*IERR\r", "#\r", 5 * sim::kSec)) __builtin_trap();
    sim::uart::hostReceived(0).clear();
    return 0;
}
