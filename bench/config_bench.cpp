// The configuration key lookup: every key of the settings table (about forty lookups, each scanning the
// text from its start) on a typical small config.ini and on large files up to what the
// staging buffer would hold. The lookups run at start-up, before the first prompt.
#include <benchmark/benchmark.h>

#include <string>

#include "storage/KT_eeprom.h"
#include "storage/settings.h"

namespace {

// A plausible file: a dozen settings and comments, padded with comment lines to `bytes`.
std::string configText(size_t bytes) {
    std::string s = "# panel set-up\r\nverbose = 0\r\ntsamp = 8\r\ntspan 12\r\nbeepVol = 180\r\n"
                    "# tplo = 100\r\ntplo = 250\r\nauxEsc = 1b\r\nbrite 200\r\nconfig = \"LQ\"\r\n";
    while (s.size() < bytes) s += "# a comment line of no interest to the lookup at all\r\n";
    return s;
}

void BM_KeyTable(benchmark::State &state) {
    std::string text = configText(size_t(state.range(0)));
    for (auto _ : state) {
        int found = 0;
        for (int i = 0; i < settingsCount; ++i) {
            const Setting &row = settingsTable[i];
            s32 v;
            char name[sizeof eepromData.config];
            if (row.kind == KIND_QUOTED)
                found += lookforQuotedString(text.c_str(), row.key, name, sizeof name, 0);
            else
                found += lookfor(text.c_str(), row.key, char(row.kind), &v, 0);
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_KeyTable)->Arg(512)->Arg(4096)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace
