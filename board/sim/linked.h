// Firmware linked into the same program as the board (unit tests, fuzz targets, benchmarks)
// rather than loaded as a module. Each power-on puts the firmware's RAM (its data and bss)
// back to what it held when the program was loaded, as the module loader's fresh copy does.
#ifndef VMOD_SIM_LINKED_H
#define VMOD_SIM_LINKED_H

#include "sim.h"

namespace sim {

// Installs main and irq as the firmware of every following power-on.
void useLinkedFirmware(int (*main)(), void (*irq)());

// The size of the firmware RAM restored at power-on; 0 when no firmware is linked in.
size_t linkedFirmwareRamSize();

}  // namespace sim

#endif
