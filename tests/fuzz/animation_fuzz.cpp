// Animations built and run from any host input: each input line is turned into one of the
// animation commands (its first byte picks the command word, the rest of the line follows as
// it came), so the steps, slot numbers, frames, yields and blinking texts are the fuzzer's.
// After the player has run them, the step buffer and the slots of the running firmware (the
// module vmod-sim loads, started from power-on RAM) must still be consistent and the module
// must answer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "app/animation.h"
#include "loader.h"
#include "onboard.h"
#include "sim.h"
#include "uart.h"

namespace {

const char *const words[] = {"ani ", "ani+ ", "anie ", "anid ", "anix ", "tfe ", "tfd ", "tfx ", "tf ",
                             "tf",   "tf?",   "ani?",  "anis",  "anic",  "z",    "ani 0 y ", "ani 1 ", "tf 2 "};

// The firmware's own step buffer and slots.
struct Player {
    const char *buf;
    char *const *ptr;
    const ANI_SLOT *slots;
};

Player player() {
    Player p{static_cast<const char *>(sim::firmwareSymbol("anibuf")),
             static_cast<char *const *>(sim::firmwareSymbol("anibuf_ptr")),
             static_cast<const ANI_SLOT *>(sim::firmwareSymbol("dta"))};
    if (!p.buf || !p.ptr || !p.slots) __builtin_trap();
    return p;
}

// Packed from the start of the buffer, in order, without overlaps; every position inside.
bool consistent() {
    Player p = player();
    const char *end = *p.ptr;
    if (end < p.buf || end > p.buf + ANIBUF_SIZE) return false;
    long used = 0;
    for (int n = 0; n < ANI_SLOTS; ++n) {
        const ANI_SLOT &s = p.slots[n];
        if (!s.start) continue;
        if (s.start < p.buf || s.end < s.start || s.end >= end) return false;
        if (s.cur < s.start || s.cur > s.end || *s.end != 0) return false;
        used += s.end - s.start + 1;
    }
    return used == end - p.buf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    onboard::powerOnModuleOnce(VMOD_FIRMWARE_MODULE);
    if (!sim::powered() || !sim::haltReason().empty()) __builtin_trap();
    std::string host;
    size_t i = 0;
    while (i < size) {
        host += words[data[i++] % (sizeof words / sizeof words[0])];
        while (i < size && data[i] != '\n') {
            if (data[i] != '\r') host += char(data[i]);
            ++i;
        }
        ++i;
        host += '\r';
    }
    sim::uart::setHostBaud(0, sim::uart::moduleBaud(0));
    sim::uart::hostSend(0, host);
    sim::runUntil(sim::now() + 10 * sim::kSec, [] { return !sim::uart::hostSending(0); });
    sim::runFor(1500 * sim::kMs);  // the player's runs
    if (!consistent()) __builtin_trap();
    // Leave any waiting screen, then the module must answer.
    auto &rx = sim::uart::hostReceived(0);
    bool alive = false;
    for (int attempt = 0; attempt < 10 && !alive; ++attempt) {
        rx.clear();
        sim::uart::hostSend(0, "\x1b\ranic\r*IERR\r");
        alive = sim::runFor(3 * sim::kSec, [&rx] {
            for (size_t k = 0; k + 1 < rx.size(); ++k)
                if (rx[k].c == '#' && rx[k + 1].c == '\r') return true;
            return false;
        });
    }
    if (!alive || !consistent()) __builtin_trap();
    rx.clear();
    return 0;
}
