// The SD host controller and a standard SD card behind it. The card follows the native-bus
// state machine of a physical-layer 2.0 card (idle, ready, identification, stand-by,
// transfer, sending data, receiving data, programming), checks every command's CRC7 and
// every written block's CRC16, and keeps its blocks in an image file, read and written
// through at once so that the file is always what the card holds.
#include "sdcard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "board.h"
#include "fatimage.h"
#include "mediafile.h"
#include "sim.h"
#include "snapshot.h"

namespace sim::sdcard {
namespace {

// Card states (the CURRENT_STATE field of the card status).
enum State { Idle = 0, Ready = 1, Ident = 2, Stby = 3, Tran = 4, Data = 5, Rcv = 6, Prg = 7 };

// Card status bits.
constexpr uint32_t kOutOfRange = 1u << 31;
constexpr uint32_t kAddressError = 1u << 30;
constexpr uint32_t kBlockLenError = 1u << 29;
constexpr uint32_t kComCrcError = 1u << 23;
constexpr uint32_t kIllegalCommand = 1u << 22;
constexpr uint32_t kReadyForData = 1u << 8;
constexpr uint32_t kAppCmd = 1u << 5;

constexpr uint16_t kRca = 0x4D2A;        // the address this card publishes with CMD3
constexpr int kInitPolls = 2;            // ACMD41 answers busy this many times first
constexpr int kProgramPolls = 2;         // busy polls while a written block is programmed
constexpr uint64_t kMaxStandardBlocks = 2u * 1024 * 1024;  // 1 GiB in 512-byte blocks

uint8_t crc7(const uint8_t *d, size_t n) {
    uint8_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        uint8_t b = d[i];
        for (int k = 0; k < 8; ++k) {
            crc <<= 1;
            if ((b ^ crc) & 0x80) crc ^= 0x09;
            b <<= 1;
        }
    }
    return crc & 0x7F;
}

uint16_t crc16(const uint8_t *d, size_t n) {
    uint16_t crc = 0;
    for (size_t i = 0; i < n; ++i) {
        crc ^= uint16_t(d[i] << 8);
        for (int k = 0; k < 8; ++k) crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
    }
    return crc;
}

// Sets `width` bits of a 128-bit register (bit 127 is the top bit of byte 0) to value.
void setBits(uint8_t reg[16], int hi, int width, uint32_t value) {
    for (int i = 0; i < width; ++i) {
        int bit = hi - width + 1 + i;
        int byte = 15 - bit / 8;
        uint8_t mask = uint8_t(1u << (bit % 8));
        if ((value >> i) & 1u) reg[byte] |= mask;
        else reg[byte] &= uint8_t(~mask);
    }
}

// Outside the card's state, which snapshots copy: the open image, its size in blocks, and
// while a snapshot is held the old content of every block written to the image.
MediaFile cardFile;
constexpr uint64_t kUnknown = UINT64_MAX;
uint64_t imageBlocks = kUnknown;
MediaJournal journal;

void journalBlock(int fd, uint64_t block) {
    if (!journal.wants(block)) return;
    std::vector<uint8_t> old(512, 0);
    if (fd < 0 || ::pread(fd, old.data(), 512, off_t(block * 512)) != 512) old.assign(512, 0);
    journal.keep(block, std::move(old));
}

struct Card : Device {
    std::string overridePath;
    Capacity capacity = Capacity::Auto;
    bool ejected = false;
    int damagedReads = 0;
    Stats counters;
    uint64_t storedLeft = UINT64_MAX;  // blocks the card still stores before its power is "cut"

    State state = Idle;
    bool appCmd = false;
    uint32_t pendingStatus = 0;  // errors reported in the next response
    int initPolls = 0;
    int programPolls = 0;
    uint64_t dataBlock = 0;      // block of the pending read or write

