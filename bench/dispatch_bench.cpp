// Time to find the entry of the dispatch chain that takes a line: the first entry, one in
// the middle, the last one, and lines that no entry takes (the whole chain is tried).
#include <benchmark/benchmark.h>

#include "command/dispatch.h"

namespace {

void findEntry(benchmark::State &state, const char *line, int expected) {
    if (commandIndexOf(line) != expected) {
        state.SkipWithError("the line is not taken by the expected entry");
        return;
    }
    for (auto _ : state) {
        int index = commandIndexOf(line);
        benchmark::DoNotOptimize(index);
    }
}

BENCHMARK_CAPTURE(findEntry, first_md, "md 0 1 2 3", 1);
BENCHMARK_CAPTURE(findEntry, middle_xc_all, "xc all", 102);
BENCHMARK_CAPTURE(findEntry, middle_slc, "slc 129 1 2 3 4 5 6 7 8 9 10 11 12 13 14", 116);
BENCHMARK_CAPTURE(findEntry, last_sdload, "sdload demo", 200);
BENCHMARK_CAPTURE(findEntry, none_star, "*nothing 1 2 3", 0);
// Begins like many patterns ("s %d %d", "sb", "set", "sl", "slc", "sv", "svc", "ssb",
// "sc", "sdload"), so each of them reaches its sscanf before failing.
BENCHMARK_CAPTURE(findEntry, none_s_words, "s x", 0);
BENCHMARK_CAPTURE(findEntry, none_x_words, "x", 0);
BENCHMARK_CAPTURE(findEntry, none_empty, "", 0);
// The costliest lines found: a long pattern read to its last value before it fails, then
// the rest of the chain.
BENCHMARK_CAPTURE(findEntry, none_slc_one_short, "slc 1 2 3 4 5 6 7 8 9 10 11 12 13 14", 0);
BENCHMARK_CAPTURE(findEntry, none_sl_one_short, "sl 1 2 3 4 5 6 7 8 9 10", 0);

}  // namespace
