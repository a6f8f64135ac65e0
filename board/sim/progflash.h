// The simulated program flash (8 MiB): the firmware module file, erased after its end.
#ifndef VMOD_SIM_PROGFLASH_H
#define VMOD_SIM_PROGFLASH_H

#include <cstdint>
#include <vector>

namespace sim::progflash {

void setContent(const std::vector<uint8_t> &bytes);  // instead of the module file
void useFirmwareFile();                               // back to the module file

}  // namespace sim::progflash

#endif
