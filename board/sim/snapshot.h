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
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

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

// The old bytes of a medium a device keeps outside its copied state (a file, a mapping), for
// media that change a unit at a time: while a snapshot lasts, the device hands over a unit's
// bytes before its first change, and the restore writes them back.
class MediaJournal {
public:
    // Records from now on, for as long as the snapshot's part holds what this returns.
    std::shared_ptr<void> record() {
        old_.clear();
        recording_ = true;
        return std::shared_ptr<void>(this, [](void *self) {
            static_cast<MediaJournal *>(self)->old_.clear();
            static_cast<MediaJournal *>(self)->recording_ = false;
        });
    }
    // Whether the unit's bytes are wanted before it changes.
    bool wants(uint64_t unit) const { return recording_ && !old_.count(unit); }
    void keep(uint64_t unit, std::vector<uint8_t> bytes) { old_.emplace(unit, std::move(bytes)); }
    bool empty() const { return old_.empty(); }
    // Hands each kept unit to put(unit, bytes) and forgets them.
    template <class Put>
    void putBack(Put put) {
        for (const auto &[unit, bytes] : old_) put(unit, bytes);
        old_.clear();
    }

private:
    std::map<uint64_t, std::vector<uint8_t>> old_;
    bool recording_ = false;
};

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
