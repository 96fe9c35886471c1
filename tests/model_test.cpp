#include "model/checked.h"
#include "model/descent.h"
#include "model/gompertz.h"
#include "model/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

using namespace gompertz;

namespace {

const double kExpMinus1 = 0.36787944117144233;

FitState stateWith(const std::vector<std::pair<double, double>>& points) {
    FitState s;
    s.busy = kFalse;
    for (std::size_t i = 0; i < points.size(); ++i) {
        s.dataX[i] = points[i].first;
        s.dataY[i] = points[i].second;
    }
    s.pointCount = static_cast<std::int16_t>(points.size());
    return s;
}

// The sums of one evaluation worked out from the textbook derivatives of
// a * exp(-exp(-c (t - t0))), independently of the engine.
struct Sums {
    double gradA = 0, gradC = 0, gradT0 = 0, sq = 0;
};
Sums expectedSums(const FitState& s) {
    Sums out;
    for (int i = 0; i < s.pointCount; ++i) {
        const double t = s.dataX[i];
        const double inner = std::exp(-s.c * (t - s.t0));
        const double g = std::exp(-inner);
        const double r = s.a * g - s.dataY[i];
        out.gradA += 2 * r * g;
        out.gradC += 2 * r * s.a * g * inner * (t - s.t0);
        out.gradT0 += 2 * r * s.a * g * inner * (-s.c);
        out.sq += r * r;
    }
    return out;
}

void expectClose(double expected, double actual) {
    EXPECT_NEAR(expected, actual, 1e-12 * std::max(1.0, std::fabs(expected)));
}

} // namespace

TEST(Nearest, RoundsHalvesToEvenAndRaisesOutsideTheIntegerRange) {
    const std::vector<std::pair<double, int>> cases = {
        {2.5, 2},  {3.5, 4},     {-0.5, 0},        {-2.5, -2},        {-27.5, -28},
        {0.49, 0}, {-49.6, -50}, {32767.4, 32767}, {-32768.5, -32768}};
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(nearest(value), expected) << value;
    }
    for (double value : {32767.5, -32769.0, 1e10, std::numeric_limits<double>::infinity(),
                         std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_THROW(nearest(value), OverflowError) << value;
    }
}