    Card() {
        registerDevice(this);
        keepInSnapshots(*this);
        registerSnapshotPart([this] {
            return std::function<void()>([recording = journal.record(), image = path()] {
                if (journal.empty()) return;
                int fd = ::open(image.c_str(), O_WRONLY);
                journal.putBack([fd, &image](uint64_t block, const std::vector<uint8_t> &bytes) {
                    if (fd < 0 || ::pwrite(fd, bytes.data(), 512, off_t(block * 512)) != 512) {
                        std::fprintf(stderr, "vmod: cannot put back %s\n", image.c_str());
                        std::abort();
                    }
                });
                ::close(fd);
            });
        });
    }
    void powerOn() override { reset(); }
    void powerOff() override { reset(); }
    void reset() {
        cardFile.close();  // the image may be another, or replaced, by the next access
        imageBlocks = kUnknown;
        state = Idle;
        appCmd = false;
        pendingStatus = 0;
        initPolls = 0;
        programPolls = 0;
    }

    std::string path() const { return overridePath.empty() ? stateDir() + "/sdcard.img" : overridePath; }
    // The image's size. While the board is powered it is looked up at the first access after
    // a reset of the card (the firmware asks at every command, and the image changes only
    // between sessions); script lines change it while the board is off.
    uint64_t fileBlocks() const {
        if (powered() && imageBlocks != kUnknown) return imageBlocks;
        struct stat st;
        const uint64_t blocks = ::stat(path().c_str(), &st) != 0 ? 0 : uint64_t(st.st_size) / 512;
        if (powered()) imageBlocks = blocks;
        return blocks;
    }
    bool inSlot() const { return !ejected && fileBlocks() > 0; }
    bool high() const {
        if (capacity == Capacity::Auto) return fileBlocks() > kMaxStandardBlocks;
        return capacity == Capacity::High;
    }

    // The card's capacity as its CSD tells it, in blocks; at most the image's size.
    uint64_t blocks() const {
        uint64_t n = fileBlocks();
        if (high()) return n / 1024 * 1024;
        // C_SIZE (12 bits) and C_SIZE_MULT (3 bits): blocks = (C_SIZE + 1) << (MULT + 2).
        if (n > kMaxStandardBlocks) n = kMaxStandardBlocks;
        for (int mult = 0; mult < 8; ++mult) {
            uint64_t unit = uint64_t(1) << (mult + 2);
            if (n / unit <= 4096) return n / unit * unit;
        }
        return 0;
    }

    void csd(uint8_t reg[16]) const {
        std::memset(reg, 0, 16);
        if (high()) {
            setBits(reg, 127, 2, 1);        // CSD structure 2.0
            setBits(reg, 119, 8, 0x0E);     // TAAC
            setBits(reg, 103, 8, 0x32);     // 25 MHz
            setBits(reg, 95, 12, 0x5B5);    // command classes
            setBits(reg, 83, 4, 9);         // 512-byte reads
            setBits(reg, 69, 22, uint32_t(blocks() / 1024 - 1));
            setBits(reg, 46, 1, 1);         // erase in single blocks
            setBits(reg, 45, 7, 0x7F);
            setBits(reg, 28, 3, 2);         // write speed factor
            setBits(reg, 25, 4, 9);         // 512-byte writes
        } else {
            uint64_t n = blocks();
            int mult = 0;
            while (mult < 7 && (n >> (mult + 2)) > 4096) ++mult;
            setBits(reg, 119, 8, 0x26);
            setBits(reg, 103, 8, 0x32);
            setBits(reg, 95, 12, 0x5F5);
            setBits(reg, 83, 4, 9);
            setBits(reg, 73, 12, uint32_t((n >> (mult + 2)) - 1));
            setBits(reg, 49, 3, uint32_t(mult));
            setBits(reg, 46, 1, 1);
            setBits(reg, 45, 7, 0x7F);
            setBits(reg, 28, 3, 4);
            setBits(reg, 25, 4, 9);
        }
        reg[15] = uint8_t(crc7(reg, 15) << 1 | 1);
    }

    void cid(uint8_t reg[16]) const {
        std::memset(reg, 0, 16);
        reg[0] = 0x5E;  // manufacturer
        reg[1] = 'V';
        reg[2] = 'M';
        std::memcpy(reg + 3, "VSIM1", 5);
        reg[8] = 0x10;  // product revision 1.0
        uint32_t psn = 260512;
        reg[9] = uint8_t(psn >> 24);
        reg[10] = uint8_t(psn >> 16);
        reg[11] = uint8_t(psn >> 8);
        reg[12] = uint8_t(psn);
        setBits(reg, 19, 8, 26);  // year 2026
        setBits(reg, 11, 4, 12);  // December
        reg[15] = uint8_t(crc7(reg, 15) << 1 | 1);
    }

