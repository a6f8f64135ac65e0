// The serial flash commands as they reach the part: one frame per chip-select cycle.
#include "devices/serialmem.h"
#include "imx1_test.h"
#include "storage/KT_extmem.h"

using Frame = std::vector<uint8_t>;

class SerialFlashTest : public Imx1Test {
protected:
    void SetUp() override {
        Imx1Test::SetUp();
        InitSerialFlash();
        soc().flash.frames.clear();
    }
    const std::vector<Frame> &frames() { return soc().flash.frames; }
};

TEST_F(SerialFlashTest, IdentificationIsTheCommandAndThreeDummies) {
    EXPECT_EQ(ReadSerialFlashID(), 0x202016u);
    ASSERT_EQ(frames().size(), 1u);
    EXPECT_EQ(frames()[0], (Frame{0x9F, 0xFF, 0xFF, 0xFF}));
}

TEST_F(SerialFlashTest, FastReadSendsTheAddressHighByteFirstAndOneDummy) {
    for (int i = 0; i < 4; ++i) soc().flash.memory[0x2345 + i] = uint8_t(0xA0 + i);
    uint8_t got[4] = {};
    ReadSerialFlash(0x002345, 4, got);
    ASSERT_EQ(frames().size(), 1u);
    const Frame &f = frames()[0];
    ASSERT_EQ(f.size(), 9u);  // command, 3 address bytes, dummy, 4 data exchanges
    EXPECT_EQ(Frame(f.begin(), f.begin() + 5), (Frame{0x0B, 0x00, 0x23, 0x45, 0xFF}));
    EXPECT_EQ(got[0], 0xA0);
    EXPECT_EQ(got[3], 0xA3);
}

TEST_F(SerialFlashTest, PageProgramIsFramedByWriteEnableAndPolledUntilReady) {
    const uint8_t data[3] = {0x11, 0x22, 0x33};
    soc().flash.busyPerWrite = 3;
    EXPECT_EQ(WriteSerialFlash(0x000120, 3, data), 1);
    const auto &f = frames();
    ASSERT_GE(f.size(), 4u);
    EXPECT_EQ(f.front(), Frame{0x06});
    EXPECT_EQ(f[1], (Frame{0x02, 0x00, 0x01, 0x20, 0x11, 0x22, 0x33}));
    size_t polls = 0;
    for (size_t i = 2; i + 1 < f.size(); ++i) {
        EXPECT_EQ(f[i][0], 0x05);
        ++polls;
    }
    EXPECT_EQ(polls, 4u);  // three busy answers, then the ready one
    EXPECT_EQ(f.back(), Frame{0x04});
    EXPECT_EQ(soc().flash.memory[0x121], 0x22);
}

TEST_F(SerialFlashTest, SectorEraseSendsSectorZeroOne) {
    EXPECT_EQ(SectorEraseSerialFlash(5), 1);
    const auto &f = frames();
    ASSERT_GE(f.size(), 4u);
    EXPECT_EQ(f[0], Frame{0x06});
    EXPECT_EQ(f[1], (Frame{0xD8, 0x05, 0x00, 0x01}));
    EXPECT_EQ(f[2][0], 0x05);
    EXPECT_EQ(f.back(), Frame{0x04});
}

TEST_F(SerialFlashTest, BulkEraseWaitsUntilReady) {
    EXPECT_EQ(EraseSerialFlash(), 1);
    EXPECT_EQ(frames()[1], Frame{0xC7});
    EXPECT_EQ(frames().back(), Frame{0x04});
}

// A part that never finishes: the wait gives up and says so, and the write latch is still
// cleared afterwards.
TEST_F(SerialFlashTest, APartThatStaysBusyEndsTheWaitWithAFailure) {
    soc().flash.stuckBusy = true;
    soc().logging = false;
    const uint8_t b = 0;
    EXPECT_EQ(WriteSerialFlash(0, 1, &b), 0);
    EXPECT_EQ(frames().back(), Frame{0x04});
    size_t polls = 0;
    for (const Frame &f : frames()) polls += f[0] == 0x05;
    EXPECT_GT(polls, 1000u);
    EXPECT_LT(polls, 100000u);
}

TEST_F(SerialFlashTest, ProgrammingReportsAPartThatStaysBusy) {
    const uint8_t b[4] = {1, 2, 3, 4};
    EXPECT_EQ(KT_ExtMem_ProgramArea(0x100, b, 4, 0), 0);
    EXPECT_EQ(KT_ExtMem_Erase_Sector(1), 0);
    soc().flash.stuckBusy = true;
    soc().logging = false;
    EXPECT_NE(KT_ExtMem_ProgramArea(0x100, b, 4, 0), 0);
}

// A copy to the flash stops at the first write the part never finishes: no valid header is
// written in front of data that is not there, and the caller hears of the failure.
TEST_F(SerialFlashTest, ACopyStopsAtAWriteThatNeverFinishesAndLeavesTheHeaderErased) {
    startSerialPorts();
    KT_ExtMem_SetGeometry(ReadSerialFlashID());
    std::vector<uint8_t> image(64, 0x5A);
    image[0] = 0xEB;  // the magic 0xFEEB, little-endian
    image[1] = 0xFE;
    soc().flash.programNeverEnds = true;
    soc().logging = false;
    EXPECT_NE(CopyMemToFlash1(uint32_t(image.size()), image.data()), 0);
    size_t programs = 0;
    for (const Frame &f : frames()) programs += f[0] == 0x02;
    EXPECT_EQ(programs, 1u) << "no write after the one that never finished";
    EXPECT_EQ(soc().flash.memory[0], 0xFF);
    EXPECT_EQ(soc().flash.memory[1], 0xFF);
    EXPECT_NE(sentOnPort0().find(":Copy SD Card to Data Flash:"), std::string::npos) << sentOnPort0();
    EXPECT_EQ(sentOnPort0().find("DONE"), std::string::npos) << sentOnPort0();
}

TEST_F(SerialFlashTest, GeometryFollowsTheCapacityByte) {
    struct Case {
        uint32_t id, size, sector;
    } cases[] = {{0x202017, 0x800000, 0x20000}, {0x202018, 0xB00000, 0x40000},
                 {0x202016, 0x400000, 0x10000}, {0xC22014, 0x400000, 0x10000}};
    for (const Case &c : cases) {
        soc().flash.id = c.id;
        KT_ExtMem_SetGeometry(ReadSerialFlashID());
        EXPECT_EQ(Flash1Size, c.size) << std::hex << c.id;
        EXPECT_EQ(Flash1SectorSize, c.sector) << std::hex << c.id;
        EXPECT_EQ(Flash1NumSectors, 64u);
    }
}

TEST_F(SerialFlashTest, ChipSelectIsAGpioOutputIdleHigh) {
    EXPECT_TRUE(pinBit(2, 0x20, 15));  // GPIO, not the controller's own select
    EXPECT_TRUE(pinBit(2, 0x00, 15));  // output
    EXPECT_TRUE(pinBit(2, 0x1C, 15));  // high: deselected
    for (int pin : {14, 16, 17}) EXPECT_FALSE(pinBit(2, 0x20, pin)) << pin;
}
