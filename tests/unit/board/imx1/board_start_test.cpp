// The board as the firmware's start-up leaves it: the pin table, the buses' pins, the SD slot.
#include <csetjmp>

#include "app/Main.h"
#include "board.h"
#include "fs/sdcard.h"
#include "imx1.h"
#include "imx1_test.h"
#include "storage/KT_extmem.h"

class BoardStartTest : public Imx1Test {
protected:
    enum { A, B, C, D };
    bool isOutput(int port, int pin) { return pinBit(port, 0x20, pin) && pinBit(port, 0x00, pin); }
    bool isPeripheral(int port, int pin) { return !pinBit(port, 0x20, pin); }
    bool level(int port, int pin) { return pinBit(port, 0x1C, pin); }
};

TEST_F(BoardStartTest, OutputsOfThePinTableAtTheirResetLevels) {
    InitEverything();
    struct Pin {
        int port, pin, level;
    } outputs[] = {{A, 3, 1}, {A, 4, 0}, {A, 5, 1},  {A, 18, 1}, {B, 14, 0}, {B, 29, 0}, {C, 4, 1},
                   {C, 5, 1}, {C, 8, 1}, {C, 7, 0},  {C, 13, 1}, {C, 15, 1}};
    for (const Pin &p : outputs) {
        EXPECT_TRUE(isOutput(p.port, p.pin)) << "ABCD"[p.port] << p.pin;
        EXPECT_EQ(level(p.port, p.pin), p.level != 0) << "ABCD"[p.port] << p.pin;
    }
    for (auto [port, pin] : {std::pair{A, 15}, {A, 16}, {C, 14}, {C, 16}, {C, 17}})
        EXPECT_TRUE(isPeripheral(port, pin)) << "ABCD"[port] << pin;
}

TEST_F(BoardStartTest, FlashGeometryIsChosenAtStart) {
    soc().flash.id = 0x202017;
    InitEverything();
    EXPECT_EQ(Flash1Size, 0x800000u);
    EXPECT_EQ(ExtMemSize, 0xB00000u);
    soc().flash.id = 0x202016;
    InitEverything();
    EXPECT_EQ(Flash1Size, 0x400000u);
}

TEST_F(BoardStartTest, SingleBitPinsReadBackWhatTheyDrive) {
    InitEverything();
    board_gpio_write(C, 7, 1);
    EXPECT_EQ(board_gpio_read(C, 7), 1);
    board_gpio_input(A, 6);
    soc().inputLevel[A] = ~(1u << 6);
    EXPECT_EQ(board_gpio_read(A, 6), 0);
    EXPECT_EQ(board_touch_pen_line(), 0);  // the pen is down
    size_t before = soc().log.size();
    board_gpio_output(4, 0, 1);
    board_gpio_write(0, 32, 1);
    EXPECT_EQ(soc().log.size(), before);
}

TEST_F(BoardStartTest, TouchTransfersAByteAndReadsTheAnswer) {
    InitEverything();
    EXPECT_TRUE(soc().peek(SC_FMCR) & FMCR_SPI2_RXD_SEL);
    soc().touchAnswers = {0x00, 0x7F, 0xF8};
    board_touch_select(1);
    EXPECT_FALSE(level(D, 8));
    EXPECT_EQ(board_touch_transfer(0xD2), 0x00);
    EXPECT_EQ(board_touch_transfer(0), 0x7F);
    EXPECT_EQ(board_touch_transfer(0), 0xF8);
    board_touch_select(0);
    EXPECT_TRUE(level(D, 8));
    EXPECT_EQ(soc().touchSent, (std::vector<uint8_t>{0xD2, 0, 0}));
    // A controller that never answers reads as 0 after a bounded wait.
    soc().logging = false;
    EXPECT_EQ(board_touch_transfer(0x92), 0);
}

TEST_F(BoardStartTest, SdCardPresenceAndResponses) {
    InitEverything();
    EXPECT_EQ(board_sd_card_present(), 0);  // the switch pulls B 15 low only with a card in
    soc().inputLevel[B] &= ~(1u << 15);
    EXPECT_EQ(board_sd_card_present(), 1);
    soc().sdResponse = {0x0800, 0x0001, 0xAA87};  // CMD8 echoing its check pattern
    uint8_t resp[17] = {};
    EXPECT_EQ(board_sd_command(8, 0x1AA, 0x43, SD_RESP_48, resp), 0);
    EXPECT_EQ(std::vector<uint8_t>(resp, resp + 6), (std::vector<uint8_t>{0x08, 0x00, 0x00, 0x01, 0xAA, 0x87}));
    EXPECT_EQ(soc().peek(SDHC_CMD), 8u);
    EXPECT_EQ(soc().peek(SDHC_ARGH), 0u);
    EXPECT_EQ(soc().peek(SDHC_ARGL), 0x1AAu);
}

TEST_F(BoardStartTest, ACardThatNeverAnswersFailsInBoundedTime) {
    InitEverything();
    soc().inputLevel[B] &= ~(1u << 15);
    soc().sdAnswers = false;
    uint8_t resp[17];
    EXPECT_EQ(board_sd_command(8, 0x1AA, 0x43, SD_RESP_48, resp), -1);
    EXPECT_EQ(SDCardInit(), 0);
    soc().sdControllerHangs = true;
    soc().logging = false;
    EXPECT_EQ(board_sd_command(55, 0, 0, SD_RESP_48, resp), -1);
    uint8_t block[512];
    uint16_t crc;
    EXPECT_EQ(board_sd_read_data(block, &crc), -1);  // no read command went out
}

TEST_F(BoardStartTest, ResetWritesTheWatchdogAndWaitsForIt) {
    std::jmp_buf halt;
    soc().haltJump = &halt;
    if (!setjmp(halt)) board_reset_control(0x109);
    soc().haltJump = nullptr;
    EXPECT_EQ(soc().writesTo(RESET_CONTROL), (std::vector<uint32_t>{0x109}));
    EXPECT_TRUE(soc().halted);
}

TEST_F(BoardStartTest, ProgramFlashReadsStopAtTheEndOfTheFlash) {
    uint8_t buf[16];
    soc().logging = false;
    EXPECT_EQ(board_progflash_read(BOARD_PROGFLASH_SIZE - 4, buf, 16), 4u);
    EXPECT_EQ(board_progflash_read(BOARD_PROGFLASH_SIZE, buf, 16), 0u);
}