    uint32_t status(uint32_t errors) {
        uint32_t s = errors | pendingStatus | (uint32_t(state) << 9);
        if (state == Tran || state == Stby) s |= kReadyForData;
        if (appCmd) s |= kAppCmd;
        pendingStatus = 0;
        return s;
    }

    static void r48(uint8_t *resp, uint8_t index, uint32_t v) {
        resp[0] = index & 0x3F;
        resp[1] = uint8_t(v >> 24);
        resp[2] = uint8_t(v >> 16);
        resp[3] = uint8_t(v >> 8);
        resp[4] = uint8_t(v);
        resp[5] = uint8_t(crc7(resp, 5) << 1 | 1);
    }
    static void r136(uint8_t *resp, const uint8_t reg[16]) {
        resp[0] = 0x3F;
        std::memcpy(resp + 1, reg, 16);
    }

    // Checks a transfer's address; on success leaves the block in dataBlock.
    uint32_t address(uint32_t arg) {
        uint64_t block;
        if (high()) {
            block = arg;
        } else {
            if (arg % 512) return kAddressError;
            block = arg / 512;
        }
        if (block >= blocks()) return kOutOfRange;
        dataBlock = block;
        return 0;
    }

    int command(uint8_t index, uint32_t arg, uint8_t crc, int kind, uint8_t *resp) {
        if (!inSlot()) return -1;
        uint8_t frame[5] = {uint8_t(0x40 | (index & 0x3F)), uint8_t(arg >> 24), uint8_t(arg >> 16),
                            uint8_t(arg >> 8), uint8_t(arg)};
        if ((crc & 0x7F) != crc7(frame, 5)) {
            pendingStatus |= kComCrcError;
            return -1;
        }
        bool app = appCmd;
        appCmd = false;
        if (state == Prg && index != 13 && index != 0) {
            pendingStatus |= kIllegalCommand;
            return -1;
        }
        uint8_t reg[16];
        auto illegal = [&] {
            pendingStatus |= kIllegalCommand;
            return -1;
        };
        auto answer48 = [&](uint32_t v) {
            if (kind != SD_RESP_48) return -1;  // the host listened for the wrong length
            r48(resp, index, v);
            return 0;
        };
        if (app) {
            switch (index) {
            case 41: {  // SD_SEND_OP_COND
                if (state != Idle) return illegal();
                uint32_t ocr = 0x00FF8000;  // 2.7 to 3.6 V
                if ((arg & 0x00FFFFFF) != 0) {
                    bool ready = ++initPolls > kInitPolls && (!high() || (arg & (1u << 30)));
                    if (ready) {
                        ocr |= 1u << 31;
                        if (high()) ocr |= 1u << 30;
                        state = Ready;
                    }
                }
                if (kind != SD_RESP_48) return -1;
                resp[0] = 0x3F;  // R3 carries no index and no CRC
                resp[1] = uint8_t(ocr >> 24);
                resp[2] = uint8_t(ocr >> 16);
                resp[3] = uint8_t(ocr >> 8);
                resp[4] = uint8_t(ocr);
                resp[5] = 0xFF;
                return 0;
            }
            case 6:  // SET_BUS_WIDTH
                if (state != Tran || (arg != 0 && arg != 2)) return illegal();
                appCmd = false;
                return answer48(status(0) | kAppCmd);
            default:
                break;  // other application commands are taken as the plain command
            }
        }
        switch (index) {
        case 0:
            reset();
            return 0;
        case 8:  // SEND_IF_COND
            if (state != Idle || ((arg >> 8) & 0xF) != 1) return illegal();
            return answer48(arg & 0xFFF);
        case 55: {  // APP_CMD
            if (state != Idle && (arg >> 16) != kRca) return -1;
            appCmd = true;
            return answer48(status(0));
        }
        case 2:  // ALL_SEND_CID
            if (state != Ready || kind != SD_RESP_136) return illegal();
            cid(reg);
            r136(resp, reg);
            state = Ident;
            return 0;
        case 3: {  // SEND_RELATIVE_ADDR
            if (state != Ident && state != Stby) return illegal();
            uint32_t s = status(0);
            state = Stby;
            uint32_t packed = (s & 0x1FFF) | ((s >> 22 & 1) << 14) | ((s >> 23 & 1) << 15) | ((s >> 19 & 1) << 13);
            return answer48(uint32_t(kRca) << 16 | packed);
        }
        case 9:
        case 10:
            if (state != Stby || (arg >> 16) != kRca || kind != SD_RESP_136) return illegal();
            if (index == 9) csd(reg);
            else cid(reg);
            r136(resp, reg);
            return 0;
        case 7:  // SELECT/DESELECT_CARD
            if ((arg >> 16) == kRca) {
                if (state != Stby && state != Tran) return illegal();
                uint32_t s = status(0);
                state = Tran;
                return answer48(s);
            }
            if (state == Tran) state = Stby;  // another address: this card lets go, silently
            return -1;
        case 13:  // SEND_STATUS
            if ((arg >> 16) != kRca || state < Stby) return -1;
            if (state == Prg && programPolls == 0) state = Tran;
            return answer48(status(0));
        case 16:  // SET_BLOCKLEN
            if (state != Tran) return illegal();
            return answer48(status(!high() && arg != 512 ? kBlockLenError : 0));
        case 17:  // READ_SINGLE_BLOCK
        case 24: {  // WRITE_BLOCK
            if (state != Tran) return illegal();
            uint32_t err = address(arg);
            uint32_t s = status(err);
            if (!err) state = index == 17 ? Data : Rcv;
            return answer48(s);
        }
        default:
            return illegal();
        }
    }

