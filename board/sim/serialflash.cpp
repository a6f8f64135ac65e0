// The SPI serial NOR flash on the first SPI controller, with chip select on C 15.
//
// Commands (the byte after chip select goes low): 0x9F identification, 0x05 status, 0x06 /
// 0x04 write enable / disable, 0x03 read and 0x0B fast read (one dummy byte), 0x02 page
// program, 0xD8 sector erase, 0xC7 bulk erase. As on the part: programming only clears bits
// and wraps inside its 256-byte page (the last 256 bytes sent win); program and erase run
// only with the write-enable latch set, start when chip select rises after a whole command,
// keep the part busy (status bit 0) for the part's own time, and clear the latch when done.
// While busy the part answers nothing but the status command.
//
// Byte exchanges on the bus take no virtual time; the busy times do.
#include "serialflash.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "board.h"
#include "sim.h"
#include "snapshot.h"

namespace sim::serialflash {
namespace {

uint32_t sizeForId(uint32_t id) {
    unsigned cap = id & 0xFF;
    return (cap >= 0x10 && cap <= 0x18) ? (1u << cap) : (4u << 20);
}

// The medium: dataflash.bin mapped shared, so every program and erase is in the file at
// once and a killed simulator loses nothing that the part had finished.
struct Medium {
    std::string path;
    uint8_t *bytes = nullptr;
    uint32_t length = 0;

    void unmap() {
        if (bytes) munmap(bytes, length);
        bytes = nullptr;
        length = 0;
        path.clear();
    }

    uint8_t *map(uint32_t want) {
        // Mapped until power changes or a media line: the state folder cannot change meanwhile.
        if (bytes && want == length) return bytes;
        unmap();
        std::string p = fileName();
        int fd = open(p.c_str(), O_RDWR | O_CREAT, 0644);
        if (fd < 0) {
            std::fprintf(stderr, "vmod: cannot open %s\n", p.c_str());
            std::exit(3);
        }
        struct stat st {};
        fstat(fd, &st);
        off_t have = st.st_size;
        if (have < off_t(want)) {
            // A missing or short file is erased flash.
            std::vector<uint8_t> ff(want - uint32_t(have), 0xFF);
            if (pwrite(fd, ff.data(), ff.size(), have) != ssize_t(ff.size())) {
                std::fprintf(stderr, "vmod: cannot write %s\n", p.c_str());
                std::exit(3);
            }
        }
        void *m = mmap(nullptr, want, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        close(fd);
        if (m == MAP_FAILED) {
            std::fprintf(stderr, "vmod: cannot map %s\n", p.c_str());
            std::exit(3);
        }
        bytes = static_cast<uint8_t *>(m);
        length = want;
        path = p;
        return bytes;
    }
};

// While a snapshot is held, the old bytes of every 4 KiB unit the part changes, so that a
// restore can put the medium back.
constexpr uint32_t kJournalUnit = 0x1000;
MediaJournal journal;

struct Flash : Device {
    uint32_t id = kDefaultId;
    Medium medium;
    uint8_t statusReg = 0;  // WIP and WEL only; the protection bits stay 0
    EventId busyEvent = 0;
    Counts counts;

    // The command being received while chip select is low.
    bool selected = false;
    uint8_t cmd = 0;
    uint32_t received = 0;  // bytes since chip select went low, command byte included
    uint32_t addr = 0;
    uint8_t latch[kPageSize];  // page-program data, by position in the page
    bool latched[kPageSize];

    // The SPI controller's receive FIFO.
    uint8_t rx[8];
    int rxHead = 0, rxCount = 0;

    Flash() {
        registerDevice(this);
        registerSnapshotPart([this] {
            auto copy = std::make_shared<Flash>(*this);
            return std::function<void()>([this, copy, recording = journal.record()] {
                Medium mapped = medium;  // the mapping in force, whatever it was then
                *this = *copy;
                medium = mapped;
                journal.putBack([this](uint64_t unit, const std::vector<uint8_t> &bytes) {
                    std::memcpy(mem() + unit * kJournalUnit, bytes.data(), bytes.size());
                });
            });
        });
    }

    // Called before the part changes [base, base + n) of its medium.
    void changing(uint32_t base, uint32_t n) {
        for (uint32_t unit = base / kJournalUnit; unit * kJournalUnit < base + n; ++unit)
            if (journal.wants(unit)) {
                const uint8_t *at = mem() + unit * kJournalUnit;
                journal.keep(unit, std::vector<uint8_t>(at, at + kJournalUnit));
            }
    }

    uint32_t bytes() const { return sizeForId(id); }
    uint8_t *mem() { return medium.map(bytes()); }
    uint32_t physicalSector() const { return (id & 0xFF) >= 0x18 ? 0x40000 : kSectorSize; }

    void powerOn() override {
        medium.unmap();  // mapped again from the state folder in force now
        statusReg = 0;
        busyEvent = 0;
        counts = Counts{};
        selected = false;
        rxHead = rxCount = 0;
    }
    void powerOff() override {
        // The event queue goes with the power: a program or erase cut short does not happen.
        statusReg = 0;
        busyEvent = 0;
        medium.unmap();
    }

    // --- script lines (powered off) ---
    void loadBytes(const std::vector<uint8_t> &data) {
        uint8_t *m = mem();
        std::memset(m, 0xFF, bytes());
        std::memcpy(m, data.data(), data.size());
    }

    // --- the part ---
    void startBusy(Time t, std::function<void()> done) {
        statusReg |= kStatusWip;
        busyEvent = schedule(now() + t, [this, done] {
            done();
            ++counts.finished;
            statusReg &= uint8_t(~(kStatusWip | kStatusWel));
            busyEvent = 0;
        });
    }

