#include "onboard.h"

#include <stdlib.h>
#include <string.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "app/Main.h"
#include "board.h"
#include "eeprom.h"
#include "serialflash.h"
#include "comm/Rtosinit.h"
#include "devices/interrupt.h"
#include "linked.h"
#include "loader.h"
#include "uart.h"

namespace onboard {
namespace {

Bringup steps;
std::string folder;
const std::function<void()> *job;
bool pending, finished;

// True when the start-up asked for includes the step `name`.
bool reaches(const char *name) {
    for (int i = 0; i < startupStepCount; ++i) {
        if (strcmp(startupSteps[i].name, name) == 0) return true;
        if (steps.upTo == startupSteps[i].name) return false;
    }
    return false;
}

int firmwareMain() {
    if (steps.prepare) steps.prepare();
    if (!KT_StartUpTo(steps.upTo.c_str())) {
        std::fprintf(stderr, "onboard: no start-up step \"%s\"\n", steps.upTo.c_str());
        std::abort();
    }
    bool port0 = reaches("ports");
    for (;;) {
        while (!pending) boardIdle();
        pending = false;
        (*job)();
        if (port0) txWait0();
        finished = true;
    }
}

std::vector<std::string> &folders() {
    static std::vector<std::string> list;
    static bool registered = false;
    if (!registered) {
        registered = true;
        std::atexit([] {
            for (auto &d : folders()) std::filesystem::remove_all(d);
        });
    }
    return list;
}

// Runs until the host's text on port ends with `tail`, or limit.
bool received(int port, const std::string &tail, sim::Time limit) {
    return sim::runFor(limit, [port, &tail] {
        std::string s = hostText(port, false);
        return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
    });
}

}  // namespace

void configure(const std::string &stateDir, const Bringup &bringup) {
    folder = stateDir;
    steps = bringup;
}

bool run(const std::function<void()> &fn, sim::Time limit) {
    job = &fn;
    finished = false;
    pending = true;
    if (!sim::powered()) {
        if (!folder.empty()) sim::setStateDir(folder);
        sim::useLinkedFirmware(firmwareMain, irq_handler);
        for (int port = 0; port < 2; ++port) sim::uart::hostReceived(port).clear();
        sim::powerOn();
    }
    sim::runFor(limit, [] { return finished; });
    pending = false;
    return finished;
}

bool powerOnModule(const std::string &modulePath, const std::string &stateDir, sim::Time limit) {
    powerOff();
    sim::useFirmwareModule(modulePath);
    if (!stateDir.empty()) sim::setStateDir(stateDir);
    sim::uart::hostReceived(0).clear();
    sim::powerOn();
    return received(0, ">\r", limit);
}

bool powerOnLinked(sim::Time limit) {
    powerOff();
    sim::useLinkedFirmware(
        [] {
            KT_main();
            return 0;
        },
        irq_handler);
    sim::uart::hostReceived(0).clear();
    sim::powerOn();
    return received(0, ">\r", limit);
}

void powerOnModuleOnce(const std::string &modulePath) {
    static bool started = false;
    if (started) return;
    started = true;
    powerOnModule(modulePath, freshStateDir());
}

bool exchange(int port, const std::string &text, const std::string &reply, sim::Time limit) {
    sim::uart::hostReceived(port).clear();
    sim::uart::hostSend(port, text);
    return received(port, reply, limit);
}

void powerOff() {
    if (sim::powered()) sim::powerOff();
}

std::string hostText(int port, bool clear) {
    std::string s;
    auto &q = sim::uart::hostReceived(port);
    for (const auto &b : q) s += char(b.c);
    if (clear) q.clear();
    return s;
}

uint64_t mediaChanges(Cut kind) {
    switch (kind) {
        case Cut::EepromByte: return sim::eeprom::writeLog().size();
        case Cut::FlashWrite: return sim::serialflash::counts().finished;
        case Cut::Time: return sim::now();
    }
    return 0;
}

bool runToCut(Cut kind, uint64_t &n, sim::Time limit, const std::function<bool()> &more) {
    const uint64_t from = mediaChanges(kind);
    const uint64_t target = from + n;
    bool cut = false;
    auto stop = [&] {
        if (mediaChanges(kind) >= target) return cut = true;
        return more && more();
    };
    // A cut in time needs no event of its own: the run simply ends at that instant.
    sim::Time until = kind == Cut::Time ? std::min<sim::Time>(sim::now() + limit, target) : sim::now() + limit;
    sim::runUntil(until, stop);
    if (kind == Cut::Time && sim::now() >= target) cut = true;
    uint64_t done = mediaChanges(kind) - from;
    n = done >= n ? 0 : n - done;
    if (cut) powerOff();
    return cut;
}

std::string freshStateDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "vmod-test-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    std::string dir = mkdtemp(buf.data()) ? buf.data() : "/tmp";
    folders().push_back(dir);
    return dir;
}

}  // namespace onboard
