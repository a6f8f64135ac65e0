// The settings image: baud index, key lookup with every rule, the configuration table with
// its changed mark and single save, and start-up with blank, invalid and valid EEPROMs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "devices/miscdrivers.h"
#include "eeprom.h"
#include "fw_harness.h"
#include "sim.h"
#include "storage/KT_eeprom.h"

namespace {

// Bytes programmed inside the settings image since power-on; the save's copy above it is
// counted apart.
size_t imageWrites() {
    size_t n = 0;
    for (uint16_t a : sim::eeprom::writeLog()) n += a < EEPROM_IMAGE_SIZE;
    return n;
}

s32 find(const char *text, const char *key, char kind = 'd') {
    s32 v = -12345;
    return lookfor(text, key, kind, &v, 0) ? v : -12345;
}
constexpr s32 kMissing = -12345;

// Settles a valid default image in RAM and EEPROM, then runs the configuration text.
struct ConfigRun {
    std::string dir = fwtest::freshStateDir();
    size_t writes = 0;

    void start() {
        ASSERT_TRUE(fwtest::runFirmware(dir, [] {
            InitI2C();
            KT_EEPROM_Init();  // blank part: defaults
            KT_EEPROM_Save();
        }));
    }
    void apply(const char *text, int complete = 1) {
        ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
            InitI2C();
            KT_EEPROM_Init();
            KT_EEPROM_Config(text, complete);
            writes = imageWrites();
        }, true));
    }
};

}  // namespace

TEST(BaudIndex, TableAndFallback) {
    const u32 rates[] = {1200, 4800, 9600, 19200, 38400, 57600, 115200, 230400};
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(KT_get_baudrate_eeprom(u8(i)), rates[i - 1]);
    EXPECT_EQ(KT_get_baudrate_eeprom(0), 115200u);
    EXPECT_EQ(KT_get_baudrate_eeprom(9), 115200u);
    EXPECT_EQ(KT_get_baudrate_eeprom(0xFF), 115200u);
}

TEST(BaudIndex, SaveStoresTheIndexAndRefusesOtherPortsAndRates) {
    std::string dir = fwtest::freshStateDir();
    int r2 = -1, rStd = -1, rOdd = -1;
    u8 stored = 0, odd = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        KT_EEPROM_Init();
        u8 before = eepromData.baud1;
        r2 = KT_save_baudrate_eeprom(2, 9600);
        EXPECT_EQ(eepromData.baud1, before);
        rStd = KT_save_baudrate_eeprom(1, 9600);
        stored = EEpromRead(0x81);
        rOdd = KT_save_baudrate_eeprom(0, 14400);
        odd = eepromData.baud0;
    }, true));
    EXPECT_EQ(r2, 0);
    EXPECT_EQ(rStd, 1);
    EXPECT_EQ(stored, 3);
    EXPECT_EQ(rOdd, 0);
    EXPECT_EQ(odd, 0xFF);
    EXPECT_EQ(fwtest::hostText(), ":baud rate 14400 setting non-standard\r");
    EXPECT_EQ(sim::eeprom::peek(0x80), 7);  // the odd rate was not saved
}

TEST(KeyLookup, ValueForms) {
    EXPECT_EQ(find("tplo = 250", "tplo"), 250);
    EXPECT_EQ(find("tplo= 250", "tplo"), 250);
    EXPECT_EQ(find("tplo =250", "tplo"), 250);
    EXPECT_EQ(find("tplo 250", "tplo"), 250);
    EXPECT_EQ(find("tplo\t-7\r\n", "tplo"), -7);
    EXPECT_EQ(find("tplo=250", "tplo"), kMissing);
    EXPECT_EQ(find("tplo = x", "tplo"), kMissing);
    EXPECT_EQ(find("tplo", "tplo"), kMissing);
    // Hexadecimal without prefix; an unknown kind finds nothing.
    EXPECT_EQ(find("auxEsc = 1b", "auxEsc", 'x'), 0x1B);
    EXPECT_EQ(find("auxEsc 9B", "auxEsc", 'h'), 0x9B);
    EXPECT_EQ(find("auxEsc = 1b", "auxEsc", 'q'), kMissing);
}

