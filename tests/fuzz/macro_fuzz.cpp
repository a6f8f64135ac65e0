// Macro execution over a fuzzed macro area: the input becomes the macro table, the name block
// and the texts of an image whose header and directory are sound, and the host then runs
// macros by number, name and label and lists them. Damaged tables, names, texts without their
// NUL and endless :repeat loops must leave the module answering (the host's ESC CR ends loops).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "onboard.h"
#include "board.h"
#include "comm/Rtosinit.h"
#include "devices/interrupt.h"
#include "devices/KT_timer.h"
#include "storage/KT_extmem.h"
#include "sim.h"
#include "uart.h"

namespace {

// The whole firmware as vmod-sim loads it, powered on once for the process.
void startOnce() { onboard::powerOnModuleOnce(VMOD_FIRMWARE_MODULE); }

void put16(uint8_t *p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void put32(uint8_t *p, uint32_t v) {
    put16(p, uint16_t(v));
    put16(p + 2, uint16_t(v >> 16));
}

// Header, one directory entry of type 3 whose table starts at offset 20, then the input.
void stage(const uint8_t *data, size_t size) {
    const size_t maxBody = 4096;
    size_t body = size > 1 ? size - 1 : 0;
    if (body > maxBody) body = maxBody;
    uint8_t *img = ExtMemBuffer;
    memset(img, 0, 20 + maxBody + 16);
    put16(img, EXTMEM_MAGIC);
    put16(img + 2, 1);
    put32(img + 4, uint32_t(20 + body));
    img[8] = EXTMEM_MACROS;
    put32(img + 12, 20);
    put32(img + 16, size ? uint32_t(data[0] % 12) : 0);  // N: 0..11 entries
    if (body) memcpy(img + 20, data + 1, body);
    KT_ExtMem_SetStaged(uint32_t(20 + body));
}

bool answered(const std::string &mark) {
    auto &rx = sim::uart::hostReceived(0);
    std::string got;
    for (auto &b : rx) got += char(b.c);
    return got.find(mark) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    startOnce();
    if (!sim::powered() || !sim::haltReason().empty()) __builtin_trap();  // the firmware died
    stage(data, size);
    sim::uart::hostReceived(0).clear();
    sim::uart::hostSend(0, "m1 a \"b c\" 123456789\rm2:x\rm 3\rm A\rlsmac\rlsmac 1\r");
    sim::runUntil(sim::now() + 10 * sim::kSec, [] { return !sim::uart::hostSending(0); });
    sim::runFor(300 * sim::kMs);
    // Whatever runs now (a :repeat loop, a wait), the escape and a known line get an answer.
    bool alive = false;
    for (int attempt = 0; attempt < 20 && !alive; ++attempt) {
        sim::uart::hostSend(0, "\x1b\r*IERR\r");
        alive = sim::runFor(2 * sim::kSec, [] { return answered("#\r"); });
    }
    if (!alive) __builtin_trap();  // the main loop no longer answers
    // The next input starts from a blank image, whatever this one left scheduled.
    memset(ExtMemBuffer, 0, 8);
    sim::uart::hostReceived(0).clear();
    return 0;
}