TEST(NumberText, WritesFifteenDigitsWithADecimalComma) {
    const std::vector<std::pair<double, std::string>> cases = {
        {4.9, "4,9"},
        {5.0, "5"},
        {0.001, "0,001"},
        {1.0 / 3.0, "0,333333333333333"},
        {1.5e20, "1,5E+20"},
        {1e-5, "1E-05"},
        {0.0001, "0,0001"},
        {-0.0, "0"},
        {-2.5, "-2,5"},
        {1e15, "1E+15"},
        {123456789012345.0, "123456789012345"},
        {-1.25e-7, "-1,25E-07"},
        {2.0 / 3.0 * 1e300, "6,66666666666667E+299"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(formatNumber(value), expected) << value;
    }
}

// Fifteen digits rounded to nearest would name a number past the largest
// double; those are cut instead, so that every text written reads back.
TEST(NumberText, TheLargestNumbersAreWrittenSoThatTheyReadBack) {
    const double max = std::numeric_limits<double>::max(); // 1.7976931348623157E308
    const std::vector<std::pair<double, std::string>> cases = {
        {max, "1,79769313486231E+308"},
        {-max, "-1,79769313486231E+308"},
        {1.797693134862315e308, "1,79769313486231E+308"},
        {1.7976931348623149e308, "1,79769313486231E+308"}, // rounds down anyway
        {1.79769313486230e308, "1,7976931348623E+308"},
        {1.7976931348622e308, "1,7976931348622E+308"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(formatNumber(value), expected) << value;
        EXPECT_NO_THROW(parseNumber(formatNumber(value))) << value;
    }
}

TEST(NumberText, ReadsSpanishNumbers) {
    const std::vector<std::pair<std::string, double>> cases = {
        {"4,9", 4.9},     {" 3 ", 3.0},         {"2.5", 25.0},       {"1,50", 1.5},
        {"-7,25", -7.25}, {"+5", 5.0},          {"05,50", 5.5},      {"1.000,5", 1000.5},
        {",5", 0.5},      {"5,", 5.0},          {"1,5E+20", 1.5e20}, {"1E-05", 1e-5},
        {"2e3", 2000.0},  {"\t0,001\t", 0.001}, {"1e-400", 0.0},     {"0", 0.0},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_DOUBLE_EQ(parseNumber(text), expected) << text;
    }
}

TEST(NumberText, LongRunsOfDigitsMeetTheirExponentExactly) {
    const std::string zeros(100005, '0');
    const std::vector<std::pair<std::string, double>> cases = {
        {"0," + zeros + "1E+100006", 1.0}, // 1e-100006 times 1e100006
        {"-0," + zeros + "25E+100006", -2.5},
        {"1" + zeros + "E-100005", 1.0},
        {"1" + zeros + ",5E-100010", 1e-5},
        {"0," + zeros + "1E+99000", 0.0},   // 1e-1006: below the smallest double
        {"0,5E+99999999999999999999", 0.0}, // overflows, refused below
    };
    for (std::size_t i = 0; i + 1 < cases.size(); ++i) {
        EXPECT_DOUBLE_EQ(parseNumber(cases[i].first), cases[i].second) << i;
    }
    EXPECT_THROW(parseNumber(cases.back().first), OverflowError);
    EXPECT_EQ(parseNumber("0,1E-99999999999999999999"), 0.0);
}

TEST(NumberText, RefusesTextsThatAreNotNumbers) {
    for (const char* text :
         {"", "   ", "abc", "1,2,3", "1e", "1e+", "5x", "--5", ",", "e5", "1 2", "5-", "."}) {
        EXPECT_THROW(parseNumber(text), ConversionError) << '"' << text << '"';
    }
    for (const char* text : {"1e400", "-1e309", "1,8E308"}) {
        EXPECT_THROW(parseNumber(text), OverflowError) << text;
    }
}

TEST(Model, AtTheTimeShiftTheInnerExponentialIsOne) {
    FitState s;
    s.a = 3.0;
    s.c = 2.0;
    s.t0 = 1.5;
    const FixFlags free;
    const double t = 1.5;
    EXPECT_DOUBLE_EQ(f(s, t), 3.0 * kExpMinus1);
    EXPECT_DOUBLE_EQ(parL(s, free, t), kExpMinus1);
    EXPECT_EQ(parC(s, free, t), 0.0);
    EXPECT_DOUBLE_EQ(parT(s, free, t), -3.0 * 2.0 * kExpMinus1);
}

TEST(Model, ZeroRateGivesTheSameValueEverywhere) {
    FitState s;
    s.c = 0.0;
    for (double t : {-100.0, 0.0, 7.0, 1e6}) {
        EXPECT_DOUBLE_EQ(f(s, t), 5.0 * kExpMinus1) << t;
    }
}

TEST(Model, FarBelowTheShiftOverflowsFarAboveItSaturates) {
    FitState s; // a = 5, c = 1, t0 = 0
    const FixFlags free;
    EXPECT_THROW(f(s, -710.0), OverflowError);
    EXPECT_THROW(parL(s, free, -710.0), OverflowError);
    EXPECT_DOUBLE_EQ(f(s, -709.0), 5.0 * std::exp(-std::exp(709.0))); // underflow is not an error
    EXPECT_DOUBLE_EQ(f(s, 800.0), 5.0);
    EXPECT_EQ(parC(s, free, 800.0), 0.0);
}

TEST(Model, FixedParametersHaveZeroDerivativesEvenWhereFOverflows) {
    FitState s;
    for (std::int16_t value : {1, 2}) { // ticked or greyed
        const FixFlags fixed{value, value, value};
        EXPECT_EQ(parL(s, fixed, -1000.0), 0.0);
        EXPECT_EQ(parC(s, fixed, -1000.0), 0.0);
        EXPECT_EQ(parT(s, fixed, -1000.0), 0.0);
    }
    const FixFlags onlyC{0, 1, 0};
    EXPECT_EQ(parC(s, onlyC, 2.0), 0.0);
    EXPECT_NE(parL(s, onlyC, 2.0), 0.0);
    EXPECT_NE(parT(s, onlyC, 2.0), 0.0);
}

TEST(Descent, OneStepSumsTheGradientThenMovesCThenAThenT0) {
    FitState s = stateWith({{0.0, 1.5}, {2.5, 4.0}, {-1.0, 0.2}});
    s.sqError = 7.0;
    s.yMean = (1.5 + 4.0 + 0.2) / 3.0;
    const Sums expected = expectedSums(s);

    beginEvaluation(s);
    EXPECT_EQ(s.prevSqError, 7.0);
    accumulateSums(s, FixFlags{});
    expectClose(expected.gradA, s.gradA);
    expectClose(expected.gradC, s.gradC);
    expectClose(expected.gradT0, s.gradT0);
    expectClose(expected.sq, s.sqError);
    EXPECT_EQ(s.pointIndex, 3);
    expectClose(std::sqrt(expected.sq / 3.0) / s.yMean * 100.0, normalisedError(s));
    EXPECT_FALSE(errorGrew(s)); // well below 7

    const double step = 0.01;
    applyUpdate(s, step);
    expectClose(1.0 - step * expected.gradC, s.c);
    expectClose(5.0 - step * expected.gradA, s.a);
    expectClose(0.0 - step * expected.gradT0, s.t0);
}

TEST(Descent, GrowthMeansStrictlyAbove) {
    FitState s;
    s.prevSqError = 2.0;
    s.sqError = 2.0;
    EXPECT_FALSE(errorGrew(s));
    s.sqError = std::nextafter(2.0, 3.0);
    EXPECT_TRUE(errorGrew(s));
    s.sqError = 1.0;
    EXPECT_FALSE(errorGrew(s));
}

TEST(Descent, AllParametersFixedLeavesThemAlone) {
    FitState s = stateWith({{1.0, 3.0}, {2.0, 4.0}});
    const FixFlags fixed{1, 1, 1};
    beginEvaluation(s);
    accumulateSums(s, fixed);
    EXPECT_EQ(s.gradA, 0.0);
    EXPECT_EQ(s.gradC, 0.0);
    EXPECT_EQ(s.gradT0, 0.0);
    expectClose(expectedSums(s).sq, s.sqError);
    applyUpdate(s, 0.5);
    EXPECT_EQ(s.a, 5.0);
    EXPECT_EQ(s.c, 1.0);
    EXPECT_EQ(s.t0, 0.0);
}

TEST(Descent, NormalisedErrorFailsWithoutPointsOrWithAZeroMean) {
    FitState empty = stateWith({});
    beginEvaluation(empty);
    accumulateSums(empty, FixFlags{});
    EXPECT_THROW(normalisedError(empty), OverflowError); // 0 / 0

    FitState zeroMean = stateWith({{1.0, 1.0}, {2.0, -1.0}});
    accumulateSums(zeroMean, FixFlags{});
    EXPECT_THROW(normalisedError(zeroMean), OverflowError);
}

TEST(Descent, OverflowLeavesTheSumsOfTheEarlierPoints) {
    FitState s = stateWith({{1.0, 2.0}, {-800.0, 1.0}, {3.0, 1.0}});
    FitState firstOnly = stateWith({{1.0, 2.0}});
    const Sums expected = expectedSums(firstOnly);
    EXPECT_THROW(accumulateSums(s, FixFlags{}), OverflowError);
    EXPECT_EQ(s.pointIndex, 1);
    expectClose(expected.gradA, s.gradA);
    expectClose(expected.sq, s.sqError);
}

TEST(Descent, TheSumThatOverflowsIsStoredBeforeTheErrorIsRaised) {
    // f is 5 far above t0, so each point adds (5 - y)^2 = 1e308 to sqError:
    // the second makes +inf, which is stored before the error is raised.
    FitState s = stateWith({{800.0, 5.0 + 1e154}, {800.0, 5.0 + 1e154}});
    EXPECT_THROW(accumulateSums(s, FixFlags{}), OverflowError);
    EXPECT_EQ(s.sqError, std::numeric_limits<double>::infinity());
    EXPECT_DOUBLE_EQ(s.gradA, 2 * 2 * -1e154); // both points' shares are in
    EXPECT_EQ(s.pointIndex, 1);
}

TEST(Descent, AnUpdateThatOverflowsStopsBeforeTheNextParameter) {
    FitState s;
    s.c = -1e308;
    s.gradC = 1.0;
    s.gradA = 1.0;
    EXPECT_THROW(applyUpdate(s, 1e308), OverflowError);
    EXPECT_EQ(s.c, -std::numeric_limits<double>::infinity());
    EXPECT_EQ(s.a, 5.0);

    FitState product; // step * gradient overflows: nothing is stored
    product.gradC = 1e300;
    EXPECT_THROW(applyUpdate(product, 1e10), OverflowError);
    EXPECT_EQ(product.c, 1.0);
}

TEST(Descent, SubscriptOutsideTheArraysIsAnError) {
    FitState s = stateWith({});
    s.pointCount = 21; // the arrays hold 21 entries
    EXPECT_NO_THROW(accumulateSums(s, FixFlags{}));
    s.pointCount = 22;
    EXPECT_THROW(accumulateSums(s, FixFlags{}), SubscriptError);
    EXPECT_EQ(s.pointIndex, 21);
}

TEST(Descent, MeanOfTheCapturedValues) {
    FitState s = stateWith({{0.0, 1.0}, {1.0, 2.0}, {2.0, 4.5}});
    s.dataY[3] = 100.0; // left by an earlier capture; not part of the data set
    computeYMean(s);
    EXPECT_DOUBLE_EQ(s.yMean, 7.5 / 3.0);
}

TEST(Batch, AFallingErrorRunsEveryStep) {
    FitState s = stateWith({{0.0, 2.0}, {1.0, 3.5}, {3.0, 4.6}});
    beginEvaluation(s);
    accumulateSums(s, FixFlags{});
    s.prevSqError = s.sqError; // as right after a drawing: the first difference is 0
    const BatchResult result = runBatch(s, FixFlags{}, 0.001, 100);
    EXPECT_EQ(result.stepsEvaluated, 100);
    EXPECT_FALSE(result.stoppedOnGrowth);
    EXPECT_LT(s.sqError, s.prevSqError);
}

TEST(Batch, AZeroReferenceStopsAtOnceWithoutAnUpdate) {
    FitState s = stateWith({{0.0, 2.0}, {1.0, 3.5}});
    s.prevSqError = 0.0;
    const BatchResult result = runBatch(s, FixFlags{}, 0.001, 10000);
    EXPECT_EQ(result.stepsEvaluated, 1);
    EXPECT_TRUE(result.stoppedOnGrowth);
    EXPECT_EQ(s.a, 5.0);
    EXPECT_EQ(s.c, 1.0);
    EXPECT_EQ(s.t0, 0.0);
    expectClose(expectedSums(s).sq, s.sqError); // the error of the current parameters
}

TEST(Batch, ARiseThatStaysUnderTheReferenceGoesOn) {
    // With this step the error oscillates: it rises on some steps, but never
    // above the generous reference, so the batch runs to the end.
    FitState s = stateWith({{0.0, 2.0}, {1.0, 3.5}, {3.0, 4.6}});
    s.prevSqError = 1e6;
    std::vector<double> errors;
    for (int k = 0; k < 20; ++k) {
        const BatchResult one = runBatch(s, FixFlags{1, 0, 1}, 1.9, 1);
        ASSERT_FALSE(one.stoppedOnGrowth);
        errors.push_back(s.sqError);
    }
    bool rose = false;
    for (std::size_t k = 1; k < errors.size(); ++k) {
        rose = rose || errors[k] > errors[k - 1];
    }
    ASSERT_TRUE(rose) << "the data set should make the error rise at some step";

    FitState again = stateWith({{0.0, 2.0}, {1.0, 3.5}, {3.0, 4.6}});
    again.prevSqError = 1e6;
    const BatchResult batch = runBatch(again, FixFlags{1, 0, 1}, 1.9, 20);
    EXPECT_EQ(batch.stepsEvaluated, 20);
    EXPECT_FALSE(batch.stoppedOnGrowth);
    EXPECT_EQ(again.c, s.c);
}
