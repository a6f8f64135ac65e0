// The configuration key lookup: the whole key table (about forty lookups, each scanning the
// text from its start) on a typical small config.ini and on large files up to what the
// staging buffer would hold. The lookups run at start-up, before the first prompt.
#include <benchmark/benchmark.h>

#include <string>

#include "storage/KT_eeprom.h"

namespace {

const char *const keys[] = {"verbose", "autoCal", "macdebug", "orient", "invEnaHiTrue", "touchSwap",
                            "tplo", "tphi", "tpDeltaLim", "tsamp", "tspan", "touchMode", "tcTimeout",
                            "auxEsc", "beepFreq", "beepVol", "typematicDelay", "typematicRepeat",
                            "debounce", "PONMAC", "SPL", "hfp", "hpw", "hbp", "vfp", "vpw", "vbp",
                            "maxBrite", "minBrite", "brite", "pwmIsEnable", "mainPort",
                            "LCDshiftclock", "baud0", "baud1"};

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
        s32 v;
        int found = 0;
        for (const char *k : keys) found += lookfor(text.c_str(), k, k[0] == 'a' && k[1] == 'u' ? 'x' : 'd', &v, 0);
        char name[32];
        found += lookforQuotedString(text.c_str(), "config", name, sizeof name, 0);
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_KeyTable)->Arg(512)->Arg(4096)->Arg(64 << 10)->Arg(1 << 20)->Unit(benchmark::kMicrosecond);

}  // namespace
