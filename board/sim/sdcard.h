// The simulated SD card slot: a standard SD card on the native bus, its blocks kept in an
// image file (sdcard.img in the state folder). The slot holds a card while that file exists
// and the card was not pulled out by a test.
#ifndef VMOD_SIM_SDCARD_H
#define VMOD_SIM_SDCARD_H

#include <cstdint>
#include <string>

namespace sim::sdcard {

// How the card addresses its blocks. Auto: standard capacity (byte addresses) up to 1 GiB,
// high capacity (block addresses) above.
enum class Capacity { Auto, Standard, High };

// The image file behind the card: the state folder's sdcard.img unless a test chose another.
std::string imagePath();
void useImage(const std::string &path);  // "" returns to the state folder's image
void setCapacity(Capacity c);

// Pulling the card out and pushing it back in; a re-inserted card starts unpowered (idle).
void eject();
void insert();
bool present();

// The next n data blocks the card sends arrive with a damaged CRC16 (a bus fault).
void damageNextReads(int n);

// Counters for tests: data blocks read and written since the last reset of the counters.
struct Stats {
    uint64_t blocksRead = 0;
    uint64_t blocksWritten = 0;
};
Stats &stats();

// A power cut as the card sees it, for tests: after `blocks` more data blocks the card stores
// no write (it answers as before, its medium stays as it was at the cut), until called again
// with UINT64_MAX.
void storeOnly(uint64_t blocks);

}  // namespace sim::sdcard

#endif