TEST(KeyLookup, CommentedLinesCaseAndPlainSubstrings) {
    EXPECT_EQ(find("# tsamp = 4\ntsamp 6\n", "tsamp"), 6);
    EXPECT_EQ(find("# tsamp = 4\r#tsamp 5\r", "tsamp"), kMissing);
    EXPECT_EQ(find("x = 1 # tsamp = 4\n", "tsamp"), 4);  // '#' counts only first on a line
    EXPECT_EQ(find("TSAMP = 4\n", "tsamp"), kMissing);
    // A plain substring: the key glued into a longer word still counts.
    EXPECT_EQ(find("mytsamp = 9\n", "tsamp"), 9);
    EXPECT_EQ(find("", "tsamp"), kMissing);
}

TEST(KeyLookup, QuotedValues) {
    char buf[32];
    EXPECT_EQ(lookforQuotedString("config = \"LQ\"\n", "config", buf, sizeof buf, 0), 1);
    EXPECT_STREQ(buf, "LQ");
    EXPECT_EQ(lookforQuotedString("config \"A\\x42\\\"C\"", "config", buf, sizeof buf, 0), 1);
    EXPECT_STREQ(buf, "AB\"C");
    EXPECT_EQ(lookforQuotedString("config = \"\"", "config", buf, sizeof buf, 0), 0);
    EXPECT_EQ(lookforQuotedString("config = LQ", "config", buf, sizeof buf, 0), 0);
    EXPECT_EQ(lookforQuotedString("config=\"LQ\"", "config", buf, sizeof buf, 0), 0);
    std::string name31(31, 'n'), name32(32, 'n');
    EXPECT_EQ(lookforQuotedString(("config = \"" + name31 + "\"").c_str(), "config", buf, sizeof buf, 0), 1);
    EXPECT_EQ(std::string(buf), name31);
    strcpy(buf, "old");
    EXPECT_EQ(lookforQuotedString(("config = \"" + name32 + "\"").c_str(), "config", buf, sizeof buf, 0), 0);
    EXPECT_STREQ(buf, "old");
    // Text that ends inside the value or its escape stays inside the buffer.
    EXPECT_EQ(lookforQuotedString("config = \"ab\\x4", "config", buf, sizeof buf, 0), 1);
    EXPECT_STREQ(buf, "ab");
    EXPECT_EQ(lookforQuotedString("config = \"ab\\", "config", buf, sizeof buf, 0), 1);
    EXPECT_STREQ(buf, "ab");
}

TEST(ConfigText, TheWorkedExampleSavesOnceAndEchoes) {
    ConfigRun run;
    run.start();
    run.apply("verbose = 1\r\n# tsamp = 4\r\ntsamp 6\r\nconfig = \"LQ\"\r\n");
    EXPECT_EQ(eepromData.tsamp, 6);
    EXPECT_STREQ(eepromData.config, "LQ");
    EXPECT_EQ(run.writes, size_t(EEPROM_IMAGE_SIZE));  // one whole save
    EXPECT_EQ(sim::eeprom::peek(0x29), 6);
    EXPECT_EQ(fwtest::hostText(),
              ":config.ini verbose mode enabled\r:tsamp = 6\r:config = \"LQ\"\r"
              ":new values stored in EEPROM\r");
}

TEST(ConfigText, UnchangedValuesWriteNothing) {
    ConfigRun run;
    run.start();
    run.apply("tsamp = 8\ntplo 250\nbeepFreq = 2600\nbeepVol 200\nautoCal 1\n");
    EXPECT_EQ(eepromData.autoCal, FLAG_ON);  // the blank part had 0xFF: a change
    EXPECT_EQ(run.writes, size_t(EEPROM_IMAGE_SIZE));
    run.apply("tsamp = 8\ntplo 250\nbeepFreq = 2600\nbeepVol 200\nautoCal 1\n");
    EXPECT_EQ(run.writes, 0u);
    EXPECT_EQ(fwtest::hostText(), "");
}

TEST(ConfigText, CutValuesCountAsAChangeEveryTime) {
    ConfigRun run;
    run.start();
    run.apply("tsamp 264\n");
    EXPECT_EQ(eepromData.tsamp, 8);
    EXPECT_EQ(run.writes, size_t(EEPROM_IMAGE_SIZE));
    run.apply("tsamp 264\n");
    EXPECT_EQ(run.writes, size_t(EEPROM_IMAGE_SIZE));
}

