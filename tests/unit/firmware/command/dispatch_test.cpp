// The dispatch chain: which entry takes a line, for every entry and for the lines where an
// earlier entry shadows a later one, the shape of the table itself, and the results of the
// handlers that belong to the interpreter.
#include <gtest/gtest.h>

#include <string.h>

#include <set>
#include <string>

#include "command/dispatch.h"
#include "command/parse_command.h"
#include "command/handlers.h"
#include "onboard.h"
#include "storage/KT_eeprom.h"
#include "storage/settings.h"

namespace {

struct Taken {
    const char *line;
    int entry;  // 1..200, 0 for none
};

// One line per entry, in chain order.
const Taken kEveryEntry[] = {
    {"md 0 1 2 3", 1},
    {"mv 1 50", 2},
    {"tclr", 3},
    {"pr 10 20", 4},
    // 5: "Q" needs RS-485 mode, see below
    {"*rs485 :0A", 6},
    {"ss", 7},
    {"sr", 8},
    {"anic", 9},
    {"tfd 1 2", 10},
    {"anid 1 2", 11},
    {"anix 1", 12},
    {"tfx 1", 13},
    {"anis", 14},
    {"tfe 1", 15},
    {"anie 1", 16},
    {"ani 1 l 0 0 9 9", 17},
    {"ani+ 1 z", 18},
    {"tf 100 200 \"blink\"", 19},
    {"tf?", 20},
    {"ani", 21},
    {"tu hello", 22},
    {"ts \"x\" 1 2", 23},
    {"t \"x\" 1 2", 24},
    {"T \"x\" 1 2 X", 25},
    {"p 3", 26},
    {"ta cl", 27},
    {"sb 1", 28},
    {"su", 29},
    {"SB 123", 30},
    {"SU", 31},
    {"*debug 1", 32},
    {"baudp 9600", 33},
    {"baud 9600", 34},
    {"temp", 35},
    {"typematic 50 10", 36},
    {"*touchParm 4 20", 37},
    {"*debounce 3", 38},
    {"lsmac 2", 39},
    {"xbl on", 40},
    {"xbl off", 41},
    {"xa 1 2 3", 42},
    {"set i1 5", 43},
    {"set s2 \"abc\"", 44},
    {"mpush 1 abc", 45},
    {"mpop 1 2", 46},
    {"m5", 47},
    {"xi 1 0 0", 48},
    {"xit 1 0 0 ff00ff", 49},
    {"xic 1 0 0 0 0 9 9", 50},
    {"xio 1 0 0 0 10 0", 51},
    {"xma", 52},
    {"xmc 1255 1", 53},
    {"xmp 0 100 1", 54},
    {"xmpmax", 55},
    {"xm 1 on off", 56},
    {"bdld 4 100 64 1000", 57},
    {"*eer 10", 58},
    {"*eew 10 ff", 59},
    {"*eed", 60},
    {"*eec", 61},
    {"*ees", 62},
    {"beep 100", 63},
    {"beepw 100", 64},
    {"al 1 100", 65},
    {"bv 50", 66},
    {"bf 2000", 67},
    {"bMaX 200", 68},
    {"bb 2", 69},
    {"rb 1 2 3", 70},
    {"rb 1 2", 71},
    {"d x", 72},
    {"s 1 0", 73},
    {"S", 74},
    {"S FF0000 0000FF", 75},
    {"tm R", 76},
    {"sc 10 20", 77},
    {"out \"hi\"", 78},
    {"aout \"hi\"", 79},
    {"auxIO 1", 80},
    {"o 10 20", 81},
    {"v on", 82},
    {"v off", 83},
    {"zs 3", 84},
    {"z", 85},
    {"l 0 0 9 9", 86},
    {"r 0 0 9 9 1", 87},
    {"tr 0 0 9 0 5 9", 88},
    {"c 50 50 10", 89},
    {"f", 90},
    {"f?", 91},
    {"f font16", 92},
    {"x 1 0 0 9 9", 93},
    {"xt 1 0 0 9 9", 94},
    {"xsnb 1 0 0 9 9", 95},
    {"xxy 1 0 0 9 9", 96},
    {"xxynb 1 0 0 9 9", 97},
    {"xd 1 2", 98},
    {"xe all", 99},
    {"xs 1 0 0 9 9", 100},
    {"*xn off", 101},
    {"xc all", 102},
    {"xc 130", 103},
    {"xset 1 +p", 104},
    {"*STATE", 105},
    {"led on", 106},
    {"w 100", 107},
    {"vers", 108},
    {"i 1 0 0", 109},
    {"ssb 1 1", 110},
    {"bd 1 0 0 2", 111},
    {"bc 1", 112},
    {"tc", 113},
    {"sl 128 0 0 9 99 0 100 1 0 5 7", 114},
    {"sv 128 50", 115},
    {"slc 129 1 2 3 4 5 6 7 8 9 10 11 12 13 14", 116},
    {"svc 129 50", 117},
    {"*getTouch", 118},
    {"xbb 200", 119},
    {"*macdebug 1", 120},
    {"*binr 1", 121},
    {"*macnote 1", 122},
    {"*DEMOMAC demo", 123},
    {"*PONMAC start 1", 124},
    {"*SPL 2", 125},
    {"*MFGRESET", 126},
    {"*RESET", 127},
    {"*LOAD", 128},
    {"*FB 10", 129},
    {"*CRC", 130},
    {"*CSUM", 131},
    {"*CSUMB", 132},
    {"*CEXT 0 100", 133},
    {"*KT", 134},
    {"*ever", 135},
    {"*prevCons", 136},
    {"*auxEsc 1b", 137},
    {"*com1main", 138},
    {"*com0main", 139},
    {"*debugTouch 1", 140},
    {"utf8 on", 141},
    {"*rst", 142},
    {"*SERR", 143},
    {"*IERR", 144},
    {"*BMOFF", 145},
    {"cd 1 0 0 99 99", 146},
    {"cv 1 5 6 7", 147},
    {"ld 1 0 0 9 99", 148},
    {"lv 1 50", 149},
    {"ws 0 0 9 9", 150},
    {"wr 0 0", 151},
    {"wvr 1", 152},
    {"wrf 1 2", 153},
    {"*panel", 154},
    {"*config \"std\"", 155},
    {"*touchSwap 1", 156},
    {"*tt", 157},
    {"*ttt", 158},
    {"*touchadj", 159},
    {"*td", 160},
    {"*tr", 161},
    {"*td2", 162},
    {"*R 10000000", 163},
    {"*W 10000000 1", 164},
    {"*orient 1", 165},
    {"*autoCal 1", 166},
    {"*tspan 20", 167},
    {"*tplo 100", 168},
    {"*tphi 900", 169},
    {"*tpDeltaLim 5", 170},
    {"*tsamp 8", 171},
    {"*tcTimeout 30", 172},
    {"*vq 1", 173},
    {"*maxBrite 255", 174},
    {"*minBrite 0", 175},
    {"*invEnaHiTrue 1", 176},
    {"*pwmIsEnable 1", 177},
    {"*touchMode 2", 178},
    {"*getScreenAsBMPFile", 179},
    {"*firmware", 180},
    {"*hpw 10", 181},
    {"*hfp 10", 182},
    {"*hbp 10", 183},
    {"*vpw 10", 184},
    {"*vfp 10", 185},
    {"*vbp 10", 186},
    {"*paneladj", 187},
    {"// note", 188},
    {"*fhelp", 189},
    {"*fid", 190},
    {"*frd 0x100", 191},
    {"*fcmpem", 192},
    {"*fwr", 193},
    {"*fer", 194},
    {"*fser 3", 195},
    {"*fst", 196},
    {"*fwe", 197},
    {"*fwd", 198},
    {"*sht", 199},
    {"sdload demo", 200},
};

// Lines whose entry depends on the order of the chain or on the exact form of a test.
const Taken kShadowing[] = {
    // exact words: a trailing blank makes another line
    {"tclr ", 113},      // begins with tc: touch calibration
    {"tclear", 113},
    {"S ", 0},
    {"su ", 0},
    {"z ", 0},
    {"*CSUMBX", 0},
    // prefixes swallow everything that begins with them
    {"md", 1},
    {"mdb 1 2 3", 1},
    {"mdxyz", 1},
    {"ls", 39},
    {"lsbmp", 39},
    {"lsanything", 39},
    {"*fr", 191},
    {"*frx 12", 191},
    {"*fser", 195},
    {"*fsexyz", 195},
    {"tcal", 113},
    {"xm", 56},
    {"xmpx 1 2 3", 56},  // not three hexadecimal values: on to "xm"
    {"*STATEF", 105},
    {"*STATEXYZ", 105},
    {"*STAT", 0},
    // the more specific of two words comes first
    {"baudp0 9600", 33},
    {"baudp", 33},
    {"baud1 9600", 34},
    {"baud", 34},
    {"tf 100 200 \"x\"", 19},
    {"tf", 20},
    {"tfd", 20},         // too few values for "tfd %d %d"
    {"tfd 1", 20},
    {"tfx", 20},
    {"ani?", 21},
    {"anidx", 21},
    {"xc all", 102},
    {"xc allx", 102},
    {"xc 5", 103},
    {"xc", 0},
    {"xc x", 0},
    {"beepw 5", 64},
    {"beep", 0},
    {"rb 1", 87},         // too few for a repeating beep: the rectangle takes it
    {"xxynb 1 2 3 4 5", 97},
    {"xxy 1 2 3 4 5", 96},
    {"xsnb 1 2 3 4 5", 95},
    {"xs 1 2 3 4", 0},
    {"sl 1 2 3 4 5 6 7 8 9 10", 0},  // ten values are not a slider
    {"slc 1 2 3", 0},
    {"xio 1 2 3 4 5", 0},
    {"sc 1 2", 77},
    {"ssb 1 2", 110},
    {"sdload", 0},
    {"sdload averyverylongdirectoryname", 200},  // the word is cut at eight characters
    {"set i1", 0},
    {"set s", 0},
    {"set x1 2", 0},
    {"led", 0},
    {"w", 0},
    {"ws 0 0 9 9 2", 150},
    {"ws 0 0 9", 0},
    {"wr 0 0 3", 151},
    {"wr 0", 0},
    {"wvr", 152},
    {"wrf", 153},
    {"*debugTouch x", 0},
    {"*debug 2", 32},
    {"f ?", 92},
    {"f? ", 92},         // a word of its own to "f %9s"
    {"fx", 92},
    {"v o", 0},
    {"vo", 0},
    {"version", 108},
    {"out", 78},
    {"o", 81},
    {"oops", 81},
    {"r", 87},
    {"rx", 87},
    {"tr", 88},
    {"t", 0},
    {"t\"x\"", 0},
    {"T \"x\"", 25},
    {"T x", 0},
    {"c 1 2", 0},
    {"cv", 147},
    {"cvx", 147},
    {"c", 0},
    {"/", 0},
    {"//", 188},
    // numbers: a blank in a pattern matches any white space or none; letters must match
    {"l0 0 9 9", 86},
    {"l 0\t0  9 9", 86},
    {"l 0 0 9", 0},
    {"L 0 0 9 9", 0},
    {"l -5 -5 +9 9", 86},
    {"p -3", 26},  // %u takes a sign; the handler sees the value
    {"mv1 2", 2},
    {"s 1", 0},
    // colours: the short form is the handler's business; both words are hexadecimal numbers
    {"S F80 0", 75},
    {"S 0x12 0X34", 75},
    {"S FF0000", 0},
    {"S GG 00", 0},
    // the pixel commands take only p followed by r or w
    {"prx 1 2", 4},
    {"pw 1 2 ffff", 4},
    {"pwx 1 2 ff8800", 4},
    {"pr 5", 4},         // committed: the handler rejects it
    {"pw", 4},
    {"p", 0},
    {"p 1", 26},
    {"pq 1 2", 0},
    {"pen 1", 0},
    // RS-485 mode set-up: off, or three characters, else on down the chain
    {"*rs485 off", 6},
    {"*rs485 offset", 6},
    {"*rs485 :0a", 6},  // committed: the handler rejects the small letter
    {"*rs485abc", 6},   // the blank of the pattern matches none
    {"*rs485 ab", 0},
    {"*rs485", 0},
    {"*rs485  ", 0},
    // macro runs: m with a number or a word; a bare m goes on
    {"m 5", 47},
    {"m5:lbl a b", 47},
    {"m name", 47},
    {"m name:lbl 1 2", 47},
    {"mv", 47},          // not two numbers for "mv": a macro named v
    {"mpus", 47},
    {"m", 0},
    {"m   ", 0},
    {"\x82M\x03", 47},
    {"\x82M", 47},
    {"\x82", 0},
    {"\x82x\x03", 0},
    // lines that match nothing
    {"", 0},
    {" ", 0},
    {"Q", 0},            // only in RS-485 mode
    {"q", 0},
    {"hello", 0},
    {"*", 0},
    {"\t", 0},
};

// Which entry takes each line, asked of a freshly powered module (no RS-485 mode left by an
// earlier test).
void expectEntries(const Taken *lines, size_t n) {
    onboard::configure(onboard::freshStateDir(), onboard::Bringup{});
    EXPECT_TRUE(onboard::run([&] {
        for (size_t i = 0; i < n; ++i) EXPECT_EQ(commandIndexOf(lines[i].line), lines[i].entry) << '"' << lines[i].line << '"';
    }));
    onboard::powerOff();
}

TEST(Dispatch, EveryEntryTakesItsOwnLine) {
    expectEntries(kEveryEntry, sizeof kEveryEntry / sizeof kEveryEntry[0]);
}

TEST(Dispatch, EveryEntryIsReachable) {
    std::set<int> seen;
    for (const Taken &t : kEveryEntry) seen.insert(t.entry);
    seen.insert(5);  // "Q", tested in RS-485 mode below
    EXPECT_EQ(seen.size(), (size_t)COMMAND_COUNT);
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), COMMAND_COUNT);
}

