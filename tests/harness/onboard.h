// Firmware code run on the simulated board from a test, a fuzz target or a benchmark: the
// board powers on with the firmware's RAM as at power-on, the firmware takes its start-up
// steps up to the one asked for, and
// then runs the jobs the caller hands it on its own stack, where waits (KT_Delay, the serial
// ports, the card) pass virtual time as on the board. One session stays up across jobs until
// powerOff, as a module does on a long session.
#ifndef VMOD_TEST_ONBOARD_H
#define VMOD_TEST_ONBOARD_H

#include <functional>
#include <string>

#include "sim.h"

namespace onboard {

// How far the firmware's own start-up goes before the jobs run: the name of its last step
// ("interrupts", "board", "tick", "settings", "ports", "config", "mainport", "devices", "display",
// "image").
struct Bringup {
    std::function<void()> prepare;  // runs first, on the fresh RAM of the power-on
    std::string upTo = "tick";
};

// The state folder and bring-up of the next power-on (an empty folder keeps the board's).
void configure(const std::string &stateDir, const Bringup &bringup);

// Runs job inside the firmware until it returns or `limit` of virtual time passes; true
// when it returned. When the board is off it powers on first, and the job runs right after
// the bring-up, at the same virtual instant.
bool run(const std::function<void()> &job, sim::Time limit = 3600 * sim::kSec);

void powerOff();

// The whole firmware as vmod-sim runs it: the module at modulePath, loaded afresh by the
// board's loader at every power-on (so RAM starts as at power-on) and started from its main.
// Powers on and runs until the first prompt, or `limit`; true when the prompt came.
bool powerOnModule(const std::string &modulePath, const std::string &stateDir, sim::Time limit = 2 * sim::kSec);

// powerOnModule with a fresh state folder, once per process; later calls do nothing.
void powerOnModuleOnce(const std::string &modulePath);

// Sends text to the module on a port and runs until the host has received `reply` since the
// send, or `limit`; true when it came. The host's queue is emptied first.
bool exchange(int port, const std::string &text, const std::string &reply, sim::Time limit = 2 * sim::kSec);

// What the host received on a port since it was last emptied; empties it when asked.
std::string hostText(int port = 0, bool clear = true);

// A fresh, empty folder for the simulated media, removed at process exit.
std::string freshStateDir();

}  // namespace onboard

#endif