TEST(ConfigText, TspanRepairAndShapedFields) {
    ConfigRun run;
    run.start();
    run.apply("verbose 1\ntspan 2\norient 7\ninvEnaHiTrue 5\nPONMAC 0\nSPL 0\nmainPort 3\n"
              "auxEsc = 9B\ntplo = 70000\n");
    EXPECT_EQ(eepromData.tspan, 12);
    EXPECT_EQ(eepromData.orient, 3);
    EXPECT_EQ(eepromData.invEnaHiTrue, 1);
    EXPECT_EQ(eepromData.ponmacIndex, 0);
    EXPECT_EQ(eepromData.ponmacFlag, 0xFF);
    EXPECT_EQ(eepromData.splashFlag, 0xFF);
    EXPECT_EQ(eepromData.splashBitmap, 0xFF);  // kept from the blank part
    EXPECT_EQ(eepromData.mainPort, 0);
    EXPECT_EQ(eepromData.auxEsc, 0x9B);
    EXPECT_EQ(eepromData.tplo, u16(70000));
    std::string out = fwtest::hostText();
    EXPECT_NE(out.find(":tspan = 2\r"), std::string::npos);
    EXPECT_NE(out.find(":tspan too low!! Set to default (12)\r"), std::string::npos);
    EXPECT_NE(out.find(":auxEsc = 0x9B\r"), std::string::npos);
    // The repair itself saved nothing more than the changes did; the EEPROM holds 12.
    EXPECT_EQ(sim::eeprom::peek(0x2A), 12);
}

TEST(ConfigText, SplashAndMacroKeysAndSyntaxErrors) {
    ConfigRun run;
    run.start();
    run.apply("verbose 1\nSPL 4\nPONMAC 260\ntplo=250\n");
    EXPECT_EQ(eepromData.splashFlag, FLAG_ON);
    EXPECT_EQ(eepromData.splashBitmap, 4);
    EXPECT_EQ(eepromData.ponmacFlag, FLAG_ON);
    EXPECT_EQ(eepromData.ponmacIndex, 4);
    EXPECT_EQ(eepromData.tplo, 250);
    EXPECT_NE(fwtest::hostText().find(":Syntax error \"tplo=250\"\r"), std::string::npos);
    // SPL 0 clears the flag and keeps the bitmap.
    run.apply("SPL 0\n");
    EXPECT_EQ(eepromData.splashFlag, 0xFF);
    EXPECT_EQ(eepromData.splashBitmap, 4);
}

TEST(ConfigText, UnreadableFileStillRepairsAndSavesNothing) {
    ConfigRun run;
    run.start();
    run.apply("tsamp 6\n", 0);
    EXPECT_EQ(eepromData.tsamp, 8);
    EXPECT_EQ(run.writes, 0u);
    EXPECT_EQ(fwtest::hostText(), ":Config.ini could not be loaded\r");
}

TEST(SettingsStart, BlankPartGivesDefaultsAndWritesNothing) {
    std::string dir = fwtest::freshStateDir();
    size_t writes = 1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        KT_EEPROM_Load();
        KT_EEPROM_Init();
        writes = imageWrites();
    }));
    EXPECT_EQ(writes, 0u);
    EXPECT_FALSE(KT_EEPROMvalid());
    EXPECT_EQ(eepromData.tcTimeout, 10);
    EXPECT_EQ(eepromData.calXLog1, 304);
    EXPECT_EQ(eepromData.beepFreq, 2600u);
    EXPECT_EQ(eepromData.minBrite, 242);
    EXPECT_EQ(eepromData.baud0, 7);
    EXPECT_EQ(eepromData.config[0], 0);
    EXPECT_EQ(uint8_t(eepromData.config[1]), 0xFF);  // only the first byte is cleared
    for (u8 kept : {eepromData.splashFlag, eepromData.autoCal, eepromData.demomacIndex,
                    eepromData.rs485Sof, eepromData.reserved44[0], eepromData.reserved82[1]})
        EXPECT_EQ(kept, 0xFF);
}