TEST(Dispatch, EarlierEntriesShadowLaterOnes) {
    expectEntries(kShadowing, sizeof kShadowing / sizeof kShadowing[0]);
}

TEST(Dispatch, PollLineOnlyInRs485Mode) {
    u8 saved = eepromData.rs485Mode;
    eepromData.rs485Mode = 0xFF;
    EXPECT_EQ(commandIndexOf("Q"), 0);
    char q[] = "Q";
    EXPECT_EQ(parse_command(q), 0);
    eepromData.rs485Mode = 'z';  // a mode counts as on only at exactly 'Z'
    EXPECT_EQ(commandIndexOf("Q"), 0);
    eepromData.rs485Mode = 'Z';
    EXPECT_EQ(commandIndexOf("Q"), 5);
    EXPECT_EQ(commandIndexOf("Q "), 0);
    EXPECT_EQ(commandIndexOf("QQ"), 0);
    EXPECT_EQ(parse_command(q), 1);  // nothing held back: the acknowledgement answers the poll
    eepromData.rs485Mode = saved;
}

TEST(Dispatch, InterpreterHandlersResults) {
    const Taken results[] = {
        {"sb 7", 1},  {"su", 1},     {"SB xyz", 1}, {"SU", 1}, {"//", 1}, {"// note", 1},
        {"*SERR", 0}, {"*IERR", 2},  {"", 0},       {"nothing", 0},
    };
    for (const Taken &r : results) {
        char line[64];
        strcpy(line, r.line);
        EXPECT_EQ(parse_command(line), r.entry) << '"' << r.line << '"';
    }
    EXPECT_EQ(parse_command(nullptr), 0);
    EXPECT_EQ(commandIndexOf(nullptr), 0);
}

