// Cost of the touch work: one sampler tick (in the 1 ms interrupt, so it must stay far below
// a millisecond), and the hot-spot search of every main-loop pass over a full table.
#include <benchmark/benchmark.h>

#include <cstring>

#include "storage/KT_eeprom.h"
#include "touch.h"
#include "touch/KT_touch.h"

namespace {

void setDefaults() {
    memset(&eepromData, 0, sizeof eepromData);
    eepromData.tspan = 12;
    eepromData.tsamp = 8;
    eepromData.tplo = 250;
    eepromData.tphi = 700;
    eepromData.debounce = 0;  // no hold-off: every tick samples
    KT_Touch_Calibrate_Default();
    enableTouch(1);
}

void BM_SamplerTickPenDown(benchmark::State &state) {
    setDefaults();
    sim::touch::press(320, 240);
    for (auto _ : state) KT_Update_Touch();
    sim::touch::release();
}
BENCHMARK(BM_SamplerTickPenDown);

void BM_SamplerTickPenUp(benchmark::State &state) {
    setDefaults();
    sim::touch::release();
    for (auto _ : state) KT_Update_Touch();
}
BENCHMARK(BM_SamplerTickPenUp);

// 256 small regions, the touch in none of them: the search looks at every one.
void BM_SearchFullTableMiss(benchmark::State &state) {
    for (int i = 0; i < HOTSPOT_COUNT; ++i)
        TouchHotSpots[i] = HotSpot{KIND_REGION, i, 0, i, 10, 0, 0, 0, 0};
    for (auto _ : state) benchmark::DoNotOptimize(KT_SearchHotSpot(600, 400));
}
BENCHMARK(BM_SearchFullTableMiss);

}  // namespace
