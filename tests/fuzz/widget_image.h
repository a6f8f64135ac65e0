// The widget scenarios' image, built from its manifest, for the whole-firmware fuzz targets to
// put into the Data Flash: sliders, knobs and meters find their pictures. Empty when missing.
#ifndef VMOD_FUZZ_WIDGET_IMAGE_H
#define VMOD_FUZZ_WIDGET_IMAGE_H

#include <cstdint>
#include <cstdio>
#include <vector>

inline std::vector<uint8_t> widgetImage() {
    std::vector<uint8_t> img;
    if (FILE *f = std::fopen(VMOD_TEST_IMAGES "/widgets/widgets.bin", "rb")) {
        uint8_t buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) img.insert(img.end(), buf, buf + n);
        std::fclose(f);
    }
    return img;
}

#endif
