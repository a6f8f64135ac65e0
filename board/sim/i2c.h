// The simulated I2C bus: the controller the firmware drives, and the devices on the bus.
#ifndef VMOD_SIM_I2C_H
#define VMOD_SIM_I2C_H

#include <cstdint>

namespace sim::i2c {

// A device on the bus, addressed by the 7 high bits of the address byte.
struct Slave {
    virtual ~Slave() = default;
    virtual uint8_t address() const = 0;  // 8-bit write address (the read address is one more)
    // The bus saw a START (or repeated START) and then this device's address; return true to
    // acknowledge. `read` is the direction bit.
    virtual bool select(bool read) = 0;
    virtual bool write(uint8_t byte) = 0;  // a byte from the master; true = acknowledge
    virtual uint8_t read() = 0;            // the next byte for the master
    virtual void masterAck(bool ack) = 0;  // what the master answered to the byte just read
    virtual void stop() = 0;               // STOP while this device was selected
};

void attach(Slave *s);

// Counters for tests: transactions completed (STOPs) and bytes that were not acknowledged.
uint64_t stops();
uint64_t nacks();

}  // namespace sim::i2c

#endif
