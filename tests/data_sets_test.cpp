// Weighted fits, the lack-of-fit test and the comparison of two sets
// against R (tests/reference/data_sets.R): nls(..., weights = ) on DNase
// run 1 with each weighting, and nls on the stacked sets with an indicator
// of the set, compared by anova(). The reader of data-set files alongside.
#include "data/data_sets.h"
#include "fit/least_squares.h"
#include "fit/prediction.h"
#include "fit/profile.h"
#include "fit/replicates.h"
#include "fit/set_comparison.h"
#include "fit/statistics.h"
#include "reference/data_sets_reference.h"
#include "reference_data.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace gompertz::fit;
namespace ref = data_sets_reference;

namespace {

const Fixed kAllFree{};

const GrowthModel& modelNamed(const std::string& name) {
    return *growthModels().at(name == "gompertz" ? 0 : 2);
}

Weighting weightingNamed(const std::string& name) {
    return name == "y2" ? Weighting::RelativeValue
           : name == "de2" ? Weighting::Deviation
                           : Weighting::None;
}

void expectDigits(double expected, double actual, double relative, const std::string& what) {
    EXPECT_NEAR(actual, expected, relative * std::fabs(expected)) << what;
}

std::vector<Point> weighted(const std::vector<Point>& values, Weighting weighting) {
    auto out = weightedValues(values, weighting);
    EXPECT_TRUE(std::holds_alternative<std::vector<Point>>(out));
    return std::get<std::vector<Point>>(out);
}

std::vector<Point> dnase2() {
    std::vector<Point> points;
    for (int i = 0; i < 16; ++i) {
        points.push_back({std::log(ref::kDnaseConcentration[i / 2]), ref::kDnase2Density[i]});
    }
    return points;
}

std::vector<Point> orange2() {
    std::vector<Point> points;
    for (int i = 0; i < 7; ++i) {
        points.push_back({ref::kOrange2Age[i], ref::kOrange2Circumference[i]});
    }
    return points;
}

} // namespace

// Parameters, errors, weighted SSE, read-outs, profile bounds, the band's
// error at t = 0 and 2 and the lack-of-fit test: 6 significant digits.
TEST(WeightedFit, AgreesWithRsWeightedNlsOnDnaseRunOne) {
    LeastSquares solver;
    for (const ref::WeightedFit& r : ref::kWeighted) {
        const std::string what = std::string(r.model) + " " + r.weighting;
        const GrowthModel& model = modelNamed(r.model);
        const auto points = weighted(reference_data::dnase1(), weightingNamed(r.weighting));
        Fit fit = solver.bestFit(model, points, kAllFree, model.fromGompertz({5, 1, 0, 0}),
                                 LeastSquares::Starts::Automatic);
        fit.weighting = weightingNamed(r.weighting);
        ASSERT_EQ(fit.status, Status::Ok) << what;
        expectDigits(r.sse, fit.sse, 1e-6, what + " SSE");
        const auto rows = estimates(fit);
        const auto intervals = profileIntervals(solver, fit, points);
        for (std::size_t j = 0; j < 3; ++j) {
            expectDigits(r.parameters[j], fit.parameters[j], 1e-6, what + " parameter");
            expectDigits(r.standardErrors[j], *rows[j].estimate.standardError, 1e-6, what + " SE");
            ASSERT_TRUE(intervals[j] && intervals[j]->lower.bound && intervals[j]->upper.bound);
            expectDigits(r.profileLower[j], *intervals[j]->lower.bound, 1e-6, what + " lower");
            expectDigits(r.profileUpper[j], *intervals[j]->upper.bound, 1e-6, what + " upper");
            expectDigits(r.readOuts[j], rows[3 + j].estimate.value, 1e-6, what + " read-out");
            expectDigits(r.readOutErrors[j], *rows[3 + j].estimate.standardError, 1e-6,
                         what + " read-out SE");
        }
        expectDigits(r.fittedErrorAt0, valueAt(fit, points, 0.0).standardError, 1e-6, what);
        expectDigits(r.fittedErrorAt2, valueAt(fit, points, 2.0).standardError, 1e-6, what);
        const auto test = lackOfFit(fit, points);
        ASSERT_TRUE(test) << what;
        expectDigits(r.pureErrorSse, test->pureSse, 1e-6, what + " pure error");
        expectDigits(r.lackOfFitF, test->f, 1e-6, what + " F");
        expectDigits(r.lackOfFitP, test->p, 1e-5, what + " p");
        EXPECT_EQ(test->pureDegrees, 8);
        EXPECT_EQ(test->lackDegrees, 5);
    }
}

