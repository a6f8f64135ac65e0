#include "linked.h"

#include <cstdio>
#include <cstdlib>

#include "snapshot.h"

// The firmware's RAM as gathered by firmware-ram.ld. Weak: programs that load the firmware as
// a module have no such sections.
extern "C" {
extern unsigned char __start_vmod_ram_data[] __attribute__((weak));
extern unsigned char __stop_vmod_ram_data[] __attribute__((weak));
extern unsigned char __start_vmod_ram_bss[] __attribute__((weak));
extern unsigned char __stop_vmod_ram_bss[] __attribute__((weak));
}

namespace sim {
namespace {

unsigned char *loadImage;  // the data section as loaded, before any code ran

size_t dataSize() { return size_t(__stop_vmod_ram_data - __start_vmod_ram_data); }
size_t bssSize() { return size_t(__stop_vmod_ram_bss - __start_vmod_ram_bss); }

// Runs before every unprioritised static constructor, so before any code can have changed
// the firmware's RAM. The firmware itself has no static constructors (its RAM is all
// constant-initialised), so this is the image its start-up code would find.
__attribute__((constructor(101))) void keepLoadImage() {
    if (!__start_vmod_ram_data || dataSize() == 0) return;
    loadImage = static_cast<unsigned char *>(std::malloc(dataSize()));
    if (!loadImage) {
        std::fprintf(stderr, "vmod: no memory for the firmware's load image\n");
        std::abort();
    }
    copyUnchecked(loadImage, __start_vmod_ram_data, dataSize());
}

void restoreRam() {
    if (loadImage) copyUnchecked(__start_vmod_ram_data, loadImage, dataSize());
    if (__start_vmod_ram_bss) zeroUnchecked(__start_vmod_ram_bss, bssSize());
}

}  // namespace

void useLinkedFirmware(int (*main)(), void (*irq)()) {
    static bool kept = false;
    if (!kept && __start_vmod_ram_data) {
        keepMemoryInSnapshots(__start_vmod_ram_data, dataSize(), true);
        keepMemoryInSnapshots(__start_vmod_ram_bss, bssSize(), true);
        kept = true;
    }
    // RAM stays as the run left it after power-off, for tests that look at what it did.
    setFirmwareLoader(
        [main, irq] {
            restoreRam();
            return FirmwareEntry{main, irq};
        },
        [] {});
}

size_t linkedFirmwareRamSize() { return __start_vmod_ram_data ? dataSize() + bssSize() : 0; }

}  // namespace sim