// Conversions of a scanf pattern: values it yields, and whether every word or character
// conversion has a width that fits a scan slot.
int conversions(const char *fmt, bool *bounded) {
    int n = 0;
    *bounded = true;
    for (const char *p = fmt; *p; p++) {
        if (*p != '%') continue;
        p++;
        if (*p == '%') continue;
        bool skip = *p == '*';
        if (skip) p++;
        int width = 0;
        while (*p >= '0' && *p <= '9') width = width * 10 + (*p++ - '0');
        while (*p == 'l' || *p == 'h') p++;
        if ((*p == 's' || *p == '[') && (width == 0 || width >= SCAN_SLOT_BYTES)) *bounded = false;
        if (*p == 'c' && width > SCAN_SLOT_BYTES) *bounded = false;
        if (!skip) n++;
    }
    return n;
}

TEST(Dispatch, TableEntriesAreWellFormed) {
    for (int i = 0; i < COMMAND_COUNT; i++) {
        const CommandEntry &e = commandChain[i];
        SCOPED_TRACE(std::to_string(i + 1) + " " + e.word);
        ASSERT_NE(e.handler, nullptr);
        ASSERT_NE(e.word, nullptr);
        switch (e.test) {
        case TEST_EXACT:
            EXPECT_EQ(strchr(e.word, '%'), nullptr);
            break;
        case TEST_PREFIX:
        case TEST_FIRST:
            EXPECT_EQ(strlen(e.word), e.count);
            break;
        case TEST_PATTERN:
        case TEST_PATTERN_MIN: {
            bool bounded;
            int n = conversions(e.word, &bounded);
            EXPECT_TRUE(bounded) << "a word conversion without a width that fits a slot";
            EXPECT_LE(n, SCAN_SLOTS);
            if (e.test == TEST_PATTERN) EXPECT_EQ(n, e.count);
            else EXPECT_LT(e.count, n);
            break;
        }
        case TEST_CUSTOM:
            EXPECT_NE(e.fits, nullptr);
            break;
        }
    }
}

