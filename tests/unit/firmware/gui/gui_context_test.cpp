// The drawing context: defaults, setters returning the old value, colour caching, the reverse
// swap, save and restore, and the character decoders.
#include "gui_test_util.h"

using namespace guitest;

class GuiContext : public GuiTest {};

TEST_F(GuiContext, InitSetsTheDefaults) {
    GUI_SetDrawMode(GUI_DRAWMODE_XOR);
    GUI_SetPenSize(7);
    GUI_Init();
    EXPECT_EQ(GUI_GetColor(), 0xFFFFFFu);
    EXPECT_EQ(GUI_GetBkColor(), 0u);
    EXPECT_EQ(GUI_GetColorIndex(), 0xFFFF);
    EXPECT_EQ(GUI_GetBkColorIndex(), 0);
    EXPECT_EQ(GUI_GetPenSize(), 1);
    EXPECT_EQ(GUI_GetDrawMode(), GUI_DRAWMODE_NORMAL);
    EXPECT_EQ(GUI_GetTextMode(), GUI_TM_NORMAL);
    EXPECT_EQ(GUI_GetTextAlign(), GUI_TA_LEFT | GUI_TA_TOP);
    EXPECT_EQ(GUI_GetLineStyle(), GUI_LS_SOLID);
    EXPECT_EQ(GUI_Context.pUC, &GUI_UC_None);
    GUI_RECT c = GUI_GetClipRect();
    EXPECT_EQ(c.x0, 0);
    EXPECT_EQ(c.y0, 0);
    EXPECT_EQ(c.x1, 639);
    EXPECT_EQ(c.y1, 479);
}

TEST_F(GuiContext, SettersReturnThePreviousValue) {
    GUI_SetColor(0x123456);
    EXPECT_EQ(GUI_SetColor(0xFFFFFF), LCD_Index2Color(LCD_L0_Color2Index(0x123456)));
    EXPECT_EQ(GUI_SetBkColor(0x0000FF), 0u);
    EXPECT_EQ(GUI_SetColorIndex(0x1234), 0xFFFF);
    EXPECT_EQ(GUI_SetBkColorIndex(7), 0xF800);
    EXPECT_EQ(GUI_SetTextMode(GUI_TM_TRANS), GUI_TM_NORMAL);
    EXPECT_EQ(GUI_SetTextMode(GUI_TM_NORMAL), GUI_TM_TRANS);
    EXPECT_EQ(GUI_SetTextAlign(GUI_TA_RIGHT | GUI_TA_BOTTOM), 0);
    EXPECT_EQ(GUI_SetTextAlign(0), GUI_TA_RIGHT | GUI_TA_BOTTOM);
    EXPECT_EQ(GUI_SetPenSize(4), 1);
    EXPECT_EQ(GUI_SetPenSize(0), 4);
    EXPECT_EQ(GUI_GetPenSize(), 1);  // a pen is at least one pixel wide
    EXPECT_EQ(GUI_SetPenShape(GUI_PS_SQUARE), GUI_PS_ROUND);
    EXPECT_EQ(GUI_SetLineStyle(GUI_LS_DOT), GUI_LS_SOLID);
    EXPECT_EQ(GUI_SetLBorder(12), 0);
    EXPECT_EQ(GUI_SetLBorder(3), 12);
    GUI_GotoXY(5, 6);
    GUI_GotoX(9);
    EXPECT_EQ(GUI_GetDispPosX(), 9);
    EXPECT_EQ(GUI_GetDispPosY(), 6);
    GUI_GotoY(-4);
    EXPECT_EQ(GUI_GetDispPosY(), -4);
}

TEST_F(GuiContext, ColourCacheFollowsDirectIndexChanges) {
    GUI_SetColor(0x123456);
    unsigned idx = GUI_GetColorIndex();
    EXPECT_EQ(idx, LCD_L0_Color2Index(0x123456));
    GUI_SetColorIndex(7);
    GUI_SetColor(0x123456);  // the same colour again must convert again
    EXPECT_EQ((unsigned)GUI_GetColorIndex(), idx);
    GUI_SetBkColor(0x00FF00);
    GUI_SetBkColorIndex(1);
    GUI_SetBkColor(0x00FF00);
    EXPECT_EQ(GUI_GetBkColorIndex(), 0x07E0);
}

TEST_F(GuiContext, ReverseBitSwapsForegroundAndBackground) {
    GUI_SetColor(0x0000FF);
    GUI_SetBkColor(0xFF0000);
    GUI_SetDrawMode(GUI_DRAWMODE_REV);
    EXPECT_EQ(GUI_GetColorIndex(), 0x001F);
    EXPECT_EQ(GUI_GetBkColorIndex(), 0xF800);
    GUI_SetDrawMode(GUI_DRAWMODE_REV | GUI_DRAWMODE_XOR);  // reverse bit unchanged: no swap
    EXPECT_EQ(GUI_GetColorIndex(), 0x001F);
    EXPECT_EQ(GUI_SetDrawMode(GUI_DRAWMODE_NORMAL), GUI_DRAWMODE_REV | GUI_DRAWMODE_XOR);
    EXPECT_EQ(GUI_GetColorIndex(), 0xF800);
    EXPECT_EQ(GUI_GetBkColorIndex(), 0x001F);
    // The caches were swapped with the indices: setting the colour again keeps it.
    GUI_SetColor(0x0000FF);
    EXPECT_EQ(GUI_GetColorIndex(), 0xF800);
}

