// The one-entry macro schedule and the argument slots of the touch buttons, and how the hot
// spots feed them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/GUIDEMO.h"
#include "comm/Rtosinit.h"
#include "fw_harness.h"
#include "image.h"
#include "macros/KT_macros.h"
#include "memmap.h"
#include "sim.h"
#include "storage/KT_extmem.h"
#include "touch/KT_touch.h"
#include "touch/buttons.h"

namespace {

struct Macros : ::testing::Test {
    void SetUp() override {
        sim::mapSdram();
        memset(ExtMemBuffer, 0, EXTMEM_HEADER_SIZE);  // no image: scheduled macros run nothing
        memset(argStore, 0, sizeof argStore);
        macroQueued = 0;
        KT_Touch_HotSpot_Clear();
        waitForRelease = 0;
        typematicTimer = 0;
    }
};

}  // namespace

TEST_F(Macros, ScheduleKeepsOnlyTheLatestAndRunningTakesItOff) {
    scheduleMacro(0, "ignored");
    EXPECT_EQ(pendingMacro(), 0);
    scheduleMacro(5, "one");
    scheduleMacro(9, nullptr);
    EXPECT_EQ(pendingMacro(), 9);
    EXPECT_STREQ(macroQueuedArgs, "");
    processScheduledMacro();
    EXPECT_EQ(pendingMacro(), 0);

    std::string longArgs(300, 'a');
    scheduleMacro(3, longArgs.c_str());
    EXPECT_EQ(strlen(macroQueuedArgs), 129u);
}

TEST_F(Macros, FiftySlotsOneTextPerHotSpotAndEdge) {
    for (int i = 0; i < MACRO_ARG_SLOTS; ++i) ASSERT_EQ(assignMacroArgs(i, i & 1, "x"), 1) << i;
    EXPECT_EQ(assignMacroArgs(200, 1, "full"), 0);
    // Replacing the text of a hot spot's edge reuses its slot even when all are taken.
    EXPECT_EQ(assignMacroArgs(4, 0, "again"), 1);
    EXPECT_STREQ(getMacroArgs(4, 0), "again");
    EXPECT_EQ(getMacroArgs(4, 1), nullptr);
    releaseMacroArgs(4, 0);
    EXPECT_EQ(getMacroArgs(4, 0), nullptr);
    EXPECT_EQ(assignMacroArgs(200, 1, "now"), 1);
    // Out-of-range hot spots touch nothing.
    EXPECT_EQ(assignMacroArgs(256, 1, "x"), 0);
    EXPECT_EQ(getMacroArgs(-1, 1), nullptr);
    releaseMacroArgs(1000, 0);

    std::string longArgs(200, 'b');
    releaseMacroArgs(0, 0);
    ASSERT_EQ(assignMacroArgs(0, 0, longArgs.c_str()), 1);
    EXPECT_EQ(strlen(getMacroArgs(0, 0)), 129u);
}

TEST_F(Macros, HotSpotEdgesScheduleTheirMacrosWithTheirArguments) {
    HotSpot *h = &TouchHotSpots[200];
    h->kind = KIND_REGION;
    h->x0 = 10;
    h->y0 = 10;
    h->x1 = 20;
    h->y1 = 20;
    h->flags = 0;  // no reports, no click
    h->pressMacro = 7;
    h->releaseMacro = 8;
    assignMacroArgs(200, 1, "down args");
    assignMacroArgs(200, 0, "up args");

    updateSpot(1, 200, 1, 15, 15, 1);  // quiet: no macro
    EXPECT_EQ(pendingMacro(), 0);
    updateSpot(1, 200, 1, 15, 15, 0);
    EXPECT_EQ(pendingMacro(), 7);
    EXPECT_STREQ(macroQueuedArgs, "down args");
    updateSpot(0, 200, 1, 15, 15, 0);
    EXPECT_EQ(pendingMacro(), 8);
    EXPECT_STREQ(macroQueuedArgs, "up args");

    // Freeing the hot spot frees its slots.
    KT_Touch_HotSpot_Unset(200);
    EXPECT_EQ(getMacroArgs(200, 1), nullptr);
    EXPECT_EQ(getMacroArgs(200, 0), nullptr);
    EXPECT_EQ(h->kind, (u32)KIND_FREE);
    EXPECT_EQ(KT_Touch_HotSpot_Unset(256), 0);
    EXPECT_EQ(KT_Touch_HotSpot_Unset(-1), 0);
}

