#include "fake_soc.h"

#include <sys/mman.h>

#include <cstdio>
#include <cstdlib>

#include "imx1.h"
#include "regs.h"

namespace fake {
namespace {

Soc *theSoc = nullptr;
std::deque<uint8_t> cspi1Tx, cspi1Rx;
uint32_t cspi2Rx = 0;
bool cspi2Ready = false;
std::deque<uint32_t> sdFifo;
size_t sdDataAt = 0;     // bytes of the current block moved through the buffer
bool sdReading = false, sdWriting = false;

uint32_t addressOf(const std::vector<uint8_t> &f) { return uint32_t(f[1]) << 16 | uint32_t(f[2]) << 8 | f[3]; }

}  // namespace

Soc &soc() {
    if (!theSoc) theSoc = new Soc;
    return *theSoc;
}

void reset() {
    delete theSoc;
    theSoc = new Soc;
    cspi1Tx.clear();
    cspi1Rx.clear();
    cspi2Rx = 0;
    cspi2Ready = false;
    sdFifo.clear();
    sdDataAt = 0;
    sdReading = sdWriting = false;
}

void mapSdram() {
    static bool mapped = false;
    if (mapped) return;
    void *want = reinterpret_cast<void *>(uintptr_t(0x08000000u));
    void *p = mmap(want, 0x04000000u, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_FIXED_NOREPLACE,
                   -1, 0);
    if (p != want) {
        std::fprintf(stderr, "cannot map the SDRAM window\n");
        std::abort();
    }
    mapped = true;
}

// ---- serial flash ----------------------------------------------------------------------

uint8_t SerialFlash::exchange(uint8_t in) {
    current.push_back(in);
    size_t i = current.size() - 1;
    if (i == 0) return 0xFF;
    switch (current[0]) {
    case 0x9F:
        return i <= 3 ? uint8_t(id >> (8 * (3 - i))) : 0xFF;
    case 0x05: {
        bool wip = stuckBusy || busyPolls > 0;
        if (i == 1 && busyPolls > 0) --busyPolls;
        return uint8_t((wip ? 1 : 0) | (writeEnabled ? 2 : 0));
    }
    case 0x0B:
        if (i < 5) return 0xFF;
        return memory[(addressOf(current) + (i - 5)) % memory.size()];
    default:
        return 0xFF;
    }
}

void SerialFlash::deselect() {
    if (!selected) return;
    selected = false;
    std::vector<uint8_t> f = current;
    current.clear();
    if (f.empty()) return;
    frames.push_back(f);
    switch (f[0]) {
    case 0x06:
        writeEnabled = true;
        break;
    case 0x04:
        writeEnabled = false;
        break;
    case 0x02:
        if (!writeEnabled || f.size() < 4) break;
        for (size_t i = 4; i < f.size(); ++i) {
            uint32_t a = (addressOf(f) & ~0xFFu) | ((addressOf(f) + uint32_t(i - 4)) & 0xFFu);
            memory[a % memory.size()] &= f[i];
        }
        writeEnabled = false;
        busyPolls = busyPerWrite;
        if (programNeverEnds) stuckBusy = true;
        break;
    case 0xD8:
    case 0xC7:
        if (!writeEnabled) break;
        for (auto &b : memory) b = 0xFF;
        writeEnabled = false;
        busyPolls = busyPerWrite;
        break;
    }
}

// ---- the register space ----------------------------------------------------------------

uint32_t Soc::peek(uint32_t addr) const {
    auto it = regs.find(addr);
    return it == regs.end() ? 0 : it->second;
}

std::vector<uint32_t> Soc::writesTo(uint32_t addr) const {
    std::vector<uint32_t> v;
    for (const Access &a : log)
        if (a.write && a.addr == addr) v.push_back(a.value);
    return v;
}

size_t Soc::readsOf(uint32_t addr) const {
    size_t n = 0;
    for (const Access &a : log)
        if (!a.write && a.addr == addr) ++n;
    return n;
}

static bool inPort(uint32_t addr, int port, uint32_t offset) { return addr == GPIO_PORT(port) + offset; }

uint32_t Soc::read(uint32_t addr) {
    uint32_t v = peek(addr);
    if (addr == AITC_NIVECSR) {
        v = pendingVector << 16;
    } else if (addr >= GPIO_BASE && addr < GPIO_BASE + 0x400 && (addr & 0xFF) == GPIO_SSR) {
        v = inputLevel[(addr - GPIO_BASE) >> 8];
    } else if (addr == CSPI1_BASE + CSPI_INTCS) {
        v = (cspi1Tx.empty() ? CSPI_INTCS_TE : 0) | (cspi1Tx.size() >= 8 ? CSPI_INTCS_TF : 0) |
            (cspi1Rx.empty() ? 0 : CSPI_INTCS_RR);
    } else if (addr == CSPI1_BASE + CSPI_RXD) {
        v = 0;
        if (!cspi1Rx.empty()) {
            v = cspi1Rx.front();
            cspi1Rx.pop_front();
        }
    } else if (addr == CSPI2_BASE + CSPI_INTCS) {
        v = CSPI_INTCS_TE | (cspi2Ready ? CSPI_INTCS_RR : 0);
    } else if (addr == CSPI2_BASE + CSPI_RXD) {
        v = cspi2Rx;
        cspi2Ready = false;
    } else if (addr == I2C_I2SR) {
        if (i2c.reception && !i2c.neverCompletes) {
            i2c.reception = false;
            i2c.dataOut = i2c.eeprom[i2c.pointer++];
            bool ack = !(peek(I2C_I2CR) & I2CR_TXAK);
            char e[16];
            std::snprintf(e, sizeof e, "R %02x %c", i2c.dataOut, ack ? 'A' : 'N');
            i2c.events.push_back(e);
            regs[I2C_I2SR] |= I2SR_IIF | I2SR_ICF;
        }
        v = peek(I2C_I2SR);
    } else if (addr == I2C_I2DR) {
        v = i2c.dataOut;
        if (!(peek(I2C_I2CR) & I2CR_MTX)) i2c.reception = true;  // receive mode: the next byte starts
    } else if (addr == UART1_BASE + UART_USR1 || addr == UART2_BASE + UART_USR1) {
        v |= USR1_TRDY;  // a character written goes out at once
    } else if (addr == UART1_BASE + UART_USR2 || addr == UART2_BASE + UART_USR2) {
        int port = addr == UART1_BASE + UART_USR2 ? 0 : 1;
        v = (v & ~USR2_RDR) | (uartRx[port].empty() ? 0 : USR2_RDR) | USR2_TXDC;
    } else if (addr == UART1_BASE + UART_URXD || addr == UART2_BASE + UART_URXD) {
        int port = addr == UART1_BASE + UART_URXD ? 0 : 1;
        if (!uartRx[port].empty()) {
            v = uartRx[port].front() | URXD_CHARRDY;
            uartRx[port].pop_front();
        }
    } else if (addr == LCDC_LCDISR) {
        v = lcdFrameBegun ? LCDISR_BOF : 0;
        lcdFrameBegun = false;
    } else if (addr == SDHC_BUFFER_ACCESS && sdReading) {
        v = uint32_t(sdBlock[sdDataAt]) | uint32_t(sdBlock[sdDataAt + 1]) << 8;
        sdDataAt += 2;
        if (sdDataAt >= sdBlock.size()) {
            sdReading = false;
            uint32_t &status = regs[SDHC_STATUS];
            status = (status & ~SDHC_ST_BUFF_FF) | SDHC_ST_DATA_DONE | (sdBlockCrcBad ? SDHC_ST_CRC_READ_ERR : 0);
        }
    } else if (addr == SDHC_RES_FIFO) {
        v = 0;
        if (!sdFifo.empty()) {
            v = sdFifo.front();
            sdFifo.pop_front();
        }
    }
    if (logging) log.push_back({false, addr, v});
    return v;
}

void Soc::write(uint32_t addr, uint32_t value) {
    if (logging) log.push_back({true, addr, value});
    uint32_t old = peek(addr);
    uint32_t stored = value;
    if (addr == AITC_INTENNUM || addr == AITC_INTDISNUM) {
        uint32_t reg = value >= 32 ? AITC_INTENABLEH : AITC_INTENABLEL;
        if (addr == AITC_INTENNUM)
            regs[reg] |= 1u << (value & 31);
        else
            regs[reg] &= ~(1u << (value & 31));
    } else if (addr == TIMER1_BASE + TIMER_TCTL || addr == TIMER2_BASE + TIMER_TCTL) {
        stored &= ~TCTL_SWR;  // the reset is over at once
    } else if (addr == PWM_PWMC) {
        stored &= ~PWMC_SWR;
    } else if (addr == CSPI1_BASE + CSPI_RESET || addr == CSPI2_BASE + CSPI_RESET) {
        stored = 0;
    } else if ((addr == UART1_BASE + UART_UCR2) || (addr == UART2_BASE + UART_UCR2)) {
        stored |= UCR2_SRST;
    } else if (inPort(addr, 2, GPIO_DR)) {
        bool wasLow = !(old & (1u << 15)), isLow = !(value & (1u << 15));
        if (!wasLow && isLow) flash.selected = true;
        if (wasLow && !isLow) flash.deselect();
    } else if (addr == UART1_BASE + UART_UTXD || addr == UART2_BASE + UART_UTXD) {
        uartTx[addr == UART1_BASE + UART_UTXD ? 0 : 1].push_back(uint8_t(value));
    } else if (addr == CSPI1_BASE + CSPI_TXD) {
        if (cspi1Tx.size() < 8) cspi1Tx.push_back(uint8_t(value));
    } else if (addr == CSPI1_BASE + CSPI_CTRL) {
        if (value & CSPI_CTRL_XCH) {
            while (!cspi1Tx.empty()) {
                uint8_t b = cspi1Tx.front();
                cspi1Tx.pop_front();
                uint8_t r = flash.selected ? flash.exchange(b) : 0xFF;
                if (cspi1Rx.size() < 8) cspi1Rx.push_back(r);  // a full FIFO drops the word
            }
            stored &= ~CSPI_CTRL_XCH;
        }
    } else if (addr == CSPI2_BASE + CSPI_TXD) {
        touchSent.push_back(uint8_t(value));
    } else if (addr == CSPI2_BASE + CSPI_CTRL) {
        if (value & CSPI_CTRL_XCH) {
            cspi2Rx = 0;
            if (!touchAnswers.empty()) {
                cspi2Rx = touchAnswers.front();
                touchAnswers.pop_front();
                cspi2Ready = true;
            }
            stored &= ~CSPI_CTRL_XCH;
        }
    } else if (addr == I2C_I2CR) {
        bool held = old & I2CR_MSTA, holds = value & I2CR_MSTA;
        if (!held && holds) {
            i2c.events.push_back("S");
            i2c.written = 0;
            regs[I2C_I2SR] |= I2SR_IBB;
        } else if (held && holds && (value & I2CR_RSTA)) {
            i2c.events.push_back("Sr");
            i2c.written = 0;
            stored &= ~I2CR_RSTA;
        } else if (held && !holds) {
            i2c.events.push_back("P");
            i2c.reception = false;
            regs[I2C_I2SR] &= ~I2SR_IBB;
        }
    } else if (addr == I2C_I2SR) {
        // Only the interrupt flag (and arbitration loss) can be cleared; the rest is status.
        uint32_t clearable = I2SR_IIF | (1u << 4);
        stored = (old & ~clearable) | (old & value & clearable);
    } else if (addr == I2C_I2DR) {
        if ((peek(I2C_I2CR) & I2CR_MTX) && !i2c.neverCompletes) {
            uint8_t b = uint8_t(value);
            bool ack = true;
            if (i2c.written == 0) {
                ack = (b & 0xFE) == 0xA0;
                i2c.addressedRead = b & 1;
            } else if (!i2c.addressedRead) {
                if (i2c.written == 1)
                    i2c.pointerHigh = b;
                else if (i2c.written == 2)
                    i2c.pointer = b;
                else
                    i2c.eeprom[i2c.pointer++] = b;
            }
            i2c.written++;
            char e[16];
            std::snprintf(e, sizeof e, "W %02x %c", b, ack ? 'A' : 'N');
            i2c.events.push_back(e);
            uint32_t s = peek(I2C_I2SR) | I2SR_IIF | I2SR_ICF;
            regs[I2C_I2SR] = ack ? (s & ~I2SR_RXAK) : (s | I2SR_RXAK);
        }
        return;
    } else if (addr == SDHC_BUFFER_ACCESS && sdWriting) {
        sdWritten.push_back(uint8_t(value));
        sdWritten.push_back(uint8_t(value >> 8));
        if (sdWritten.size() >= 512) {
            sdWriting = false;
            uint32_t &status = regs[SDHC_STATUS];
            status = (status & ~SDHC_ST_BUFF_FE) | SDHC_ST_DATA_DONE;
            if (sdWriteStatus >= 0) status |= SDHC_ST_CRC_WRITE_ERR | (uint32_t(sdWriteStatus) << 9);
        }
    } else if (addr == SDHC_STATUS) {
        stored = old & ~value;  // flags clear where a one is written
    } else if (addr == SDHC_STR_STP_CLK) {
        uint32_t &status = regs[SDHC_STATUS];
        if (value & SDHC_CLK_STOP) status &= ~(SDHC_ST_CLK_RUN | SDHC_ST_END_CMD_RESP | SDHC_ST_TIME_OUT_RESP);
        if (value & SDHC_CLK_START) {
            status |= SDHC_ST_CLK_RUN;
            if (!sdControllerHangs) {
                status |= SDHC_ST_END_CMD_RESP;
                if (!sdAnswers) status |= SDHC_ST_TIME_OUT_RESP;
                sdFifo.assign(sdResponse.begin(), sdResponse.end());
                uint32_t control = peek(SDHC_CMD_DAT_CONT);
                status &= ~(SDHC_ST_DATA_DONE | SDHC_ST_CRC_READ_ERR | SDHC_ST_CRC_WRITE_ERR | (3u << 9));
                sdDataAt = 0;
                sdReading = sdAnswers && (control & SDHC_CDC_DATA_ENABLE) && !(control & SDHC_CDC_WRITE);
                sdWriting = sdAnswers && (control & SDHC_CDC_DATA_ENABLE) && (control & SDHC_CDC_WRITE);
                if (sdReading) status |= SDHC_ST_BUFF_FF;
                if (sdWriting) status |= SDHC_ST_BUFF_FE;
            }
        }
    }
    regs[addr] = stored;
}

}  // namespace fake

