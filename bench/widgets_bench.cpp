// Widget redraw speed on the widget scenarios' image: knob moves of a linear and a circular
// slider (one touch's redraw; the display is never near the knob, so no scan wait), samples
// of 300 x 200 scrolling and sweeping charts, needle moves over a 200 x 200 dial.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "devices/lcd_driver.h"
#include "gui/GUI.h"
#include "memmap.h"
#include "sim.h"
#include "storage/KT_extmem.h"
#include "touch/KT_touch.h"
#include "widgets/KT_chart.h"
#include "widgets/KT_slider.h"
#include "widgets/meters.h"

namespace {

std::string imagePath() { return std::string(VMOD_TEST_IMAGES) + "/widgets/widgets.bin"; }

// The image staged as a load stages it, the screen cleared, the scan far from every row.
bool setUp() {
    sim::mapSdram();
    GUI_Init();
    FILE *f = std::fopen(imagePath().c_str(), "rb");
    if (!f) return false;
    std::vector<u8> img(1 << 20);
    size_t n = std::fread(img.data(), 1, img.size(), f);
    std::fclose(f);
    std::memset(ExtMemBuffer, 0, n + 4096);
    std::memcpy(ExtMemBuffer, img.data(), n);
    KT_ExtMem_SetStaged((u32)n);  // as a load from the Data Flash leaves it
    KT_Fixup_ExtMem();
    msPerFrame = 2;  // wvr: a two-millisecond frame whose scan is always half a frame away
    frameTimer = 0;
    KT_Touch_HotSpot_Clear();
    KT_Slider_Init();
    CircSliderInit();
    KT_Chart_Init();
    return true;
}

void BM_LinearKnobMove(benchmark::State &state) {
    if (!setUp()) return state.SkipWithError("widgets.bin not found");
    if (KT_Slider_Setup(200, 1, 0, 100, 50, 0, 0, 100, 0, 1, 2) != SLIDER_OK) return state.SkipWithError("sl");
    int s = KT_Slider_Find(200), i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(KT_Slider_Touched(s, (i++ & 1) ? 150 : 250, 60));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinearKnobMove);

void BM_CircularKnobMove(benchmark::State &state) {
    if (!setUp()) return state.SkipWithError("widgets.bin not found");
    if (CircSliderSetup(210, 3, 300, 20, 6, 1, 270, 0, 135, 0, 315, 225, 0, 42, 20) != CIRC_OK)
        return state.SkipWithError("slc");
    int s = CircSliderFind(210), i = 0;
    if (CircSliderTouched(s, 368, 39) == 135 || CircSliderTouched(s, 360, 38) != 135)
        return state.SkipWithError("the touches do not move the knob");
    // Between the top of the circle and a point a step clockwise: each touch grabs the knob.
    for (auto _ : state) {
        bool back = i++ & 1;
        benchmark::DoNotOptimize(CircSliderTouched(s, back ? 360 : 368, back ? 38 : 39));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CircularKnobMove);

void chartSamples(benchmark::State &state, int mode) {
    if (!setUp()) return state.SkipWithError("widgets.bin not found");
    KT_Chart_Setup(0, mode, 5, 20, 240, 320, 440, 0, 100, 0);
    KT_Chart_Set_Pen(0, 0, 0x00FF00, 2);
    int i = 0;
    for (auto _ : state) {
        s32 v[1] = {(i++ * 7) % 101};
        KT_Chart_Show(0, 1, v);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ChartSampleScrolling300x200(benchmark::State &state) { chartSamples(state, CHART_SCROLL); }
BENCHMARK(BM_ChartSampleScrolling300x200);

void BM_ChartSampleSweeping300x200(benchmark::State &state) { chartSamples(state, CHART_SWEEP); }
BENCHMARK(BM_ChartSampleSweeping300x200);

void BM_NeedleMove200x200Dial(benchmark::State &state) {
    if (!setUp()) return state.SkipWithError("widgets.bin not found");
    MeterDefinition d{};
    d.index = 0;
    d.bitmap = 4;
    d.x = 400;
    d.y = 240;
    d.max = 100;
    d.initial = 50;
    d.minAngle = 225;
    d.maxAngle = 315;
    d.pivotDx = d.pivotDy = 100;
    d.pointCount = 3;
    const s32 needle[] = {-5, -3, 80, 0, -5, 3};
    std::memcpy(d.points, needle, sizeof needle);
    if (meterDefine(&d) != METER_OK) return state.SkipWithError("md");
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(meterValue(0, (i++ & 1) ? 20 : 80));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NeedleMove200x200Dial);

}  // namespace