    int readData(uint8_t *block, uint16_t *crc) {
        if (!inSlot() || state != Data) return -1;
        state = Tran;
        int fd = cardFile.fd(path(), O_RDWR);
        if (fd < 0 || ::pread(fd, block, 512, off_t(dataBlock * 512)) != 512) return -1;
        *crc = crc16(block, 512);
        if (damagedReads > 0) {
            --damagedReads;
            *crc ^= 0x0100;
        }
        counters.blocksRead++;
        return 0;
    }

    int writeData(const uint8_t *block, uint16_t crc) {
        if (!inSlot() || state != Rcv) return -1;
        if (crc != crc16(block, 512)) {
            state = Tran;
            return SD_TOKEN_CRC_ERROR;
        }
        ssize_t put = 512;
        if (storedLeft > 0) {
            int fd = cardFile.fd(path(), O_RDWR);
            journalBlock(fd, dataBlock);
            put = fd < 0 ? -1 : ::pwrite(fd, block, 512, off_t(dataBlock * 512));
            if (storedLeft != UINT64_MAX) --storedLeft;
        }
        state = Prg;
        programPolls = kProgramPolls;
        if (put != 512) return SD_TOKEN_WRITE_ERROR;
        counters.blocksWritten++;
        return SD_TOKEN_ACCEPTED;
    }

    int busy() {
        if (!inSlot() || state != Prg) return 0;
        if (programPolls > 0) {
            --programPolls;
            return 1;
        }
        state = Tran;
        return 0;
    }

} card;

}  // namespace

std::string imagePath() { return card.path(); }
void useImage(const std::string &path) {
    card.overridePath = path;
    card.reset();
}
void setCapacity(Capacity c) { card.capacity = c; }
void eject() {
    card.ejected = true;
    card.reset();
}
void insert() {
    card.ejected = false;
    card.reset();
}
bool present() { return card.inSlot(); }
void damageNextReads(int n) { card.damagedReads = n; }
Stats &stats() { return card.counters; }
void storeOnly(uint64_t blocks) { card.storedLeft = blocks; }

}  // namespace sim::sdcard

using sim::sdcard::card;

extern "C" void board_sd_host_init(void) {}
extern "C" int board_sd_card_present(void) { return card.inSlot() ? 1 : 0; }
extern "C" int board_sd_command(uint8_t index, uint32_t arg, uint8_t crc7, int kind, uint8_t *resp) {
    return card.command(index, arg, crc7, kind, resp);
}
extern "C" int board_sd_read_data(uint8_t *block, uint16_t *crc16) { return card.readData(block, crc16); }
extern "C" int board_sd_write_data(const uint8_t *block, uint16_t crc16) { return card.writeData(block, crc16); }
extern "C" int board_sd_busy(void) { return card.busy(); }