// The drivers' register access and processor services, answered by the fake.
extern "C" uint32_t imx1_read32(uint32_t addr) { return fake::soc().read(addr); }
extern "C" void imx1_write32(uint32_t addr, uint32_t value) { fake::soc().write(addr, value); }
extern "C" void imx1_cpu_irq_mask(void) { fake::soc().irqMasked = true; }
// The transmitters are always ready, so their interrupts are pending for as long as they are
// enabled: unmasking takes them at once, until the firmware turns them off (a bounded number
// of times, so that a driver that never does fails its test instead of hanging it).
static bool transmitInterruptOn(int port) {
    fake::Soc &s = fake::soc();
    uint32_t b = port == 0 ? UART1_BASE : UART2_BASE;
    int source = port == 0 ? 29 : 23;
    bool enabled = (s.peek(b + UART_UCR1) & UCR1_TRDYEN) || (s.peek(b + UART_UCR4) & UCR4_TCEN);
    return enabled && (s.peek(AITC_INTENABLEL) & (1u << source));
}

extern "C" void irq_handler(void);

extern "C" void imx1_cpu_irq_unmask(void) {
    fake::Soc &s = fake::soc();
    s.irqMasked = false;
    if (s.takingInterrupt) return;
    s.takingInterrupt = true;
    for (int i = 0; i < 100000 && !s.irqMasked; ++i) {
        int port = transmitInterruptOn(0) ? 0 : transmitInterruptOn(1) ? 1 : -1;
        if (port < 0) break;
        uint32_t saved = s.pendingVector;
        s.pendingVector = port == 0 ? 29 : 23;
        irq_handler();
        s.pendingVector = saved;
    }
    s.takingInterrupt = false;
}
extern "C" void imx1_cpu_halt(void) {
    fake::Soc &s = fake::soc();
    s.halted = true;
    if (s.haltJump) std::longjmp(*s.haltJump, 1);
    std::abort();
}
