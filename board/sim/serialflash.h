// The simulated SPI serial NOR flash ("Data Flash") and its SPI controller, as a test or a
// front end sees them. The content lives in dataflash.bin in the state folder (a missing or
// short file reads as erased, 0xFF).
#ifndef VMOD_SIM_SERIALFLASH_H
#define VMOD_SIM_SERIALFLASH_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim.h"

namespace sim::serialflash {

constexpr uint32_t kDefaultId = 0x202016;  // maker 0x20, type 0x20, capacity 2^0x16 = 4 MiB
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kSectorSize = 0x10000;  // what a sector erase (0xD8) clears

// Busy times of a 32-Mbit SPI NOR flash of the M25P32 class (typical figures).
constexpr Time kPageProgramTime = 640 * kUs;
constexpr Time kSectorEraseTime = 600 * kMs;
constexpr Time kBulkEraseTime = 20 * kSec;

// Status register bits.
constexpr uint8_t kStatusWip = 0x01;  // write in progress
constexpr uint8_t kStatusWel = 0x02;  // write enable latch

// The identification the part answers to 0x9F. Its low byte sets the size (2^n bytes for
// n = 0x10..0x18, else 4 MiB). Takes effect at the next power-on or media line.
void setIdentification(uint32_t id);
uint32_t identification();
uint32_t size();

std::string fileName();  // dataflash.bin in the current state folder

// The content (the file is read when needed). Writes go to the file at once.
std::vector<uint8_t> contents();
void fill(uint8_t value);
void load(const std::vector<uint8_t> &bytes);  // from address 0 on, the rest 0xFF

uint8_t status();
// Counters since power-on, for tests: page programs, sector erases, bulk erases started, and
// the programs and erases the part has finished (in the medium; a power cut drops the one
// under way).
struct Counts {
    uint64_t pagePrograms = 0;
    uint64_t sectorErases = 0;
    uint64_t bulkErases = 0;
    uint64_t finished = 0;
};
Counts counts();

}  // namespace sim::serialflash

#endif
