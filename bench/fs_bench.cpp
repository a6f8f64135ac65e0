// The file system over the simulated card: host time to write and read a screen-capture
// sized file, and the card transfers each takes (what decides the time on a real card).
#include <benchmark/benchmark.h>

#include <functional>
#include <cstring>
#include <string>

#include "fatimage.h"
#include "fs/file_sys.h"
#include "fs/sdcard.h"
#include "onboard.h"
#include "sdcard.h"
#include "sim.h"

namespace {

constexpr u32 kCaptureBytes = 640 * 480 * 2 + 66;  // a 16-bit screen as a BMP file

// Runs fn as firmware code on a board that stays up across calls, with a 32 MiB card.
void runOnBoard(const std::function<void()> &fn) {
    static bool started = false;
    if (!started) {
        started = true;
        std::string dir = onboard::freshStateDir();
        std::string err;
        sim::fatimage::format(dir + "/sdcard.img", 32u << 20, err);
        sim::sdcard::useImage("");
        onboard::Bringup steps;
        steps.upTo = "ports";
        onboard::configure(dir, steps);
    }
    onboard::run(fn);
}

void BM_WriteCapture(benchmark::State &state) {
    sim::sdcard::Stats before{};
    for (auto _ : state) {
        runOnBoard([] {
            initialize_media();
            sim::sdcard::stats() = {};
            FF_FILE *f = fcreate("VMOD0000.BMP", 0);
            for (u32 i = 0; f && i < kCaptureBytes; ++i) fputc((int)(i * 7), f);
            if (f) fclose(f);
        });
        before = sim::sdcard::stats();
    }
    state.counters["blocks_written"] = double(before.blocksWritten);
    state.counters["blocks_read"] = double(before.blocksRead);
    state.SetBytesProcessed(int64_t(state.iterations()) * kCaptureBytes);
}
BENCHMARK(BM_WriteCapture)->Unit(benchmark::kMillisecond);

void BM_ReadCapture(benchmark::State &state) {
    static u8 buf[4096];
    sim::sdcard::Stats seen{};
    for (auto _ : state) {
        runOnBoard([] {
            initialize_media();
            sim::sdcard::stats() = {};
            FF_FILE *f = fopen("VMOD0000.BMP", FF_MODE_READ);
            while (f && fread(buf, 1, sizeof buf, f) > 0) {
            }
            if (f) fclose(f);
        });
        seen = sim::sdcard::stats();
    }
    state.counters["blocks_read"] = double(seen.blocksRead);
    state.SetBytesProcessed(int64_t(state.iterations()) * kCaptureBytes);
}
BENCHMARK(BM_ReadCapture)->Unit(benchmark::kMillisecond);

}  // namespace
