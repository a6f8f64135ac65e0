// The serial ports as the firmware sets them up on this board, and a received line going
// from the UART through the interrupt controller and the handler table into the line input.
#include "comm/Rtosinit.h"
#include "devices/interrupt.h"
#include "imx1.h"
#include "imx1_test.h"
#include "storage/KT_eeprom.h"

class SerialPortTest : public Imx1Test {
protected:
    void SetUp() override {
        Imx1Test::SetUp();
        startSerialPorts();
    }
    void receive(int port, const char *text) {
        for (const char *p = text; *p; ++p) soc().uartRx[port].push_back(uint8_t(*p));
        soc().pendingVector = port == 0 ? 30 : 24;
        irq_handler();
        soc().pendingVector = 0xFFFF;
    }
};

TEST_F(SerialPortTest, BothPortsStartAt115200WithTheirPinsAndInterrupts) {
    for (uint32_t base : {UART1_BASE, UART2_BASE}) {
        EXPECT_EQ(soc().peek(base + UART_UBIR), 1151u);
        EXPECT_EQ(soc().peek(base + UART_UBMR), 5119u);
        EXPECT_TRUE(soc().peek(base + UART_UCR1) & UCR1_UARTEN);
    }
    for (auto [port, pin] : {std::pair{2, 11}, {2, 12}, {1, 30}, {1, 31}}) EXPECT_FALSE(pinBit(port, 0x20, pin));
    uint32_t enabled = soc().peek(AITC_INTENABLEL);
    for (int source : {23, 24, 29, 30}) EXPECT_TRUE(enabled & (1u << source)) << source;
    // The RS-485 driver enable of port 1: a GPIO output, low (receiving).
    EXPECT_TRUE(pinBit(1, 0x20, 29));
    EXPECT_TRUE(pinBit(1, 0x00, 29));
    EXPECT_FALSE(pinBit(1, 0x1C, 29));
}

TEST_F(SerialPortTest, AReceivedLineReachesTheLineInputThroughTheHandlerTable) {
    receive(0, "xs\r");
    EXPECT_TRUE(soc().uartRx[0].empty());
    EXPECT_EQ(isLineAvail(), 1);
    char line[130];
    rxString(line, 129);
    EXPECT_STREQ(line, "xs\r");
}

TEST_F(SerialPortTest, TheAuxPortsBytesGoToTheirOwnRing) {
    receive(1, "ab");
    EXPECT_EQ(anyAuxRx(), 2);
    EXPECT_EQ(isLineAvail(), 0);
}