TEST_F(Macros, SearchTakesTheLowestActiveIndex) {
    TouchHotSpots[140] = HotSpot{KIND_REGION, 0, 0, 100, 100, 0, 0, 0, 0};
    TouchHotSpots[130] = HotSpot{KIND_REGION, 50, 50, 150, 150, 0, 0, 0, 0};
    EXPECT_EQ(KT_SearchHotSpot(75, 75), 130);
    EXPECT_EQ(KT_SearchHotSpot(10, 10), 140);
    EXPECT_EQ(KT_SearchHotSpot(150, 150), 130);  // corners are inside
    EXPECT_EQ(KT_SearchHotSpot(151, 150), -1);
    EXPECT_EQ(KT_SearchHotSpot(-1, 75), -1);
    EXPECT_EQ(buttonDisable(130), 1);
    EXPECT_EQ(KT_SearchHotSpot(75, 75), 140);
    EXPECT_EQ(buttonDisable(130), 1);  // twice disabled is still disabled once
    EXPECT_EQ(TouchHotSpots[130].kind, (u32)(KIND_REGION + KIND_DISABLED));
    EXPECT_EQ(buttonReEnable(130, 1), 1);
    EXPECT_EQ(KT_SearchHotSpot(75, 75), 130);
    EXPECT_EQ(buttonReEnable(131, 1), 1);  // a free spot stays free
    EXPECT_EQ(TouchHotSpots[131].kind, (u32)KIND_FREE);
    EXPECT_EQ(buttonDisable(256), 0);
    EXPECT_EQ(buttonReEnable(-5, 0), 0);
}

// The main loop takes the scheduled macro off the queue in its own step, with the start and end
// notifications the host asked for, as text or as binary records.
TEST_F(Macros, MainLoopRunsTheScheduledMacroBetweenItsNotifications) {
    std::string dir = fwtest::freshStateDir();
    ASSERT_TRUE(fwtest::runFirmware(dir, [] {
        KT_Touch_HotSpot_Clear();
        macroNotify = 3;
        binaryResponses = 0;
        scheduleMacro(5, "a b");
        GUIDEMO_pass();
        macroNotify = 1;
        binaryResponses = 1;
        scheduleMacro(200, nullptr);
        GUIDEMO_pass();
        macroNotify = 2;
        scheduleMacro(7, nullptr);
        GUIDEMO_pass();
        macroNotify = 0;
        scheduleMacro(9, nullptr);
        GUIDEMO_pass();
        GUIDEMO_pass();  // nothing scheduled: nothing sent
    }, true));
    EXPECT_EQ(fwtest::hostText(), std::string("m5\re5\rM\xC8" "E\x07", 10));
    EXPECT_EQ(pendingMacro(), 0);
}

// ---------------------------------------------------------------------------------------
// Substitution, arguments and variables.

namespace {

std::string subst(const std::string &src, int size = MACRO_LINE_SIZE) {
    std::vector<char> out(size + 8, '#');
    substString(out.data(), size, src.c_str());
    EXPECT_EQ(out[size], '#') << "wrote past the buffer";
    return std::string(out.data());
}

struct Substitution : Macros {
    void SetUp() override {
        Macros::SetUp();
        KT_Macros_Init();
        memset(iMem, 0, sizeof iMem);
    }
};

}  // namespace

TEST_F(Substitution, EveryTokenOfTheTable) {
    setMacro_iMem(3, 42);
    setMacro_iMem(0, -7);
    setMacroString2("two", 2);
    pushMacroString("mem", 0);
    lastHotAX = 11;
    lastHotAY = 12;
    lastHotRX = 1;
    lastHotRY = 2;
    baudrate0 = 115200;
    EXPECT_EQ(subst("i3=`i3` i0=`i0` s2=`s2` M=`M`"), "i3=42 i0=-7 s2=two M=mem");
    EXPECT_EQ(subst("``"), "`");
    EXPECT_EQ(subst("a``b````c"), "a`b``c");
    EXPECT_EQ(subst("`Xa`,`Ya` `Xr`,`Yr`"), "11,12 1,2");
    EXPECT_EQ(subst("`$BAUD0`"), "115,200");
    // No slider exists: the token inserts nothing.
    EXPECT_EQ(subst("[`L3`]"), "[]");
    // s or i without a digit, an R that does not parse: nothing, the token is skipped.
    EXPECT_EQ(subst("[`s`][`ix`][`Rx`][`R1:`][`R1:2x`]"), "[][][][][]");
    // Any other character: the backtick and that character go.
    EXPECT_EQ(subst("a`qbc"), "abc");
    EXPECT_EQ(subst("a`$X"), "aX");
    // A token without its closing backtick ends the substitution.
    EXPECT_EQ(subst("ab`i3"), "ab");
    EXPECT_EQ(subst("ab`"), "ab");
}

