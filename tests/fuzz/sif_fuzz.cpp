// SIF fonts from any bytes: the block is what a user font in an external-memory image holds.
// It is copied into a buffer of exactly its size, so any read past the end is caught; a block
// that is accepted is then drawn with every character code and in every text mode.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gui/GUI.h"
#include "sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static bool ready = false;
    if (!ready) {
        sim::mapSdram();
        GUI_Init();
        ready = true;
    }
    std::vector<uint8_t> block(data, data + size);
    GUI_FONT font;
    const GUI_FONT *before = GUI_GetFont();
    if (!GUI_SIF_CreateFontSized(block.data(), uint32_t(block.size()), &font, &GUI_SIF_TYPE_PROP)) {
        if (GUI_GetFont() != before) __builtin_trap();  // a refused block changes nothing
        return 0;
    }
    GUI_FONTINFO info;
    GUI_GetFontInfo(&font, &info);
    char text[97];
    for (int i = 0; i < 96; ++i) text[i] = char(i == 0 ? 'A' : 0x20 + i * 2);
    text[96] = '\0';
    static const int modes[] = {GUI_TM_NORMAL, GUI_TM_TRANS, GUI_TM_XOR, GUI_TM_REV, GUI_TM_TRANS | GUI_TM_REV};
    int m = size ? data[0] % 5 : 0;
    GUI_SetTextMode(modes[m]);
    GUI_SetTextAlign(size > 1 ? data[1] & 15 : 0);
    GUI_DispStringAt(text, 10, 10);
    GUI_DispStringAt("\xC3\xA9\xE2\x82\xAC\n\x01\xFF", 600, 470);
    for (unsigned c = 0; c < 0x10000; c += 97) {
        GUI_IsInFont(&font, u16(c));
        GUI_GetCharDistX(u16(c));
    }
    GUI_SetTextMode(GUI_TM_NORMAL);
    GUI_SetFont(&GUI_FontArial10);  // the block goes away after this run
    return 0;
}
