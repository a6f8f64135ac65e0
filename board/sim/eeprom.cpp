// The settings EEPROM as an I2C device. A write transfer carries the two address bytes
// (high first; only 12 bits count) and then data bytes, which collect in the page buffer and
// wrap inside their 32-byte page. STOP after at least one data byte starts the 5 ms write
// cycle; the cells change when it ends, and until then the part answers no address byte.
// A read returns bytes from the address pointer on, wrapping at the end of the array.
#include "eeprom.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "i2c.h"
#include "sim.h"

namespace sim::eeprom {
namespace {

constexpr Time kWriteCycle = 5 * kMs;

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
        registerLine("eeprom-fill", [this](const std::string &a, const std::string &) { return fillLine(a); }, true);
        registerLine("eeprom", [this](const std::string &a, const std::string &) { return bytesLine(a); }, true);
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
    static bool saveFile(const uint8_t *src) {
        FILE *f = std::fopen(fileIn(stateDir()).c_str(), "wb");
        if (!f) return false;
        bool ok = std::fwrite(src, 1, kSize, f) == kSize;
        return std::fclose(f) == 0 && ok;
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

    // --- script lines (module off) ---
    static bool hexByte(const std::string &t, uint8_t &out) {
        if (t.empty() || t.size() > 2) return false;
        unsigned v = 0;
        for (char c : t) {
            int d = (c >= '0' && c <= '9') ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                  : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
            if (d < 0) return false;
            v = v * 16 + unsigned(d);
        }
        out = uint8_t(v);
        return true;
    }
    LineResult fillLine(const std::string &arg) {
        uint8_t v;
        std::istringstream in(arg);
        std::string t, extra;
        if (!(in >> t) || !hexByte(t, v) || (in >> extra)) return {2, "eeprom-fill needs one hex byte"};
        uint8_t img[kSize];
        std::memset(img, v, kSize);
        if (!saveFile(img)) return {2, "cannot write " + fileIn(stateDir())};
        return {};
    }
    LineResult bytesLine(const std::string &arg) {
        std::istringstream in(arg);
        std::string t;
        unsigned long addr;
        if (!(in >> t)) return {2, "eeprom needs an address and bytes"};
        char *end = nullptr;
        addr = std::strtoul(t.c_str(), &end, 16);
        if (*end || addr >= kSize) return {2, "bad EEPROM address " + t};
        uint8_t img[kSize];
        loadFile(img);
        int n = 0;
        while (in >> t) {
            uint8_t v;
            if (!hexByte(t, v)) return {2, "bad hex byte " + t};
            if (addr >= kSize) return {2, "bytes run past the end of the EEPROM"};
            img[addr++] = v;
            ++n;
        }
        if (n == 0) return {2, "eeprom needs at least one byte"};
        if (!saveFile(img)) return {2, "cannot write " + fileIn(stateDir())};
        return {};
    }
} part;

}  // namespace

uint8_t peek(unsigned addr) { return part.cells[addr % kSize]; }
const std::vector<uint16_t> &writeLog() { return part.log; }
bool busy() { return part.cycleRunning; }
std::string fileIn(const std::string &dir) { return dir + "/eeprom.bin"; }

}  // namespace sim::eeprom
