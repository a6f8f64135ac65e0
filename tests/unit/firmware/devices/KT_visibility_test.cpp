// Backlight brightness, the inverter's polarity and the display power sequences.
#include <gtest/gtest.h>

#include "command/handlers.h"
#include "devices/KT_visibility.h"
#include "devices/miscdrivers.h"
#include "fw_harness.h"
#include "gpio.h"
#include "storage/KT_eeprom.h"

TEST(Brightness, Formula) {
    // Defaults: max 0, min 242.
    EXPECT_EQ(KT_Brite_Level(255, 0, 242), 0u);
    EXPECT_EQ(KT_Brite_Level(0, 0, 242), 242u);
    EXPECT_EQ(KT_Brite_Level(128, 0, 242), 120u);  // 0 + 242 * 127 / 255
    for (u32 b = 0; b < 256; b += 17) EXPECT_EQ(KT_Brite_Level(b, 100, 100), 100u);
    EXPECT_EQ(KT_Brite_Level(0, 200, 50), 50u);
    EXPECT_EQ(KT_Brite_Level(255, 200, 50), 200u);
    EXPECT_EQ(KT_Brite_Level(128, 200, 50), 125u);
    // Every level lies between the two limits.
    for (u32 b = 0; b < 256; ++b) {
        u32 l = KT_Brite_Level(b, 10, 250);
        EXPECT_GE(l, 10u);
        EXPECT_LE(l, 250u);
    }
}

TEST(Brightness, SetWritesTheDutyAndTheCommandRanges) {
    eepromData.maxBrite = 0;
    eepromData.minBrite = 242;
    KT_Brite_Set(255);
    EXPECT_EQ(fwtest::check("pwm"), "255");
    KT_Brite_Set(0);
    EXPECT_EQ(fwtest::check("pwm"), "13");
    eepromData.brite = 250;
    EXPECT_EQ(fwtest::callHandler(cmdBrightness, "xbbs+20"), 1);
    EXPECT_EQ(eepromData.brite, 255);
    EXPECT_EQ(fwtest::callHandler(cmdBrightness, "xbbs -300"), 1);
    EXPECT_EQ(eepromData.brite, 0);
    EXPECT_EQ(fwtest::callHandler(cmdBrightness, "xbbs 300"), 0);
    EXPECT_EQ(eepromData.brite, 0);
    EXPECT_EQ(fwtest::callHandler(cmdBrightness, "xbbs 100"), 1);
    EXPECT_EQ(eepromData.brite, 100);
    EXPECT_EQ(fwtest::callHandler(cmdBrightness, "xbbs -2147483648"), 1);
    EXPECT_EQ(eepromData.brite, 0);
}

TEST(Display, PowerSequencesAndInverterPolarity) {
    std::string dir = fwtest::freshStateDir();
    std::string afterUp[4], afterOff[4], hiTrue;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitGPIO();
        eepromData.pwmIsEnable = 1;
        eepromData.invEnaHiTrue = 0;
        eepromData.brite = 255;
        eepromData.maxBrite = 0;
        eepromData.minBrite = 242;
        KT_Display_PowerUp();
        afterUp[0] = fwtest::check("panel");
        afterUp[1] = fwtest::check("lcd-data");
        afterUp[2] = fwtest::check("inverter");
        afterUp[3] = fwtest::check("pwm");
        KT_Display_Off();
        afterOff[0] = fwtest::check("panel");
        afterOff[1] = fwtest::check("lcd-data");
        afterOff[2] = fwtest::check("inverter");
        eepromData.invEnaHiTrue = 1;
        KT_External_Inverter_On();
        hiTrue = std::to_string(sim::gpio::level(sim::gpio::C, PIN_INVERTER));
    }));
    EXPECT_EQ(afterUp[0], "on");
    EXPECT_EQ(afterUp[1], "on");
    EXPECT_EQ(afterUp[2], "on");
    EXPECT_EQ(afterUp[3], "255");
    EXPECT_EQ(afterOff[0], "off");
    EXPECT_EQ(afterOff[1], "off");
    EXPECT_EQ(afterOff[2], "off");
    EXPECT_EQ(hiTrue, "0");  // invEnaHiTrue: "on" drives the enable low
}
