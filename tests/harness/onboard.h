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

// The same whole firmware linked into the program (its main loop started from KT_main), which
// board snapshots need: the firmware stays at one address. Powers on with the state folder
// in force and runs until the first prompt, or `limit`; true when the prompt came.
bool powerOnLinked(sim::Time limit = 5 * sim::kSec);

// powerOnModule with a fresh state folder, once per process; later calls do nothing.
void powerOnModuleOnce(const std::string &modulePath);

// Sends text to the module on a port and runs until the host has received `reply` since the
// send, or `limit`; true when it came. The host's queue is emptied first.
bool exchange(int port, const std::string &text, const std::string &reply, sim::Time limit = 2 * sim::kSec);

// What the host received on a port since it was last emptied; empties it when asked.
std::string hostText(int port = 0, bool clear = true);

// Power cuts for the tests of what the media keep. The board counts every change it completes
// on a non-volatile medium: EEPROM bytes programmed, Data Flash programs and erases finished.
enum class Cut { EepromByte, FlashWrite, Time };
// The count of a medium's changes since power-on (virtual time in ns for Cut::Time).
uint64_t mediaChanges(Cut kind);
// Runs the powered firmware until the n-th change of kind after the call (n ns of virtual
// time for Cut::Time) is complete, and cuts the power right there, with nothing after it done.
// `more` is checked too and, when it returns true, ends the run without a cut (the host reacts
// to what it saw, then calls again with the rest of n). Returns true when the power was cut;
// false when `more` fired or `limit` passed first, with the power still on and n counted down
// by the changes made meanwhile.
bool runToCut(Cut kind, uint64_t &n, sim::Time limit, const std::function<bool()> &more = nullptr);

// A fresh, empty folder for the simulated media, removed at process exit.
std::string freshStateDir();

}  // namespace onboard

#endif