// The settings commands are rows of the settings table: every row's word reaches the one
// settings handler, and that handler serves no line the table does not know.
TEST(Dispatch, SettingsCommandsAreTableRows) {
    int rows = 0;
    for (int i = 0; i < settingsCount; ++i) {
        const Setting &row = settingsTable[i];
        if (!row.command) continue;
        ++rows;
        SCOPED_TRACE(row.command);
        const CommandEntry *e = findCommand(row.command);
        ASSERT_NE(e, nullptr);
        EXPECT_EQ(e->handler, cmdSetting);
        EXPECT_EQ(settingOfCommand(row.command), &row);
        EXPECT_NE(row.commandRule, RULE_NONE);
        EXPECT_GT(row.width, 0);
    }
    int entries = 0;
    for (int i = 0; i < COMMAND_COUNT; i++) {
        if (commandChain[i].handler != cmdSetting) continue;
        ++entries;
        EXPECT_NE(settingOfCommand(commandChain[i].word), nullptr) << commandChain[i].word;
    }
    EXPECT_EQ(rows, entries);
}

TEST(Dispatch, LongLinesStayInside) {
    // A word longer than its conversion's width must not spill: the sanitizer build
    // watches the scan slots.
    std::string longWord(200, 'A');
    EXPECT_EQ(commandIndexOf(("d " + longWord).c_str()), 72);
    EXPECT_EQ(commandIndexOf(("led " + longWord).c_str()), 106);
    EXPECT_EQ(commandIndexOf(("f " + longWord).c_str()), 92);
    EXPECT_EQ(commandIndexOf(("m " + longWord).c_str()), 47);
    EXPECT_EQ(commandIndexOf(("SB" + longWord).c_str()), 30);
    EXPECT_EQ(commandIndexOf(longWord.c_str()), 0);
}

}  // namespace
