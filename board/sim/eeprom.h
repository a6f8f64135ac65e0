// The simulated settings EEPROM: a 4 KiB I2C part (device 0xA0) with two-byte word
// addresses, 32-byte pages and a 5 ms internal write cycle, kept in eeprom.bin in the state
// folder (a missing file is a blank part, all 0xFF).
#ifndef VMOD_SIM_EEPROM_H
#define VMOD_SIM_EEPROM_H

#include <cstdint>
#include <string>
#include <vector>

namespace sim::eeprom {

constexpr unsigned kSize = 4096;
constexpr unsigned kPage = 32;
constexpr uint8_t kDeviceAddress = 0xA0;

// The cell array as the part holds it now (a write cycle in progress is not in it yet).
uint8_t peek(unsigned addr);
// Every byte address the part has programmed since power-on, in order.
const std::vector<uint16_t> &writeLog();
// True while an internal write cycle runs (the part does not acknowledge).
bool busy();

// The media file of a state folder, for use while the module is off.
std::string fileIn(const std::string &stateDir);
// Media operations while the module is off, on the file of the current state folder: every
// cell set to value, or bytes written from addr on. False when the file cannot be written
// (or the bytes do not fit).
bool fillMedia(uint8_t value);
bool writeMedia(unsigned addr, const std::vector<uint8_t> &bytes);

}  // namespace sim::eeprom

#endif
