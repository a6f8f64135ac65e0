// Register peek and poke: one aligned word access at the window's base plus the offset, the
// register's own effect included, and nothing at all on the bus for an offset outside the
// window, off a word boundary or in a slot without a module.
#include "board.h"
#include "command/handlers.h"
#include "command/parse_command.h"
#include "imx1.h"
#include "imx1_test.h"

using PeripheralRegisterTest = Imx1Test;

TEST_F(PeripheralRegisterTest, AReadIsOneWordReadAtTheBasePlusTheOffset) {
    soc().regs[GPIO_PORT(0) + GPIO_DR] = 0x12345678u;
    soc().log.clear();
    EXPECT_EQ(board_reg_read(GPIO_PORT(0) + GPIO_DR - BOARD_PERIPH_BASE), 0x12345678u);
    ASSERT_EQ(soc().log.size(), 1u);
    EXPECT_FALSE(soc().log[0].write);
    EXPECT_EQ(soc().log[0].addr, GPIO_PORT(0) + GPIO_DR);
}

TEST_F(PeripheralRegisterTest, AWriteIsOneWordWriteOfTheValue) {
    board_reg_write(PWM_PWMS - BOARD_PERIPH_BASE, 0xCAFEF00Du);
    ASSERT_EQ(soc().log.size(), 1u);
    EXPECT_TRUE(soc().log[0].write);
    EXPECT_EQ(soc().log[0].addr, PWM_PWMS);
    EXPECT_EQ(soc().log[0].value, 0xCAFEF00Du);
}

// The accesses are the drivers' own: a read of the receive register takes the character, a
// write to the transmit register sends one.
TEST_F(PeripheralRegisterTest, RegistersKeepTheirOwnEffects) {
    soc().uartRx[0].push_back('k');
    EXPECT_EQ(board_reg_read(UART1_BASE + UART_URXD - BOARD_PERIPH_BASE), uint32_t('k') | URXD_CHARRDY);
    EXPECT_TRUE(soc().uartRx[0].empty());
    board_reg_write(UART2_BASE + UART_UTXD - BOARD_PERIPH_BASE, 'q');
    EXPECT_EQ(soc().uartTx[1], std::vector<uint8_t>{'q'});
}

TEST_F(PeripheralRegisterTest, TheWindowsFirstAndLastWordsAreReached) {
    board_reg_read(0);
    board_reg_write(BOARD_PERIPH_SIZE - 4, 1);
    ASSERT_EQ(soc().log.size(), 2u);
    EXPECT_EQ(soc().log[0].addr, BOARD_PERIPH_BASE);
    EXPECT_EQ(soc().log[1].addr, BOARD_PERIPH_BASE + BOARD_PERIPH_SIZE - 4);
}

TEST_F(PeripheralRegisterTest, OffsetsOutsideTheWindowOrOffAWordOrInAnEmptySlotNeverReachTheBus) {
    const uint32_t refused[] = {
        BOARD_PERIPH_SIZE, BOARD_PERIPH_SIZE + 4, 0x00100000u, 0xFFFFFFFCu,  // past the end, wrapping
        0x00001u, 0x06002u, 0x24FFFu,                                        // not a word boundary
        0x0A000u, 0x0FFFCu, 0x16000u, 0x1D000u, 0x1F004u,                    // slots without a module
    };
    for (uint32_t offset : refused) {
        soc().regs[BOARD_PERIPH_BASE + (offset & ~3u)] = 0x55AA55AAu;
        EXPECT_EQ(board_reg_read(offset), 0u) << std::hex << offset;
        board_reg_write(offset, 0xFFFFFFFFu);
        EXPECT_TRUE(soc().log.empty()) << std::hex << offset;
    }
}

// The host's peek and poke on this board: the reply carries the register's value, and a poke
// into an empty slot answers with what the slot reads instead of halting the module.
TEST_F(PeripheralRegisterTest, ThePeekAndPokeCommandsReachTheRegisters) {
    startSerialPorts();
    soc().regs[DMA_CH0 + DMA_SAR] = 0x0000BEEFu;
    char peek[] = "*R 9080";
    EXPECT_EQ(cmdRegRead(peek), CMD_DONE);
    char poke[] = "*W 8004 2a";
    EXPECT_EQ(cmdRegWrite(poke), CMD_DONE);
    EXPECT_EQ(soc().peek(PWM_PWMS), 0x2Au);
    char empty[] = "*W 16000 5";
    EXPECT_EQ(cmdRegWrite(empty), CMD_DONE);
    EXPECT_FALSE(soc().halted);
    EXPECT_EQ(sentOnPort0(), "Reg 0x00209080 = 0000beef\rReg 0x00208004 <- 0000002A\rReg 0x00216000 <- 00000000\r");
}
