// The 1 ms tick: the countdowns stop at zero, the animation timer only counts down from
// above zero, the frame counter runs while no frame begins, and the tick drives the beeper
// and the LED flashing.
#include <gtest/gtest.h>

#include "app/animation.h"
#include "devices/KT_beep.h"
#include "devices/KT_led.h"
#include "devices/KT_timer.h"
#include "devices/miscdrivers.h"
#include "fw_harness.h"
#include "sim.h"
#include "storage/KT_eeprom.h"

TEST(Tick, CountdownsAndCounters) {
    InitGPIO();
    delayTimer = 2;
    gpTimer = 1;
    animateTimer = -3;
    frameTimer = 0;
    eepromData.beepFreq = 2600;
    beep_state = 0;
    alarmType = 0;
    repeat_beep_ms_reload_on = 0;
    BeepImmediate(2);
    ledState = 0;
    FlashLed(1);
    for (int i = 0; i < 3; ++i) timer1_isr();
    EXPECT_EQ(delayTimer, 0u);
    EXPECT_EQ(gpTimer, 0u);
    EXPECT_EQ(animateTimer, -3);
    EXPECT_EQ(frameTimer, 3u);  // the stand-in controller reports no frames
    EXPECT_EQ(fwtest::check("beeper"), "off");
    EXPECT_EQ(fwtest::check("led"), "on");
    animateTimer = 2;
    timer1_isr();
    EXPECT_EQ(animateTimer, 1);
    FlashLed(0);
}

TEST(Tick, DelayWaitsInVirtualTime) {
    std::string dir = fwtest::freshStateDir();
    uint64_t zero = 1, ten = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        uint64_t t0 = sim::now();
        KT_Delay(0);
        zero = sim::now() - t0;
        t0 = sim::now();
        KT_Delay(10);
        ten = sim::now() - t0;
    }));
    EXPECT_EQ(zero, 0u);
    EXPECT_GT(ten, 9 * sim::kMs);
    EXPECT_LE(ten, 10 * sim::kMs);
}
