// The LCD controller as the panel start-up programs it, the colour table and frame status.
#include "board.h"
#include "devices/lcd_driver.h"
#include "imx1.h"
#include "imx1_test.h"
#include "storage/KT_eeprom.h"

class LcdTest : public Imx1Test {
protected:
    void SetUp() override {
        Imx1Test::SetUp();
        eepromData.hfp = eepromData.hpw = eepromData.hbp = 0xFF;
        eepromData.vfp = eepromData.vpw = eepromData.vbp = 0xFF;
        eepromData.LCDshiftclock = 0;
        eepromData.pwmIsEnable = 0;
        eepromData.orient = 0;
    }
};

// The timing words hold pulse - 1, front porch - 1 and the sum of the three less 3.
TEST_F(LcdTest, BuiltInTimingGivesTheControllerWordsAnd21MsFrames) {
    InitLCD(640, 480, 16);
    EXPECT_EQ(soc().peek(LCDC_HCR), (1u << 26) | (31u << 8) | 63u);  // hpw 2, hfp 32, hbp 32
    EXPECT_EQ(soc().peek(LCDC_VCR), (1u << 26) | (7u << 8) | 27u);   // vpw 2, vfp 8, vbp 20
    EXPECT_EQ(soc().peek(LCDC_PCR), 0xF8C80081u);                    // shift-clock bit 21 clear
    EXPECT_EQ(soc().peek(LCDC_LSCR1), 0x04100073u);
    EXPECT_EQ(soc().peek(LCDC_PWMR), 0x00A00300u);
    EXPECT_EQ(soc().peek(LCDC_DMACR), 0x00030009u);
    EXPECT_EQ(soc().peek(LCDC_RMCR), 2u);
    EXPECT_EQ(soc().peek(LCDC_SSA), 0x08800000u);
    EXPECT_EQ(soc().peek(LCDC_SIZE), (40u << 20) | 480u);
    EXPECT_EQ(soc().peek(LCDC_VPW), 320u);
    EXPECT_EQ(msPerFrame, 21u);
    EXPECT_EQ(eepromData.hfp, 32);  // the built-in value is written into the RAM image
}

TEST_F(LcdTest, TimingFieldsAndShiftClockFromTheSettings) {
    eepromData.hfp = 40;
    eepromData.hpw = 10;
    eepromData.hbp = 50;
    eepromData.vfp = 5;
    eepromData.vpw = 3;
    eepromData.vbp = 30;
    eepromData.LCDshiftclock = 1;
    eepromData.pwmIsEnable = 1;
    InitLCD(640, 480, 16);
    EXPECT_EQ(soc().peek(LCDC_HCR), (9u << 26) | (39u << 8) | 97u);
    EXPECT_EQ(soc().peek(LCDC_VCR), (2u << 26) | (4u << 8) | 35u);
    EXPECT_EQ(soc().peek(LCDC_PCR), 0xF8E80081u);
    EXPECT_EQ(soc().peek(LCDC_PWMR), 0x00A00100u);
}

TEST_F(LcdTest, LcdPinsGoToTheControllerAndTheKeepAliveRuns) {
    InitLCD(640, 480, 16);
    for (int pin : {6, 11, 12, 20, 30}) EXPECT_FALSE(pinBit(3, 0x20, pin)) << pin;
    EXPECT_EQ(soc().peek(DMA_CH0 + DMA_SAR), 0x0010001Cu);
    EXPECT_EQ(soc().peek(DMA_CH0 + DMA_DAR), 0x0010001Cu);
    EXPECT_EQ(soc().peek(DMA_CH0 + DMA_CNTR), 4u);
    EXPECT_EQ(soc().peek(DMA_CH0 + DMA_BUCR), 61u);
    uint32_t ccr = soc().peek(DMA_CH0 + DMA_CCR);
    EXPECT_TRUE((ccr & (DMA_CCR_CEN | DMA_CCR_RPT)) == (DMA_CCR_CEN | DMA_CCR_RPT));
    EXPECT_TRUE(soc().peek(DMA_DCR) & DMA_DCR_DEN);
}

TEST_F(LcdTest, ColourTableAndFrameStatus) {
    board_lcd_set_lut(255, 0xFABC);
    EXPECT_EQ(soc().peek(LCDC_LUT(255)), 0xABCu);
    size_t before = soc().log.size();
    board_lcd_set_lut(256, 0x123);
    EXPECT_EQ(soc().log.size(), before);
    soc().lcdFrameBegun = true;
    EXPECT_EQ(board_lcd_frame_status(), 1);
    EXPECT_EQ(board_lcd_frame_status(), 0);
}
