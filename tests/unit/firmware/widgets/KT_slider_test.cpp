// The circular sliders' geometry: angle folding, quadrants, the difference of two angles
// across +-pi, polar conversions and the value of an angle.
#include <gtest/gtest.h>

#include <cmath>

#include "widgets/KT_slider.h"

namespace {

const float PI_F = (float)M_PI;

float deg(double d) { return (float)(d * M_PI / 180); }

TEST(CircGeometry, Deg2atan2FoldsAnyDegreesIntoMinusPiToPi) {
    EXPECT_FLOAT_EQ(Deg2atan2(0), 0);
    EXPECT_FLOAT_EQ(Deg2atan2(90), deg(90));
    EXPECT_FLOAT_EQ(Deg2atan2(180), PI_F);
    EXPECT_FLOAT_EQ(Deg2atan2(270), deg(-90));
    EXPECT_FLOAT_EQ(Deg2atan2(-90), deg(-90));
    EXPECT_FLOAT_EQ(Deg2atan2(450), deg(90));
    EXPECT_FLOAT_EQ(Deg2atan2(-540), PI_F);
    EXPECT_FLOAT_EQ(Rad2Deg(Deg2Rad(37)), 37);
}

TEST(CircGeometry, QuadrantsIncludingPiInTheThird) {
    EXPECT_EQ(findQuadrant(0), 1);
    EXPECT_EQ(findQuadrant(deg(89.9)), 1);
    EXPECT_EQ(findQuadrant((float)(M_PI / 2)), 2);
    EXPECT_EQ(findQuadrant(deg(179)), 2);
    EXPECT_EQ(findQuadrant(PI_F), 3);
    EXPECT_EQ(findQuadrant(-PI_F), 3);
    EXPECT_EQ(findQuadrant(deg(-91)), 3);
    EXPECT_EQ(findQuadrant((float)(-M_PI / 2)), 4);
    EXPECT_EQ(findQuadrant(deg(-1)), 4);
    EXPECT_EQ(findQuadrant(4.0f), 0);
    EXPECT_EQ(findQuadrant(NAN), 0);
}

TEST(CircGeometry, AngleDiffIsClockwisePositiveAndCrossesPi) {
    EXPECT_NEAR(angleDiff(1, deg(90), deg(80)), deg(10), 1e-6);
    EXPECT_NEAR(angleDiff(1, deg(10), deg(-10)), deg(20), 1e-6);
    // Across the negative x axis in both directions: a small step, not a turn.
    EXPECT_NEAR(angleDiff(1, deg(179), deg(-179)), deg(-2), 1e-5);
    EXPECT_NEAR(angleDiff(1, deg(-179), deg(179)), deg(2), 1e-5);
    // Onto and off pi itself (atan2 of a point straight left of the centre).
    EXPECT_NEAR(angleDiff(2, deg(170), PI_F), deg(-10), 1e-5);
    EXPECT_NEAR(angleDiff(2, PI_F, deg(170)), deg(10), 1e-5);
    EXPECT_NEAR(angleDiff(2, PI_F, deg(-170)), deg(-10), 1e-5);
    // Opposite quadrants (a jump across the centre) and angles without a quadrant: none.
    EXPECT_EQ(angleDiff(1, deg(45), deg(-135)), 0);
    EXPECT_EQ(angleDiff(1, deg(135), deg(-45)), 0);
    EXPECT_EQ(angleDiff(1, NAN, deg(10)), 0);
}

TEST(CircGeometry, PolarConversions) {
    Polar p;
    EXPECT_EQ(RectToPolar(0, 0, &p), 0);
    ASSERT_EQ(RectToPolar(3, -4, &p), 1);
    EXPECT_FLOAT_EQ(p.radius, 5);
    EXPECT_FLOAT_EQ(p.angle, (float)atan2(-4.0, 3.0));
    ASSERT_EQ(RectToPolar(-5, 0, &p), 1);
    EXPECT_EQ(p.angle, PI_F);
    s32 x, y;
    // The radius is floored first, each coordinate truncated toward zero.
    Polar q{deg(215), 42.9f};
    EXPECT_EQ(PolarToRect(&q, &x, &y), 1);
    EXPECT_EQ(x, -34);
    EXPECT_EQ(y, -24);
    Polar right{0, 42};
    PolarToRect(&right, &x, &y);
    EXPECT_EQ(x, 42);
    EXPECT_EQ(y, 0);
    // Single precision: pi / 2 as a float lies a hair past it, and 42 times its sine truncates
    // to 41.
    Polar up{(float)(M_PI / 2), 42};
    PolarToRect(&up, &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 41);
    Polar none{deg(30), 0.5f};
    EXPECT_EQ(PolarToRect(&none, &x, &y), 0);
}

TEST(CircGeometry, Rads2ValTruncatesWithinMinMax) {
    CircSlider c{};
    c.min = 10;
    c.max = 280;
    c.range = (float)(1.5 * M_PI);
    c.radPerUnit = (float)(c.range / 270.0);
    c.radTotal = c.radPerUnit * 135.5f;
    EXPECT_EQ(Rads2Val(&c), 145);
    c.radTotal = c.range;  // the max end reads max, not a hair below it
    EXPECT_EQ(Rads2Val(&c), 280);
    c.radTotal = c.range * 2;
    EXPECT_EQ(Rads2Val(&c), 280);
    c.radTotal = -1;
    EXPECT_EQ(Rads2Val(&c), 10);
    // A range of one value has no radians per unit.
    c.radPerUnit = 0;
    c.radTotal = 1;
    EXPECT_EQ(Rads2Val(&c), 10);
}

TEST(CircGeometry, SlotsAreFreeAfterInitAndFoundByHotSpot) {
    CircSliderInit();
    for (int n = 0; n < 256; ++n) EXPECT_EQ(CircSliderFind(n), -1);
    KT_Slider_Init();
    for (int n = 0; n < 256; ++n) EXPECT_EQ(KT_Slider_Find(n), -1);
    s32 v;
    EXPECT_EQ(KT_Slider_Value(200, &v), 0);
    EXPECT_EQ(KT_CircSlider_Value(200, &v), 0);
    EXPECT_EQ(KT_Slider_Touched(-1, 0, 0), 0);
    EXPECT_EQ(KT_Slider_Touched(8, 0, 0), 0);
    EXPECT_EQ(CircSliderTouched(-1, 0, 0), 0);
    EXPECT_EQ(CircSliderTouched(3, 0, 0), 0);
}

}  // namespace
