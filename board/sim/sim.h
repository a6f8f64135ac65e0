// The simulated board: the controller side of the virtual module.
//
// The firmware runs as a coroutine on a stack of its own. It gives control back only in
// boardIdle(), which is where virtual time passes: due device events run, then pending
// interrupts are dispatched through the firmware's irq_handler. A controller (vmod-sim's
// front ends, the scenario runner, tests) runs the firmware for a span of virtual time or
// until a condition holds, and talks to the devices in between. Everything runs on one
// host thread, so a run with the same inputs is the same run every time.
#ifndef VMOD_SIM_H
#define VMOD_SIM_H

#include <cstdint>
#include <functional>
#include <string>

namespace sim {

using Time = uint64_t;  // virtual time in nanoseconds since power-on of the board
constexpr Time kUs = 1000;
constexpr Time kMs = 1000 * kUs;
constexpr Time kSec = 1000 * kMs;

// What a firmware build offers the board: its entry point and its interrupt entry.
struct FirmwareEntry {
    int (*main)();
    void (*irqHandler)();
};

enum class Pace { Fast, RealTime };

// --- event scheduling (device models) ---
using EventId = uint64_t;
Time now();
// Device events run since the program started: a measure of the work a span of virtual time
// took, the same on every run.
uint64_t eventCount();
EventId schedule(Time at, std::function<void()> fn);
void cancel(EventId id);

// --- interrupt controller (device side) ---
void irqRaise(int source, bool level);  // level-sensitive request line of a source

// --- power and running (controller side) ---
// The state folder holds the non-volatile media; set before the first power-on.
void setStateDir(const std::string &dir);
const std::string &stateDir();
// How power-on finds the firmware: a loader called at every power-on (a fresh copy of the
// firmware each time, so RAM starts as at power-on).
void setFirmwareLoader(std::function<FirmwareEntry()> load, std::function<void()> unload);
void setPace(Pace p);
void powerOn();
void powerOff();
bool powered();
// Why the firmware stopped by itself (halt, return from main), empty while it runs.
const std::string &haltReason();

// Runs the firmware until virtual time `until` or until `stop` returns true (checked after
// every device event). Returns true when stop fired.
bool runUntil(Time until, const std::function<bool()> &stop = nullptr);
inline bool runFor(Time span, const std::function<bool()> &stop = nullptr) {
    return runUntil(now() + span, stop);
}

// Maps the board's SDRAM window at its target address (done by the first power-on; tests
// that call firmware code directly call it themselves).
void mapSdram();

// Devices register here to hear about power changes (registers back to reset values,
// media reloaded and flushed).
struct Device {
    virtual ~Device() = default;
    virtual void powerOn() {}
    virtual void powerOff() {}
};
void registerDevice(Device *d);

// --- peripheral register space (offsets from BOARD_PERIPH_BASE) ---
// A device that models a block of registers answers for it: read sets the value and write
// applies it, each returning false for an offset of the block it does not model. Registers no
// device models keep what was last written (zero after power-on).
struct RegisterBlock {
    uint32_t offset;  // first byte of the block
    uint32_t size;    // bytes
    std::function<bool(uint32_t offset, uint32_t &value)> read;
    std::function<bool(uint32_t offset, uint32_t value)> write;
};
void registerRegisters(RegisterBlock block);

// --- hooks for scenario scripts and front ends ---
// A device names the state it shows to the scenario line `check NAME VALUE`: the function
// returns the current value as the text a script writes (for example "on", "2600").
using CheckFn = std::function<std::string()>;
void registerCheck(const std::string &name, CheckFn fn);
// nullptr when no device registered the name.
const CheckFn *findCheck(const std::string &name);

// Set by `vmod-sim --update-goldens`: golden files are rewritten instead of compared.
void setUpdateGoldens(bool on);
bool updateGoldens();

}  // namespace sim

#endif