TEST_F(Substitution, RandomNumbersStayInTheirRange) {
    for (int k = 0; k < 200; ++k) {
        int v = atoi(subst("`R-5:5`").c_str());
        EXPECT_GE(v, -5);
        EXPECT_LE(v, 5);
    }
    EXPECT_EQ(subst("`R7:7`"), "7");
    EXPECT_EQ(subst("`R9:2`"), "9");  // b < a: a
    // The widest range and numbers past int neither overflow nor leave it.
    for (int k = 0; k < 50; ++k) {
        long long v = atoll(subst("`R-2147483648:2147483647`").c_str());
        EXPECT_GE(v, -2147483648LL);
        EXPECT_LE(v, 2147483647LL);
    }
    EXPECT_EQ(subst("`R99999999999:99999999999`"), "2147483647");
}

TEST_F(Substitution, OutputIsBoundedAndInsertionsDropWhole) {
    setMacroString2(std::string(80, 's').c_str(), 1);
    // 5 + 80 fits in 128; a second 80 does not and is dropped whole, the rest still copies.
    std::string r = subst("12345`s1``s1`xyz");
    EXPECT_EQ(r, "12345" + std::string(80, 's') + "xyz");
    EXPECT_EQ(subst(std::string(300, 'a')).size(), 128u);
    EXPECT_EQ(subst("abcdef", 4), "abc");
    EXPECT_EQ(subst("`s1`", 10), "");
    EXPECT_EQ(subst("``", 1), "");
    // A string variable longer than 80 is cut when set.
    setMacroString2(std::string(200, 't').c_str(), 4);
    EXPECT_EQ(strlen(mString[4]), 80u);
    EXPECT_EQ(setMacroString2("x", 10), 0);
}

TEST_F(Substitution, ArgumentsSplitOnBlanksQuotesAndEightCharacters) {
    char a[MACRO_ARGS][MACRO_ARG_CHARS + 1];
    splitMacroArgs("one  two\tthree", a);
    EXPECT_STREQ(a[0], "one");
    EXPECT_STREQ(a[1], "two");
    EXPECT_STREQ(a[2], "three");
    EXPECT_STREQ(a[3], "");
    splitMacroArgs("\"a b\" \"say \\\"hi\\\"\" 123456789abc", a);
    EXPECT_STREQ(a[0], "a b");
    EXPECT_STREQ(a[1], "say \\\"hi");  // the backslashes stay; a quote after one does not end it
    EXPECT_STREQ(a[2], "12345678");
    splitMacroArgs("x \"no end here and more", a);
    EXPECT_STREQ(a[0], "x");
    EXPECT_STREQ(a[1], "no end h");
    EXPECT_STREQ(a[2], "");
    splitMacroArgs("0 1 2 3 4 5 6 7 8 9 10 11", a);
    EXPECT_STREQ(a[9], "9");
    splitMacroArgs(nullptr, a);
    EXPECT_STREQ(a[0], "");
    splitMacroArgs("\"\" b", a);
    EXPECT_STREQ(a[0], "");
    EXPECT_STREQ(a[1], "b");

    char out[MACRO_LINE_SIZE];
    splitMacroArgs("A BB", a);
    prepareMacroCommand(out, sizeof out, "t \"`0`-`1`-`2`\" `x` `1", a);
    EXPECT_STREQ(out, "t \"A-BB-\" `x` `1");
    splitMacroArgs("12345678", a);
    std::string many;
    for (int i = 0; i < 40; ++i) many += "`0`";
    prepareMacroCommand(out, sizeof out, many.c_str(), a);
    EXPECT_EQ(strlen(out), 128u);
}

