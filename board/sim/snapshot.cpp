// Snapshots: the registered parts, and write-tracked memory.
//
// Memory the firmware writes directly is too large to copy at every restore (64 MiB of SDRAM,
// close to a megabyte of RAM sections in an instrumented build), and an input touches little
// of it. After a snapshot, the pages wholly inside a tracked region are write-protected; the
// first write to one faults, the handler notes the page and lets the write through, and a
// restore copies back only the noted pages and protects them again.
#include "snapshot.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "sim.h"

namespace sim {
namespace {

std::vector<SnapshotPart> &parts() {
    static std::vector<SnapshotPart> list;
    return list;
}
std::vector<std::function<void()>> restorers;
bool taken = false;

// The host's page size, the unit of mprotect.
uintptr_t pageSize() {
    static const uintptr_t size = uintptr_t(sysconf(_SC_PAGESIZE));
    return size;
}

struct Region {
    uintptr_t begin = 0, end = 0;          // the bytes kept
    uintptr_t protBegin = 0, protEnd = 0;  // the whole pages inside them, write-tracked
    std::vector<uint8_t> edgeHead, edgeTail;  // the bytes of the pages only partly inside
    std::vector<uint8_t *> saved;          // each tracked page's bytes; nullptr for zeros
    std::vector<uint8_t> store;            // backing of `saved`
    std::unique_ptr<uint8_t[]> dirty;      // a page's state: kProtected, kWritten or kHot
    std::unique_ptr<uint32_t[]> written;   // the pages written since the last restore
    volatile size_t writtenCount = 0;
    bool allWritten = false;
    // A page written by many runs (the main loop's own state, the screen) costs a fault and
    // two protection changes each time; one written by at least one run in kHotShare of a
    // window stays writable instead and is put back at every restore, which is cheaper.
    std::unique_ptr<uint8_t[]> writesInWindow;
    std::vector<uint32_t> hot;
    uint32_t restores = 0;
    bool redzones = false;  // holds the sanitizers' redzones: copied out of their sight

