// I2C transactions on the bus: start, repeated start, the acknowledges, stop.
#include "devices/miscdrivers.h"
#include "imx1.h"
#include "imx1_test.h"

using Events = std::vector<std::string>;

class I2cTest : public Imx1Test {
protected:
    void SetUp() override {
        Imx1Test::SetUp();
        InitI2C();
    }
};

TEST_F(I2cTest, ReadUsesARepeatedStartAndLeavesTheLastByteUnacknowledged) {
    soc().i2c.eeprom[0x10] = 0x5A;
    soc().i2c.eeprom[0x11] = 0xC3;
    uint8_t buf[2] = {0x00, 0x10};
    EXPECT_EQ(I2Cio(0xA0, 2, 2, buf), 1);
    EXPECT_EQ(soc().i2c.events, (Events{"S", "W a0 A", "W 00 A", "W 10 A", "Sr", "W a1 A", "R 5a A", "R c3 N", "P"}));
    EXPECT_EQ(buf[0], 0x5A);
    EXPECT_EQ(buf[1], 0xC3);
}

TEST_F(I2cTest, ASingleByteReadIsNotAcknowledged) {
    soc().i2c.eeprom[7] = 0x42;
    uint8_t buf[2] = {0x00, 0x07};
    EXPECT_EQ(I2Cio(0xA0, 2, 1, buf), 1);
    EXPECT_EQ(soc().i2c.events, (Events{"S", "W a0 A", "W 00 A", "W 07 A", "Sr", "W a1 A", "R 42 N", "P"}));
    EXPECT_EQ(buf[0], 0x42);
}

TEST_F(I2cTest, AWriteHasNoRepeatedStart) {
    uint8_t buf[3] = {0x00, 0x20, 0x99};
    EXPECT_EQ(I2Cio(0xA0, 3, 0, buf), 1);
    EXPECT_EQ(soc().i2c.events, (Events{"S", "W a0 A", "W 00 A", "W 20 A", "W 99 A", "P"}));
    EXPECT_EQ(soc().i2c.eeprom[0x20], 0x99);
}

TEST_F(I2cTest, AMissingDeviceFailsTheTransaction) {
    uint8_t buf[2] = {0x00, 0x10};
    EXPECT_EQ(I2Cio(0xB0, 2, 2, buf), 0);
    EXPECT_EQ(soc().i2c.events, (Events{"S", "W b0 N", "P"}));
    EXPECT_EQ(buf[0], 0xFF);
}

TEST_F(I2cTest, ABusThatNeverCompletesEndsInAFailure) {
    soc().i2c.neverCompletes = true;
    soc().logging = false;
    uint8_t buf[2] = {0x00, 0x10};
    EXPECT_EQ(I2Cio(0xA0, 2, 2, buf), 0);
    EXPECT_EQ(soc().i2c.events, (Events{"S", "P"}));
}

TEST_F(I2cTest, TheBusClockDividerComesFromTheControllersTable) {
    EXPECT_EQ(soc().peek(I2C_IFDR), 0x38u);  // divider 640
    EXPECT_FALSE(pinBit(0, 0x20, 15));        // A 15 and A 16 belong to the controller
    EXPECT_FALSE(pinBit(0, 0x20, 16));
}
