// Animation player speed: steps per second with ten animations running short drawing steps
// (a line and a small filled rectangle, then a 1 ms yield), and the cost of the player's call
// in a main-loop pass when nothing is due: with the timer still counting, and with the timer
// run out but every animation stopped.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>

#include "app/animation.h"
#include "gui/GUI.h"
#include "sim.h"

namespace {

void setUp() {
    sim::mapSdram();
    GUI_Init();
    init_animation();
    ExecState = EXEC_IDLE;
}

void addStep(int n, const char *text) { aniAppendStep(n, text, int(strlen(text))); }

void tenRunning(benchmark::State &state) {
    setUp();
    char step[64];
    for (int n = 0; n < ANI_SLOTS; ++n) {
        snprintf(step, sizeof step, "l %d 0 %d 100", 10 * n, 10 * n + 50);
        addStep(n, step);
        snprintf(step, sizeof step, "r %d 200 %d 220 1", 10 * n, 10 * n + 8);
        addStep(n, step);
        addStep(n, "y 1");
        aniStart(n);
    }
    last_minT = 1;
    for (auto _ : state) {
        animateTimer = 0;  // the tick ran the 1 ms out
        handle_animation();
    }
    if (dta[9].timer != 1) state.SkipWithError("the animations did not reach their yield");
    state.counters["steps/s"] = benchmark::Counter(20.0 * double(state.iterations()), benchmark::Counter::kIsRate);
    init_animation();
}
BENCHMARK(tenRunning);

void passTimerCounting(benchmark::State &state) {
    setUp();
    addStep(0, "l 0 0 10 10");
    addStep(0, "y 500");
    aniStart(0);
    for (auto _ : state) {
        animateTimer = 400;
        handle_animation();
        benchmark::ClobberMemory();
    }
    init_animation();
}
BENCHMARK(passTimerCounting);

void passAllStopped(benchmark::State &state) {
    setUp();
    for (int n = 0; n < ANI_SLOTS; ++n) addStep(n, "l 0 0 10 10");
    for (auto _ : state) {
        animateTimer = 0;
        handle_animation();
        benchmark::ClobberMemory();
    }
    init_animation();
}
BENCHMARK(passAllStopped);

}  // namespace
