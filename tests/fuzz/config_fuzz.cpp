// The configuration-file key lookup on arbitrary text: every key of the settings table,
// in both value kinds and quoted, must stay inside the text and the destination.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "storage/KT_eeprom.h"
#include "storage/settings.h"

namespace {
// Keys of no setting that stand for the syntax around a value.
const char *const syntax[] = {"#", "=", "\""};

void lookUp(const std::vector<char> &text, const char *key) {
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
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // The file arrives as bytes with a NUL appended, exactly as the start-up loads it.
    std::vector<char> text(data, data + size);
    text.push_back(0);
    for (int i = 0; i < settingsCount; ++i) lookUp(text, settingsTable[i].key);
    for (const char *key : syntax) lookUp(text, key);
    return 0;
}