// A file of t, media, DE, n is fitted on its means weighted by n/DE^2.
TEST(WeightedFit, MeansWithTheirDeviationAgreeWithR) {
    LeastSquares solver;
    const auto values = reference_data::dnase1();
    std::vector<MeanRow> rows;
    for (std::size_t i = 0; i < 8; ++i) {
        rows.push_back({values[2 * i].t, (values[2 * i].y + values[2 * i + 1].y) / 2,
                        ref::kDnase1PairSd[i], 2});
    }
    for (const ref::MeansFit& r : ref::kMeans) {
        const GrowthModel& model = modelNamed(r.model);
        const auto points = std::get<std::vector<Point>>(weightedMeans(rows, Weighting::Deviation));
        const Fit fit = solver.bestFit(model, points, kAllFree, model.fromGompertz({5, 1, 0, 0}),
                                       LeastSquares::Starts::Automatic);
        ASSERT_EQ(fit.status, Status::Ok) << r.model;
        expectDigits(r.sse, fit.sse, 1e-6, r.model);
        const auto rowsOut = estimates(fit);
        for (std::size_t j = 0; j < 3; ++j) {
            expectDigits(r.parameters[j], fit.parameters[j], 1e-6, r.model);
            expectDigits(r.standardErrors[j], *rowsOut[j].estimate.standardError, 1e-6, r.model);
        }
        EXPECT_FALSE(lackOfFit(fit, points)) << "no replicates among means";
    }
}

// The weight of a new measurement at t follows the weighting: the
// prediction band of 1/y^2 widens with the curve; that of 1/DE^2 follows
// the deviations between the points' times.
TEST(WeightedFit, ANewMeasurementsVarianceFollowsTheWeights) {
    Fit fit;
    fit.parameters = {2, 1, 0, 0};
    const std::vector<Point> points = {{0, 1, 4.0}, {2, 1, 1.0}};
    fit.weighting = Weighting::None;
    EXPECT_DOUBLE_EQ(measurementVarianceFactor(fit, points, 1), 1);
    fit.weighting = Weighting::RelativeValue;
    const double f = gompertzModel().value(fit.parameters, 1);
    EXPECT_DOUBLE_EQ(measurementVarianceFactor(fit, points, 1), f * f);
    fit.weighting = Weighting::Deviation;
    EXPECT_DOUBLE_EQ(measurementVarianceFactor(fit, points, -1), 0.25);
    EXPECT_DOUBLE_EQ(measurementVarianceFactor(fit, points, 1), (0.25 + 1.0) / 2);
    EXPECT_DOUBLE_EQ(measurementVarianceFactor(fit, points, 5), 1.0);
}

TEST(WeightedFit, WeightsASetCannotHaveAreRefusedInWords) {
    const std::vector<Point> zero = {{0, 0}, {1, 1}, {2, 2}};
    const std::vector<Point> single = {{0, 1}, {0, 1.2}, {1, 2}};
    const std::vector<Point> equal = {{0, 1}, {0, 1}, {1, 2}, {1, 2.5}};
    const auto refusal = [](const auto& result) {
        return std::holds_alternative<std::string>(result) ? std::get<std::string>(result)
                                                           : std::string();
    };
    EXPECT_NE(refusal(weightedValues(zero, Weighting::RelativeValue)).find("t = 0"),
              std::string::npos);
    EXPECT_NE(refusal(weightedValues(single, Weighting::Deviation)).find("un solo valor"),
              std::string::npos);
    EXPECT_NE(refusal(weightedValues(equal, Weighting::Deviation)).find("DE = 0"),
              std::string::npos);
    EXPECT_NE(refusal(weightedMeans({{0, 1, 0, 3}}, Weighting::Deviation)).find("DE"),
              std::string::npos);
    // Unweighted, the same sets are fine.
    EXPECT_EQ(refusal(weightedValues(zero, Weighting::None)), "");
    EXPECT_EQ(refusal(weightedValues(single, Weighting::None)), "");
}

// By hand: three times in duplicate, a straight line through the means
// would leave only pure error; a fit's SSE above it is the lack of fit.
TEST(LackOfFit, PureErrorIsTheScatterAboutEachTimesMean) {
    Fit fit;
    fit.status = Status::Ok;
    fit.freeParameters = 1;
    const std::vector<Point> points = {{0, 1}, {0, 3}, {1, 2}, {1, 4}, {2, 5}, {2, 5}};
    fit.sse = 10.0;
    const auto test = lackOfFit(fit, points);
    ASSERT_TRUE(test);
    EXPECT_DOUBLE_EQ(test->pureSse, 4.0); // 2 + 2 + 0
    EXPECT_EQ(test->pureDegrees, 3);
    EXPECT_EQ(test->lackDegrees, 2);
    EXPECT_DOUBLE_EQ(test->f, (6.0 / 2) / (4.0 / 3));
    // No replicate, or no degree left for the lack of fit: no test.
    EXPECT_FALSE(lackOfFit(fit, {{0, 1}, {1, 2}, {2, 3}}));
    fit.freeParameters = 3;
    EXPECT_FALSE(lackOfFit(fit, points));
}

