// LCD controller start-up: timing defaults, the register values, the frame period, the colour
// table; and the simulated controller's frame clock.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "board.h"
#include "devices/KT_timer.h"
#include "devices/MAC_panelTiming.h"
#include "devices/lcd_driver.h"
#include "devices/miscdrivers.h"
#include "fw_harness.h"
#include "lcd.h"
#include "memmap.h"
#include "onboard.h"
#include "sim.h"
#include "storage/KT_eeprom.h"

namespace {

// The tests drive the controller from outside the firmware, on a board that is off (so the
// tick does not read the frame status first). Each starts after a power cycle: the
// controller's registers and the firmware's RAM as at power-on, whatever an earlier test left.
struct LcdDriver : ::testing::Test {
    void SetUp() override {
        onboard::configure(onboard::freshStateDir(), onboard::Bringup{});
        ASSERT_TRUE(onboard::run([] {}));
        onboard::powerOff();
    }
};

void blankTiming() {
    eepromData.hfp = eepromData.hpw = eepromData.hbp = 0xFF;
    eepromData.vfp = eepromData.vpw = eepromData.vbp = 0xFF;
}

}  // namespace

TEST_F(LcdDriver, BuiltInTimingFillsUnsetFieldsAndGives21Ms) {
    sim::mapSdram();
    blankTiming();
    eepromData.LCDshiftclock = 0;
    eepromData.pwmIsEnable = 0;
    EXPECT_EQ(InitLCD(640, 480, 16), 1);
    EXPECT_EQ(eepromData.hfp, 32);
    EXPECT_EQ(eepromData.hpw, 2);
    EXPECT_EQ(eepromData.hbp, 32);
    EXPECT_EQ(eepromData.vfp, 8);
    EXPECT_EQ(eepromData.vpw, 2);
    EXPECT_EQ(eepromData.vbp, 20);
    EXPECT_EQ(msPerFrame, 21u);
    EXPECT_EQ(LCD_WIDTH, 640);
    EXPECT_EQ(LCD_HEIGHT, 480);
    EXPECT_EQ(LCD_PIXELS, 307200u);
    EXPECT_EQ(IMAGE_BPP, 16);
    EXPECT_EQ(vram, sdramPtr(VRAM_ADDR));

    const sim::lcd::Registers &r = sim::lcd::registers();
    EXPECT_EQ(r.start, VRAM_ADDR);
    EXPECT_EQ(r.width16, 40u);
    EXPECT_EQ(r.height, 480u);
    EXPECT_EQ(r.pageWidth, 320u);
    EXPECT_EQ(r.panelConfig, 0xF8E80081u & ~(1u << 21));  // shift clock normal: bit 21 clear
    EXPECT_EQ(r.hpulse, 1u);
    EXPECT_EQ(r.hwait1, 31u);
    EXPECT_EQ(r.hwait2, 63u);
    EXPECT_EQ(r.vpulse, 1u);
    EXPECT_EQ(r.vwait1, 7u);
    EXPECT_EQ(r.vwait2, 27u);
    EXPECT_EQ(r.panelConfig2, 0x04100073u);
    EXPECT_EQ(r.contrast, 0x00A00300u);
    EXPECT_EQ(r.dmaControl, 0x00030009u);
    EXPECT_EQ(r.refreshMode, 2u);
    EXPECT_TRUE(r.keepAlive);
    EXPECT_TRUE(sim::lcd::scanning());
    // 706 x 510 pixel clocks at 16.384 MHz.
    EXPECT_EQ(sim::lcd::framePeriod(), 706ull * 510 * sim::kSec / 16384000);
    EXPECT_EQ(sim::lcd::frame(), static_cast<const uint16_t *>(sdramPtr(VRAM_ADDR)));
}

