// The I2C master. Byte level as the board seam has it: start (or repeated start), one byte
// out with its acknowledge, one byte in with the acknowledge we give, stop. Every wait on
// the bus is bounded, so a bus that never completes a byte reads as "not acknowledged" and
// the transaction above fails instead of hanging.
#include "board.h"
#include "imx1.h"
#include "regs.h"

// A byte at 100 kHz takes 90 us; a bus held by a stuck device takes for ever.
#define I2C_BYTE_POLLS 200000u
#define I2C_BUS_POLLS 200000u

// The controller's clock-divider codes, from its divider table (dividers 22..3840).
static const uint16_t kDividers[][2] = {
    {22, 0x20},   {24, 0x21},   {26, 0x22},   {28, 0x23},   {30, 0x00},   {32, 0x24},   {36, 0x25},
    {40, 0x26},   {42, 0x03},   {44, 0x27},   {48, 0x28},   {52, 0x05},   {56, 0x29},   {60, 0x06},
    {64, 0x2A},   {72, 0x2B},   {80, 0x2C},   {88, 0x09},   {96, 0x2D},   {104, 0x0A},  {112, 0x2E},
    {128, 0x2F},  {144, 0x0C},  {160, 0x30},  {192, 0x31},  {224, 0x32},  {240, 0x0F},  {256, 0x33},
    {288, 0x10},  {320, 0x34},  {384, 0x35},  {448, 0x36},  {480, 0x13},  {512, 0x37},  {576, 0x14},
    {640, 0x38},  {768, 0x39},  {896, 0x3A},  {960, 0x17},  {1024, 0x3B}, {1152, 0x18}, {1280, 0x3C},
    {1536, 0x3D}, {1792, 0x3E}, {1920, 0x1B}, {2048, 0x3F}, {2304, 0x1C}, {2560, 0x1D}, {3072, 0x1E},
    {3840, 0x1F}};

// The smallest divider at least as large as the one asked for: the bus never runs faster.
static uint32_t dividerCode(uint32_t divider) {
    const unsigned n = sizeof kDividers / sizeof kDividers[0];
    for (unsigned i = 0; i < n; ++i)
        if (kDividers[i][0] >= divider) return kDividers[i][1];
    return kDividers[n - 1][1];
}

static int holding;    // we are bus master (between start and stop)
static int receiving;  // a byte reception was started by the last data-register read

extern "C" void board_i2c_init(uint32_t divider) {
    imx1_write32(I2C_I2CR, 0);
    imx1_write32(I2C_IFDR, dividerCode(divider));
    imx1_write32(I2C_I2SR, 0);
    imx1_write32(I2C_I2CR, I2CR_IEN);
    holding = receiving = 0;
}

extern "C" void board_i2c_start(void) {
    receiving = 0;
    if (holding) {
        imx1_set_bits(I2C_I2CR, I2CR_RSTA | I2CR_MTX);
        return;
    }
    imx1_wait(I2C_I2SR, I2SR_IBB, 0, I2C_BUS_POLLS);  // another master or a stuck device
    imx1_write32(I2C_I2CR, I2CR_IEN | I2CR_MSTA | I2CR_MTX);
    holding = imx1_wait(I2C_I2SR, I2SR_IBB, I2SR_IBB, I2C_BUS_POLLS);
}

static int byteDone(void) {
    int done = imx1_wait(I2C_I2SR, I2SR_IIF, I2SR_IIF, I2C_BYTE_POLLS);
    imx1_clear_bits(I2C_I2SR, I2SR_IIF);
    return done;
}

extern "C" int board_i2c_write(uint8_t byte) {
    if (!holding) return 0;
    imx1_set_bits(I2C_I2CR, I2CR_MTX);
    imx1_write32(I2C_I2SR, 0);
    imx1_write32(I2C_I2DR, byte);
    if (!byteDone()) return 0;
    return (imx1_read32(I2C_I2SR) & I2SR_RXAK) ? 0 : 1;
}

// Reading the data register in receive mode hands over the byte and starts the next one,
// so the first byte is started by a dummy read, and the last byte (not acknowledged) is
// read back in transmit mode, which starts nothing.
extern "C" uint8_t board_i2c_read(int ack) {
    if (!holding) return 0xFF;
    imx1_put_bits(I2C_I2CR, I2CR_TXAK, !ack);
    if (!receiving) {
        imx1_clear_bits(I2C_I2CR, I2CR_MTX);
        imx1_write32(I2C_I2SR, 0);
        (void)imx1_read32(I2C_I2DR);
        receiving = 1;
    }
    if (!byteDone()) {
        receiving = 0;
        return 0xFF;
    }
    if (!ack) {
        imx1_set_bits(I2C_I2CR, I2CR_MTX);
        receiving = 0;
    }
    return (uint8_t)imx1_read32(I2C_I2DR);
}

extern "C" void board_i2c_stop(void) {
    imx1_clear_bits(I2C_I2CR, I2CR_MSTA | I2CR_MTX | I2CR_TXAK);
    imx1_wait(I2C_I2SR, I2SR_IBB, 0, I2C_BUS_POLLS);
    holding = receiving = 0;
}
