// The configuration-file key lookup on arbitrary text: every key of the configuration table,
// in both value kinds and quoted, must stay inside the text and the destination.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/KT_eeprom.h"

namespace {
const char *const keys[] = {"verbose", "autoCal", "macdebug", "orient", "invEnaHiTrue", "touchSwap",
                            "tplo", "tphi", "tpDeltaLim", "tsamp", "tspan", "touchMode", "tcTimeout",
                            "auxEsc", "beepFreq", "beepVol", "typematicDelay", "typematicRepeat",
                            "debounce", "PONMAC", "SPL", "hfp", "hpw", "hbp", "vfp", "vpw", "vbp",
                            "maxBrite", "minBrite", "brite", "pwmIsEnable", "mainPort",
                            "LCDshiftclock", "baud0", "baud1", "config", "#", "=", "\""};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The file arrives as bytes with a NUL appended, exactly as the start-up loads it.
    std::vector<char> text(data, data + size);
    text.push_back(0);
    for (const char *key : keys) {
        s32 v;
        lookfor(text.data(), key, 'd', &v, 0);
        lookfor(text.data(), key, 'x', &v, 0);
        // A destination exactly as long as the field, without slack, so that ASan sees any
        // write past it.
        std::vector<char> name(sizeof eepromData.config);
        lookforQuotedString(text.data(), key, name.data(), int(name.size()), 0);
        std::vector<char> tiny(1);
        lookforQuotedString(text.data(), key, tiny.data(), 1, 0);
    }
    return 0;
}
