// The downloads into the Data Flash as a host drives them: the first bytes choose the binary
// download ("bdld": address, length, then the raw stream) or the text download ("xmp": start
// address, verbose switch, then lines), the rest is what the host sends. Beyond surviving
// any stream, a download must never leave a valid image header in front of an image it did
// not write whole: a header in the flash afterwards means the download succeeded and
// reached the end the header names.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "comm/Rtosinit.h"
#include "command/handlers.h"
#include "devices/serialmem.h"
#include "onboard.h"
#include "serialflash.h"
#include "sim.h"
#include "storage/KT_extmem.h"
#include "uart.h"

namespace {

void startOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    onboard::Bringup steps;
    steps.upTo = "ports";  // the serial flash and its geometry, the settings, both ports
    onboard::configure(onboard::freshStateDir(), steps);
    if (!onboard::run([] {})) __builtin_trap();
}

uint32_t le32(const uint8_t *p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) return 0;
    startOnce();
    const bool binary = data[0] & 1;
    // Addresses near the start (where the header lives) and near the end of the flash.
    uint32_t addr = (data[1] & 0x80) ? sim::serialflash::size() - (uint32_t(data[1] & 0x7F) << 4) : uint32_t(data[1]) << 3;
    uint32_t len = uint32_t(data[2] | data[3] << 8) % 4096;
    std::string stream(reinterpret_cast<const char *>(data + 4), size - 4);
    // A header an earlier input left held back goes with sector 0; then the flash is blank.
    onboard::run([] { KT_ExtMem_Erase_Sector(0); });
    sim::serialflash::fill(0xFF);
    int result = -1;
    bool finished;
    // The host starts sending when the download has begun, as it would after the command's
    // first answer.
    if (binary) {
        finished = onboard::run(
            [&] {
                sim::uart::hostSend(0, stream);
                result = doEEPROMBinDownload(addr, len, 50);
            },
            600 * sim::kSec);
    } else {
        stream += "\r Q\r";  // an end mark after whatever came before
        finished = onboard::run(
            [&] {
                sim::uart::hostSend(0, stream);
                char line[40];
                std::snprintf(line, sizeof line, "xmp %X %X %d", unsigned(addr >> 16), unsigned(addr & 0xFFFF),
                              (data[0] & 2) ? 1 : 0);
                result = cmdExtMemProgram(line);
            },
            600 * sim::kSec);
    }
    if (!finished) {
        std::fprintf(stderr, "download_fuzz: the download never ended; the host saw \"%s\"\n",
                     onboard::hostText(0, false).c_str());
        __builtin_trap();
    }
    // Nothing may stay in the way of the next input: what the download left of the stream
    // (lines after an error, bytes past the length) arrives and goes, as the main loop would
    // take it, and a host the full ring had stopped may send again.
    onboard::run([] {
        txChar(XON);
        rxStopped = 0;
    });
    sim::runUntil(sim::now() + 60 * sim::kSec, [] { return !sim::uart::hostSending(0); });
    onboard::run([] {
        restoreUartBinMain();
        bufferOverflow = 0;
    });
    std::vector<uint8_t> flash = sim::serialflash::contents();
    if (flash[0] == 0xEB && flash[1] == 0xFE && binary) {
        uint32_t imageSize = le32(&flash[4]);
        if (result != 1 || addr != 0 || len < imageSize) __builtin_trap();  // a partial image looks valid
    }
    return 0;
}
