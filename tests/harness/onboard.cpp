#include "onboard.h"

#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "board.h"
#include "eeprom.h"
#include "serialflash.h"
#include "comm/Rtosinit.h"
#include "devices/KT_timer.h"
#include "devices/interrupt.h"
#include "fs/sdcard.h"
#include "loader.h"
#include "storage/KT_eeprom.h"
#include "uart.h"

namespace onboard {
namespace {

Bringup steps;
std::string folder;
const std::function<void()> *job;
bool pending, finished;

int firmwareMain() {
    if (steps.clearSettings) std::memset(&eepromData, 0, sizeof eepromData);
    interrupt_init();
    KT_TimerInit();  // before the settings: EEPROM accesses wait on the tick
    if (steps.loadSettings) KT_EEPROM_Load();
    if (steps.port0) KT_COM_Init0();
    if (steps.port1) KT_COM_Init1();
    if (steps.rs485) Init_485mode();
    if (steps.sdSlot) SDCardSlotInit(0);
    for (;;) {
        while (!pending) boardIdle();
        pending = false;
        (*job)();
        if (steps.port0) txWait0();
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
        sim::setFirmwareLoader([] { return sim::FirmwareEntry{firmwareMain, irq_handler}; }, [] {});
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
