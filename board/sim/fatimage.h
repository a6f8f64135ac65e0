// FAT12/FAT16 card images on the host side: the simulator's own formatter and file copier,
// so that scenario scripts and users put files on the simulated card with no extra tool.
#ifndef VMOD_SIM_FATIMAGE_H
#define VMOD_SIM_FATIMAGE_H

#include <cstdint>
#include <string>
#include <vector>

namespace sim::fatimage {

// Writes a new card image of `bytes` bytes: a master boot record with one FAT16 partition
// starting at block 2048, holding an empty volume. Returns false with a reason.
bool format(const std::string &image, uint64_t bytes, std::string &err);

// Stores data as the file `name` ("NAME.EXT" or "DIR/NAME.EXT", folders made when missing),
// replacing a file of that name. A missing image is first formatted as a 32 MiB card.
bool put(const std::string &image, const std::string &name, const std::vector<uint8_t> &data,
         std::string &err);

// Reads the file `name` ("NAME.EXT" or "DIR/NAME.EXT").
bool get(const std::string &image, const std::string &name, std::vector<uint8_t> &data, std::string &err);

// The 11-character blank-padded upper-case form of an 8.3 name; false when it is not one.
bool shortName(const std::string &name, char out[11]);

}  // namespace sim::fatimage

#endif
