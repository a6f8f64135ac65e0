// The whole firmware as vmod-sim loads it, for the whole-firmware fuzz targets: powered on in a
// fresh state folder whose Data Flash holds the widget scenarios' image (built from its
// manifest), so that sliders, knobs and meters find their pictures.
#ifndef VMOD_FUZZ_WIDGET_IMAGE_H
#define VMOD_FUZZ_WIDGET_IMAGE_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "onboard.h"
#include "serialflash.h"
#include "sim.h"

// Puts the widget image into the Data Flash of the state folder in force.
inline void loadWidgetImage() {
    std::vector<uint8_t> img;
    if (FILE *f = std::fopen(VMOD_TEST_IMAGES "/widgets/widgets.bin", "rb")) {
        uint8_t buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) img.insert(img.end(), buf, buf + n);
        std::fclose(f);
    }
    if (!img.empty()) sim::serialflash::load(img);
}

inline void powerOnWithWidgetImage() {
    const std::string dir = onboard::freshStateDir();
    sim::setStateDir(dir);
    loadWidgetImage();
    if (!onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir)) __builtin_trap();  // no first prompt
}

#endif