    void select(bool on) {
        if (on == selected) return;
        selected = on;
        if (on) {
            received = 0;
            cmd = 0;
            std::memset(latched, 0, sizeof latched);
            return;
        }
        finishCommand();
    }

    void finishCommand() {
        if (received == 0 || (statusReg & kStatusWip)) return;
        const bool wel = statusReg & kStatusWel;
        switch (cmd) {
            case 0x06:
                if (received == 1) statusReg |= kStatusWel;
                break;
            case 0x04:
                if (received == 1) statusReg &= uint8_t(~kStatusWel);
                break;
            case 0x02:
                if (wel && received >= 5) {
                    uint32_t base = addr & ~(kPageSize - 1) & (bytes() - 1);
                    uint8_t data[kPageSize];
                    bool used[kPageSize];
                    std::memcpy(data, latch, sizeof data);
                    std::memcpy(used, latched, sizeof used);
                    ++counts.pagePrograms;
                    startBusy(kPageProgramTime, [this, base, data, used] {
                        changing(base, kPageSize);
                        uint8_t *m = mem();
                        for (uint32_t i = 0; i < kPageSize; ++i)
                            if (used[i]) m[base + i] &= data[i];
                    });
                }
                break;
            case 0xD8:
                if (wel && received == 4) {
                    uint32_t sec = physicalSector();
                    uint32_t base = (addr & (bytes() - 1)) & ~(sec - 1);
                    ++counts.sectorErases;
                    startBusy(kSectorEraseTime, [this, base, sec] {
                        changing(base, sec);
                        std::memset(mem() + base, 0xFF, sec);
                    });
                }
                break;
            case 0xC7:
                if (wel && received == 1) {
                    ++counts.bulkErases;
                    startBusy(kBulkEraseTime, [this] {
                        changing(0, bytes());
                        std::memset(mem(), 0xFF, bytes());
                    });
                }
                break;
            default:
                break;
        }
    }

    // One byte exchanged on the bus: `in` from the controller, the result back to it.
    uint8_t exchange(uint8_t in) {
        if (!selected) return 0xFF;
        uint32_t n = received++;
        if (n == 0) {
            cmd = in;
            addr = 0;
            return 0xFF;
        }
        if ((statusReg & kStatusWip) && cmd != 0x05) return 0xFF;
        switch (cmd) {
            case 0x9F:
                return n <= 3 ? uint8_t(id >> (8 * (3 - n))) : 0x00;
            case 0x05:
                return statusReg;
            case 0x03:
            case 0x0B: {
                if (n <= 3) {
                    addr = (addr << 8) | in;
                    return 0xFF;
                }
                uint32_t first = cmd == 0x0B ? 5 : 4;  // fast read has one dummy byte
                if (n < first) return 0xFF;
                uint32_t a = (addr + (n - first)) & (bytes() - 1);
                return mem()[a];
            }
            case 0x02:
                if (n <= 3) {
                    addr = (addr << 8) | in;
                    return 0xFF;
                }
                {
                    uint32_t pos = (addr + (n - 4)) & (kPageSize - 1);
                    latch[pos] = in;
                    latched[pos] = true;
                }
                return 0xFF;
            case 0xD8:
                if (n <= 3) addr = (addr << 8) | in;
                return 0xFF;
            default:
                return 0xFF;
        }
    }
};

Flash &flash() {
    static Flash f;
    return f;
}
// Constructed at start, so that the part is registered before the first power-on.
Flash &theFlash = flash();

}  // namespace

void setIdentification(uint32_t id) {
    flash().medium.unmap();
    flash().id = id & 0xFFFFFF;
}
uint32_t identification() { return flash().id; }
uint32_t size() { return flash().bytes(); }
std::string fileName() { return stateDir() + "/dataflash.bin"; }

// Outside a power-on the mapping is let go at once: the state folder may change before the
// next access.
void release() {
    if (!powered()) flash().medium.unmap();
}

std::vector<uint8_t> contents() {
    const uint8_t *m = flash().mem();
    std::vector<uint8_t> v(m, m + flash().bytes());
    release();
    return v;
}
void fill(uint8_t value) {
    std::memset(flash().mem(), value, flash().bytes());
    release();
}
void load(const std::vector<uint8_t> &bytes) {
    std::vector<uint8_t> b(bytes.begin(), bytes.begin() + std::min<size_t>(bytes.size(), flash().bytes()));
    flash().loadBytes(b);
    release();
}
uint8_t status() { return flash().statusReg; }
Counts counts() { return flash().counts; }

}  // namespace sim::serialflash

using sim::serialflash::flash;

extern "C" void board_spi1_init(void) {
    board_gpio_peripheral(2, 14);
    board_gpio_peripheral(2, 16);
    board_gpio_peripheral(2, 17);
    flash().rxHead = flash().rxCount = 0;
}

extern "C" void board_spi1_select(int on) {
    board_gpio_write(2, 15, on ? 0 : 1);
    flash().select(on != 0);
}

extern "C" int board_spi1_tx_space(void) { return 8; }

extern "C" void board_spi1_write(uint8_t byte) {
    auto &f = flash();
    uint8_t got = f.exchange(byte);
    if (f.rxCount < 8) {
        f.rx[(f.rxHead + f.rxCount) % 8] = got;
        ++f.rxCount;
    }
}

extern "C" int board_spi1_busy(void) { return 0; }
extern "C" int board_spi1_rx_ready(void) { return flash().rxCount > 0; }

extern "C" uint8_t board_spi1_read(void) {
    auto &f = flash();
    if (f.rxCount == 0) return 0;
    uint8_t b = f.rx[f.rxHead];
    f.rxHead = (f.rxHead + 1) % 8;
    --f.rxCount;
    return b;
}