    size_t pages() const { return (protEnd - protBegin) / pageSize(); }
};

enum : uint8_t { kProtected = 0, kWritten = 1, kHot = 2 };
constexpr uint32_t kWindow = 32;       // restores
constexpr uint8_t kHotShare = kWindow / 8;
constexpr size_t kMostHotPages = 512;  // 2 MiB put back at every restore at most

constexpr int kMaxRegions = 8;
int regionCount = 0;
// Devices register memory from their static constructors, so the table must exist before any
// of them runs, whatever the order of construction.
Region *regions() {
    static Region table[kMaxRegions];
    return table;
}
struct sigaction previousSegv;
bool handlerInstalled = false;

void protect(uintptr_t from, size_t bytes, int prot) {
    if (bytes && mprotect(reinterpret_cast<void *>(from), bytes, prot) != 0) {
        std::perror("vmod: snapshot mprotect");
        std::abort();
    }
}

void onSegv(int sig, siginfo_t *info, void *context) {
    uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
    for (int i = 0; i < regionCount; ++i) {
        Region &r = regions()[i];
        if (at < r.protBegin || at >= r.protEnd || !r.dirty) continue;
        size_t page = (at - r.protBegin) / pageSize();
        if (r.dirty[page]) break;  // already writable: a fault of another kind
        r.dirty[page] = kWritten;
        r.written[r.writtenCount] = uint32_t(page);
        r.writtenCount = r.writtenCount + 1;
        if (mprotect(reinterpret_cast<void *>(r.protBegin + page * pageSize()), pageSize(), PROT_READ | PROT_WRITE) != 0)
            break;
        return;
    }
    // Not ours: whoever handled the signal before (the sanitizers, libFuzzer) reports it.
    if (previousSegv.sa_flags & SA_SIGINFO) {
        previousSegv.sa_sigaction(sig, info, context);
        return;
    }
    if (previousSegv.sa_handler != SIG_DFL && previousSegv.sa_handler != SIG_IGN) {
        previousSegv.sa_handler(sig);
        return;
    }
    signal(SIGSEGV, SIG_DFL);  // returns to the faulting access, which now ends the process
}

void installHandler() {
    if (handlerInstalled) return;
    struct sigaction sa {};
    sa.sa_sigaction = onSegv;
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    if (sigaction(SIGSEGV, &sa, &previousSegv) != 0) {
        std::perror("vmod: snapshot sigaction");
        std::abort();
    }
    handlerInstalled = true;
}

void saveRegion(Region &r) {
    if (r.protBegin > r.begin || r.protEnd < r.end) {
        r.edgeHead.resize(r.protBegin - r.begin);
        r.edgeTail.resize(r.end - r.protEnd);
        copyUnchecked(r.edgeHead.data(), reinterpret_cast<void *>(r.begin), r.edgeHead.size());
        copyUnchecked(r.edgeTail.data(), reinterpret_cast<void *>(r.protEnd), r.edgeTail.size());
    }
    protect(r.protBegin, r.protEnd - r.protBegin, PROT_READ | PROT_WRITE);
    const size_t n = r.pages();
    std::vector<size_t> kept;
    for (size_t i = 0; i < n; ++i)
        if (!isZeroUnchecked(reinterpret_cast<void *>(r.protBegin + i * pageSize()), pageSize())) kept.push_back(i);
    r.store.resize(kept.size() * pageSize());
    r.saved.assign(n, nullptr);
    for (size_t k = 0; k < kept.size(); ++k) {
        r.saved[kept[k]] = &r.store[k * pageSize()];
        copyUnchecked(r.saved[kept[k]], reinterpret_cast<void *>(r.protBegin + kept[k] * pageSize()), pageSize());
    }
    r.dirty.reset(new uint8_t[n]());
    r.written.reset(new uint32_t[n]);
    r.writtenCount = 0;
    r.allWritten = false;
    r.writesInWindow.reset(new uint8_t[n]());
    r.hot.clear();
    r.restores = 0;
    protect(r.protBegin, r.protEnd - r.protBegin, PROT_READ);
}

void putPageBack(Region &r, size_t page) {
    uint8_t *at = reinterpret_cast<uint8_t *>(r.protBegin + page * pageSize());
    if (r.redzones) {
        if (r.saved[page]) copyUnchecked(at, r.saved[page], pageSize());
        else zeroUnchecked(at, pageSize());
    } else {
        if (r.saved[page]) std::memcpy(at, r.saved[page], pageSize());
        else std::memset(at, 0, pageSize());
    }
}

void restoreRegion(Region &r) {
    copyUnchecked(reinterpret_cast<void *>(r.begin), r.edgeHead.data(), r.edgeHead.size());
    copyUnchecked(reinterpret_cast<void *>(r.protEnd), r.edgeTail.data(), r.edgeTail.size());
    const size_t n = r.pages();
    ++r.restores;
    if (r.allWritten) {
        // Emptied since: every page is zero but those written after, so only the pages that
        // held data and the ones written need their bytes.
        protect(r.protBegin, r.protEnd - r.protBegin, PROT_READ | PROT_WRITE);
        for (size_t i = 0; i < n; ++i)
            if (r.saved[i] || r.dirty[i]) putPageBack(r, i);
        for (size_t i = 0; i < n; ++i)
            if (r.dirty[i] == kWritten) r.dirty[i] = kProtected;
        protect(r.protBegin, r.protEnd - r.protBegin, PROT_READ);
        for (uint32_t page : r.hot) protect(r.protBegin + page * pageSize(), pageSize(), PROT_READ | PROT_WRITE);
    } else {
        for (uint32_t page : r.hot) putPageBack(r, page);
        const bool windowEnds = r.restores % kWindow == 0;
        for (size_t k = 0; k < r.writtenCount; ++k) {
            const uint32_t page = r.written[k];
            putPageBack(r, page);
            ++r.writesInWindow[page];
            r.dirty[page] = kProtected;
        }
        if (windowEnds) {
            for (size_t i = 0; i < n; ++i) {
                if (r.writesInWindow[i] >= kHotShare && r.dirty[i] == kProtected && r.hot.size() < kMostHotPages) {
                    r.dirty[i] = kHot;
                    r.hot.push_back(uint32_t(i));
                    protect(r.protBegin + i * pageSize(), pageSize(), PROT_READ | PROT_WRITE);
                }
                r.writesInWindow[i] = 0;
            }
        }
        // In address order, so that neighbouring pages are protected again in one call.
        std::sort(r.written.get(), r.written.get() + r.writtenCount);
        for (size_t k = 0; k < r.writtenCount;) {
            if (r.dirty[r.written[k]] == kHot) {
                ++k;
                continue;
            }
            const uint32_t first = r.written[k];
            uint32_t end = first;  // one past the run of neighbouring pages
            for (; k < r.writtenCount && r.written[k] == end && r.dirty[end] == kProtected; ++k) ++end;
            protect(r.protBegin + first * pageSize(), (end - first) * pageSize(), PROT_READ);
        }
    }
    r.writtenCount = 0;
    r.allWritten = false;
}

}  // namespace

// Word loops where both ends are aligned, through volatile pointers so that the compiler
// does not turn them back into the library calls the sanitizers watch.
__attribute__((no_sanitize("address", "undefined"))) void copyUnchecked(void *to, const void *from, size_t n) {
    auto *d = static_cast<volatile uint8_t *>(to);
    auto *s = static_cast<const volatile uint8_t *>(from);
    size_t i = 0;
    if (((reinterpret_cast<uintptr_t>(d) | reinterpret_cast<uintptr_t>(s)) & 7) == 0)
        for (; i + 8 <= n; i += 8)
            *reinterpret_cast<volatile uint64_t *>(d + i) = *reinterpret_cast<const volatile uint64_t *>(s + i);
    for (; i < n; ++i) d[i] = s[i];
}

__attribute__((no_sanitize("address", "undefined"))) void zeroUnchecked(void *to, size_t n) {
    auto *d = static_cast<volatile uint8_t *>(to);
    size_t i = 0;
    if ((reinterpret_cast<uintptr_t>(d) & 7) == 0)
        for (; i + 8 <= n; i += 8) *reinterpret_cast<volatile uint64_t *>(d + i) = 0;
    for (; i < n; ++i) d[i] = 0;
}

__attribute__((no_sanitize("address", "undefined"))) bool isZeroUnchecked(const void *at, size_t n) {
    auto *p = static_cast<const volatile uint8_t *>(at);
    size_t i = 0;
    if ((reinterpret_cast<uintptr_t>(p) & 7) == 0)
        for (; i + 8 <= n; i += 8)
            if (*reinterpret_cast<const volatile uint64_t *>(p + i)) return false;
    for (; i < n; ++i)
        if (p[i]) return false;
    return true;
}

void registerSnapshotPart(SnapshotPart part) { parts().push_back(std::move(part)); }

void keepMemoryInSnapshots(void *begin, size_t size, bool redzones) {
    if (regionCount == kMaxRegions) {
        std::fprintf(stderr, "vmod: too many snapshot regions\n");
        std::abort();
    }
    Region &r = regions()[regionCount++];
    r.redzones = redzones;
    r.begin = reinterpret_cast<uintptr_t>(begin);
    r.end = r.begin + size;
    r.protBegin = (r.begin + pageSize() - 1) / pageSize() * pageSize();
    r.protEnd = r.end / pageSize() * pageSize();
    if (r.protEnd <= r.protBegin) r.protBegin = r.protEnd = r.end;  // no whole page: all edge
}

void memoryDiscarded(void *begin, size_t size) {
    uintptr_t from = reinterpret_cast<uintptr_t>(begin), to = from + size;
    for (int i = 0; i < regionCount; ++i)
        if (taken && from < regions()[i].end && to > regions()[i].begin) regions()[i].allWritten = true;
}

void takeSnapshot() {
    installHandler();
    restorers.clear();  // the parts of an earlier snapshot let go of what they kept first
    for (int i = 0; i < regionCount; ++i) saveRegion(regions()[i]);
    for (auto &part : parts()) restorers.push_back(part());
    taken = true;
}

void restoreSnapshot() {
    if (!taken) {
        std::fprintf(stderr, "vmod: no snapshot to restore\n");
        std::abort();
    }
    // Switched off meanwhile: a power-on first, whose effects the restore then undoes.
    if (!powered()) powerOn();
    for (int i = 0; i < regionCount; ++i) restoreRegion(regions()[i]);
    for (auto &put : restorers) put();
}

bool haveSnapshot() { return taken; }

void dropSnapshot() {
    if (!taken) return;
    for (int i = 0; i < regionCount; ++i) {
        Region &r = regions()[i];
        protect(r.protBegin, r.protEnd - r.protBegin, PROT_READ | PROT_WRITE);
        r.saved.clear();
        r.store.clear();
        r.hot.clear();
        r.dirty.reset();
        r.writtenCount = 0;
    }
    restorers.clear();
    taken = false;
}

}  // namespace sim
