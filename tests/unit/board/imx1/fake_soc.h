// A register space for the i.MX1 drivers on the host: every access is recorded, plain
// registers keep what was written, and small models answer where the drivers wait on
// hardware (the interrupt controller, the CSPI controllers with a serial flash and a touch
// controller behind them, the I2C controller with an EEPROM, the SD host, the status bits
// that clear or set themselves).
#ifndef VMOD_TESTS_IMX1_FAKE_SOC_H
#define VMOD_TESTS_IMX1_FAKE_SOC_H

#include <csetjmp>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace fake {

struct Access {
    bool write;
    uint32_t addr;
    uint32_t value;
};

// The serial flash on CSPI1: one frame per chip-select cycle, as the bytes came in.
struct SerialFlash {
    uint32_t id = 0x202016;
    std::vector<uint8_t> memory = std::vector<uint8_t>(0x10000, 0xFF);
    int busyPolls = 0;       // status reads that still report "write in progress"
    int busyPerWrite = 3;    // what a program or erase costs, in status reads
    bool stuckBusy = false;  // never leaves "write in progress"
    bool programNeverEnds = false;  // the first page program leaves it stuck busy
    bool writeEnabled = false;
    std::vector<std::vector<uint8_t>> frames;  // completed chip-select cycles
    std::vector<uint8_t> current;
    bool selected = false;

    uint8_t exchange(uint8_t in);
    void deselect();
};

// The I2C bus with one EEPROM (device 0xA0) on it.
struct I2cBus {
    std::vector<uint8_t> eeprom = std::vector<uint8_t>(256, 0);
    bool neverCompletes = false;  // a byte transfer never ends
    std::vector<std::string> events;  // "S", "Sr", "P", "W a0 A", "R 5a N"
    uint8_t pointerHigh = 0, pointer = 0;
    int written = 0;         // bytes of the current write transfer
    bool addressedRead = false;
    bool reception = false;  // a received byte is on its way
    uint8_t dataOut = 0;     // what the data register reads
};

struct Soc {
    std::map<uint32_t, uint32_t> regs;
    std::vector<Access> log;
    bool logging = true;
    uint32_t pendingVector = 0xFFFF;  // what the interrupt controller reports pending
    uint32_t inputLevel[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    bool lcdFrameBegun = false;
    SerialFlash flash;
    I2cBus i2c;
    std::deque<uint8_t> touchAnswers;
    std::vector<uint8_t> touchSent;
    bool sdAnswers = true;   // the SD card answers commands
    bool sdControllerHangs = false;  // the controller never reports the end of a command
    std::vector<uint32_t> sdResponse;  // the response FIFO's words for the next command
    std::vector<uint8_t> sdBlock = std::vector<uint8_t>(512, 0);  // what a read brings
    bool sdBlockCrcBad = false;        // the controller found the block's CRC16 wrong
    std::vector<uint8_t> sdWritten;    // what a write sent, in bus order
    int sdWriteStatus = -1;            // -1 accepted, else the controller's CRC status code
    std::deque<uint32_t> uartRx[2];   // received words (data and flags) waiting in each port
    std::vector<uint8_t> uartTx[2];   // what each port transmitted
    bool irqMasked = true;
    bool takingInterrupt = false;  // in the interrupt handler, called at an unmask
    bool halted = false;
    std::jmp_buf *haltJump = nullptr;

    uint32_t read(uint32_t addr);
    void write(uint32_t addr, uint32_t value);
    uint32_t peek(uint32_t addr) const;  // the stored value, without a model or the log
    std::vector<uint32_t> writesTo(uint32_t addr) const;
    size_t readsOf(uint32_t addr) const;
};

Soc &soc();
void reset();
// Maps the board's SDRAM window at its address (interrupt_init writes its last word).
void mapSdram();

}  // namespace fake

#endif