TEST_F(GuiContext, NullFontKeepsTheCurrentOne) {
    static const GUI_FONT a = {}, b = {};
    EXPECT_EQ(GUI_SetFont(&a), &GUI_FontArial10);  // the default font
    EXPECT_EQ(GUI_SetFont(nullptr), &a);
    EXPECT_EQ(GUI_GetFont(), &a);
    EXPECT_EQ(GUI_SetFont(&b), &a);
    EXPECT_EQ(GUI_GetFont(), &b);
}

TEST_F(GuiContext, SaveAndRestoreCopyTheWholeContext) {
    GUI_SetColor(0x00FF00);
    GUI_SetPenSize(3);
    GUI_GotoXY(10, 20);
    GUI_RECT r = {10, 10, 100, 100};
    GUI_SetClipRect(&r);
    GUI_CONTEXT saved;
    GUI_SaveContext_(&saved);
    GUI_Init();
    GUI_RestoreContext(&saved);
    EXPECT_EQ(GUI_GetColorIndex(), 0x07E0);
    EXPECT_EQ(GUI_GetPenSize(), 3);
    EXPECT_EQ(GUI_GetDispPosX(), 10);
    EXPECT_EQ(GUI_GetClipRect().x1, 100);
    // A copy whose clip rectangle leaves the screen is cut back to it.
    saved.ClipRect = {-100, -100, 32000, 32000};
    GUI_RestoreContext(&saved);
    GUI_FillRect(-1000, -1000, 1000, 1000);
    EXPECT_EQ(drawn().size(), 640u * 480u);
}

TEST_F(GuiContext, ClipRectangleLimitsDrawing) {
    GUI_RECT r = {100, 50, 109, 59};
    GUI_SetClipRect(&r);
    GUI_FillRect(0, 0, 639, 479);
    EXPECT_EQ(drawn(), spans({{50, 100, 109}, {51, 100, 109}, {52, 100, 109}, {53, 100, 109},
                              {54, 100, 109}, {55, 100, 109}, {56, 100, 109}, {57, 100, 109},
                              {58, 100, 109}, {59, 100, 109}}));
    GUI_SetClipRect(nullptr);
    EXPECT_EQ(GUI_GetClipRect().x1, 639);
}

TEST_F(GuiContext, CharacterDecoders) {
    int n = 0;
    EXPECT_EQ(GUI_UC_None.pfGetCharCode("\xC3\xA9", 2, &n), 0xC3);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(GUI_UC_UTF8.pfGetCharCode("\xC3\xA9", 2, &n), 0xE9);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(GUI_UC_UTF8.pfGetCharCode("\xE2\x82\xAC", 3, &n), 0x20AC);
    EXPECT_EQ(n, 3);
    // A sequence cut off by the end of the text, or broken, yields its first byte alone.
    EXPECT_EQ(GUI_UC_UTF8.pfGetCharCode("\xE2\x82", 2, &n), 0xE2);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(GUI_UC_UTF8.pfGetCharCode("\xC3" "A", 2, &n), 0xC3);
    EXPECT_EQ(n, 1);
    GUI_UC_SetEncodeUTF8();
    EXPECT_EQ(GUI_Context.pUC, &GUI_UC_UTF8);
    GUI_UC_SetEncodeNone();
    EXPECT_EQ(GUI_Context.pUC, &GUI_UC_None);
}

// ---- device level ----

TEST_F(GuiContext, ColourConversions) {
    EXPECT_EQ(LCD_L0_Color2Index(0x0000FF), 0xF800u);  // red
    EXPECT_EQ(LCD_L0_Color2Index(0x00FF00), 0x07E0u);  // green
    EXPECT_EQ(LCD_L0_Color2Index(0xFF0000), 0x001Fu);  // blue
    EXPECT_EQ(LCD_L0_Color2Index(0xFF123456), LCD_L0_Color2Index(0x123456));  // top byte ignored
    EXPECT_EQ(LCD_Index2Color(0xF800), 0x0000FFu);
    EXPECT_EQ(LCD_Index2Color(0x0400), 0x008100u);  // green 32 of 63 -> 129
    EXPECT_EQ(LCD_Index2Color(0x0801), 0x080008u);  // red 1 of 31 -> 8, blue 1 -> 8
    EXPECT_EQ(LCD_Index2ColorM(0xF800), 0xFF0000u);
    EXPECT_EQ(LCD_L0_Color2IndexM(0xFF0000), 0xF800u);
    for (unsigned i = 0; i < 0x10000; ++i) ASSERT_EQ(LCD_L0_Color2Index(LCD_Index2Color(i)), i) << i;
}

TEST_F(GuiContext, RawPixelAccessStaysInTheFrameBuffer) {
    LCD_SetPixelIndex(639, 479, 0x1234);
    EXPECT_EQ(LCD_GetPixelIndex(639, 479), 0x1234u);
    EXPECT_EQ(LCD_GetPixelColor(639, 479), LCD_Index2Color(0x1234));
    for (int v : {-1, 640, 32767, -32768}) {
        LCD_SetPixelIndex(v, 0, 0xFFFF);
        LCD_SetPixelIndex(0, v, 0xFFFF);
        LCD_SetPixelIndex(v, v, 0xFFFF);
        EXPECT_EQ(LCD_GetPixelIndex(v, 5), 0u);
    }
    EXPECT_EQ(drawn().size(), 1u);
    EXPECT_EQ(LCD_GetXSize(), 640);
    EXPECT_EQ(LCD_GetYSize(), 480);
    EXPECT_EQ(LCD_GetBitsPerPixel(), 16);
}
