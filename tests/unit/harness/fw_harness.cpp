#include "fw_harness.h"

#include <vector>

#include "onboard.h"
#include "sim.h"
#include "uart.h"

namespace fwtest {
namespace {

std::string received;

}  // namespace

std::string freshStateDir() { return onboard::freshStateDir(); }

bool runFirmware(const std::string &stateDir, const std::function<void()> &body, bool uart0, unsigned limitMs) {
    onboard::Bringup steps;
    if (uart0) steps.upTo = "ports";
    onboard::configure(stateDir, steps);
    sim::uart::hostReceived(0).clear();
    bool ok = onboard::run(body, uint64_t(limitMs) * sim::kMs);
    received = onboard::hostText(0);
    onboard::powerOff();
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
