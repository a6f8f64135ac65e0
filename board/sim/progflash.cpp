// The parallel program flash: it holds the firmware the board runs, so its content is the
// firmware module file from the first byte on, erased (0xFF) after it. Tests that run
// firmware code without a module may give the content directly.
#include "progflash.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

#include "board.h"
#include "loader.h"

namespace sim::progflash {
namespace {

std::vector<uint8_t> given;
bool haveGiven = false;
std::string cachedPath;
std::vector<uint8_t> cached;

const std::vector<uint8_t> &content() {
    if (haveGiven) return given;
    const std::string &p = firmwareModulePath();
    if (p != cachedPath) {
        cachedPath = p;
        cached.clear();
        std::ifstream in(p, std::ios::binary);
        if (in) cached.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (cached.size() > BOARD_PROGFLASH_SIZE) cached.resize(BOARD_PROGFLASH_SIZE);
    }
    return cached;
}

}  // namespace

void setContent(const std::vector<uint8_t> &bytes) {
    given.assign(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), BOARD_PROGFLASH_SIZE));
    haveGiven = true;
}

void useFirmwareFile() {
    haveGiven = false;
    given.clear();
}

}  // namespace sim::progflash

extern "C" uint32_t board_progflash_read(uint32_t offset, uint8_t *dst, uint32_t n) {
    if (offset >= BOARD_PROGFLASH_SIZE) return 0;
    if (n > BOARD_PROGFLASH_SIZE - offset) n = BOARD_PROGFLASH_SIZE - offset;
    const std::vector<uint8_t> &c = sim::progflash::content();
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t a = offset + i;
        dst[i] = a < c.size() ? c[a] : 0xFF;
    }
    return n;
}
