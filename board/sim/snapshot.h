// Snapshots of the whole board, so that a fuzz target can start thousands of inputs a second
// from one moment of a session instead of powering on for each: virtual time and the event
// queue, the interrupt controller, the firmware's RAM, SDRAM, the firmware's stack and the
// place where it waits, and every device with what its media hold.
//
// A snapshot is taken and put back from the controller side, between runs, with the firmware
// powered and waiting in boardIdle. It needs the firmware linked into the program: a module
// loaded again after a reset may land at another address. Putting it back may happen any
// number of times; whatever the firmware did meanwhile (resets included) is undone.
#ifndef VMOD_SIM_SNAPSHOT_H
#define VMOD_SIM_SNAPSHOT_H

#include <cstddef>
#include <functional>
#include <type_traits>

namespace sim {

void takeSnapshot();
void restoreSnapshot();
bool haveSnapshot();
// Lets the snapshot go: memory is no longer tracked and media keep no old bytes.
void dropSnapshot();

// A part of the board's state. Called when a snapshot is taken, it keeps what it needs and
// returns the function that puts it back (called at every restore, and destroyed when the
// snapshot goes).
using SnapshotPart = std::function<std::function<void()>()>;
void registerSnapshotPart(SnapshotPart part);

// State held as plain C++ values: copied aside when the snapshot is taken, assigned back.
template <class T>
void keepInSnapshots(T &state) {
    static_assert(std::is_copy_assignable_v<T>, "a snapshot copies the state back by assignment");
    registerSnapshotPart([&state] { return std::function<void()>([&state, copy = state] { state = copy; }); });
}
template <class T, size_t N>
void keepInSnapshots(T (&state)[N]) {
    for (T &element : state) keepInSnapshots(element);
}

// Memory the firmware writes directly (RAM sections, SDRAM): the pages written since the
// snapshot are found by write protection and only those are put back. The bytes of the pages
// only partly inside [begin, end) are copied back at every restore instead, since data of the
// program's own may share those pages.
// `redzones`: the memory holds the sanitizers' redzones (the firmware's RAM sections), so it
// is copied out of their sight.
void keepMemoryInSnapshots(void *begin, size_t size, bool redzones = false);

// Copies, clears and tests memory out of the sanitizers' sight: the firmware's RAM and stack
// hold the redzones that AddressSanitizer puts between globals and locals, which only the
// firmware's own accesses must avoid.
void copyUnchecked(void *to, const void *from, size_t n);
void zeroUnchecked(void *to, size_t n);
bool isZeroUnchecked(const void *at, size_t n);

// Anonymous memory emptied wholesale (SDRAM dropped at power-on): every page of it counts as
// written since the snapshot.
void memoryDiscarded(void *begin, size_t size);

}  // namespace sim

#endif