TEST_F(LcdDriver, SettingsChooseShiftClockPwmAndTiming) {
    sim::mapSdram();
    blankTiming();
    InitGPIO();  // the board bring-up makes the orientation and VQ pins outputs
    eepromData.orient = 2;
    eepromData.LCDshiftclock = 1;
    eepromData.pwmIsEnable = 1;
    eepromData.hfp = 100;  // H = 100 + 2 + 32 + 640 = 774
    eepromData.vbp = 60;   // V = 8 + 60 + 480 + 2 = 550
    InitLCD(640, 480, 16);
    EXPECT_EQ(eepromData.hfp, 100);
    EXPECT_EQ(eepromData.vbp, 60);
    EXPECT_EQ(msPerFrame, 774u * 550 / 16384);
    const sim::lcd::Registers &r = sim::lcd::registers();
    EXPECT_EQ(r.panelConfig, 0xF8E80081u);
    EXPECT_EQ(r.contrast, 0x00A00100u);
    EXPECT_EQ(r.hwait1, 99u);
    EXPECT_EQ(r.hwait2, 100u + 32 + 2 - 3);
    EXPECT_EQ(r.vwait2, 8u + 60 + 2 - 3);
    // The orientation pins follow the setting; VQ is high for the 640-pixel panel.
    EXPECT_EQ((*sim::findCheck("orient"))(), "2");
    EXPECT_EQ((*sim::findCheck("vq"))(), "1");
    InitLCD(320, 240, 16);
    EXPECT_EQ((*sim::findCheck("vq"))(), "0");
    // Zero fields would wrap the registers; they stop at zero.
    eepromData.hpw = 0;
    eepromData.hfp = 0;
    eepromData.hbp = 0;
    panelTimingProgram();
    EXPECT_EQ(r.hpulse, 0u);
    EXPECT_EQ(r.hwait1, 0u);
    EXPECT_EQ(r.hwait2, 0u);
    blankTiming();
}

TEST_F(LcdDriver, ColourTableHoldsTheTopFourBitsOfEachChannel) {
    KT_Reset_LUT();
    const sim::lcd::Registers &r = sim::lcd::registers();
    EXPECT_EQ(r.lut[0], 0x000);
    EXPECT_EQ(r.lut[0x1F], 0x00F);  // index 0x1F: full blue
    // Index 0xFF: green 7 of 63 -> 28 -> 1, blue 31 -> 255 -> 15.
    EXPECT_EQ(r.lut[0xFF], 0x01F);
    EXPECT_EQ(r.lut[0x20], 0x000);  // green 1 of 63 -> 4 -> 0
    EXPECT_EQ(lutEntry(0xF800), 0xF00);
    EXPECT_EQ(lutEntry(0xFFFF), 0xFFF);
}

TEST_F(LcdDriver, FrameStatusIsRaisedEachFrameAndClearedByReading) {
    sim::mapSdram();
    blankTiming();
    InitLCD(640, 480, 16);
    board_lcd_frame_status();
    uint64_t frames = sim::lcd::frameCount();
    sim::Time period = sim::lcd::framePeriod();
    sim::runFor(period / 2);
    int seen = board_lcd_frame_status();
    sim::runFor(period);
    EXPECT_EQ(seen + board_lcd_frame_status(), 1);  // exactly one frame began in 1.5 periods
    EXPECT_EQ(board_lcd_frame_status(), 0);          // and reading cleared it
    sim::runFor(10 * period);
    EXPECT_EQ(sim::lcd::frameCount() - frames, 11u);
    // Stopping the controller stops the frames.
    board_lcd_set_refresh_mode(0);
    board_lcd_frame_status();
    sim::runFor(3 * period);
    EXPECT_EQ(board_lcd_frame_status(), 0);
    EXPECT_EQ(sim::lcd::frame(), nullptr);  // a dark panel
    board_lcd_set_refresh_mode(2);
}

TEST_F(LcdDriver, FrameOutsideSdramIsDark) {
    sim::mapSdram();
    board_lcd_set_refresh_mode(2);
    board_lcd_set_start(0x0BFFFF00u);  // the frame would run past the end of SDRAM
    EXPECT_EQ(sim::lcd::frame(), nullptr);
    std::vector<uint16_t> out(640 * 480, 0xFFFF);
    sim::lcd::copyFrame(out.data());
    EXPECT_EQ(out[12345], 0);
    board_lcd_set_start(VRAM_ADDR);
    static_cast<uint16_t *>(sdramPtr(VRAM_ADDR))[640 * 2 + 3] = 0xABCD;
    sim::lcd::copyFrame(out.data());
    EXPECT_EQ(out[640 * 2 + 3], 0xABCD);
}

