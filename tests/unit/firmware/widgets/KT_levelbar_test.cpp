// Level bars: the zone rules of the definition, and fills that stay in the bar and the frame
// buffer whatever rectangle the host gives.
#include <climits>

#include "gui_test_util.h"
#include "widgets/KT_levelbar.h"

namespace {

class LevelBarTest : public guitest::GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        KT_LevelBar_Init();
    }
};

TEST_F(LevelBarTest, ZonesComeFromTheTopDownWithinMinAndMax) {
    EXPECT_EQ(KT_LevelBar_Setup(32, 1, 0, 0, 0, 0, 10, 100, 0, 0), 0);
    EXPECT_EQ(KT_LevelBar_Setup(0, 1, 2, 0, 0, 0, 10, 100, 0, 0), 0);
    EXPECT_EQ(LevelBars[0].defined, 0);
    ASSERT_EQ(KT_LevelBar_Setup(0, 1, 0, 0, 0, 0, 10, 100, 0, 0), 1);
    EXPECT_EQ(KT_LevelBar_Show(0, 5), 0);  // no zone yet
    EXPECT_EQ(KT_LevelBar_Add_Color(0, 0xFF, 50), 1);
    EXPECT_EQ(LevelBars[0].scale.max, 50);
    EXPECT_EQ(LevelBars[0].zoneTop[0], 100);
    EXPECT_EQ(KT_LevelBar_Add_Color(0, 0xFF, 51), 0);
    EXPECT_EQ(KT_LevelBar_Add_Color(0, 0xFF, -1), 0);
    EXPECT_EQ(KT_LevelBar_Add_Color(0, 0xFF00, 25), 1);
    EXPECT_EQ(LevelBars[0].zoneTop[1], 50);
    EXPECT_EQ(KT_LevelBar_Add_Color(0, 0xFF0000, 0), 1);
    EXPECT_EQ(KT_LevelBar_Add_Color(0, 0xFF0000, 1), 0);  // a fourth
    EXPECT_EQ(LevelBars[0].zoneCount, 3);
    // A first zone below min sets max but adds no zone.
    ASSERT_EQ(KT_LevelBar_Setup(1, 1, 0, 0, 0, 0, 10, 100, 10, 0), 1);
    EXPECT_EQ(KT_LevelBar_Add_Color(1, 0xFF, 5), 0);
    EXPECT_EQ(LevelBars[1].scale.max, 5);
    EXPECT_EQ(KT_LevelBar_Show(1, 5), 0);
}

TEST_F(LevelBarTest, FillsStayInsideTheBarWhateverItsRectangle) {
    guitest::clearScreen(0x1111);
    ASSERT_EQ(KT_LevelBar_Setup(0, 1, 1, 1, INT_MAX, INT_MAX, INT_MIN, INT_MIN, INT_MIN, 0xFFFFFF), 1);
    ASSERT_EQ(KT_LevelBar_Add_Color(0, 0xFF, INT_MAX), 1);
    for (s32 v : {INT_MIN, -1, 0, 1, INT_MAX}) EXPECT_EQ(KT_LevelBar_Show(0, v), 1);
    // Corners in reverse order: the same bar as in order.
    ASSERT_EQ(KT_LevelBar_Setup(1, 1, 0, 0, 30, 300, 10, 100, 0, 0x00FF00), 1);
    ASSERT_EQ(KT_LevelBar_Add_Color(1, 0x0000FF, 100), 1);
    guitest::clearScreen(0x1111);
    EXPECT_EQ(KT_LevelBar_Show(1, 50), 1);
    for (auto p : guitest::drawn(0x1111)) EXPECT_TRUE(p.first >= 10 && p.first <= 30 && p.second >= 100 && p.second <= 300);
    EXPECT_NE(guitest::at(20, 300), 0x1111);
    EXPECT_NE(guitest::at(20, 100), 0x1111);
    EXPECT_NE(guitest::at(20, 300), guitest::at(20, 100));
}

}  // namespace
