#include "model/errors.h"
#include "plot/plot.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace gompertz;
using namespace gompertz::plot;

TEST(Mapping, TimeAndValueToTwips) {
    EXPECT_EQ(timeToX(0.0), 1200.0);
    EXPECT_EQ(timeToX(-5.0), 0.0);
    EXPECT_EQ(timeToX(15.0), 4800.0);
    EXPECT_EQ(valueToY(0.0, 10.0), 4000.0);
    EXPECT_EQ(valueToY(10.0, 10.0), 0.0);
    EXPECT_EQ(valueToY(2.5, 10.0), 3000.0);
    EXPECT_THROW(timeToX(1e307), OverflowError);
    EXPECT_THROW(valueToY(1.0, 0.0), OverflowError);
}

TEST(Curve, OneRedDotPerSampleAtThirtyTwipsSpacing) {
    FitState s; // a = 5: every sample lies below 10
    Picture picture;
    drawCurve(s, picture, SampleTest::AbsBelow10);
    ASSERT_EQ(picture.dots.size(), 161u);
    for (int k = -40; k <= 120; ++k) {
        const Dot& dot = picture.dots[static_cast<std::size_t>(k + 40)];
        EXPECT_EQ(dot.x, 30.0 * k + 1200.0);
        const double v = 5.0 * std::exp(-std::exp(-(k / 8.0)));
        EXPECT_NEAR(dot.y, (10.0 - v) * 400.0, 1e-9);
        EXPECT_EQ(dot.width, 1);
        EXPECT_EQ(dot.colour, kRed);
    }
    EXPECT_EQ(s.pointIndex, 121);
}

TEST(Curve, EachProcedureSkipsItsOwnSamples) {
    FitState high; // rises past 10: the full redraw skips the top samples
    high.a = 15.0;
    int below10 = 0;
    for (int k = -40; k <= 120; ++k) {
        below10 += 15.0 * std::exp(-std::exp(-(k / 8.0))) < 10.0;
    }
    Picture full;
    drawCurve(high, full, SampleTest::AbsBelow10);
    EXPECT_EQ(static_cast<int>(full.dots.size()), below10);
    Picture afterStep;
    drawCurve(high, afterStep, SampleTest::Below30);
    EXPECT_EQ(afterStep.dots.size(), 161u);

    FitState negative; // far below -10: only the step redraw, with no absolute value, draws it
    negative.a = -50.0;
    negative.c = 0.0; // f = -50 / e everywhere
    Picture fullNegative;
    drawCurve(negative, fullNegative, SampleTest::AbsBelow10);
    EXPECT_TRUE(fullNegative.dots.empty());
    Picture stepNegative;
    drawCurve(negative, stepNegative, SampleTest::Below30);
    EXPECT_EQ(stepNegative.dots.size(), 161u);
}

TEST(Data, BlueWideDotsWithoutRangeTest) {
    FitState s;
    s.dataX[0] = 0.0;
    s.dataY[0] = 0.0;
    s.dataX[1] = 40.0; // far right of the box: still set
    s.dataY[1] = -25.0;
    s.pointCount = 2;
    Picture picture;
    picture.drawWidth = 4;
    drawData(s, picture);
    ASSERT_EQ(picture.dots.size(), 2u);
    EXPECT_EQ(picture.dots[0].x, 1200.0);
    EXPECT_EQ(picture.dots[0].y, 4000.0);
    EXPECT_EQ(picture.dots[0].colour, kBlue);
    EXPECT_EQ(picture.dots[0].width, 4);
    EXPECT_EQ(picture.dots[1].x, 40.0 * 240.0 + 1200.0);
    EXPECT_EQ(picture.dots[1].y, 35.0 * 400.0);
}

TEST(Pixels, DotsInsideAreCentredDotsFarOutsideAreDropped) {
    const auto inside = pixelRect(Dot{1200.0, 4000.0, 4, kBlue}, 320, 267);
    ASSERT_TRUE(inside);
    EXPECT_EQ(inside->left, 78);
    EXPECT_EQ(inside->top, 265);
    EXPECT_EQ(inside->size, 4);
    const auto single = pixelRect(Dot{30.0 * 3 + 1200.0, 1500.0, 1, kRed}, 320, 267);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->left, 86);
    EXPECT_EQ(single->top, 100);
    for (const Dot& far : {Dot{1e300, 0.0, 4, kBlue}, Dot{0.0, -1e300, 4, kBlue},
                           Dot{-60.0, 100.0, 4, kBlue}, Dot{4800.0 + 60.0, 100.0, 1, kRed}}) {
        EXPECT_FALSE(pixelRect(far, 320, 267)) << far.x << ", " << far.y;
    }
}
