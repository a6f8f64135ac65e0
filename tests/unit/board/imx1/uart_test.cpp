// The UARTs' rate generator, set-up, received words and receiver reset.
#include "imx1.h"
#include "imx1_test.h"

#include "board.h"

namespace {
// PERCLK1 of the board; the rate generator's reference is a divided copy of it.
constexpr double kPerclk1 = 16384000.0;

double referenceHz(uint32_t ufcr) {
    static const int divider[8] = {6, 5, 4, 3, 2, 1, 7, 1};
    return kPerclk1 / divider[(ufcr >> 7) & 7];
}
}  // namespace

using UartTest = Imx1Test;

TEST_F(UartTest, EveryValidRateComesOutExactly) {
    const uint32_t rates[] = {1200, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    for (int port = 0; port < 2; ++port) {
        uint32_t base = port == 0 ? UART1_BASE : UART2_BASE;
        board_uart_enable(port);
        for (uint32_t rate : rates) {
            soc().log.clear();
            board_uart_set_ratio(port, rate / 100 - 1, 5119);  // the firmware's ratio rule
            // The incremental register goes first: writing the modulator loads both.
            ASSERT_EQ(soc().log.size(), 2u);
            EXPECT_EQ(soc().log[0].addr, base + UART_UBIR);
            EXPECT_EQ(soc().log[1].addr, base + UART_UBMR);
            double got = referenceHz(soc().peek(base + UART_UFCR)) * (soc().peek(base + UART_UBIR) + 1) /
                         (16.0 * (soc().peek(base + UART_UBMR) + 1));
            EXPECT_DOUBLE_EQ(got, double(rate)) << "port " << port << " rate " << rate;
        }
    }
}

TEST_F(UartTest, EnableGivesEightDataBitsOneStopNoParityAndTheReceiveInterrupt) {
    board_uart_enable(1);
    uint32_t ucr2 = soc().peek(UART2_BASE + UART_UCR2);
    EXPECT_TRUE(ucr2 & UCR2_WS);
    EXPECT_FALSE(ucr2 & (1u << 6)) << "one stop bit";
    EXPECT_FALSE(ucr2 & (1u << 8)) << "no parity";
    EXPECT_TRUE((ucr2 & (UCR2_RXEN | UCR2_TXEN)) == (UCR2_RXEN | UCR2_TXEN));
    EXPECT_TRUE(soc().peek(UART2_BASE + UART_UCR1) & UCR1_RRDYEN);
    EXPECT_FALSE(soc().peek(UART1_BASE + UART_UCR1) & UCR1_UARTEN) << "the other port stays off";
}

TEST_F(UartTest, ReceivedWordsKeepTheirErrorFlags) {
    soc().regs[UART1_BASE + UART_URXD] = 0x8000u | 0x4000u | 0x1000u | 0x41;
    EXPECT_EQ(board_uart_read(0), UART_RX_CHARRDY | UART_RX_ERR | UART_RX_FRMERR | 0x41u);
    soc().regs[UART1_BASE + UART_URXD] = 0x41;  // no character ready
    EXPECT_EQ(board_uart_read(0), 0u);
}

TEST_F(UartTest, InterruptEnablesGoToTheirOwnBits) {
    board_uart_enable(0);
    board_uart_tx_ready_irq(0, 1);
    board_uart_tx_complete_irq(0, 1);
    EXPECT_TRUE(soc().peek(UART1_BASE + UART_UCR1) & UCR1_TRDYEN);
    EXPECT_TRUE(soc().peek(UART1_BASE + UART_UCR4) & UCR4_TCEN);
    board_uart_tx_ready_irq(0, 0);
    board_uart_rx_irq(0, 0);
    EXPECT_FALSE(soc().peek(UART1_BASE + UART_UCR1) & (UCR1_TRDYEN | UCR1_RRDYEN));
    EXPECT_TRUE(soc().peek(UART1_BASE + UART_UCR4) & UCR4_TCEN);
}

TEST_F(UartTest, ReceiverResetTurnsTheReceiverOffAndOnAndClearsTheErrors) {
    board_uart_enable(0);
    soc().log.clear();
    board_uart_rx_reset(0);
    auto ucr2 = soc().writesTo(UART1_BASE + UART_UCR2);
    ASSERT_EQ(ucr2.size(), 2u);
    EXPECT_FALSE(ucr2[0] & UCR2_RXEN);
    EXPECT_TRUE(ucr2[1] & UCR2_RXEN);
    EXPECT_EQ(soc().writesTo(UART1_BASE + UART_USR2), (std::vector<uint32_t>{USR2_ORE | USR2_BRCD}));
}

TEST_F(UartTest, BadPortNumbersTouchNothing) {
    board_uart_enable(2);
    board_uart_write(-1, 'x');
    board_uart_set_ratio(5, 1, 1);
    EXPECT_TRUE(soc().log.empty());
    EXPECT_EQ(board_uart_rx_ready(3), 0);
}
