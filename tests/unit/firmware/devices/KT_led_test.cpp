// The user LED: flashing from the tick and who owns it.
#include <gtest/gtest.h>

#include "command/handlers.h"
#include "app/GUIDEMO.h"
#include "devices/KT_led.h"
#include "devices/miscdrivers.h"
#include "fw_harness.h"

TEST(Led, FlashingTogglesEveryOtherTickForPeriodOne) {
    InitGPIO();
    ledState = 0;
    FlashLed(1);
    std::string seen;
    for (int i = 0; i < 8; ++i) {
        KT_Led_Tick();
        seen += fwtest::check("led") == "on" ? '1' : '0';
    }
    EXPECT_EQ(seen, "01100110");
    FlashLed(0);
    EXPECT_EQ(fwtest::check("led"), "off");
    KT_Led_Tick();
    EXPECT_EQ(fwtest::check("led"), "off");
}

TEST(Led, HostAndSystemOwnership) {
    InitGPIO();
    EXPECT_EQ(fwtest::callHandler(cmdLed, "led on"), 1);
    EXPECT_EQ(userLedState, 1u);
    EXPECT_EQ(fwtest::check("led"), "on");
    EXPECT_EQ(fwtest::callHandler(cmdLed, "led sys"), 1);
    EXPECT_EQ(userLedState, 0u);
    EXPECT_EQ(fwtest::check("led"), "on");  // keeps its level
    EXPECT_EQ(fwtest::callHandler(cmdLed, "led off"), 1);
    EXPECT_EQ(userLedState, 2u);
    EXPECT_EQ(fwtest::check("led"), "off");
    EXPECT_EQ(fwtest::callHandler(cmdLed, "led blink"), 0);
    EXPECT_EQ(userLedState, 2u);
}
