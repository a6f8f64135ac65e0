// Virtual time, the event queue, the interrupt controller, the firmware coroutine and power.
#include "sim.h"

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "board.h"
#include "snapshot.h"

#if defined(__SANITIZE_ADDRESS__)
#define VMOD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VMOD_ASAN 1
#endif
#endif
#ifdef VMOD_ASAN
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace sim {
namespace {

// ---- events ----
struct EventKey {
    Time at;
    EventId id;
    bool operator<(const EventKey &o) const { return at != o.at ? at < o.at : id < o.id; }
};
std::map<EventKey, std::function<void()>> events;
EventId nextEventId = 1;
Time nowNs = 0;
uint64_t eventsRun = 0;

// ---- interrupt controller ----
// One bit a source: its request line, and whether it is enabled.
static_assert(IRQ_SOURCES <= 64, "the interrupt sources fit one word");
uint64_t irqLines = 0, irqEnabledSources = 0;
uint64_t sourceBit(int source) { return uint64_t(1) << source; }
bool irqMasked = true;  // the processor starts with IRQs masked

// ---- devices ----
std::vector<Device *> &devices() {
    static std::vector<Device *> list;
    return list;
}

// ---- power and firmware ----
std::string stateFolder = ".";
std::function<FirmwareEntry()> loadFirmware;
std::function<void()> unloadFirmware;
FirmwareEntry entry{};
bool isPowered = false;
bool fwAlive = false;        // the coroutine has not finished
bool resetRequested = false;
std::string halted;

// ---- coroutine ----
constexpr size_t kStackSize = 16u << 20;
ucontext_t ctlContext, fwContext;
void *fwStack = nullptr;      // mapped once and kept, so that its address never changes
void *fwSuspendedFrame = nullptr;  // the frame of the firmware's last switch to the controller
bool inFirmware = false;
#ifdef VMOD_ASAN
void *ctlFakeStack = nullptr;
void *fwFakeStack = nullptr;
const void *ctlStackBottom = nullptr;
size_t ctlStackSize = 0;
#endif

// ---- running ----
Time deadline = 0;
const std::function<bool()> *stopPredicate = nullptr;
bool stopFired = false;

// ---- pace ----
Pace pace = Pace::Fast;
std::chrono::steady_clock::time_point wallAnchor;
Time virtAnchor = 0;

}  // namespace

// ---- SDRAM window ----
void mapSdram() {
    static bool mapped = false;
    if (mapped) return;
    void *want = reinterpret_cast<void *>(static_cast<uintptr_t>(0x08000000u));
    void *p = mmap(want, 0x04000000u, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE, -1, 0);
    if (p != want) {
        std::fprintf(stderr, "vmod: cannot map the SDRAM window at 0x08000000\n");
        std::exit(3);
    }
    mapped = true;
    keepMemoryInSnapshots(want, 0x04000000u);
}

namespace {

void clearSdram() {
    // Dropping the pages gives zero-filled memory again, as a board fresh from power-on.
    memoryDiscarded(reinterpret_cast<void *>(static_cast<uintptr_t>(0x08000000u)), 0x04000000u);
    madvise(reinterpret_cast<void *>(static_cast<uintptr_t>(0x08000000u)), 0x04000000u, MADV_DONTNEED);
}

void switchToFirmware() {
    inFirmware = true;
#ifdef VMOD_ASAN
    __sanitizer_start_switch_fiber(&ctlFakeStack, fwStack, kStackSize);
#endif
    swapcontext(&ctlContext, &fwContext);
#ifdef VMOD_ASAN
    __sanitizer_finish_switch_fiber(ctlFakeStack, nullptr, nullptr);
#endif
    inFirmware = false;
}

// Called on the firmware's stack; returns when the controller resumes the firmware.
void switchToController(bool forever) {
    fwSuspendedFrame = __builtin_frame_address(0);
#ifdef VMOD_ASAN
    __sanitizer_start_switch_fiber(forever ? nullptr : &fwFakeStack, ctlStackBottom, ctlStackSize);
#endif
    swapcontext(&fwContext, &ctlContext);
#ifdef VMOD_ASAN
    __sanitizer_finish_switch_fiber(fwFakeStack, &ctlStackBottom, &ctlStackSize);
#endif
}

void firmwareTrampoline() {
#ifdef VMOD_ASAN
    __sanitizer_finish_switch_fiber(nullptr, &ctlStackBottom, &ctlStackSize);
#endif
    int rc = entry.main();
    halted = "firmware returned from main with " + std::to_string(rc);
    fwAlive = false;
    switchToController(true);
}

// The stack's pages are given back; the mapping stays for the next power-on.
void releaseStack() {
    if (!fwStack) return;
#ifdef VMOD_ASAN
    __asan_unpoison_memory_region(fwStack, kStackSize);
#endif
    madvise(fwStack, kStackSize, MADV_DONTNEED);
}

void mapStack() {
    if (fwStack) return;
    fwStack = mmap(nullptr, kStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (fwStack == MAP_FAILED) {
        std::fprintf(stderr, "vmod: cannot allocate the firmware stack\n");
        std::exit(3);
    }
}

void paceTo(Time t) {
    if (pace != Pace::RealTime) return;
    auto wallTarget = wallAnchor + std::chrono::nanoseconds(t - virtAnchor);
    auto wallNow = std::chrono::steady_clock::now();
    if (wallTarget > wallNow) std::this_thread::sleep_until(wallTarget);
}

Time nextEventTime() { return events.empty() ? UINT64_MAX : events.begin()->first.at; }

// Runs every event due at the current time, in order of scheduling.
void runDueEvents() {
    while (!events.empty() && events.begin()->first.at <= nowNs) {
        auto it = events.begin();
        auto fn = std::move(it->second);
        events.erase(it);
        ++eventsRun;
        fn();
    }
    if (stopPredicate && *stopPredicate && (*stopPredicate)()) stopFired = true;
}

// Takes interrupts while a source is pending and IRQs are unmasked. A handler that leaves
// its source pending is taken again, but never more than a bounded number of times per idle
// step, so that a faulty handler cannot stop virtual time.
bool dispatchInterrupts() {
    bool any = false;
    for (int guard = 0; guard < 10000 && fwAlive && !irqMasked; ++guard) {
        if (board_irq_pending_source() < 0) break;
        irqMasked = true;  // handlers run with IRQs masked
        entry.irqHandler();
        irqMasked = false;
        any = true;
    }
    return any;
}

// Advances virtual time to the next event (or the deadline) when there is nothing to do
// but wait. Used by the controller when no firmware runs.
void advanceWithoutFirmware() {
    Time next = nextEventTime();
    Time target = next < deadline ? next : deadline;
    paceTo(target);
    nowNs = target;
    runDueEvents();
}

}  // namespace

// ---------------------------------------------------------------------------------------
Time now() { return nowNs; }
uint64_t eventCount() { return eventsRun; }

EventId schedule(Time at, std::function<void()> fn) {
    if (at < nowNs) at = nowNs;
    EventId id = nextEventId++;
    events.emplace(EventKey{at, id}, std::move(fn));
    return id;
}

// Rare (a timer started again, a new frame timing) and the queue short: a search does.
void cancel(EventId id) {
    for (auto it = events.begin(); it != events.end(); ++it)
        if (it->first.id == id) {
            events.erase(it);
            return;
        }
}

void irqRaise(int source, bool level) {
    if (source < 0 || source >= IRQ_SOURCES) return;
    if (level) irqLines |= sourceBit(source);
    else irqLines &= ~sourceBit(source);
}

void registerDevice(Device *d) { devices().push_back(d); }

namespace {
std::map<std::string, CheckFn> &checks() {
    static std::map<std::string, CheckFn> m;
    return m;
}
}  // namespace

void registerCheck(const std::string &name, CheckFn fn) { checks()[name] = std::move(fn); }
const CheckFn *findCheck(const std::string &name) {
    auto it = checks().find(name);
    return it == checks().end() ? nullptr : &it->second;
}
namespace {
bool goldensUpdated = false;
}
void setUpdateGoldens(bool on) { goldensUpdated = on; }
bool updateGoldens() { return goldensUpdated; }

void setStateDir(const std::string &dir) { stateFolder = dir; }
const std::string &stateDir() { return stateFolder; }

void setFirmwareLoader(std::function<FirmwareEntry()> load, std::function<void()> unload) {
    loadFirmware = std::move(load);
    unloadFirmware = std::move(unload);
}

void setPace(Pace p) {
    pace = p;
    wallAnchor = std::chrono::steady_clock::now();
    virtAnchor = nowNs;
}

bool powered() { return isPowered; }
const std::string &haltReason() { return halted; }

void powerOn() {
    if (isPowered) return;
    mapSdram();
    clearSdram();
    irqLines = irqEnabledSources = 0;
    irqMasked = true;
    halted.clear();
    resetRequested = false;
    for (Device *d : devices()) d->powerOn();
    entry = loadFirmware();
    mapStack();
    getcontext(&fwContext);
    fwContext.uc_stack.ss_sp = fwStack;
    fwContext.uc_stack.ss_size = kStackSize;
    fwContext.uc_link = nullptr;
    makecontext(&fwContext, firmwareTrampoline, 0);
    fwAlive = true;
    isPowered = true;
}

void powerOff() {
    if (!isPowered) return;
    // The firmware is suspended inside boardIdle (or finished); it is simply never resumed.
    fwAlive = false;
    releaseStack();
    if (unloadFirmware) unloadFirmware();
    events.clear();
    irqLines = irqEnabledSources = 0;
    for (Device *d : devices()) d->powerOff();
    isPowered = false;
}

bool runUntil(Time until, const std::function<bool()> &stop) {
    if (inFirmware) {
        std::fprintf(stderr, "vmod: runUntil called from the firmware\n");
        std::abort();
    }
    deadline = until;
    stopPredicate = stop ? &stop : nullptr;
    stopFired = stopPredicate && stop();
    while (!stopFired && nowNs < deadline) {
        if (isPowered && fwAlive) {
            switchToFirmware();
            if (resetRequested) {
                // The firmware reset the processor: start it again from main, media kept.
                powerOff();
                powerOn();
            }
        } else {
            advanceWithoutFirmware();
        }
    }
    stopPredicate = nullptr;
    return stopFired;
}

namespace {

// The core's part of a snapshot: time and the events due, the interrupt controller, and the
// firmware waiting in boardIdle: its registers and the used part of its stack (from a little
// below the frame where it switched to the controller, for the switch's own words, to the top).
constexpr size_t kBelowSwitchFrame = 4096;

uint8_t *stackTop() { return static_cast<uint8_t *>(fwStack) + kStackSize; }

std::function<void()> saveCore() {
    if (!isPowered || !fwAlive || inFirmware || !fwSuspendedFrame) {
        std::fprintf(stderr, "vmod: a snapshot needs the firmware powered and waiting\n");
        std::abort();
    }
    struct Core {
        decltype(events) queue;
        EventId nextId;
        Time at;
        uint64_t lines, enabled;
        bool masked;
        FirmwareEntry firmware;
        ucontext_t context;
        uint8_t *stackFrom;
        std::vector<uint8_t> stack;
#ifdef VMOD_ASAN
        void *fakeStack;
#endif
    };
    auto c = std::make_shared<Core>();
    c->queue = events;
    c->nextId = nextEventId;
    c->at = nowNs;
    c->lines = irqLines;
    c->enabled = irqEnabledSources;
    c->masked = irqMasked;
    c->firmware = entry;
    c->context = fwContext;
    c->stackFrom = static_cast<uint8_t *>(fwSuspendedFrame) - kBelowSwitchFrame;
    c->stack.resize(size_t(stackTop() - c->stackFrom));
    copyUnchecked(c->stack.data(), c->stackFrom, c->stack.size());
#ifdef VMOD_ASAN
    c->fakeStack = fwFakeStack;
#endif
    return [c] {
        if (inFirmware) std::abort();
        if (!isPowered || entry.main != c->firmware.main) {
            // A module loaded again may sit elsewhere, and its saved stack would not fit it.
            std::fprintf(stderr, "vmod: the firmware moved; snapshots need it linked in\n");
            std::abort();
        }
        events = c->queue;
        nextEventId = c->nextId;
        nowNs = c->at;
        irqLines = c->lines;
        irqEnabledSources = c->enabled;
        irqMasked = c->masked;
        uint8_t *from = c->stackFrom;
        if (fwSuspendedFrame) from = std::min(from, static_cast<uint8_t *>(fwSuspendedFrame) - kBelowSwitchFrame);
        from = std::max(from, static_cast<uint8_t *>(fwStack));
#ifdef VMOD_ASAN
        // The frames of the run since are gone; their redzones must not poison the old ones.
        __asan_unpoison_memory_region(from, size_t(stackTop() - from));
        fwFakeStack = c->fakeStack;
#endif
        copyUnchecked(c->stackFrom, c->stack.data(), c->stack.size());
        fwContext = c->context;
        fwSuspendedFrame = c->stackFrom + kBelowSwitchFrame;
        fwAlive = true;
        resetRequested = false;
        halted.clear();
    };
}

const bool coreInSnapshots = (registerSnapshotPart(saveCore), true);

}  // namespace

}  // namespace sim

using namespace sim;

// ---------------------------------------------------------------------------------------
// Board operations implemented by the core.

extern "C" void boardIdle(void) {
    if (!inFirmware) return;  // called from a test that drives firmware code directly
    if (dispatchInterrupts()) return;
    for (;;) {
        if (stopFired || nowNs >= deadline) {
            switchToController(false);
            if (dispatchInterrupts()) return;
            continue;
        }
        Time next = nextEventTime();
        Time target = next < deadline ? next : deadline;
        paceTo(target);
        nowNs = target;
        if (next <= deadline) {
            runDueEvents();
            dispatchInterrupts();
            return;
        }
    }
}

extern "C" void board_halt(const char *why) {
    halted = why ? why : "halted";
    if (!inFirmware) {
        std::fprintf(stderr, "vmod: halt outside the firmware: %s\n", halted.c_str());
        std::abort();
    }
    fwAlive = false;
    switchToController(true);
    std::abort();  // never resumed
}

extern "C" void board_irq_enable_source(int source, int fast) {
    if (source >= 0 && source < IRQ_SOURCES) irqEnabledSources |= sourceBit(source);
}

extern "C" void board_irq_disable_source(int source) {
    if (source >= 0 && source < IRQ_SOURCES) irqEnabledSources &= ~sourceBit(source);
}

// With all priorities equal, the controller reports the highest pending source number.
extern "C" int board_irq_pending_source(void) {
    const uint64_t pending = irqLines & irqEnabledSources;
    return pending ? 63 - __builtin_clzll(pending) : -1;
}

extern "C" void board_irq_mask(void) { irqMasked = true; }
extern "C" void board_irq_unmask(void) { irqMasked = false; }

extern "C" void board_reset_control(uint32_t value) {
    if (value != 0x109 || !inFirmware) return;
    resetRequested = true;
    fwAlive = false;
    switchToController(true);
    std::abort();  // never resumed
}