TEST_F(LcdDriver, FrameTimerCountsMillisecondsSinceTheFrameBegan) {
    sim::mapSdram();
    blankTiming();
    InitLCD(640, 480, 16);
    // Line up with a frame start, then tick once per virtual millisecond.
    sim::runUntil(sim::now() + sim::lcd::framePeriod(), [] { return sim::lcd::registers().frameStatus; });
    lcdFrameTick();
    EXPECT_EQ(frameTimer, 0u);
    u32 highest = 0;
    int resets = 0;
    for (int ms = 0; ms < 100; ++ms) {
        sim::runFor(sim::kMs);
        lcdFrameTick();
        if (frameTimer == 0) resets++;
        if (frameTimer > highest) highest = frameTimer;
    }
    EXPECT_EQ(highest, 21u);  // frames of 21.98 ms
    EXPECT_EQ(resets, 4);     // 100 ms hold four more frame starts
}

// The scan-out wait against the frame clock the tick keeps: at the beginning of a frame the
// last row is far away, row 0 is passed (with its margin) 3 ms later, and once frames have
// stopped for a while the wait gives up after 20 ms.
TEST_F(LcdDriver, RowWaitFollowsTheFrameClock) {
    std::string dir = fwtest::freshStateDir();
    sim::Time late = 0, early = 0, below = 0, stalled = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        blankTiming();
        InitLCD(640, 480, 16);
        for (u32 last = 1; !(frameTimer == 0 && last != 0); boardIdle()) last = frameTimer;
        sim::Time t0 = sim::now();
        wvr(479);
        late = sim::now() - t0;
        wvr(0);
        early = sim::now() - t0;
        // Rows far below the screen are reached as late in the frame as the last one.
        for (u32 last = 1; !(frameTimer == 0 && last != 0); boardIdle()) last = frameTimer;
        t0 = sim::now();
        wvr(204522253);
        wvr(INT_MAX);
        below = sim::now() - t0;
        board_lcd_set_refresh_mode(0);
        KT_Delay(50);  // the frame timer runs on, far past every row
        t0 = sim::now();
        wvr(100);
        stalled = sim::now() - t0;
    }));
    EXPECT_LT(late, sim::kMs);
    EXPECT_GE(early, 2 * sim::kMs);
    EXPECT_LE(early, 4 * sim::kMs);
    EXPECT_LT(below, sim::kMs);
    EXPECT_GE(stalled, 19 * sim::kMs);
    EXPECT_LE(stalled, 21 * sim::kMs);
}

// Changed timing changes the controller's frame period and msPerFrame with it; fields too
// large for the controller keep their low bits there and in msPerFrame alike.
TEST_F(LcdDriver, FramePeriodAndMsPerFrameAgreeAfterATimingChange) {
    sim::mapSdram();
    blankTiming();
    InitLCD(640, 480, 16);
    const sim::lcd::Registers &r = sim::lcd::registers();
    for (u8 vbp : {63, 1, 200}) {
        eepromData.vbp = vbp;
        eepromData.hfp = vbp;
        lcdApplyTiming();
        EXPECT_EQ(msPerFrame, u32(sim::lcd::framePeriod() / sim::kMs)) << int(vbp);
        EXPECT_EQ(r.vwait2, (8u + vbp + 2 - 3) & 0xFF);
    }
    eepromData.hfp = eepromData.hbp = eepromData.hpw = 200;  // 597 does not fit in 8 bits
    lcdApplyTiming();
    EXPECT_EQ(r.hwait2, 597u & 0xFF);
    EXPECT_EQ(r.hpulse, 199u & 0x3F);
    EXPECT_EQ(msPerFrame, u32(sim::lcd::framePeriod() / sim::kMs));
    blankTiming();
    panelTimingDefaults();
    lcdApplyTiming();
    EXPECT_EQ(msPerFrame, 21u);
}
