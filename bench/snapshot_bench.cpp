// Board snapshots: what putting the whole board back costs, and how many host inputs a second
// a snapshot-based run gets through, from a bare restore to inputs that draw, save settings or
// checksum the program flash (the command fuzz target's loop, without the sanitizers).
#include <benchmark/benchmark.h>

#include <string>

#include "onboard.h"
#include "sim.h"
#include "snapshot.h"
#include "uart.h"

namespace {

bool prompted() { return onboard::hostText(0, false).find(">\r") != std::string::npos; }

// The module at its prompt, with the snapshot taken there; once per process.
void bringUp() {
    static bool up = false;
    if (up) return;
    up = true;
    sim::setStateDir(onboard::freshStateDir());
    onboard::powerOnLinked();
    onboard::hostText(0);
    sim::takeSnapshot();
}

void BM_RestoreAfterNothing(benchmark::State &state) {
    bringUp();
    for (auto _ : state) sim::restoreSnapshot();
}
BENCHMARK(BM_RestoreAfterNothing);

// One input: back to the snapshot, the line sent, and the run until its prompt.
void runInput(benchmark::State &state, const char *line) {
    bringUp();
    for (auto _ : state) {
        sim::restoreSnapshot();
        sim::uart::hostSend(0, line);
        if (!sim::runFor(10 * sim::kSec, prompted)) state.SkipWithError("no prompt");
    }
    state.counters["inputs/s"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Version(benchmark::State &state) { runInput(state, "vers\r"); }
void BM_Text(benchmark::State &state) { runInput(state, "t \"Hello\" 10 10\r"); }
void BM_ClearScreen(benchmark::State &state) { runInput(state, "z\r"); }
void BM_SaveSettings(benchmark::State &state) { runInput(state, "*ees\r"); }
void BM_ProgramChecksum(benchmark::State &state) { runInput(state, "*CSUM\r"); }
BENCHMARK(BM_Version);
BENCHMARK(BM_Text);
BENCHMARK(BM_ClearScreen);
BENCHMARK(BM_SaveSettings);
BENCHMARK(BM_ProgramChecksum);

}  // namespace