TEST(SettingsStart, ValidImageKeepsItsValuesAndRepairsMainPortInRam) {
    std::string dir = fwtest::freshStateDir();
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        KT_EEPROM_Init();
        eepromData.tsamp = 5;
        eepromData.mainPort = 0xFF;
        KT_EEPROM_Save();
    }));
    size_t writes = 1;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        memset(&eepromData, 0, sizeof eepromData);
        KT_EEPROM_Init();
        writes = imageWrites();
    }));
    EXPECT_TRUE(KT_EEPROMvalid());
    EXPECT_EQ(eepromData.tsamp, 5);
    EXPECT_EQ(eepromData.mainPort, 0);
    EXPECT_EQ(writes, 0u);
    EXPECT_EQ(sim::eeprom::peek(0x43), 0xFF);
}

TEST(SettingsStart, ClearInvalidatesTheEepromButNotRam) {
    std::string dir = fwtest::freshStateDir();
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        KT_EEPROM_Init();
        KT_EEPROM_Save();
        KT_EEPROM_Clear();
    }));
    EXPECT_TRUE(KT_EEPROMvalid());
    for (unsigned a = 0; a < EEPROM_IMAGE_SIZE; ++a) EXPECT_EQ(sim::eeprom::peek(a), 0) << a;
    EXPECT_EQ(sim::eeprom::peek(EEPROM_IMAGE_SIZE), 0xFF);
}

// A save interrupted while it rewrote the image is finished from its copy at the next load;
// with the save's mark clear the image stands as written, so a byte changed there on purpose
// ("*eew", "*eec") is not undone by the copy of an earlier save.
TEST(SettingsSave, InterruptedSaveIsFinishedFromTheCopyOnlyWhileMarked) {
    std::string dir = fwtest::freshStateDir();
    u8 finished = 0, edited = 0, cleared = 0xEE, brokenCopy = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        KT_EEPROM_Init();
        eepromData.tsamp = 6;
        KT_EEPROM_Save();
        // The image half rewritten with other values, the save still marked under way.
        EEpromWrite(EEPROM_SAVE_STATE, EEPROM_SAVE_UNDER_WAY);
        EEpromWrite(0x29, 2);
        EEpromWrite(0x00, 0x00);
        KT_EEPROM_Load();
        finished = eepromData.tsamp;
        EXPECT_TRUE(KT_EEPROMvalid());
        EXPECT_EQ(EEpromRead(EEPROM_SAVE_STATE), EEPROM_SAVE_IDLE);

        EEpromWrite(0x29, 4);  // "*eew 29 4"
        KT_EEPROM_Load();
        edited = eepromData.tsamp;
        KT_EEPROM_Clear();  // "*eec"
        KT_EEPROM_Load();
        cleared = eepromData.tsamp;

        // Marked, but the copy's check value does not match: the image is left as it is.
        eepromData.tsamp = 6;
        KT_EEPROM_Save();
        EEpromWrite(EEPROM_COPY_ADDR + 0x29, 9);
        EEpromWrite(EEPROM_SAVE_STATE, EEPROM_SAVE_UNDER_WAY);
        KT_EEPROM_Load();
        brokenCopy = eepromData.tsamp;
        EXPECT_EQ(EEpromRead(EEPROM_SAVE_STATE), EEPROM_SAVE_IDLE);
    }));
    EXPECT_EQ(finished, 6);
    EXPECT_EQ(edited, 4);
    EXPECT_EQ(cleared, 0);
    EXPECT_EQ(brokenCopy, 6);
}

// A save whose copy already matches writes only the image and the two marks.
TEST(SettingsSave, AnUnchangedCopyCostsNoWrites) {
    std::string dir = fwtest::freshStateDir();
    size_t first = 0, second = 0;
    ASSERT_TRUE(fwtest::runFirmware(dir, [&] {
        InitI2C();
        KT_EEPROM_Init();
        KT_EEPROM_Save();
        first = sim::eeprom::writeLog().size();
        KT_EEPROM_Save();
        second = sim::eeprom::writeLog().size() - first;
    }));
    EXPECT_GT(first, size_t(EEPROM_IMAGE_SIZE + 2));  // the copy's bytes that were not blank
    EXPECT_EQ(second, size_t(EEPROM_IMAGE_SIZE + 2));
    for (unsigned a = 0; a < EEPROM_IMAGE_SIZE; ++a)
        ASSERT_EQ(sim::eeprom::peek(EEPROM_COPY_ADDR + a), sim::eeprom::peek(a)) << a;
}
