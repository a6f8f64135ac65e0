// The settings EEPROM as an I2C device. A write transfer carries the two address bytes
// (high first; only 12 bits count) and then data bytes, which collect in the page buffer and
// wrap inside their 32-byte page. STOP after at least one data byte starts the 5 ms write
// cycle; the cells change when it ends, and until then the part answers no address byte.
// A read returns bytes from the address pointer on, wrapping at the end of the array.
#include "eeprom.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "i2c.h"
#include "mediafile.h"
#include "sim.h"
#include "snapshot.h"

namespace sim::eeprom {
namespace {

constexpr Time kWriteCycle = 5 * kMs;
uint64_t fileSaves = 0;  // writes of the state folder's file, for snapshots to see
MediaFile file;          // outside the part's state, which snapshots copy

struct Eeprom : Device, i2c::Slave {
    uint8_t cells[kSize];
    uint16_t pointer = 0;
    // The write transfer being received.
    int addressBytes = 0;  // address bytes still expected
    uint8_t page[kPage];
    bool pageUsed[kPage];
    int dataBytes = 0;
    bool cycleRunning = false;
    EventId cycleEvent = 0;
    std::vector<uint16_t> log;

    Eeprom() {
        std::memset(cells, 0xFF, sizeof cells);
        registerDevice(this);
        i2c::attach(this);
        keepInSnapshots(*this);
        // The file behind the cells, written back when a write cycle changed it since.
        registerSnapshotPart([] {
            auto kept = std::make_shared<std::vector<uint8_t>>(kSize);
            loadFile(kept->data());
            const uint64_t saves = fileSaves;
            return std::function<void()>([kept, saves] {
                if (fileSaves != saves) saveFile(kept->data());
                fileSaves = saves;
            });
        });
    }

    // --- media ---
    static void loadFile(uint8_t *dst) {
        std::memset(dst, 0xFF, kSize);
        if (FILE *f = std::fopen(fileIn(stateDir()).c_str(), "rb")) {
            size_t n = std::fread(dst, 1, kSize, f);
            (void)n;  // a short file leaves the rest blank
            std::fclose(f);
        }
    }
    // Rewritten in place, never truncated: a file truncated and written again is flushed to
    // the disk at its close by some file systems, which would cost every write cycle a disk
    // write.
    static bool saveFile(const uint8_t *src) {
        ++fileSaves;
        int fd = file.fd(fileIn(stateDir()), O_WRONLY | O_CREAT);
        return fd >= 0 && ::pwrite(fd, src, kSize, 0) == ssize_t(kSize);
    }

    void powerOn() override {
        loadFile(cells);
        pointer = 0;
        addressBytes = 0;
        dataBytes = 0;
        cycleRunning = false;
        cycleEvent = 0;
        log.clear();
    }
    void powerOff() override {
        // A write cycle under way completes: a processor reset does not reach the part, and
        // the firmware never cuts its own power. (The event queue is dropped with the power.)
        if (cycleRunning) finishCycle();
        file.close();
    }

    // --- bus ---
    uint8_t address() const override { return kDeviceAddress; }
    bool select(bool read) override {
        if (cycleRunning) return false;
        dataBytes = 0;  // a repeated START abandons an unfinished page write
        addressBytes = read ? 0 : 2;
        return true;
    }
    bool write(uint8_t byte) override {
        if (addressBytes == 2) {
            pointer = uint16_t((byte << 8) & (kSize - 1));
            --addressBytes;
        } else if (addressBytes == 1) {
            pointer = uint16_t((pointer & 0xFF00) | byte) & (kSize - 1);
            --addressBytes;
            std::memset(pageUsed, 0, sizeof pageUsed);
        } else {
            unsigned off = (pointer + dataBytes) % kPage;
            page[off] = byte;
            pageUsed[off] = true;
            ++dataBytes;
        }
        return true;
    }
    uint8_t read() override {
        uint8_t b = cells[pointer];
        pointer = uint16_t((pointer + 1) & (kSize - 1));
        return b;
    }
    void masterAck(bool) override {}
    void stop() override {
        if (addressBytes != 0 || dataBytes == 0) return;
        cycleRunning = true;
        cycleEvent = schedule(now() + kWriteCycle, [this] { finishCycle(); });
    }
    void finishCycle() {
        unsigned base = pointer & ~(kPage - 1);
        for (unsigned i = 0; i < kPage; ++i)
            if (pageUsed[i]) {
                cells[base + i] = page[i];
                log.push_back(uint16_t(base + i));
            }
        // The pointer ends after the last byte written, inside the page.
        pointer = uint16_t(base + (pointer + dataBytes) % kPage);
        dataBytes = 0;
        cycleRunning = false;
        cycleEvent = 0;
        saveFile(cells);
    }
} part;

}  // namespace

uint8_t peek(unsigned addr) { return part.cells[addr % kSize]; }
const std::vector<uint16_t> &writeLog() { return part.log; }
bool busy() { return part.cycleRunning; }
std::string fileIn(const std::string &dir) { return dir + "/eeprom.bin"; }

// Writes from outside a session (script lines, tools) leave the file closed behind them.
bool saveMedia(const uint8_t *img) {
    bool ok = Eeprom::saveFile(img);
    if (!powered()) file.close();
    return ok;
}

bool fillMedia(uint8_t value) {
    uint8_t img[kSize];
    std::memset(img, value, kSize);
    return saveMedia(img);
}

bool writeMedia(unsigned addr, const std::vector<uint8_t> &bytes) {
    if (addr > kSize || bytes.size() > kSize - addr) return false;
    uint8_t img[kSize];
    Eeprom::loadFile(img);
    std::memcpy(img + addr, bytes.data(), bytes.size());
    return saveMedia(img);
}

}  // namespace sim::eeprom
