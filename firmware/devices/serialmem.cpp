// The serial flash driver. Every command: chip select low, the command byte and its address
// or dummy bytes, the data, chip select high. Bytes the controller receives while we only
// send are flushed after each phase so that reads pick up exactly the bytes they asked for.
#include "serialmem.h"

#include "board.h"

enum {
    CMD_WRITE_ENABLE = 0x06,
    CMD_WRITE_DISABLE = 0x04,
    CMD_READ_ID = 0x9F,
    CMD_READ_STATUS = 0x05,
    CMD_PAGE_PROGRAM = 0x02,
    CMD_FAST_READ = 0x0B,
    CMD_SECTOR_ERASE = 0xD8,
    CMD_BULK_ERASE = 0xC7
};

#define GPIO_C 2
#define CS_PIN 15

void FlushSpi1Fifo(void) {
    while (board_spi1_busy()) boardIdle();
    while (board_spi1_rx_ready()) (void)board_spi1_read();
}

// Sends n bytes, discarding what comes back.
static void sendBytes(const u8 *p, u32 n) {
    for (u32 i = 0; i < n; ++i) {
        while (board_spi1_tx_space() == 0) boardIdle();
        board_spi1_write(p[i]);
        FlushSpi1Fifo();
    }
}

// Exchanges one dummy byte for one byte of the part.
static u8 receiveByte(void) {
    while (board_spi1_tx_space() == 0) boardIdle();
    board_spi1_write(0xFF);
    while (board_spi1_busy() || !board_spi1_rx_ready()) boardIdle();
    return board_spi1_read();
}

static void command(u8 cmd) {
    board_spi1_select(1);
    sendBytes(&cmd, 1);
    board_spi1_select(0);
}

static void commandWithAddress(u8 cmd, u32 addr) {
    u8 head[4] = {cmd, (u8)(addr >> 16), (u8)(addr >> 8), (u8)addr};
    sendBytes(head, 4);
}

void InitSerialFlash(void) {
    board_gpio_output(GPIO_C, CS_PIN, 1);  // deselected
    board_spi1_init();
    board_spi1_select(0);
    FlushSpi1Fifo();
}

u32 ReadSerialFlashID(void) {
    board_spi1_select(1);
    u8 cmd = CMD_READ_ID;
    sendBytes(&cmd, 1);
    u32 id = 0;
    for (int i = 0; i < 3; ++i) id = (id << 8) | receiveByte();
    board_spi1_select(0);
    return id;
}

u8 SerialFlashStatus(void) {
    board_spi1_select(1);
    u8 cmd = CMD_READ_STATUS;
    sendBytes(&cmd, 1);
    u8 s = receiveByte();
    board_spi1_select(0);
    return s;
}

void SetWriteEnable(void) { command(CMD_WRITE_ENABLE); }
void ClearWriteEnable(void) { command(CMD_WRITE_DISABLE); }

// How many status polls a part may stay busy. One poll is a command and a status byte on
// the wire, at least 2 us, so each budget is several times the slowest parts' longest
// program or erase time (5 ms a page, 3 s a sector, 160 s the whole of an 8 MiB part).
#define BUSY_POLLS_PAGE 20000u
#define BUSY_POLLS_SECTOR 5000000u
#define BUSY_POLLS_BULK 250000000u

// The part is busy for its program or erase time; the status poll lets time pass. A part
// that never gets ready (missing, broken, write-protected in a way that hangs) ends the wait.
static int waitWhileBusy(u32 polls) {
    for (u32 i = 0; i < polls; ++i) {
        if (!(SerialFlashStatus() & SFLASH_STATUS_WIP)) return 1;
        boardIdle();
    }
    return 0;
}

int WriteSerialFlash(u32 addr, u32 n, const u8 *src) {
    SetWriteEnable();
    board_spi1_select(1);
    commandWithAddress(CMD_PAGE_PROGRAM, addr);
    sendBytes(src, n);
    board_spi1_select(0);
    int done = waitWhileBusy(BUSY_POLLS_PAGE);
    ClearWriteEnable();
    return done;
}

void ReadSerialFlash(u32 addr, u32 n, u8 *dst) {
    board_spi1_select(1);
    commandWithAddress(CMD_FAST_READ, addr);
    u8 dummy = 0xFF;
    sendBytes(&dummy, 1);
    for (u32 i = 0; i < n; ++i) dst[i] = receiveByte();
    board_spi1_select(0);
}

int SectorEraseSerialFlash(u8 sector) {
    SetWriteEnable();
    board_spi1_select(1);
    // The address bytes are sector, 0, 1: the sector's first 64 KiB of address space.
    u8 head[4] = {CMD_SECTOR_ERASE, sector, 0, 1};
    sendBytes(head, 4);
    board_spi1_select(0);
    int done = waitWhileBusy(BUSY_POLLS_SECTOR);
    ClearWriteEnable();
    return done;
}

int EraseSerialFlash(void) {
    SetWriteEnable();
    command(CMD_BULK_ERASE);
    int done = waitWhileBusy(BUSY_POLLS_BULK);
    ClearWriteEnable();
    return done;
}
