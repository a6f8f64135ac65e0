// vmod-image's library: the RLE16 coding of pictures, the layout of the image it builds (the
// fields the module reads), the macro table, the listing, and the errors naming file and line.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "image.h"

namespace {

uint16_t u16(const std::vector<uint8_t> &b, size_t at) { return uint16_t(b.at(at) | b.at(at + 1) << 8); }
uint32_t u32(const std::vector<uint8_t> &b, size_t at) { return u16(b, at) | uint32_t(u16(b, at + 2)) << 16; }

std::vector<uint8_t> run(int n, uint16_t px) { return {uint8_t(n), uint8_t(px), uint8_t(px >> 8)}; }

std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

vimage::Picture solid(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    vimage::Picture p;
    p.width = w;
    p.height = h;
    for (int i = 0; i < w * h; ++i) p.rgba.insert(p.rgba.end(), {r, g, b, 255});
    return p;
}

// The message of the vimage::Error that parse throws, or "no error".
template <typename Parse>
std::string errorOf(Parse parse) {
    try {
        parse();
    } catch (const vimage::Error &e) {
        return e.what();
    }
    return "no error";
}

vimage::Entry bitmap(vimage::RecordType type, const vimage::Picture &p, uint16_t key = 0) {
    vimage::Entry e;
    e.type = type;
    e.picture = p;
    e.key = key;
    return e;
}

}  // namespace

// A count is one byte: longer runs and literal stretches are split at 255, and fewer than
// three literal pixels are cheaper as runs of one.
TEST(VmodImage, Rle16CountsStayWithinAByte) {
    EXPECT_EQ(vimage::rle16(std::vector<uint16_t>(600, 0x1234)),
              cat({run(255, 0x1234), run(255, 0x1234), run(90, 0x1234)}));
    EXPECT_EQ(vimage::rle16({7, 9}), cat({run(1, 7), run(1, 9)}));
    std::vector<uint16_t> distinct(300);
    for (size_t i = 0; i < distinct.size(); ++i) distinct[i] = uint16_t(i);
    std::vector<uint8_t> s = vimage::rle16(distinct);
    ASSERT_EQ(s.size(), 2 + 2 * 255 + 2 + 2 * 45u);
    EXPECT_EQ(s[0], 0);
    EXPECT_EQ(s[1], 255);
    EXPECT_EQ(u16(s, 2 + 2 * 254), 254);
    EXPECT_EQ(s[2 + 2 * 255], 0);
    EXPECT_EQ(s[3 + 2 * 255], 45);
    EXPECT_EQ(vimage::unrle16(s, distinct.size()), distinct);
    EXPECT_TRUE(vimage::rle16({}).empty());
}

TEST(VmodImage, Rle16DecodesToWhatWasCoded) {
    uint32_t seed = 12345;
    for (int round = 0; round < 50; ++round) {
        std::vector<uint16_t> px;
        while (px.size() < 2000) {
            seed = seed * 1103515245u + 12345u;
            size_t len = 1 + (seed >> 16) % 400;
            bool literal = (seed >> 8) & 1;
            for (size_t k = 0; k < len; ++k) px.push_back(uint16_t(literal ? (seed >> 4) + k : seed >> 4));
        }
        ASSERT_EQ(vimage::unrle16(vimage::rle16(px), px.size()), px) << "round " << round;
    }
}

// The fields the module reads: the header's magic, entry count and size, directory entries
// of type, offset and size, and bitmap records whose data offset points just past them.
TEST(VmodImage, TheImageLayoutIsWhatTheModuleReads) {
    vimage::Manifest m;
    m.macros = vimage::parseMacros("macro 1 start\nxi 1 0 0\n", "m.macros");
    m.entries.push_back(bitmap(vimage::Plain, solid(3, 2, 255, 0, 0)));
    m.entries.push_back(vimage::Entry{});  // blank
    m.entries.push_back(bitmap(vimage::Transparent, solid(5, 1, 0, 255, 0), 0xF81F));
    std::vector<uint8_t> img = vimage::build(m);
    EXPECT_EQ(u16(img, 0), vimage::kMagic);
    EXPECT_EQ(u16(img, 2), 4);  // the macro entry and three more
    EXPECT_EQ(u32(img, 4), img.size());
    EXPECT_EQ(img.size() % 4, 0u);
    const uint8_t types[] = {vimage::Macros, vimage::Plain, vimage::Blank, vimage::Transparent};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(img[8 + 12 * i], types[i]);
        EXPECT_EQ(u32(img, 8 + 12 * i + 4) % 4, 0u);  // records start word-aligned
    }
    size_t plain = u32(img, 8 + 12 + 4);
    EXPECT_EQ(u16(img, plain), 3);      // width
    EXPECT_EQ(u16(img, plain + 2), 2);  // height
    EXPECT_EQ(u16(img, plain + 4), 6);  // bytes per line
    EXPECT_EQ(u16(img, plain + 6), 16);
    EXPECT_EQ(u32(img, plain + 8), plain + 16);
    EXPECT_EQ(u16(img, plain + 16), 0xF800);  // red in RGB565
    EXPECT_EQ(u32(img, 8 + 24 + 4), 0u);      // a blank entry points nowhere
    size_t tr = u32(img, 8 + 36 + 4);
    EXPECT_EQ(u32(img, tr + 12), 0xF81Fu);    // the transparent colour
    EXPECT_EQ(u32(img, 8 + 36 + 8), 16 + 2 * 5u);
}

