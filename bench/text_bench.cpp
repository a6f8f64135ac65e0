// Text drawing speed: anti-aliased glyphs per second at 16 and 32 pixels (opaque and blended
// over the screen), and whole 16-pixel text lines per second.
#include <benchmark/benchmark.h>

#include "gui/GUI.h"
#include "sim.h"

namespace {

void setUp(const GUI_FONT *font, int mode) {
    sim::mapSdram();
    GUI_Init();
    GUI_SetFont(font);
    GUI_SetColor(0x000000);
    GUI_SetBkColor(0xFFFFFF);
    GUI_SetTextMode(mode);
}

// One glyph per iteration, the cursor stepping across and down the screen.
void glyphs(benchmark::State &state, const GUI_FONT *font, int mode) {
    setUp(font, mode);
    const char *alphabet = "AbCdEfGhIjKlMnOpQrStUvWxYz0123456789";
    int i = 0, x = 0, y = 0, h = GUI_GetFontDistY();
    for (auto _ : state) {
        u16 c = (u8)alphabet[i];
        if (!alphabet[++i]) i = 0;
        GUI_DispCharAt(c, x, y);
        x += GUI_GetCharDistX(c);
        if (x > 600) {
            x = 0;
            y = y + h > 479 - h ? 0 : y + h;
        }
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["glyphs/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(glyphs, aa16_opaque, &GUI_FontArial16AA4, GUI_TM_NORMAL);
BENCHMARK_CAPTURE(glyphs, aa16_transparent, &GUI_FontArial16AA4, GUI_TM_TRANS);
BENCHMARK_CAPTURE(glyphs, aa32_opaque, &GUI_FontArial32AA4, GUI_TM_NORMAL);
BENCHMARK_CAPTURE(glyphs, aa32_transparent, &GUI_FontArial32AA4, GUI_TM_TRANS);
BENCHMARK_CAPTURE(glyphs, onebit16_opaque, &GUI_Font16_1, GUI_TM_NORMAL);

// A 16-pixel line of 60 characters, as a host's status line would be.
void lines16(benchmark::State &state) {
    setUp(&GUI_FontArial16AA4, GUI_TM_NORMAL);
    const char *line = "Temperature 21.5 C, pressure 1013 hPa, humidity 45 %, OK   ";
    int y = 0;
    for (auto _ : state) {
        GUI_DispStringAt(line, 0, y);
        y = y >= 460 ? 0 : y + 16;
    }
    state.counters["lines/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(lines16);

}  // namespace
