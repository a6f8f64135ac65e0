// Every byte sequence a host can send: the input goes through the simulated UART of the
// command port into the running firmware, which then runs its main loop until it is idle.
// The firmware (the module vmod-sim loads, started from power-on RAM) stays up across inputs,
// as a module does on a long session.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "loader.h"
#include "onboard.h"
#include "serialflash.h"
#include "sim.h"
#include "storage/KT_eeprom.h"
#include "uart.h"
#include "widget_image.h"

namespace {

// The module, powered on once for the process.
void startOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    powerOnWithWidgetImage();
}

// The running firmware's own state: which port carries commands, and RS-485 framing.
bool plainCommandsOnPort0() {
    auto *mainIsUart0 = static_cast<volatile u8 *>(sim::firmwareSymbol("mainIsUart0"));
    auto *settings = static_cast<const EepromImage *>(sim::firmwareSymbol("eepromData"));
    if (!mainIsUart0 || !settings) __builtin_trap();
    return *mainIsUart0 && settings->rs485Mode != MODE_ON;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    startOnce();
    if (!sim::powered() || !sim::haltReason().empty()) __builtin_trap();  // the firmware died
    sim::uart::hostSend(0, std::string(reinterpret_cast<const char *>(data), size));
    // Until the last byte is in, then time to answer; a module that stops answering fails.
    sim::runUntil(sim::now() + 10 * sim::kSec, [] { return !sim::uart::hostSending(0); });
    sim::runFor(200 * sim::kMs);
    // Commands may have moved the command role or the framing away from this line; the
    // answer check only applies while port 0 still carries plain commands.
    if (!plainCommandsOnPort0()) return 0;
    sim::uart::setHostBaud(0, sim::uart::moduleBaud(0));
    sim::uart::hostReceived(0).clear();
    // The input may leave a binary command half received, which swallows up to 127 more
    // bytes; ask again until the module has had every chance to answer.
    auto &rx = sim::uart::hostReceived(0);
    auto answered = [&rx] {
        for (size_t i = 0; i + 1 < rx.size(); ++i)
            if (rx[i].c == '#' && rx[i + 1].c == '\r') return true;
        return false;
    };
    bool alive = false;
    for (int attempt = 0; attempt < 30 && !alive; ++attempt) {
        sim::uart::hostSend(0, "\x1b\r*IERR\r");
        alive = sim::runFor(2 * sim::kSec, answered);
    }
    if (!alive) __builtin_trap();  // the main loop no longer answers
    rx.clear();
    return 0;
}
