#include "fw_harness.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "board.h"
#include "comm/Rtosinit.h"
#include "devices/KT_timer.h"
#include "devices/interrupt.h"
#include "sim.h"
#include "storage/KT_eeprom.h"
#include "uart.h"

namespace fwtest {
namespace {

const std::function<void()> *currentBody;
bool openUart0;
bool finished;
std::string received;

int harnessMain() {
    memset(&eepromData, 0, sizeof eepromData);  // RAM as after power-on
    interrupt_init();
    KT_TimerInit();
    if (openUart0) KT_COM_Init0();
    (*currentBody)();
    if (openUart0) txWait0();
    finished = true;
    for (;;) boardIdle();
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

}  // namespace

std::string freshStateDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "vmod-unit-XXXXXX").string();
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    std::string dir = mkdtemp(buf.data());
    folders().push_back(dir);
    return dir;
}

bool runFirmware(const std::string &stateDir, const std::function<void()> &body, bool uart0, unsigned limitMs) {
    sim::setStateDir(stateDir);
    currentBody = &body;
    openUart0 = uart0;
    finished = false;
    sim::setFirmwareLoader([] { return sim::FirmwareEntry{harnessMain, irq_handler}; }, nullptr);
    sim::powerOn();
    sim::uart::hostReceived(0).clear();
    sim::runFor(uint64_t(limitMs) * sim::kMs, [] { return finished; });
    received.clear();
    for (auto &b : sim::uart::hostReceived(0)) received += char(b.c);
    bool ok = finished;
    sim::powerOff();
    return ok;
}

std::string hostText() { return received; }

std::string check(const std::string &name) {
    const sim::CheckFn *fn = sim::findCheck(name);
    return fn ? (*fn)() : std::string("<no such check>");
}

int callHandler(int (*handler)(char *), const std::string &line) {
    std::vector<char> copy(line.begin(), line.end());
    copy.push_back(0);
    return handler(copy.data());
}

}  // namespace fwtest
