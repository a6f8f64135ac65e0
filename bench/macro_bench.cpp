// Macro speed: lines per second of a 100-line macro of drawing commands, against the same
// lines taken as host lines (the main loop's own steps: copy, comment strip, interpreter).
// The host figure leaves out the serial line, which at 115200 bit/s alone limits a host to
// the "wire lines/s" counter of the host run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command/parse_command.h"
#include "gui/GUI.h"
#include "macros/KT_macros.h"
#include "memmap.h"
#include "sim.h"
#include "storage/KT_extmem.h"

namespace {

std::vector<std::string> drawingLines() {
    std::vector<std::string> lines;
    char buf[64];
    for (int i = 0; i < 100; ++i) {
        switch (i % 5) {
            case 0: snprintf(buf, sizeof buf, "l %d %d %d %d", i, 10, 600 - i, 400); break;
            case 1: snprintf(buf, sizeof buf, "r %d %d %d %d", 20 + i, 30, 120 + i, 90); break;
            case 2: snprintf(buf, sizeof buf, "c %d %d %d", 300, 240, 10 + i); break;
            case 3: snprintf(buf, sizeof buf, "s %d %d", i % 20, (i + 1) % 20); break;
            default: snprintf(buf, sizeof buf, "t \"line %d\" %d %d", i, 10, 4 * i); break;
        }
        lines.push_back(buf);
    }
    return lines;
}

void put16(std::vector<uint8_t> &v, uint16_t x) {
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void put32(std::vector<uint8_t> &v, uint32_t x) {
    put16(v, uint16_t(x));
    put16(v, uint16_t(x >> 16));
}

// An image holding macro 1 ("draw") with the lines, and the empty entry after it.
void stageMacro(const std::vector<std::string> &lines) {
    std::vector<uint8_t> img;
    put16(img, EXTMEM_MAGIC);
    put16(img, 1);
    put32(img, 0);  // size, below
    img.push_back(EXTMEM_MACROS);
    img.insert(img.end(), 3, 0);
    put32(img, 20);
    put32(img, 2);
    const char names[] = "\0draw\0";
    uint32_t text = 20 + 16 + 6 + sizeof names - 1;
    put32(img, text);
    put16(img, uint16_t(lines.size()));
    put16(img, 1);
    put32(img, text);
    put32(img, 0);
    put16(img, 0xA5A5);
    put32(img, 0);
    img.insert(img.end(), names, names + sizeof names - 1);
    img.push_back(0);  // name 2 of the empty entry
    for (const std::string &l : lines) {
        img.insert(img.end(), l.begin(), l.end());
        img.push_back(0);
    }
    uint32_t size = uint32_t(img.size());
    memcpy(&img[4], &size, 4);
    memcpy(ExtMemBuffer, img.data(), img.size());
    KT_ExtMem_SetStaged(size);
}

void setUp() {
    sim::mapSdram();
    GUI_Init();
}

void macro100(benchmark::State &state) {
    setUp();
    stageMacro(drawingLines());
    KT_Macros_Init();
    // A failing line would stop the macro early and flatter it.
    if (processMacro(1, "", nullptr) == 0) state.SkipWithError("the macro stopped at a failing line");
    for (auto _ : state) benchmark::DoNotOptimize(processMacro(1, "", nullptr));
    state.counters["lines/s"] = benchmark::Counter(100.0 * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(macro100);

void host100(benchmark::State &state) {
    setUp();
    std::vector<std::string> lines = drawingLines();
    char buf[129];
    size_t wireBytes = 0;
    for (const std::string &l : lines) {
        wireBytes += l.size() + 1;
        snprintf(buf, sizeof buf, "%s", l.c_str());
        if (parse_command(buf) == 0) state.SkipWithError(("a line fails: " + l).c_str());
    }
    for (auto _ : state) {
        for (const std::string &l : lines) {
            snprintf(buf, sizeof buf, "%s", l.c_str());
            killTrailingComment(buf);
            benchmark::DoNotOptimize(parse_command(buf));
        }
    }
    state.counters["lines/s"] = benchmark::Counter(100.0 * double(state.iterations()), benchmark::Counter::kIsRate);
    // 10 bit times a byte, the line's CR included, and the ">\r" reply back.
    double wireSeconds = double(wireBytes + 2 * lines.size()) * 10.0 / 115200.0;
    state.counters["wire lines/s"] = double(lines.size()) / wireSeconds;
}
BENCHMARK(host100);

}  // namespace
