// The I2C bus controller: master side, byte level. A START followed by an address byte
// selects the device of that address; later bytes go to it until the next START or STOP.
// Bytes take no virtual time; a device that is busy simply does not acknowledge.
#include "i2c.h"

#include <vector>

#include "board.h"
#include "sim.h"
#include "snapshot.h"

namespace sim::i2c {
namespace {

enum class Phase { Idle, Address, Write, Read };

// Devices attach from their own static constructors, so the list must exist before any of
// them runs, whatever the order of construction.
std::vector<Slave *> &slaves() {
    static std::vector<Slave *> list;
    return list;
}

struct Bus : Device {
    bool enabled = false;
    Phase phase = Phase::Idle;
    Slave *current = nullptr;
    uint64_t stopCount = 0;
    uint64_t nackCount = 0;

    Bus() {
        registerDevice(this);
        keepInSnapshots(*this);
    }
    void powerOn() override { reset(); }
    void powerOff() override { reset(); }
    void reset() {
        enabled = false;
        phase = Phase::Idle;
        current = nullptr;
    }
} bus;

}  // namespace

void attach(Slave *s) { slaves().push_back(s); }
uint64_t stops() { return bus.stopCount; }
uint64_t nacks() { return bus.nackCount; }

}  // namespace sim::i2c

using namespace sim::i2c;

extern "C" void board_i2c_init(uint32_t divider) {
    bus.enabled = divider != 0;
    bus.phase = Phase::Idle;
    bus.current = nullptr;
}

extern "C" void board_i2c_start(void) {
    if (!bus.enabled) return;
    bus.phase = Phase::Address;
    bus.current = nullptr;
}

extern "C" int board_i2c_write(uint8_t byte) {
    bool ack = false;
    if (bus.enabled) {
        switch (bus.phase) {
        case Phase::Address:
            for (Slave *s : slaves())
                if ((byte & 0xFE) == s->address() && s->select(byte & 1)) {
                    bus.current = s;
                    ack = true;
                    break;
                }
            bus.phase = !ack ? Phase::Idle : (byte & 1) ? Phase::Read : Phase::Write;
            break;
        case Phase::Write:
            ack = bus.current->write(byte);
            break;
        default:  // nobody listens: no START, or a write while reading
            break;
        }
    }
    if (!ack) ++bus.nackCount;
    return ack;
}

extern "C" uint8_t board_i2c_read(int ack) {
    if (!bus.enabled || bus.phase != Phase::Read) return 0xFF;  // the bus idles high
    uint8_t b = bus.current->read();
    bus.current->masterAck(ack != 0);
    return b;
}

extern "C" void board_i2c_stop(void) {
    if (!bus.enabled) return;
    if (bus.current) bus.current->stop();
    bus.current = nullptr;
    bus.phase = Phase::Idle;
    ++bus.stopCount;
}
