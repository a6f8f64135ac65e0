// The interpreter's line helpers: comments, quoted text, hexadecimal digits, colours, the origin.
#include <gtest/gtest.h>

#include <limits.h>
#include <string.h>

#include <string>

#include "command/handlers.h"
#include "command/parse_command.h"
#include "touch/KT_touch.h"

namespace {

std::string stripped(const char *in, bool *notEmpty = nullptr) {
    char buf[160];
    strcpy(buf, in);
    bool r = killTrailingComment(buf);
    if (notEmpty) *notEmpty = r;
    return buf;
}

TEST(KillTrailingComment, CutsTheCommentAndTheBlanksBeforeIt) {
    struct Case {
        const char *in, *out;
    } cases[] = {
        {"l 0 0 9 9", "l 0 0 9 9"},
        {"l 0 0 9 9   ", "l 0 0 9 9   "},  // no comment: trailing blanks stay
        {"l 0 0 9 9 // a line", "l 0 0 9 9"},
        {"l 0 0 9 9\t \t//", "l 0 0 9 9"},
        {"z//", "z"},
        {"a / // x", "a"},  // a lone slash belongs to the run of blanks and slashes
        {"a/b", "a/b"},
        {"t \"http://x\" 10 20", "t \"http://x\" 10 20"},
        {"t \"a // b\" 1 2   // note", "t \"a // b\" 1 2"},
        {"t \"say \\\"//\\\" now\" // c", "t \"say \\\"//\\\" now\""},  // escaped quotes
        {"t \"open // never closed", "t \"open // never closed"},
        {"", ""},
    };
    for (const Case &c : cases) EXPECT_EQ(stripped(c.in), c.out) << c.in;
}

TEST(KillTrailingComment, ReportsWhetherTextRemains) {
    bool notEmpty;
    stripped("  // only a comment", &notEmpty);
    EXPECT_FALSE(notEmpty);
    stripped("//", &notEmpty);
    EXPECT_FALSE(notEmpty);
    stripped("", &notEmpty);
    EXPECT_FALSE(notEmpty);
    stripped("z // clear", &notEmpty);
    EXPECT_TRUE(notEmpty);
    EXPECT_FALSE(killTrailingComment(nullptr));
}

// escstr on a copy of in; returns the text (or "<null>") and what follows in *rest.
std::string unquoted(const char *in, std::string *rest = nullptr, char delim = '"') {
    static char buf[160];
    memset(buf, 'Z', sizeof buf);  // anything read past the terminator would show up
    strcpy(buf, in);
    char *r = nullptr;
    char *t = escstr(buf, delim, &r);
    if (t == nullptr) return "<null>";
    EXPECT_NE(r, nullptr);
    EXPECT_GE(r, buf);
    EXPECT_LE(r, buf + strlen(in));
    if (rest) *rest = r;
    return t;
}

TEST(Escstr, TranslatesEscapes) {
    std::string rest;
    EXPECT_EQ(unquoted("t \"a\\x41\\\"b\" 10 20", &rest), "aA\"b");
    EXPECT_EQ(rest, " 10 20");
    EXPECT_EQ(unquoted("\"1\\n2\\r3\""), "1\n2\r3");
    EXPECT_EQ(unquoted("\"\\X7e\\\\\\q\""), "~\\q");
    EXPECT_EQ(unquoted("x \"\" y", &rest), "");
    EXPECT_EQ(rest, " y");
}

TEST(Escstr, EndsAtTheEndOfTheLineWithoutReadingPastIt) {
    std::string rest = "unset";
    EXPECT_EQ(unquoted("t \"no end", &rest), "no end");
    EXPECT_EQ(rest, "");
    EXPECT_EQ(unquoted("t \"ab\\", &rest), "ab");  // a backslash at the very end
    EXPECT_EQ(rest, "");
    EXPECT_EQ(unquoted("t \"ab\\x", &rest), "ab");  // \x with nothing after it
    EXPECT_EQ(rest, "");
    EXPECT_EQ(unquoted("t \"ab\\x4", &rest), "ab");  // \x with one character left
    EXPECT_EQ(rest, "");
}

TEST(Escstr, NeedsAQuote) {
    EXPECT_EQ(unquoted("t no quotes"), "<null>");
    EXPECT_EQ(unquoted(""), "<null>");
    EXPECT_EQ(unquoted("\"x\"", nullptr, '\0'), "<null>");
    char *rest = nullptr;
    EXPECT_EQ(escstr(nullptr, '"', &rest), nullptr);
    EXPECT_EQ(unquoted("m 'a b' c", nullptr, '\''), "a b");
}

TEST(Strtokr, SplitsPrefixTextAndSuffix) {
    char line[] = "ts \"a\\nb\"  10 20";
    char *rest;
    char *prefix = strtokr(line, '"', &rest);
    EXPECT_STREQ(prefix, "ts ");
    char *text = strtokr(rest, '"', &rest);
    EXPECT_STREQ(text, "a\\nb");  // no escape processing
    EXPECT_STREQ(rest, "  10 20");
}

TEST(Strtokr, DelimitersAroundTheToken) {
    char *rest;
    char a[] = "::ab:::cd";  // leading delimiters stay in the token
    EXPECT_STREQ(strtokr(a, ':', &rest), "::ab");
    EXPECT_STREQ(rest, "cd");
    char b[] = "ab:::";  // delimiters to the end leave rest at the terminator
    EXPECT_STREQ(strtokr(b, ':', &rest), "ab");
    EXPECT_STREQ(rest, "");
    char c[] = "abc";
    EXPECT_STREQ(strtokr(c, ':', &rest), "abc");
    EXPECT_STREQ(rest, "");
    char d[] = "";
    rest = d;
    EXPECT_EQ(strtokr(d, ':', &rest), nullptr);
    EXPECT_EQ(rest, nullptr);
    EXPECT_EQ(strtokr(nullptr, ':', &rest), nullptr);
}

TEST(HexDigits, EachHelperHasItsOwnRule) {
    EXPECT_EQ(atoh('0'), 0);
    EXPECT_EQ(atoh('9'), 9);
    EXPECT_EQ(atoh('a'), 10);
    EXPECT_EQ(atoh('F'), 15);
    EXPECT_EQ(atoh('g'), 0);
    EXPECT_EQ(atoh(' '), 0);
    EXPECT_EQ(oneCapHexToBin('7'), 7);
    EXPECT_EQ(oneCapHexToBin('A'), 10);
    EXPECT_EQ(oneCapHexToBin('F'), 15);
    EXPECT_EQ(oneCapHexToBin('a'), 0xFF);  // capitals only
    EXPECT_EQ(oneCapHexToBin('G'), 0xFF);
    EXPECT_EQ(shtoU8("41"), 0x41);
    EXPECT_EQ(shtoU8("fF"), 0xFF);
    EXPECT_EQ(shtoU8("0a"), 0x0A);
}

TEST(Colours, ShortAndLongForms) {
    EXPECT_EQ(atoRGB("F80"), 0xFF8800);
    EXPECT_EQ(atoRGB(" 0F0"), 0x00FF00);
    EXPECT_EQ(atoRGB("\t123456"), 0x123456);
    EXPECT_EQ(atoRGB("abcdef"), 0xABCDEF);
    EXPECT_EQ(atoRGB("G0z"), 0x000000);  // digits that are not hexadecimal count as 0
    EXPECT_EQ(atoRGB("12345"), -1);
    EXPECT_EQ(atoRGB("1234567"), -1);
    EXPECT_EQ(atoRGB(""), -1);
    EXPECT_EQ(atoRGB("0F0 "), -1);  // trailing blanks count
    EXPECT_EQ(atoRGB(nullptr), -1);
    EXPECT_EQ(atoRGB("-00001"), 0xFFFFFF);  // never the invalid -1 for a 6-character text
    EXPECT_EQ(atoBGR("F80"), 0x0088FFu);
    EXPECT_EQ(atoBGR("123456"), 0x563412u);
    EXPECT_EQ(atoBGR("12345"), 0xFFFFFFu);
}

TEST(ColorMap, PrimariesInGraphicsOrder) {
    EXPECT_EQ(color_map[0], 0x000000u);
    EXPECT_EQ(color_map[2], 0xFF0000u);  // blue in 0x00BBGGRR
    EXPECT_EQ(color_map[5], 0x0000FFu);  // red
    EXPECT_EQ(color_map[7], 0x2A2AA5u);
    EXPECT_EQ(color_map[10], 0xD3D3D3u);
    EXPECT_EQ(color_map[16], 0x00FFFFu);
    EXPECT_EQ(color_map[17], color_map[5]);
    EXPECT_EQ(color_map[18], color_map[3]);
    EXPECT_EQ(color_map[19], color_map[2]);
}

TEST(TextModes, TransparentReverseIsTestedBeforeTransparent) {
    struct Case {
        const char *word;
        int mode;
        const char *name;
    } cases[] = {
        {"N", TEXT_MODE_NORMAL, "N"},     {"Normal", TEXT_MODE_NORMAL, "N"},
        {"X", TEXT_MODE_XOR, "X"},        {"T", TEXT_MODE_TRANS, "T"},
        {"Trans", TEXT_MODE_TRANS, "T"},  {"TR", TEXT_MODE_TRANS_REV, "TR"},
        {"TRx", TEXT_MODE_TRANS_REV, "TR"}, {"R", TEXT_MODE_REV, "R"},
        {"RT", TEXT_MODE_REV, "R"},
    };
    for (const Case &c : cases) {
        const char *name = nullptr;
        EXPECT_EQ(textModeOf(c.word, &name), c.mode) << c.word;
        EXPECT_STREQ(name, c.name) << c.word;
    }
    const char *name = "kept";
    EXPECT_EQ(textModeOf("n", &name), -1);
    EXPECT_EQ(textModeOf("", &name), -1);
    EXPECT_STREQ(name, "kept");
}

}  // namespace

namespace {

// Every command that places something adds the origin; far coordinates and a far origin are
// held at the ends of int (off the screen on the side they were) instead of overflowing.
TEST(Origin, CoordinatesPlusTheOriginAreHeldInsideInt) {
    EXPECT_EQ(withOrigin(5, 7), 12);
    EXPECT_EQ(withOrigin(INT_MAX, 100), INT_MAX);
    EXPECT_EQ(withOrigin(INT_MIN, -1), INT_MIN);
    Origin_X = 100;
    Origin_Y = -100;
    char line[] = "x 128 2147483647 -2147483648 2147483647 10";
    EXPECT_EQ(cmdHotSpot(line), CMD_DONE);
    const HotSpot &h = TouchHotSpots[128];
    EXPECT_EQ(h.x0, INT_MAX);
    EXPECT_EQ(h.y0, INT_MIN);
    EXPECT_EQ(h.x1, INT_MAX);
    EXPECT_EQ(h.y1, -90);
    Origin_X = Origin_Y = 0;
}

}  // namespace