// The table has an entry for every number up to one past the highest; numbers without a
// macro are empty, and the listing shows them as the module does.
TEST(VmodImage, MacroTableCoversEveryNumberUpToTheHighest) {
    vimage::Manifest m;
    m.macros = vimage::parseMacros("# two macros\nmacro 3 third\nsb 1\n\nsu\nmacro 1\n:top\n", "m.macros");
    std::vector<uint8_t> img = vimage::build(m);
    EXPECT_EQ(u32(img, 8 + 8), 4u);
    EXPECT_EQ(vimage::list(img),
              "0KB of 11264Kb Bitmap/Macro storage used\n# of Bitmaps: 0\n    Macro Definitions\n"
              "    #1:\n    ':top'\n    #2:\n    #3: third\n    'sb 1'\n    'su'\n");
}

// A listing reads only what the image holds, whatever its fields claim.
TEST(VmodImage, ListingACutImageStaysInsideIt) {
    vimage::Manifest m;
    m.macros = vimage::parseMacros("macro 1\nxi 1 0 0\n", "m.macros");
    m.entries.push_back(bitmap(vimage::Rle, solid(40, 3, 1, 2, 3)));
    std::vector<uint8_t> img = vimage::build(m);
    for (size_t len = 0; len <= img.size(); ++len) {
        std::vector<uint8_t> cut(img.begin(), img.begin() + long(len));
        std::string text = vimage::list(cut);
        EXPECT_FALSE(text.empty()) << len;
    }
    EXPECT_EQ(vimage::list({0x12, 0x34}), "external memory invalid (found 3412, expected FEEB).\n");
}

TEST(VmodImage, ManifestErrorsNameTheFileAndLine) {
    auto error = [](const std::string &text) {
        return errorOf([&] { vimage::parseManifest(text, "x.manifest", "/nonexistent"); });
    };
    EXPECT_EQ(error("# fine\n\npicture a.png\n").rfind("x.manifest:3: unknown word \"picture\"", 0), 0u);
    EXPECT_EQ(error("blank now\n").rfind("x.manifest:1: \"blank\" takes nothing", 0), 0u);
    EXPECT_EQ(error("blank\nbitmap a.png plain #FF00FF\n").rfind("x.manifest:2:", 0), 0u);
    EXPECT_EQ(error("font TooLongName1 a.ttf 12\n").rfind("x.manifest:1: a font name holds at most 9", 0), 0u);
    EXPECT_NE(error("bitmap missing.png\n").find("missing.png"), std::string::npos);
    EXPECT_EQ(error("blank\n# bitmap later\nblank # a comment\n"), "no error");
}

TEST(VmodImage, MacroFileErrorsNameTheFileAndLine) {
    auto error = [](const std::string &text) { return errorOf([&] { vimage::parseMacros(text, "y.macros"); }); };
    EXPECT_EQ(error("sb 1\n").rfind("y.macros:1: a command line before the first", 0), 0u);
    EXPECT_EQ(error("macro 0\n").rfind("y.macros:1: \"macro\" wants a number 1..255", 0), 0u);
    EXPECT_EQ(error("macro 256\n").rfind("y.macros:1:", 0), 0u);
    EXPECT_EQ(error("macro 2 a\nmacro 2 b\n").rfind("y.macros:2: macro 2 is defined again (first on line 1)", 0), 0u);
    EXPECT_EQ(error("macro 2 a\nmacro 3 a\n").rfind("y.macros:2: the name a is taken by macro 2", 0), 0u);
    EXPECT_EQ(error("macro 1 9lives\n").rfind("y.macros:1: a macro name begins with a letter", 0), 0u);
    EXPECT_EQ(error("macro 1\n" + std::string(129, 'x') + "\n").rfind("y.macros:2: a macro line holds at most 128", 0), 0u);
    EXPECT_EQ(error("macro 1\n" + std::string(128, 'x') + "\n"), "no error");
}

// The image must fit the module's staging buffer.
TEST(VmodImage, AnImageLargerThanTheModuleHoldsIsRefused) {
    vimage::Manifest m;
    m.entries.push_back(bitmap(vimage::Plain, solid(2048, 1500, 9, 9, 9)));  // 6 MB of pixels
    EXPECT_NO_THROW(vimage::build(m));
    m.entries.push_back(bitmap(vimage::Plain, solid(2048, 1500, 9, 9, 9)));
    EXPECT_THROW(vimage::build(m), vimage::Error);
}
