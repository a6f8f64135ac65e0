// The beeper's tick work run tick by tick: single beeps, the repeating beep, the three alarm
// patterns, and the volume scaling and commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "command/handlers.h"
#include "devices/KT_beep.h"
#include "devices/miscdrivers.h"
#include "eeprom.h"
#include "fw_harness.h"
#include "storage/KT_eeprom.h"

namespace {

struct Beeper : ::testing::Test {
    void SetUp() override {
        eepromData.beepFreq = 2600;
        eepromData.beepVol = 200;
        eepromData.beepMax = 255;
        beep_state = 0;
        immediate_beep_ms = 0;
        repeat_beep_ms = repeat_beep_ms_reload_on = repeat_beep_ms_reload_off = 0;
        repeat_beep_state = 0;
        alarmType = 0;
        InitAudio();
    }
    static std::string tone() { return fwtest::check("beeper"); }
    // The tone after each of n ticks.
    static std::vector<std::string> run(int n) {
        std::vector<std::string> seen;
        for (int i = 0; i < n; ++i) {
            BeepTimerCheck();
            seen.push_back(tone());
        }
        return seen;
    }
};

}  // namespace

TEST_F(Beeper, SingleBeepLastsItsTicksAndAShorterOneCutsIt) {
    BeepImmediate(200);
    EXPECT_EQ(tone(), "2600");
    auto seen = run(200);
    EXPECT_EQ(seen[198], "2600");
    EXPECT_EQ(seen[199], "off");
    EXPECT_FALSE(BeepActive());

    BeepImmediate(200);
    run(100);
    BeepImmediate(50);
    seen = run(50);
    EXPECT_EQ(seen[48], "2600");
    EXPECT_EQ(seen[49], "off");
    // Zero switches a running beep off at once.
    BeepImmediate(100);
    BeepImmediate(0);
    EXPECT_EQ(tone(), "off");
}

TEST_F(Beeper, RepeatingBeepPhases) {
    BeepRepeat(100, 400);
    EXPECT_EQ(tone(), "2600");
    auto seen = run(1100);
    // On through the tick that counts the on phase out, off for the off phase plus one.
    EXPECT_EQ(seen[99], "2600");
    EXPECT_EQ(seen[100], "off");
    EXPECT_EQ(seen[500], "off");
    EXPECT_EQ(seen[501], "2600");
    EXPECT_EQ(seen[601], "2600");
    EXPECT_EQ(seen[602], "off");
    BeepRepeat(0, 0);
    EXPECT_EQ(tone(), "off");
    EXPECT_EQ(repeat_beep_ms_reload_on, 0u);
    seen = run(1000);
    for (auto &s : seen) ASSERT_EQ(s, "off");
}

TEST_F(Beeper, WarbleAlarmEndsWithTheSingleBeep) {
    EXPECT_EQ(AlarmSet(2), 1);
    BeepImmediate(1000);
    auto seen = run(1000);
    // Tick 2 (t = 0) starts the high tone, then the tones change every 4 ticks.
    EXPECT_EQ(seen[1], "3100");
    EXPECT_EQ(seen[4], "3100");
    EXPECT_EQ(seen[5], "2600");
    EXPECT_EQ(seen[9], "3100");
    EXPECT_EQ(seen[999], "off");
    EXPECT_EQ(alarmType, 0);
    seen = run(100);
    for (auto &s : seen) ASSERT_EQ(s, "off");
}

TEST_F(Beeper, OnOffAlarmAndSlowTwoTone) {
    AlarmSet(1);
    auto seen = run(40);
    EXPECT_EQ(seen[0], "off");
    EXPECT_EQ(seen[1], "3350");   // t = 0
    EXPECT_EQ(seen[16], "3350");
    EXPECT_EQ(seen[17], "off");   // t = -16
    EXPECT_EQ(seen[33], "3350");  // t = -32
    EXPECT_FALSE(BeepActive());   // the pattern leaves beep_state alone

    AlarmSet(3);
    seen = run(600);
    EXPECT_EQ(seen[0], "3350");   // still the previous tone: nothing switched yet
    EXPECT_EQ(seen[1], "2986");   // timer_ms passes below 0
    EXPECT_EQ(seen[251], "2986");
    EXPECT_EQ(seen[252], "2600");   // 251 ticks later
    EXPECT_EQ(seen[503], "2986");
    EXPECT_EQ(AlarmSet(4), 0);
    EXPECT_EQ(alarmType, 4);
}

TEST_F(Beeper, VolumeIsScaledByTheMaximum) {
    BeepMaxSet(128);
    SetBeepVolume(255);
    EXPECT_EQ(fwtest::check("volume"), "128");
    EXPECT_EQ(GetBeepVolume(), 255);
    SetAudioVolume(300);
    EXPECT_EQ(fwtest::check("volume"), "255");
    SetAudioVolume(-4);
    EXPECT_EQ(fwtest::check("volume"), "0");
    // A tone of 0 Hz (the low 16 bits) is silence, not a division by zero.
    SoundOn(65536);
    EXPECT_EQ(tone(), "off");
}

TEST_F(Beeper, VolumeCommandsWithoutSaving) {
    EXPECT_EQ(fwtest::callHandler(cmdBeepVolume, "bvs +300"), 1);
    EXPECT_EQ(GetBeepVolume(), 255);
    EXPECT_EQ(fwtest::callHandler(cmdBeepVolume, "bvs -300"), 1);
    EXPECT_EQ(GetBeepVolume(), 0);
    EXPECT_EQ(fwtest::callHandler(cmdBeepVolume, "bvs 20"), 1);
    EXPECT_EQ(fwtest::callHandler(cmdBeepVolume, "bvs  +5"), 1);
    EXPECT_EQ(GetBeepVolume(), 25);
    EXPECT_EQ(fwtest::callHandler(cmdBeepVolume, "bvs 999"), 1);
    EXPECT_EQ(GetBeepVolume(), 255);
    EXPECT_EQ(fwtest::callHandler(cmdBeepVolume, "bvs"), 0);
    EXPECT_EQ(fwtest::callHandler(cmdBeepFreq, "bfs 1000"), 1);
    EXPECT_EQ(GetBeepFrequency(), 1000u);
    EXPECT_EQ(fwtest::callHandler(cmdBeepFreq, "bfs"), 0);
}

TEST_F(Beeper, ReportsAndSavedSettings) {
    std::string dir = fwtest::freshStateDir();
    ASSERT_TRUE(fwtest::runFirmware(dir, [] {
        InitI2C();
        KT_EEPROM_Init();
        KT_BeepInit();
        fwtest::callHandler(cmdBeepVolume, "bv 150");
        fwtest::callHandler(cmdBeepVolume, "bv");
        fwtest::callHandler(cmdBeepFreq, "bf");
    }, true));
    EXPECT_EQ(fwtest::hostText(), "150\r2600\r");
    EXPECT_EQ(sim::eeprom::peek(0x30), 150);
}