TEST_F(Substitution, PushAndPopLimits) {
    EXPECT_EQ(pushMacroString("abc", 3), 1);
    EXPECT_STREQ(memoryString, "");  // 3 characters would not stay below 3
    pushMacroString("abc", 4);
    EXPECT_STREQ(memoryString, "abc");
    popMacroString(99);
    EXPECT_STREQ(memoryString, "");
    pushMacroString("abcdef", 0);
    popMacroString(2);
    EXPECT_STREQ(memoryString, "abcd");
    popMacroString(-1);
    EXPECT_STREQ(memoryString, "");
    // At most 80 characters, whatever max says.
    for (int i = 0; i < 20; ++i) pushMacroString("12345", 1000);
    EXPECT_EQ(strlen(memoryString), 80u);
    pushMacroString("1", 1000);
    EXPECT_EQ(strlen(memoryString), 80u);
    EXPECT_EQ(pushMacroString2("x", 10, 0), 0);
    EXPECT_EQ(popMacroString2(1, -1), 0);
    pushMacroString2("xyz", 9, 0);
    popMacroString2(1, 9);
    EXPECT_STREQ(mString[9], "xy");
}

// ---------------------------------------------------------------------------------------
// The macro area of damaged images and the internal table.

namespace {

std::vector<uint8_t> macroImage(const std::string &macros) {
    vimage::Manifest m;
    m.macros = vimage::parseMacros(macros, "test");
    return vimage::build(m);
}

void stageImage(const std::vector<uint8_t> &img) {
    memset(ExtMemBuffer, 0, 0x10000);
    memcpy(ExtMemBuffer, img.data(), img.size());
    KT_ExtMem_SetStaged(uint32_t(img.size()));
}

}  // namespace

TEST_F(Macros, TablesAndNamesStayInsideTheImage) {
    KT_DisableInternalMacros();
    std::vector<uint8_t> img = macroImage("macro 1 one\nz\nmacro 3 three\nz\n");
    stageImage(img);
    ASSERT_NE(KT_GetMacro(1), nullptr);
    EXPECT_EQ(KT_GetMacro(2)->lines, 0);  // a gap in the numbers: an empty entry
    ASSERT_NE(KT_GetMacro(3), nullptr);
    EXPECT_EQ(KT_GetMacro(0), nullptr);
    EXPECT_EQ(KT_GetMacro(256), nullptr);
    EXPECT_EQ(KT_GetMacro(-1), nullptr);
    // The still-relative text offset became an address on first use.
    EXPECT_GE(KT_GetMacro(1)->text, EXTMEM_ADDR);
    int n = 1;
    EXPECT_STREQ(convertIndextoStringMacro(&n), "one");
    n = 3;
    EXPECT_STREQ(convertIndextoStringMacro(&n), "three");
    n = 2;
    EXPECT_EQ(convertIndextoStringMacro(&n), nullptr);

    // A macro count whose table would run past the image end: no macros at all.
    std::vector<uint8_t> big = img;
    uint32_t huge = 0x100000;
    memcpy(&big[8 + 8], &huge, 4);
    stageImage(big);
    EXPECT_EQ(KT_GetMacro(1), nullptr);
    // An image read only up to inside its name block (whatever its header's size says):
    // nothing past what was read is used.
    size_t shorter = 8 + 12 + 4 * 8 + 6 + 2;  // through the first name's NUL... and one byte
    std::vector<uint8_t> cut(img.begin(), img.begin() + long(shorter));
    stageImage(cut);
    n = 1;
    EXPECT_EQ(KT_GetMacro(1), nullptr);  // its text lies beyond the cut
    // A text offset past the staging buffer is refused.
    stageImage(img);
    uint32_t far = EXTMEM_SIZE + 5;
    uint32_t rec;
    memcpy(&rec, &img[8 + 4], 4);
    memcpy(&ExtMemBuffer[rec - (rec >= EXTMEM_ADDR ? EXTMEM_ADDR : 0)], &far, 4);
    EXPECT_EQ(KT_GetMacro(1), nullptr);
}

TEST_F(Macros, InternalTableReplacesTheImage) {
    // Texts count from the table's first byte: two entries, the end entry, then the lines.
    alignas(4) static uint8_t table[64];
    memset(table, 0, sizeof table);
    const char text[] = "z\0r 0 0 9 9";
    memcpy(table + 24, text, sizeof text);
    uint32_t off = 24;
    memcpy(table, &off, 4);
    table[4] = 2;
    table[6] = 1;
    memcpy(table + 8, &off, 4);
    table[12] = 1;
    table[14] = 2;
    KT_EnableInternalMacros(table);
    EXPECT_NE(KT_GetMacro(1), nullptr);
    EXPECT_NE(KT_GetMacro(2), nullptr);
    EXPECT_EQ(KT_GetMacro(3), nullptr);
    EXPECT_EQ(KT_GetMacro(0), nullptr);
    KT_DisableInternalMacros();
    EXPECT_EQ(KT_GetMacro(1), nullptr);  // no image staged
}
