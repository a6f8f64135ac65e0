// Data blocks through the SD host's buffer: byte order, the controller's CRC verdicts.
#include "board.h"
#include "fs/sd_cmd.h"
#include "imx1.h"
#include "imx1_test.h"

class SdHostTest : public Imx1Test {
protected:
    void SetUp() override {
        Imx1Test::SetUp();
        board_sd_host_init();
        soc().sdResponse = {0x1100, 0x0009, 0x0001};  // any R1; the driver above checks it
        for (int i = 0; i < 512; ++i) soc().sdBlock[i] = uint8_t(i * 7 + 3);
    }
    int command(uint8_t index) {
        uint8_t resp[17];
        return board_sd_command(index, 0x200, 0, SD_RESP_48, resp);
    }
};

TEST_F(SdHostTest, AReadBlockArrivesInBusOrderWithItsCrc) {
    ASSERT_EQ(command(17), 0);
    EXPECT_TRUE(soc().peek(SDHC_CMD_DAT_CONT) & SDHC_CDC_DATA_ENABLE);
    uint8_t block[512];
    uint16_t crc = 0;
    ASSERT_EQ(board_sd_read_data(block, &crc), 0);
    EXPECT_EQ(std::vector<uint8_t>(block, block + 512), soc().sdBlock);
    EXPECT_EQ(crc, sdCrc16(block, 512));
}

TEST_F(SdHostTest, ABlockTheControllerFoundCorruptFailsTheDriversCheck) {
    soc().sdBlockCrcBad = true;
    ASSERT_EQ(command(17), 0);
    uint8_t block[512];
    uint16_t crc = 0;
    ASSERT_EQ(board_sd_read_data(block, &crc), 0);
    EXPECT_NE(crc, sdCrc16(block, 512));
}

TEST_F(SdHostTest, AWrittenBlockGoesOutInOrderAndTheCardsVerdictComesBack) {
    ASSERT_EQ(command(24), 0);
    EXPECT_TRUE(soc().peek(SDHC_CMD_DAT_CONT) & SDHC_CDC_WRITE);
    EXPECT_EQ(board_sd_write_data(soc().sdBlock.data(), 0), SD_TOKEN_ACCEPTED);
    EXPECT_EQ(soc().sdWritten, soc().sdBlock);
    for (auto [code, token] : {std::pair{0, SD_TOKEN_CRC_ERROR}, {1, SD_TOKEN_WRITE_ERROR}}) {
        soc().sdWritten.clear();
        soc().sdWriteStatus = code;
        ASSERT_EQ(command(24), 0);
        EXPECT_EQ(board_sd_write_data(soc().sdBlock.data(), 0), token) << code;
    }
}

TEST_F(SdHostTest, DataWithoutItsCommandIsRefused) {
    ASSERT_EQ(command(13), 0);
    uint8_t block[512];
    uint16_t crc;
    EXPECT_EQ(board_sd_read_data(block, &crc), -1);
    EXPECT_EQ(board_sd_write_data(block, 0), -1);
}

TEST_F(SdHostTest, TheCardClockRisesOnceACardIsSelected) {
    uint32_t identify = soc().peek(SDHC_CLK_RATE);
    uint8_t resp[17];
    board_sd_command(7, 0x12340000, 0, SD_RESP_48, resp);
    EXPECT_NE(soc().peek(SDHC_CLK_RATE), identify);
    board_sd_command(0, 0, 0, SD_RESP_NONE, resp);
    EXPECT_EQ(soc().peek(SDHC_CLK_RATE), identify);
    EXPECT_TRUE(soc().peek(SDHC_CMD_DAT_CONT) & SDHC_CDC_INIT) << "80 clocks before the first command";
}

TEST_F(SdHostTest, BusyIsTheDataLineHeldLow) {
    EXPECT_EQ(board_sd_busy(), 0);
    soc().inputLevel[1] &= ~(1u << 8);
    EXPECT_EQ(board_sd_busy(), 1);
}
