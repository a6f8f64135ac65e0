// UART model: a rate generator, one transmit holding register in front of the shift
// register, and a 32-word receiver FIFO. Bytes take 10 bit times on the wire (start bit,
// 8 data bits, stop bit).
#include "uart.h"

#include <cmath>
#include <cstdlib>
#include <optional>

#include "board.h"
#include "gpio.h"
#include "snapshot.h"

namespace sim::uart {
namespace {

constexpr size_t kRxFifo = 32;
constexpr uint32_t kDefaultHostBaud = 115200;
constexpr size_t kHostFifo = 16;  // the host UART's transmit FIFO, as on a 16550
constexpr int kBreak = 0x100;  // a host item that is no byte: one character time of break
constexpr uint8_t kXon = 0x11, kXoff = 0x13;

struct Port {
    int index;
    int irqRx, irqTx;
    // module side
    bool enabled = false;
    uint32_t rate = 0;
    uint32_t ubir = 0, ubmr = 0;  // rate generator: numerator - 1 and denominator - 1
    bool rxIrq = false, txReadyIrq = false, txCompleteIrq = false;
    std::optional<uint8_t> holding;
    bool shifting = false;
    std::deque<uint32_t> rxFifo;
    bool overrunPending = false;
    // host side
    uint32_t hostRate = kDefaultHostBaud;
    Time hostLineFreeAt = 0;
    int hostInFlight = 0;
    // A host that heeds XON/XOFF sends one byte at a time from its queue and holds the rest
    // back after an XOFF until an XON.
    bool hostFlow = false;
    bool hostPaused = false;
    bool hostOnLine = false;  // a held item is on the wire
    std::deque<int> hostHeld;
    std::deque<HostByte> received;
    std::function<void(uint8_t)> sink;
    // host transmitter of the front ends
    HostSource source;
    std::deque<uint8_t> queued;
    uint8_t fifo[kHostFifo];
    size_t fifoAt = 0, fifoLen = 0;
    bool txRunning = false;  // a byte of the transmitter is on the line
    bool sourceMidLine = false;  // the source's last byte so far was not a CR
};

Port ports[2] = {{0, IRQ_UART0_RX, IRQ_UART0_TX}, {1, IRQ_UART1_RX, IRQ_UART1_TX}};

Port *get(int port) { return (port == 0 || port == 1) ? &ports[port] : nullptr; }

Time byteTime(uint32_t rate) { return rate ? (10ull * kSec + rate - 1) / rate : 10 * kMs; }

// Two ends agree when their rates are within 2 %, the tolerance of an 8N1 receiver.
bool ratesAgree(uint32_t a, uint32_t b) {
    if (a == 0 || b == 0) return false;
    return std::abs(double(a) - double(b)) <= 0.02 * double(b);
}

// What a receiver at rate `rx` makes of a byte sent at rate `tx`: it samples each of its
// bit cells in the middle and reads the sender's waveform there (start bit 0, data LSB
// first, then stop and idle 1).
uint8_t garble(uint8_t c, uint32_t tx, uint32_t rx) {
    if (tx == 0 || rx == 0) return 0xFF;
    uint8_t v = 0;
    for (int bit = 0; bit < 8; ++bit) {
        double t = (bit + 1.5) / double(rx);
        int cell = int(t * double(tx));
        int level = cell == 0 ? 0 : (cell <= 8 ? (c >> (cell - 1)) & 1 : 1);
        v |= uint8_t(level << bit);
    }
    return v;
}

void hostTxStart(Port &p);

void updateIrqs(Port &p) {
    bool txEmpty = !p.holding.has_value();
    bool txDone = txEmpty && !p.shifting;
    irqRaise(p.irqTx, (p.txReadyIrq && txEmpty) || (p.txCompleteIrq && txDone));
    irqRaise(p.irqRx, p.rxIrq && !p.rxFifo.empty());
}

void startShift(Port &p);
void hostPump(Port &p);

void shiftDone(Port &p, uint8_t c) {
    p.shifting = false;
    uint8_t seen = ratesAgree(p.rate, p.hostRate) ? c : garble(c, p.rate, p.hostRate);
    p.received.push_back({seen, now()});
    if (p.hostFlow && seen == kXoff) p.hostPaused = true;
    if (p.hostFlow && seen == kXon && p.hostPaused) {
        p.hostPaused = false;
        hostPump(p);
        hostTxStart(p);
    }
    if (p.sink) p.sink(seen);
    if (p.holding) startShift(p);
    updateIrqs(p);
}

void startShift(Port &p) {
    uint8_t c = *p.holding;
    p.holding.reset();
    p.shifting = true;
    schedule(now() + byteTime(p.rate), [&p, c] { shiftDone(p, c); });
}

void moduleReceives(Port &p, int c) {
    p.hostInFlight--;
    if (!p.enabled || p.rate == 0) return;  // a receiver without a clock hears nothing
    uint32_t word = UART_RX_CHARRDY;
    if (c == kBreak) {
        word |= UART_RX_ERR | UART_RX_BRK | UART_RX_FRMERR;  // all zeros, no stop bit
    } else if (ratesAgree(p.rate, p.hostRate)) {
        word |= c;
    } else {
        word |= garble(uint8_t(c), p.hostRate, p.rate) | UART_RX_ERR | UART_RX_FRMERR;
    }
    if (p.rxFifo.size() >= kRxFifo) {
        p.overrunPending = true;  // reported with the next word read
    } else {
        p.rxFifo.push_back(word);
    }
    updateIrqs(p);
}

// What the host does once an item of its own has reached the module.
enum class Then : uint8_t { Nothing, Pump, NextFromTransmitter };

void hostPumpDone(Port &p);
void hostTxNext(Port &p);

// The host puts item c on the line, back to back with what it sent before. (The event keeps
// to a few bytes, which std::function holds without an allocation: one runs per byte.)
void hostPutOnLine(Port &p, int c, Then then) {
    Time start = p.hostLineFreeAt > now() ? p.hostLineFreeAt : now();
    p.hostLineFreeAt = start + byteTime(p.hostRate);
    schedule(p.hostLineFreeAt, [&p, c, then] {
        moduleReceives(p, c);
        if (then == Then::Pump) hostPumpDone(p);
        else if (then == Then::NextFromTransmitter) hostTxNext(p);
    });
}

// A host that heeds flow control starts its next byte only when the line is free and no
// XOFF holds it back; the byte on the wire always finishes.
void hostPump(Port &p) {
    if (p.hostOnLine || p.hostPaused || p.hostHeld.empty()) return;
    int c = p.hostHeld.front();
    p.hostHeld.pop_front();
    p.hostOnLine = true;
    hostPutOnLine(p, c, Then::Pump);
}

void hostPumpDone(Port &p) {
    p.hostOnLine = false;
    hostPump(p);
}

void hostPutItem(int port, int c) {
    Port *p = get(port);
    if (!p || !powered()) return;
    p->hostInFlight++;
    if (!p->hostFlow) {
        hostPutOnLine(*p, c, Then::Nothing);
        return;
    }
    p->hostHeld.push_back(c);
    hostPump(*p);
}

// The front ends' host transmitter, when the line is free: the next byte of its FIFO,
// refilled from the queue, then the source, unless an XOFF stopped it. Queued lines wait
// while the source is inside a line it is still sending, so that they never split one of its
// lines; a source that has nothing just now in the middle of a line (a person typing) lets
// them go. Each byte reaches the module at the end of its stop bit, and the next one starts then.
void hostTxNext(Port &p) {
    p.txRunning = false;
    if (p.fifoAt == p.fifoLen && !p.hostPaused) {
        p.fifoAt = p.fifoLen = 0;
        bool fromSource = false;
        if (p.sourceMidLine && p.source && !p.queued.empty()) {
            p.fifoLen = p.source(p.fifo, kHostFifo);
            fromSource = p.fifoLen > 0;
        }
        while (!fromSource && p.fifoLen < kHostFifo && !p.queued.empty()) {
            p.fifo[p.fifoLen++] = p.queued.front();
            p.queued.pop_front();
        }
        if (p.fifoLen == 0 && p.source) {
            p.fifoLen = p.source(p.fifo, kHostFifo);
            fromSource = true;
        }
        if (p.fifoLen > kHostFifo) p.fifoLen = 0;
        if (fromSource && p.fifoLen > 0) p.sourceMidLine = p.fifo[p.fifoLen - 1] != '\r';
    }
    if (p.fifoAt == p.fifoLen) return;
    p.hostInFlight++;
    p.txRunning = true;
    hostPutOnLine(p, p.fifo[p.fifoAt++], Then::NextFromTransmitter);
}

void hostTxStart(Port &p) {
    if (p.txRunning || !powered()) return;
    p.txRunning = true;
    schedule(p.hostLineFreeAt > now() ? p.hostLineFreeAt : now(), [&p] { hostTxNext(p); });
}

// Each UART's registers in the peripheral space (port 0 first); the rate generator's two
// registers are modelled.
constexpr uint32_t kRegBlock[2] = {0x6000, 0x7000};
constexpr uint32_t kRegBlockSize = 0x1000;
constexpr uint32_t kUBIR = 0xA4, kUBMR = 0xA8;

void setRatio(Port &p, uint32_t num, uint32_t den) {
    p.ubir = num & 0xFFFF;
    p.ubmr = den & 0xFFFF;
    p.rate = uint32_t(uint64_t(BOARD_UART_REF_HZ) * (p.ubir + 1) / (16ull * (p.ubmr + 1)));
}

void registerUartRegisters(Port &p) {
    registerRegisters({kRegBlock[p.index], kRegBlockSize,
                       [&p](uint32_t off, uint32_t &v) {
                           if (off != kUBIR && off != kUBMR) return false;
                           v = off == kUBIR ? p.ubir : p.ubmr;
                           return true;
                       },
                       [&p](uint32_t off, uint32_t v) {
                           if (off == kUBIR) setRatio(p, v, p.ubmr);
                           else if (off == kUBMR) setRatio(p, p.ubir, v);
                           else return false;
                           return true;
                       }});
}

struct UartDevice : Device {
    UartDevice() {
        registerDevice(this);
        keepInSnapshots(ports);
        for (Port &p : ports) registerUartRegisters(p);
    }
    void powerOn() override {
        reset();
        for (Port &p : ports)
            if (p.source || !p.queued.empty()) hostTxStart(p);
    }
    void powerOff() override { reset(); }
    void reset() {
        for (Port &p : ports) {
            p.enabled = false;
            p.rate = 0;
            p.ubir = p.ubmr = 0;
            p.rxIrq = p.txReadyIrq = p.txCompleteIrq = false;
            p.holding.reset();
            p.shifting = false;
            p.rxFifo.clear();
            p.overrunPending = false;
            p.hostLineFreeAt = now();
            p.hostInFlight = 0;
            p.hostPaused = false;
            p.hostOnLine = false;
            p.hostHeld.clear();
            p.fifoAt = p.fifoLen = 0;  // what was on the wire is lost
            p.txRunning = false;
            p.sourceMidLine = false;
        }
    }
} device;

}  // namespace

void hostSend(int port, const std::string &bytes) {
    for (unsigned char c : bytes) hostPutItem(port, c);
}

void hostSendBreak(int port) { hostPutItem(port, kBreak); }

void setHostFlow(int port, bool on) {
    Port *p = get(port);
    if (!p || p->hostFlow == on) return;  // the front ends restate it at every poll
    p->hostFlow = on;
    if (!on) {
        // What was held back goes now, back to back.
        // What was held back goes now, back to back; a stopped transmitter starts again, as
        // a tty's does when IXON is switched off while stopped.
        p->hostPaused = false;
        while (!p->hostHeld.empty()) {
            hostPutOnLine(*p, p->hostHeld.front(), Then::Nothing);
            p->hostHeld.pop_front();
        }
        hostTxStart(*p);
    }
}

void setHostBaud(int port, uint32_t rate) {
    if (Port *p = get(port)) p->hostRate = rate;
}
uint32_t hostBaud(int port) { return get(port) ? get(port)->hostRate : 0; }
bool hostSending(int port) {
    Port *p = get(port);
    return p && (p->hostInFlight > 0 || p->fifoAt < p->fifoLen || !p->queued.empty());
}
void setHostSource(int port, HostSource source) {
    if (Port *p = get(port)) {
        p->source = std::move(source);
        p->sourceMidLine = false;
        if (p->source) hostTxStart(*p);
    }
}
void hostSourceReady(int port) {
    if (Port *p = get(port)) hostTxStart(*p);
}
void hostQueue(int port, const std::string &bytes) {
    Port *p = get(port);
    if (!p) return;
    p->queued.insert(p->queued.end(), bytes.begin(), bytes.end());
    hostTxStart(*p);
}
bool hostStopped(int port) { return get(port) && get(port)->hostPaused; }
std::deque<HostByte> &hostReceived(int port) { return get(port == 1 ? 1 : 0)->received; }
void setHostSink(int port, std::function<void(uint8_t)> sink) {
    if (Port *p = get(port)) p->sink = std::move(sink);
}
uint32_t moduleBaud(int port) { return get(port) ? get(port)->rate : 0; }
// The driver enable of port 1's RS-485 transceiver is GPIO B 29, high = drive the bus.
bool rs485DriverOn() { return gpio::level(gpio::B, 29) != 0; }

}  // namespace sim::uart

