// The font table and the font selection, with the user-font seam.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "app/GUIDEMO.h"
#include "gui/GUI.h"
#include "sim.h"
#include "storage/KT_fonts.h"

namespace {

class Fonts : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::mapSdram();
        GUI_Init();
        KT_Fonts_ClearUser();
        currFontPtr = nullptr;
    }
    void TearDown() override { KT_Fonts_ClearUser(); }
};

int indexOf(const char *name) {
    for (int i = 0; fontTable[i].name; ++i)
        if (std::strcmp(fontTable[i].name, name) == 0) return i;
    return -1;
}

TEST_F(Fonts, TableHas71EntriesAndFortyNamesBeforeDummy) {
    int n = 0;
    while (fontTable[n].name) ++n;
    EXPECT_EQ(n, FONT_TABLE_ENTRIES);
    EXPECT_EQ(fontTable[n].font, nullptr);
    EXPECT_EQ(indexOf("dummy"), 40);
    // The listed names are unique; the compatibility names after "dummy" repeat some.
    std::set<std::string> listed;
    for (int i = 0; i < 40; ++i) listed.insert(fontTable[i].name);
    EXPECT_EQ(listed.size(), 40u);
}

TEST_F(Fonts, FirstMatchWins) {
    const FONT_ENTRY *e = KT_FindFont("24");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->font, &GUI_FontArial24AA4);
    EXPECT_EQ(e, &fontTable[16]);
    EXPECT_EQ(KT_FindFont("24B")->font, &GUI_FontArial24BAA4);
    EXPECT_EQ(KT_FindFont("32B")->font, &GUI_FontArial32BAA4);
    EXPECT_EQ(KT_FindFont("x16")->font, &GUI_Font16_1);
    EXPECT_EQ(KT_FindFont("60x120")->font, &GUI_FontMono64);
    EXPECT_EQ(KT_FindFont("m16b"), nullptr);  // names are case-sensitive
    EXPECT_EQ(KT_FindFont(""), nullptr);
    EXPECT_EQ(KT_FindFont(nullptr), nullptr);
}

// The number in a listed name is the font's cell height; "B" names are bold and differ from
// the regular face; AA4 fonts are all the Arial and mono fonts up to 32.
TEST_F(Fonts, EveryListedFontHasTheCellOfItsName) {
    for (int i = 0; i < 40; ++i) {
        const char *name = fontTable[i].name;
        const GUI_FONT *f = static_cast<const GUI_FONT *>(fontTable[i].font);
        int size = std::atoi(name[0] == 'm' ? name + 1 : name);
        EXPECT_EQ(f->YSize, size) << name;
        EXPECT_EQ(f->YDist, size) << name;
        EXPECT_EQ(f->XMag, 1);
        EXPECT_LT(f->Baseline, f->YSize) << name;
        bool oneBit = std::strchr(name, 's') || size >= 48 || (name[0] == '8' && name[1] != 'x');
        EXPECT_EQ(f->pfDispChar == GUIPROP_DispChar, oneBit) << name;
        EXPECT_EQ(f->pfDispChar == GUIPROP_AA4_DispChar, !oneBit) << name;
    }
    EXPECT_NE(&GUI_FontArial16AA4, &GUI_FontArial16BAA4);
}

// Latin-1 and ASCII are complete in every font, monospaced fonts have one advance.
TEST_F(Fonts, EveryFontCoversLatin1) {
    for (int i = 0; fontTable[i].name; ++i) {
        const GUI_FONT *f = static_cast<const GUI_FONT *>(fontTable[i].font);
        GUI_SetFont(f);
        for (unsigned c = 0x20; c <= 0xFF; ++c) {
            if (c > 0x7E && c < 0xA0) continue;
            ASSERT_TRUE(GUI_IsInFont(f, (u16)c)) << fontTable[i].name << " " << c;
        }
        EXPECT_FALSE(GUI_IsInFont(f, 0x7F));
        EXPECT_TRUE(GUI_IsInFont(f, 0x20AC));
        bool mono = fontTable[i].name[0] == 'm' || fontTable[i].font == &GUI_FontMono48 ||
                    fontTable[i].font == &GUI_FontMono64;
        if (mono) {
            EXPECT_EQ(GUI_GetCharDistX('i'), GUI_GetCharDistX('W')) << fontTable[i].name;
        }
    }
}

