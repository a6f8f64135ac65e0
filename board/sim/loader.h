// Loads a fresh copy of the firmware module for every power-on, so that its RAM (data and
// bss) starts exactly as the target's start-up code leaves it.
#ifndef VMOD_SIM_LOADER_H
#define VMOD_SIM_LOADER_H

#include <string>

#include "sim.h"

namespace sim {

// Installs a loader for the firmware module at `path` (a shared object exporting `main`
// and `irq_handler`). Exits with a message when the module cannot be loaded.
void useFirmwareModule(const std::string &path);

// A symbol of the firmware instance now loaded (its C name, or the mangled name of a C++
// function); nullptr when none is loaded or it lacks the symbol. For tests that look into
// the running firmware's RAM.
void *firmwareSymbol(const char *name);

// The module file in use (empty when firmware code is linked in directly); the program
// flash shows its bytes.
const std::string &firmwareModulePath();

}  // namespace sim

#endif
