// The peripheral register space: each device's modelled registers, and plain storage for the
// rest so that every register reads back what was written to it.
#include <cstdint>
#include <vector>

#include "board.h"
#include "sim.h"
#include "snapshot.h"

namespace {

using namespace sim;

std::vector<RegisterBlock> &blocks() {
    static std::vector<RegisterBlock> list;
    return list;
}

struct PeripheralSpace : Device {
    std::vector<uint32_t> words = std::vector<uint32_t>(BOARD_PERIPH_SIZE / 4);
    PeripheralSpace() {
        registerDevice(this);
        keepMemoryInSnapshots(words.data(), words.size() * sizeof(uint32_t));  // never reallocated
    }
    void powerOn() override { words.assign(words.size(), 0); }
} space;

const RegisterBlock *blockAt(uint32_t offset) {
    for (const RegisterBlock &b : blocks())
        if (offset >= b.offset && offset - b.offset < b.size) return &b;
    return nullptr;
}

bool inSpace(uint32_t offset) { return offset < BOARD_PERIPH_SIZE && (offset & 3) == 0; }

}  // namespace

namespace sim {
void registerRegisters(RegisterBlock block) { blocks().push_back(std::move(block)); }
}  // namespace sim

extern "C" uint32_t board_reg_read(uint32_t offset) {
    if (!inSpace(offset)) return 0;
    uint32_t v = 0;
    if (const RegisterBlock *b = blockAt(offset))
        if (b->read(offset - b->offset, v)) return v;
    return space.words[offset / 4];
}

extern "C" void board_reg_write(uint32_t offset, uint32_t value) {
    if (!inSpace(offset)) return;
    if (const RegisterBlock *b = blockAt(offset))
        if (b->write(offset - b->offset, value)) return;
    space.words[offset / 4] = value;
}