// F tests and differences as R's anova() of the stacked fits and the
// separate fit's summary give them: 4 significant digits asked, 6 held.
TEST(SetComparison, AgreesWithRsStackedFitsOnDnaseRunsAndOrangeTrees) {
    LeastSquares solver;
    for (const ref::SetComparison& r : ref::kComparisons) {
        const std::string what = std::string(r.pair) + " " + r.model;
        const GrowthModel& model = modelNamed(r.model);
        const bool dnase = std::string(r.pair) == "dnase";
        const auto first = dnase ? reference_data::dnase1() : reference_data::orange1();
        const auto second = dnase ? dnase2() : orange2();
        const SetComparison c = compareSets(solver, model, first, second, kAllFree,
                                            model.fromGompertz({5, 1, 0, 0}), "A", "B");
        ASSERT_EQ(c.status, Status::Ok) << what << c.failure;
        expectDigits(r.sseCommon, c.sseCommon, 1e-6, what + " common SSE");
        expectDigits(r.sseSeparate, c.sseSeparate, 1e-6, what + " separate SSE");
        EXPECT_EQ(c.dfCommon, r.dfCommon);
        EXPECT_EQ(c.dfSeparate, r.dfSeparate);
        ASSERT_TRUE(c.common);
        expectDigits(r.f, c.common->f, 1e-6, what + " F");
        expectDigits(r.p, c.common->p, 1e-5, what + " p");
        ASSERT_EQ(c.differences.size(), 6u);
        for (std::size_t j = 0; j < 3; ++j) {
            const SetDifference& d = c.differences[j];
            ASSERT_TRUE(d.test && d.standardError) << what;
            expectDigits(r.sharedF[j], d.test->f, 1e-5, what + " shared F");
            expectDigits(r.sharedP[j], d.test->p, 1e-5, what + " shared p");
            expectDigits(r.difference[j], d.difference, 1e-6, what + " difference");
            expectDigits(r.differenceError[j], *d.standardError, 1e-6, what + " difference SE");
            expectDigits(r.differenceLower[j], *d.lower, 1e-6, what + " lower");
            expectDigits(r.differenceUpper[j], *d.upper, 1e-6, what + " upper");
            const SetDifference& q = c.differences[3 + j];
            ASSERT_TRUE(q.standardError) << what;
            expectDigits(r.readOutDifference[j], q.difference, 1e-6, what + " read-out");
            expectDigits(r.readOutDifferenceError[j], *q.standardError, 1e-6, what + " SE");
            expectDigits(r.readOutLower[j], *q.lower, 1e-6, what + " read-out lower");
            expectDigits(r.readOutUpper[j], *q.upper, 1e-6, what + " read-out upper");
        }
    }
}

// The sentence names the sets and what differs, with p.
TEST(SetComparison, TheSentenceNamesTheSetsAndWhatDiffers) {
    LeastSquares solver;
    const auto first = reference_data::dnase1();
    auto second = dnase2();
    const SetComparison c = compareSets(solver, gompertzModel(), first, second, kAllFree,
                                        {5, 1, 0, 0}, "Control", "Tratado");
    EXPECT_EQ(c.sentence.rfind("Las curvas de Control y Tratado difieren (p < 0,001).", 0), 0u)
        << c.sentence;
    // The same set twice: one curve serves both.
    const SetComparison same = compareSets(solver, gompertzModel(), first, first, kAllFree,
                                           {5, 1, 0, 0}, "A", "B");
    ASSERT_TRUE(same.common);
    EXPECT_NEAR(same.common->f, 0.0, 1e-9);
    EXPECT_EQ(same.sentence, "Los datos no muestran diferencia entre las curvas de A y B (p = 1).");
    // A set with no fit is named.
    const SetComparison refused = compareSets(solver, gompertzModel(), first,
                                              {{0, 1}, {1, 1}, {2, 1}, {3, 1}}, kAllFree,
                                              {5, 1, 0, 0}, "A", "Plano");
    EXPECT_NE(refused.status, Status::Ok);
    EXPECT_NE(refused.failure.find("«Plano»"), std::string::npos) << refused.failure;
}
