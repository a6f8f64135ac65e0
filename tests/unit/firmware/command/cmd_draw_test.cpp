// The drawing commands' own state: text-mode words, the state records per macro depth, the
// saved screen areas and their limits.
#include <gtest/gtest.h>

#include <cstring>

#include "gui/LCD.h"
#include "command/cmd_draw.h"
#include "command/parse_command.h"
#include "macros/KT_macros.h"
#include "memmap.h"
#include "sim.h"

namespace {

class DrawState : public ::testing::Test {
  protected:
    void SetUp() override {
        sim::mapSdram();
        GUI_Init();
        macroDepth = 0;
        std::memset(ssa_width, 0, sizeof ssa_width);
        std::memset(ssa_height, 0, sizeof ssa_height);
    }
    void TearDown() override { macroDepth = 0; }
};

TEST_F(DrawState, TextModeWordsSetModeNameAndLastMode) {
    EXPECT_EQ(setTextMode("Trans"), 1);
    EXPECT_EQ(GUI_GetTextMode(), GUI_TM_TRANS);
    EXPECT_STREQ(curTextMode, "T");
    EXPECT_EQ(getTextMode(), GUI_TM_TRANS);
    EXPECT_EQ(setTextMode("TRx"), 1);
    EXPECT_STREQ(curTextMode, "TR");
    EXPECT_EQ(GUI_GetTextMode(), GUI_TM_TRANS | GUI_TM_REV);
    EXPECT_EQ(setTextMode("n"), 0);  // first letters are compared case-sensitively
    EXPECT_EQ(setTextMode(""), 0);
    EXPECT_STREQ(curTextMode, "TR");
    EXPECT_EQ(getTextMode(), GUI_TM_TRANS | GUI_TM_REV);
}

TEST_F(DrawState, EachMacroDepthHasItsRecordAndTheHostOneOfItsOwn) {
    EXPECT_EQ(currentStateRecord(), &GDIState[GDI_HOST_RECORD]);
    macroDepth = 1;
    EXPECT_EQ(currentStateRecord(), &GDIState[0]);
    macroDepth = 4;
    EXPECT_EQ(currentStateRecord(), &GDIState[3]);
    macroDepth = 5;
    EXPECT_EQ(currentStateRecord(), nullptr);
}

TEST_F(DrawState, RestoreBringsBackWhatSaveTook) {
    GDI_STATE r;
    GUI_SetColor(0x123456);
    GUI_SetBkColor(0x00FF00);
    GUI_SetPenSize(7);
    GUI_SetTextAlign(GUI_TA_CENTER | GUI_TA_BOTTOM);
    Origin_X = 11;
    Origin_Y = -12;
    GUI_GotoXY(300, 200);
    setTextMode("X");
    SaveState(&r);
    GUI_SetColor(0);
    GUI_SetPenSize(1);
    GUI_SetTextAlign(0);
    Origin_X = Origin_Y = 0;
    GUI_GotoXY(0, 0);
    setTextMode("N");
    RestoreState(&r);
    EXPECT_EQ(GUI_GetColor(), LCD_Index2Color(LCD_L0_Color2Index(0x123456)));
    EXPECT_EQ(GUI_GetPenSize(), 7);
    EXPECT_EQ(GUI_GetTextAlign(), GUI_TA_CENTER | GUI_TA_BOTTOM);
    EXPECT_EQ(Origin_X, 11);
    EXPECT_EQ(Origin_Y, -12);
    EXPECT_EQ(GUI_GetDispPosX(), 300);
    EXPECT_EQ(GUI_GetDispPosY(), 200);
    EXPECT_EQ(GUI_GetTextMode(), GUI_TM_XOR);
    EXPECT_STREQ(curTextMode, "X");
    // lastTextMode is not part of the record.
    EXPECT_EQ(getTextMode(), GUI_TM_NORMAL);
    Origin_X = Origin_Y = 0;
}

TEST_F(DrawState, ScreenAreasStayInsideTheirSlots) {
    // A mark right behind each slot's limit: a save of its largest area leaves it.
    struct Case {
        u32 end;
        u16 x1, y1;
        u8 slot;
    } cases[] = {{0x35000 * 2, 639, 338, 0},          // 216960 of 217088 pixels
                 {0x35000 + 0xD400 * 2, 211, 255, 1},  // exactly 0xD400
                 {0x6A000 + 0x1A800 * 2, 423, 255, 2}, // exactly 0x1A800
                 {0x9F000 + 0xD400 * 2, 211, 255, 3}};
    u8 *base = static_cast<u8 *>(sdramPtr(SCREEN_AREA_ADDR));
    for (const Case &c : cases) {
        base[c.end] = 0xA5;
        EXPECT_EQ(saveScreenArea(0, 0, c.x1, c.y1, c.slot), 1);
        EXPECT_EQ(base[c.end], 0xA5) << int(c.slot);
        EXPECT_EQ(saveScreenArea(0, 0, u16(c.x1 + 1), c.y1, c.slot), 0);
        EXPECT_EQ(saveScreenArea(0, 0, c.x1, u16(c.y1 + 1), c.slot), 0);
    }
    EXPECT_EQ(saveScreenArea(0, 0, 639, 338, 0), 1);
    EXPECT_EQ(saveScreenArea(0, 0, 1, 1, 4), 0);
    EXPECT_EQ(saveScreenArea(5, 0, 4, 0, 0), 0);
    EXPECT_EQ(saveScreenArea(0, 0, 640, 0, 0), 0);
    EXPECT_EQ(saveScreenArea(0, 0, 0, 480, 0), 0);
    EXPECT_EQ(ssa_width[0], 640);
    EXPECT_EQ(ssa_height[0], 339);
}

TEST_F(DrawState, RestoreCutsAtTheFrameEdges) {
    u16 *vram = static_cast<u16 *>(sdramPtr(VRAM_ADDR));
    for (int i = 0; i < 640 * 480; ++i) vram[i] = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) vram[y * 640 + x] = u16(1 + x + 10 * y);
    u16 *after = vram + 640 * 480;
    after[0] = 0x5A5A;
    ASSERT_EQ(saveScreenArea(0, 0, 9, 9, 2), 1);
    EXPECT_EQ(restoreScreenArea(635, 475, 2), 1);
    EXPECT_EQ(vram[475 * 640 + 635], 1);
    EXPECT_EQ(vram[479 * 640 + 639], 1 + 4 + 40);
    EXPECT_EQ(vram[476 * 640 + 0], 0);  // nothing wrapped onto the next row
    EXPECT_EQ(after[0], 0x5A5A);
    EXPECT_EQ(restoreScreenArea(0xFFFF, 0xFFFF, 2), 1);
    EXPECT_EQ(after[0], 0x5A5A);
    EXPECT_EQ(restoreScreenArea(0, 0, 1), 1);  // never saved: nothing
    EXPECT_EQ(restoreScreenArea(0, 0, 9), 0);
}

TEST_F(DrawState, DirectPixelsOutsideTheFrameAreNeitherReadNorWritten) {
    u16 *vram = static_cast<u16 *>(sdramPtr(VRAM_ADDR));
    vram[640 * 480] = 0x1111;
    LCD_SetPixelIndex(0, 480, 0xBEEF);
    LCD_SetPixelIndex(640, 0, 0xBEEF);
    LCD_SetPixelIndex(-1, 0, 0xBEEF);
    EXPECT_EQ(vram[640 * 480], 0x1111);
    EXPECT_EQ(LCD_GetPixelIndex(0, 480), 0);
    LCD_SetPixelIndex(639, 479, 0xBEEF);
    EXPECT_EQ(LCD_GetPixelIndex(639, 479), 0xBEEF);
}

}  // namespace
