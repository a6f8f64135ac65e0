// The whole firmware for fuzz targets: started once per process from the start-up sequence
// of main, on the simulated board with a temporary state folder, and left running across
// inputs, as a module stays up on a long session.
#ifndef VMOD_FUZZ_FIRMWARE_H
#define VMOD_FUZZ_FIRMWARE_H

#include <stdlib.h>

#include <cstdint>
#include <vector>

#include "app/Main.h"
#include "board.h"
#include "devices/KT_timer.h"
#include "devices/interrupt.h"
#include "serialflash.h"
#include "sim.h"

namespace fuzz {

inline int firmwareMain() {
    board_gpio_pullup(3, 31, 0);
    interrupt_init();
    InitEverything();
    KT_TimerInit();
    KT_main();
    return 0;
}

// Powers the module on at the first call and lets it run `settle` to reach its main loop;
// with `flash`, the Data Flash holds that image first, so that commands find its pictures.
inline void startFirmwareOnce(sim::Time settle, const std::vector<uint8_t> *flash = nullptr) {
    static bool started = false;
    if (started) return;
    started = true;
    static char tmpl[] = "/tmp/vmod-fuzz-XXXXXX";
    sim::setStateDir(mkdtemp(tmpl) ? tmpl : "/tmp");
    if (flash) sim::serialflash::load(*flash);
    sim::setFirmwareLoader([] { return sim::FirmwareEntry{firmwareMain, irq_handler}; }, [] {});
    sim::powerOn();
    sim::runFor(settle);
}

}  // namespace fuzz

#endif