TEST_F(Fonts, NameIterationEndsOnceThenStartsOver) {
    std::vector<std::string> names;
    for (const char *n; (n = KT_FontName()) != nullptr;) names.push_back(n);
    ASSERT_EQ(names.size(), size_t(FONT_TABLE_ENTRIES));
    EXPECT_EQ(names.front(), "8s");
    EXPECT_EQ(names.back(), "60x120");
    EXPECT_STREQ(KT_FontName(), "8s");
    while (KT_FontName()) {
    }
}

TEST_F(Fonts, SelectionByNameKeepsTheCurrentFontOnFailure) {
    EXPECT_STREQ(KT_GetCurrentFontName(), "");
    EXPECT_EQ(GUIDEMO_SetFont("m12B"), 1);
    EXPECT_EQ(GUI_GetFont(), &GUI_FontMono12BAA4);
    EXPECT_STREQ(KT_GetCurrentFontName(), "m12B");
    EXPECT_EQ(GUIDEMO_SetFont("nope"), 0);
    EXPECT_EQ(GUI_GetFont(), &GUI_FontMono12BAA4);
    EXPECT_EQ(KT_GetFontPtr(), KT_FindFont("m12B"));
}

// A minimal SIF block: one range holding 'a', 4 rows.
std::vector<uint8_t> tinySif() {
    std::vector<uint8_t> b = {'G', 'U', 'I', 'P', 4, 0, 4, 0, 3, 0, 2, 0, 3, 0, 1, 0, 'a', 0, 'a', 0,
                              4, 0, 5, 0, 1, 0, 0, 0, 32, 0, 0, 0, 0xF0, 0x90, 0x90, 0xF0};
    return b;
}

TEST_F(Fonts, UserFontsComeAfterTheBuiltInOnes) {
    std::vector<uint8_t> sif = tinySif();
    ASSERT_EQ(KT_Fonts_AddUser("16", sif.data(), uint32_t(sif.size())), 1);
    ASSERT_EQ(KT_Fonts_AddUser("mine", sif.data(), uint32_t(sif.size())), 1);
    EXPECT_EQ(KT_FindFont("16"), &fontTable[12]);  // the table is searched first
    const FONT_ENTRY *mine = KT_FindFont("mine");
    ASSERT_NE(mine, nullptr);
    EXPECT_EQ(KT_SetFont(mine, nullptr), 0);  // a user font needs descriptor storage
    EXPECT_EQ(GUIDEMO_SetFont("mine"), 1);
    EXPECT_EQ(GUI_GetFont(), &CmdFont);
    EXPECT_EQ(GUI_GetCharDistX('a'), 5);
    EXPECT_STREQ(KT_GetCurrentFontName(), "mine");
    // Emptying the list (a new image) forgets the current entry.
    KT_Fonts_ClearUser();
    EXPECT_EQ(KT_FindFont("mine"), nullptr);
    EXPECT_STREQ(KT_GetCurrentFontName(), "");
}

TEST_F(Fonts, UserFontsThatAreNoSifBlockAreRefused) {
    std::vector<uint8_t> sif = tinySif();
    sif[3] = 'X';
    ASSERT_EQ(KT_Fonts_AddUser("bad", sif.data(), uint32_t(sif.size())), 1);
    EXPECT_EQ(GUIDEMO_SetFont("16"), 1);
    EXPECT_EQ(GUIDEMO_SetFont("bad"), 0);
    EXPECT_EQ(GUI_GetFont(), &GUI_FontArial16AA4);
    // Registered with a size too small for its own character table.
    sif = tinySif();
    ASSERT_EQ(KT_Fonts_AddUser("short", sif.data(), 20), 1);
    EXPECT_EQ(GUIDEMO_SetFont("short"), 0);
    // A SIF block that is not a registered user font is never handed to the library.
    FONT_ENTRY stray = {"stray", sif.data()};
    GUI_FONT storage;
    EXPECT_EQ(KT_SetFont(&stray, &storage), 0);
}

TEST_F(Fonts, TheUserListIsBounded) {
    std::vector<uint8_t> sif = tinySif();
    for (int i = 0; i < MAX_USER_FONTS; ++i) ASSERT_EQ(KT_Fonts_AddUser("u", sif.data(), 36), 1);
    EXPECT_EQ(KT_Fonts_AddUser("one too many", sif.data(), 36), 0);
    EXPECT_EQ(KT_Fonts_UserCount(), MAX_USER_FONTS);
    EXPECT_EQ(KT_Fonts_User(MAX_USER_FONTS), nullptr);
    EXPECT_EQ(KT_Fonts_User(-1), nullptr);
}

}  // namespace
