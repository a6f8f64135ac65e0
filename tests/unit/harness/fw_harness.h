// Unit-test conveniences over the on-board harness (tests/harness/onboard.h): one body of
// firmware code per power-on, the host's view of port 0, the scenario checks.
#ifndef VMOD_TEST_FW_HARNESS_H
#define VMOD_TEST_FW_HARNESS_H

#include <functional>
#include <string>

namespace fwtest {

// A fresh, empty state folder for the simulated media, removed at process exit.
std::string freshStateDir();

// Powers the board on with `body` as the firmware's main, after its start-up up to the tick
// (with `uart0` up to the ports: the settings loaded, both ports open), runs until
// body returns or `limitMs` of virtual time pass, and powers off. Returns true when body
// finished.
bool runFirmware(const std::string &stateDir, const std::function<void()> &body, bool uart0 = false,
                 unsigned limitMs = 60000);

// The bytes the host received on port 0 during the last run.
std::string hostText();

// A scenario check's current value ("on", "2600", ...).
std::string check(const std::string &name);

// Runs a command handler on a writable copy of line, as the dispatch chain does.
int callHandler(int (*handler)(char *), const std::string &line);

}  // namespace fwtest

#endif