using namespace sim;
using namespace sim::uart;

extern "C" void board_uart_enable(int port) {
    if (Port *p = get(port)) {
        p->enabled = true;
        p->rxIrq = true;
        updateIrqs(*p);
    }
}

extern "C" void board_uart_set_ratio(int port, uint32_t num, uint32_t den) {
    if (Port *p = get(port)) setRatio(*p, num, den);
}

extern "C" int board_uart_rx_ready(int port) {
    Port *p = get(port);
    return p && !p->rxFifo.empty();
}

extern "C" uint32_t board_uart_read(int port) {
    Port *p = get(port);
    if (!p || p->rxFifo.empty()) return 0;
    uint32_t w = p->rxFifo.front();
    p->rxFifo.pop_front();
    if (p->overrunPending) {
        w |= UART_RX_ERR | UART_RX_OVRRUN;
        p->overrunPending = false;
    }
    updateIrqs(*p);
    return w;
}

extern "C" void board_uart_rx_reset(int port) {
    if (Port *p = get(port)) {
        p->rxFifo.clear();
        p->overrunPending = false;
        updateIrqs(*p);
    }
}

extern "C" void board_uart_write(int port, uint8_t c) {
    Port *p = get(port);
    if (!p || !p->enabled || p->holding) return;  // a write into a full holding register is lost
    p->holding = c;
    if (!p->shifting) startShift(*p);
    updateIrqs(*p);
}

extern "C" int board_uart_tx_ready(int port) {
    Port *p = get(port);
    return p && !p->holding;
}

extern "C" int board_uart_tx_complete(int port) {
    Port *p = get(port);
    return p && !p->holding && !p->shifting;
}

extern "C" void board_uart_tx_ready_irq(int port, int on) {
    if (Port *p = get(port)) {
        p->txReadyIrq = on != 0;
        updateIrqs(*p);
    }
}

extern "C" void board_uart_tx_complete_irq(int port, int on) {
    if (Port *p = get(port)) {
        p->txCompleteIrq = on != 0;
        updateIrqs(*p);
    }
}

extern "C" void board_uart_rx_irq(int port, int on) {
    if (Port *p = get(port)) {
        p->rxIrq = on != 0;
        updateIrqs(*p);
    }
}
