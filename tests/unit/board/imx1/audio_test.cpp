// The beeper's tone on timer 2 and pin D 31, its volume on the PWM at A 2.
#include "board.h"
#include "devices/miscdrivers.h"
#include "imx1.h"
#include "imx1_test.h"

class AudioTest : public Imx1Test {
protected:
    void SetUp() override {
        Imx1Test::SetUp();
        InitAudio();
    }
    bool toneOutputOn() { return !pinBit(3, 0x20, 31); }  // D 31 handed to the timer
};

TEST_F(AudioTest, StartsWithA102CountPeriodSampleZeroAndNoTone) {
    EXPECT_EQ(soc().peek(PWM_PWMP), 102u);
    EXPECT_EQ(soc().peek(PWM_PWMS), 0u);
    EXPECT_TRUE(soc().peek(PWM_PWMC) & PWMC_EN);
    EXPECT_FALSE(pinBit(0, 0x20, 2));  // A 2 is the PWM output
    EXPECT_FALSE(toneOutputOn());
    EXPECT_TRUE(pinBit(3, 0x00, 31));  // a plain output
    EXPECT_FALSE(pinBit(3, 0x1C, 31)); // low
}

TEST_F(AudioTest, ToneCompareIsHalfAPeriodOfTheFrequency) {
    for (int f : {1, 440, 1000, 2600, 4000, 65535}) {
        SoundOn(f);
        EXPECT_EQ(soc().peek(TIMER2_BASE + TIMER_TCMP), 16666666u / (2u * f) - 1u) << f;
        uint32_t ctl = soc().peek(TIMER2_BASE + TIMER_TCTL);
        EXPECT_TRUE(ctl & TCTL_TEN);
        EXPECT_TRUE(ctl & TCTL_OM) << "toggle output";
        EXPECT_TRUE(toneOutputOn());
    }
}

TEST_F(AudioTest, FrequencyIsTakenModulo65536AndZeroIsOff) {
    SoundOn(65536 + 440);
    EXPECT_EQ(soc().peek(TIMER2_BASE + TIMER_TCMP), 16666666u / 880u - 1u);
    SoundOn(0);
    EXPECT_FALSE(toneOutputOn());
    EXPECT_FALSE(soc().peek(TIMER2_BASE + TIMER_TCTL) & TCTL_TEN);
    SoundOn(1000);
    SoundOn(65536);  // low 16 bits zero
    EXPECT_FALSE(toneOutputOn());
    EXPECT_FALSE(pinBit(3, 0x1C, 31));
}

TEST_F(AudioTest, VolumeIsTheDutyOutOf255AndCutAt255) {
    for (int v : {0, 1, 2, 3, 100, 128, 254, 255}) {
        SetAudioVolume(v);
        EXPECT_EQ(soc().peek(PWM_PWMS), uint32_t(102 * v / 255)) << v;
    }
    SetAudioVolume(300);
    EXPECT_EQ(soc().peek(PWM_PWMS), 102u);
}

using TimerTest = Imx1Test;

// The tick counts 0x4000 clocks of PERCLK1 from 0 up to the compare value and starts again.
TEST_F(TimerTest, TheTickIsAPeriodicCompareInterrupt) {
    board_timer1_start(0x4000);
    EXPECT_EQ(soc().peek(TIMER1_BASE + TIMER_TCMP), 0x3FFFu);
    EXPECT_EQ(soc().peek(TIMER1_BASE + TIMER_TPRER), 0u);
    uint32_t ctl = soc().peek(TIMER1_BASE + TIMER_TCTL);
    EXPECT_EQ(ctl & (TCTL_TEN | TCTL_IRQEN | TCTL_CLK_PERCLK1 | TCTL_FRR), TCTL_TEN | TCTL_IRQEN | TCTL_CLK_PERCLK1);
    soc().regs[TIMER1_BASE + TIMER_TSTAT] = TSTAT_COMP;
    board_timer1_ack();
    EXPECT_EQ(soc().peek(TIMER1_BASE + TIMER_TSTAT), 0u);
}
