// The least-squares fit against published reference results (R's nls on
// DNase run 1, NIST's certified Rat42), on exact synthetic data, and the
// refusals and warnings.
#include "fit/least_squares.h"
#include "fit/statistics.h"
#include "reference_data.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

using namespace gompertz::fit;
using reference_data::dnase1;
using reference_data::rat42;

namespace {

std::vector<Point> exact(const Parameters& p, const std::vector<double>& times) {
    std::vector<Point> points;
    for (double t : times) {
        points.push_back({t, p[0] * std::exp(-std::exp(-p[1] * (t - p[2])))});
    }
    return points;
}

void expectRelative(double expected, double actual, double tolerance) {
    EXPECT_NEAR(actual, expected, tolerance * std::fabs(expected)) << expected;
}

const GrowthModel& kGompertz = gompertzModel();
const Fixed kAllFree = {false, false, false, false};
// The Gompertz results' rows.
enum Row { kA, kC, kT0, kInflectionValue, kMaxRate, kLag, kQuantities };
const Parameters kWindowStart = {5, 1, 0};

// R's nls on DNase run 1 and NIST's certified values for Rat42.
struct Reference {
    const char* name;
    std::vector<Point> points;
    Parameters expected;
    double sse;
    std::array<double, 3> errors;
    int dof;
};

std::vector<Reference> references() {
    return {
        {"DNase 1",
         dnase1(),
         {4.60333040364, 0.333423854846, 2.46043964836},
         0.00936163766771,
         {0.653207591, 0.0307927308, 0.411987805},
         13},
        {"Rat42",
         rat42(),
         {82.8321895974, 0.0370749115685, 33.0065173506},
         21.7939900182,
         {5.69750774, 0.00435263726, 2.54090239},
         6},
    };
}

} // namespace

TEST(LeastSquares, MatchesPublishedResultsFromTheWindowsStart) {
    const auto cases = references();
    LeastSquares solver;
    for (const Reference& test : cases) {
        SCOPED_TRACE(test.name);
        for (const Parameters& start :
             {kWindowStart, Parameters{1, -1, 100}, Parameters{200, 0.01, -50}}) {
            const Fit fit = solver.bestFit(kGompertz, test.points, kAllFree, start);
            ASSERT_EQ(fit.status, Status::Ok);
            ASSERT_TRUE(fit.covariance);
            expectRelative(test.sse, fit.sse, 1e-8);
            for (int j = 0; j < 3; ++j) {
                expectRelative(test.expected[j], fit.parameters[j], 1e-6);
                expectRelative(test.errors[j], std::sqrt((*fit.covariance)[j][j]), 1e-5);
            }
            EXPECT_EQ(fit.degreesOfFreedom, test.dof);
            EXPECT_FALSE(fit.illDetermined);
        }
    }
}

TEST(LeastSquares, ExactDataRecoverTheirParametersFromManyStarts) {
    const std::vector<Parameters> truths = {{10, 0.5, 3}, {2, -1.5, 0}, {100, 0.05, 40}};
    const std::vector<double> times = {-2, 0, 1, 2, 3, 4, 5, 7, 9, 12, 15};
    LeastSquares solver;
    for (const Parameters& truth : truths) {
        const auto points = exact(truth, times);
        for (const Parameters& start :
             {kWindowStart, Parameters{-3, 2, -10}, Parameters{1e3, 1e-3, 1e2}, truth}) {
            const Fit fit = solver.bestFit(kGompertz, points, kAllFree, start);
            // A falling curve (c < 0) is found, and refused as no growth.
            ASSERT_EQ(fit.status, truth[1] > 0 ? Status::Ok : Status::NoGrowth);
            for (int j = 0; j < 3; ++j) {
                EXPECT_NEAR(fit.parameters[j], truth[j], 1e-6 * std::max(1.0, std::fabs(truth[j])))
                    << truth[0] << " from " << start[0];
            }
        }
    }
}

TEST(LeastSquares, AFixedParameterStaysAndCountsNoDegreeOfFreedom) {
    const auto points = exact({10, 0.5, 3}, {0, 1, 2, 3, 4, 6, 8, 10});
    LeastSquares solver;
    const Fit fit = solver.bestFit(kGompertz, points, {false, true, false}, {5, 0.5, 0});
    ASSERT_EQ(fit.status, Status::Ok);
    EXPECT_EQ(fit.parameters[1], 0.5);
    EXPECT_NEAR(fit.parameters[0], 10, 1e-8);
    EXPECT_NEAR(fit.parameters[2], 3, 1e-8);
    EXPECT_EQ(fit.degreesOfFreedom, 8 - 2);
    ASSERT_TRUE(fit.covariance);
    EXPECT_EQ((*fit.covariance)[1][1], 0.0);
    EXPECT_EQ((*fit.covariance)[0][1], 0.0);
    const auto rows = estimates(fit);
    EXPECT_TRUE(rows[kC].estimate.fixed);
    EXPECT_FALSE(rows[kC].estimate.standardError);
    EXPECT_FALSE(rows[kA].estimate.fixed);
}

TEST(LeastSquares, RefusesWhatCannotBeFitted) {
    LeastSquares solver;
    EXPECT_EQ(solver.bestFit(kGompertz, {}, kAllFree, kWindowStart).status, Status::NoData);
    const std::vector<Point> three = {{0, 1}, {1, 2}, {2, 3}};
    const Fit few = solver.bestFit(kGompertz, three, kAllFree, kWindowStart);
    EXPECT_EQ(few.status, Status::TooFewPoints);
    EXPECT_EQ(few.freeParameters, 3);
    EXPECT_EQ(solver.bestFit(kGompertz, three, {true, false, false}, kWindowStart).status, Status::Ok);
    // All held: the curve as it stands, its SSE worked out by hand.
    const Fit held = solver.bestFit(kGompertz, three, {true, true, true}, {3, 1, 0});
    ASSERT_EQ(held.status, Status::Ok);
    EXPECT_EQ(held.parameters, (Parameters{3, 1, 0}));
    double sse = 0;
    for (const Point& p : three) {
        const double r = 3 * std::exp(-std::exp(-p.t)) - p.y;
        sse += r * r;
    }
    EXPECT_NEAR(held.sse, sse, 1e-12);
    EXPECT_EQ(held.covariance, Matrix{});
}

TEST(LeastSquares, GrowthThatNeverBendsIsRefusedFromEveryStart) {
    // Growth that still looks exponential: the asymptote runs off towards
    // infinity (a -> inf, c -> 0), whether a run ends on a huge a, on its
    // evaluation cap or beyond the solver's bound.
    const double noise[] = {0.05, -0.08, 0.06, -0.05, 0.08, -0.06, 0.05, -0.08, 0.06};
    std::vector<Point> noisy, clean;
    for (int i = 0; i < 9; ++i) {
        noisy.push_back({double(i), 2 * std::exp(0.3 * i) + noise[i]});
        clean.push_back({double(i), 2 * std::exp(0.3 * i)});
    }
    LeastSquares solver;
    for (const auto& points : {noisy, clean}) {
        for (const Parameters& start :
             {kWindowStart, Parameters{30, 0.3, 5}, Parameters{1e4, 0.01, 300}}) {
            EXPECT_EQ(solver.bestFit(kGompertz, points, kAllFree, start).status, Status::NoPlateau)
                << start[0];
        }
    }
}

TEST(LeastSquares, TheOptimumIsTheSameInAnyUnitOfTAndY) {
    const auto cases = references();
    LeastSquares solver;
    for (const Reference& test : cases) {
        for (int k = -12; k <= 12; ++k) {
            for (const double shift : {0.0, -250.0, 1e5}) {
                for (const double tUnit : {1.0, 1e-3}) {
                    SCOPED_TRACE(std::string(test.name) + " y x 1e" + std::to_string(k) + ", t + " +
                                 std::to_string(shift) + ", t x " + std::to_string(tUnit));
                    const double y = std::pow(10.0, k);
                    std::vector<Point> scaled;
                    for (const Point& p : test.points) {
                        scaled.push_back({p.t * tUnit + shift, p.y * y});
                    }
                    const Fit fit = solver.bestFit(kGompertz, scaled, kAllFree, kWindowStart);
                    ASSERT_EQ(fit.status, Status::Ok);
                    ASSERT_TRUE(fit.covariance);
                    expectRelative(test.expected[0] * y, fit.parameters[0], 1e-6);
                    expectRelative(test.expected[1] / tUnit, fit.parameters[1], 1e-6);
                    EXPECT_NEAR(fit.parameters[2] - shift, test.expected[2] * tUnit,
                                1e-6 * std::fabs(test.expected[2] * tUnit));
                    expectRelative(test.sse * y * y, fit.sse, 1e-6);
                    const double scale[3] = {y, 1 / tUnit, tUnit};
                    for (int j = 0; j < 3; ++j) {
                        expectRelative(test.errors[j] * scale[j],
                                       std::sqrt((*fit.covariance)[j][j]), 1e-6);
                    }
                    EXPECT_FALSE(fit.illDetermined);
                }
            }
        }
    }
}

TEST(LeastSquares, ARunThatNeverLeavesItsStartIsNoOptimum) {
    // From t0 = 100 every point lies where exp(-exp(-c (t - t0))) is 0: the
    // residuals cannot change, the gradient is zero, and the solver stops
    // where it began.
    const auto points = exact({10, 0.5, 3}, {0, 1, 2, 3, 4, 6, 8});
    const Parameters flat = {5, 1, 100};
    LeastSquares solver;
    const Fit stalled = solver.fitFrom(kGompertz, points, kAllFree, flat);
    EXPECT_EQ(stalled.status, Status::NotConverged);
    EXPECT_EQ(stalled.parameters, flat);
    const Fit best = solver.bestFit(kGompertz, points, kAllFree, flat);
    ASSERT_EQ(best.status, Status::Ok);
    EXPECT_NEAR(best.parameters[0], 10, 1e-6);
    EXPECT_NEAR(best.parameters[2], 3, 1e-6);
}

TEST(LeastSquares, ACurveWorseThanTheMeanIsNoFit) {
    // Only a free; c = 1, t0 = 2 rise where the data fall. The best a gives
    // SSE = sum y^2 - (sum y e)^2 / sum e^2 = 45.5, the mean's is 10.
    const std::vector<Point> falling = {{0, 5}, {1, 4}, {2, 3}, {3, 2}, {4, 1}};
    double sy2 = 0, sye = 0, se2 = 0;
    for (const Point& p : falling) {
        const double e = std::exp(-std::exp(-(p.t - 2)));
        sy2 += p.y * p.y;
        sye += p.y * e;
        se2 += e * e;
    }
    ASSERT_GT(sy2 - sye * sye / se2, 10.0);
    LeastSquares solver;
    const Fit fit = solver.bestFit(kGompertz, falling, {false, true, true}, {1, 1, 2});
    EXPECT_EQ(fit.status, Status::NoGrowth);
    EXPECT_NEAR(fit.sse, sy2 - sye * sye / se2, 1e-9);
    // c held at 0: the flat line a / e, no better than the mean, its lag
    // t0 - 1/c at infinity.
    for (const auto& points : {falling, dnase1()}) {
        EXPECT_EQ(solver.bestFit(kGompertz, points, {false, true, false}, {1, 0, 2}).status,
                  Status::NoGrowth);
    }
}

TEST(AutomaticStart, HandlesDecreasingDataZerosAndRepeatedTimes) {
    struct Case {
        const char* name;
        std::vector<Point> points;
        Parameters truth;
    };
    auto decreasing = exact({8, -0.7, 2}, {-2, -1, 0, 1, 2, 3, 4, 5, 6});
    auto withZeros = exact({5, 1.2, 1}, {-6, -5, -4, -1, 0, 1, 2, 3, 5});
    withZeros[0].y = 0;
    withZeros[1].y = 0;
    auto repeated = exact({3, 0.8, 0}, {-2, -2, -1, -1, 0, 0, 1, 1, 3, 3});
    auto negative = exact({-4, 0.9, 1}, {-2, -1, 0, 1, 2, 3, 4, 6});
    const std::vector<Case> cases = {{"decreasing", decreasing, {8, -0.7, 2}},
                                     {"zeros", withZeros, {5, 1.2, 1}},
                                     {"repeated t", repeated, {3, 0.8, 0}},
                                     {"negative values", negative, {-4, 0.9, 1}}};
    LeastSquares solver;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const Parameters start = automaticStart(kGompertz, test.points, kAllFree, kWindowStart);
        EXPECT_EQ(std::signbit(start[0]), std::signbit(test.truth[0]));
        EXPECT_EQ(std::signbit(start[1]), std::signbit(test.truth[1]));
        const Fit fit = solver.fitFrom(kGompertz, test.points, kAllFree, start);
        // Found, and for a falling curve (a < 0 or c < 0) refused as no growth.
        ASSERT_EQ(fit.status,
                  test.truth[0] > 0 && test.truth[1] > 0 ? Status::Ok : Status::NoGrowth);
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(fit.parameters[j], test.truth[j],
                        1e-5 * std::max(1.0, std::fabs(test.truth[j])));
        }
    }
    // Two points: a start, though no fit.
    const Parameters two = automaticStart(kGompertz, {{0, 1}, {1, 2}}, kAllFree, kWindowStart);
    for (double v : two) {
        EXPECT_TRUE(std::isfinite(v));
    }
}

TEST(Statistics, QuantitiesAndTheBandFollowTheirFormulas) {
    LeastSquares solver;
    const auto points = dnase1();
    const Fit fit = solver.bestFit(kGompertz, points, kAllFree, kWindowStart);
    ASSERT_EQ(fit.status, Status::Ok);
    EXPECT_NEAR(studentQuantile975(13), 2.16036865646, 1e-10);

    const auto rows = estimates(fit);
    const double e = std::exp(1.0);
    const auto [a, c, t0, unused] = fit.parameters;
    ASSERT_TRUE(fit.covariance);
    const auto& C = *fit.covariance;
    EXPECT_NEAR(rows[kInflectionValue].estimate.value, a / e, 1e-12);
    EXPECT_NEAR(*rows[kInflectionValue].estimate.standardError, std::sqrt(C[0][0]) / e, 1e-12);
    const double rateVariance = (c * c * C[0][0] + 2 * a * c * C[0][1] + a * a * C[1][1]) / (e * e);
    EXPECT_NEAR(*rows[kMaxRate].estimate.standardError, std::sqrt(rateVariance), 1e-12);
    const double lagVariance = C[1][1] / std::pow(c, 4) + 2 * C[1][2] / (c * c) + C[2][2];
    EXPECT_NEAR(rows[kLag].estimate.value, t0 - 1 / c, 1e-12);
    EXPECT_NEAR(*rows[kLag].estimate.standardError, std::sqrt(lagVariance), 1e-10);
    EXPECT_NEAR(*rows[kA].estimate.lower, a - 2.16036865646 * std::sqrt(C[0][0]), 1e-9);

    // The band at t = 1 from the gradient worked out by hand.
    const double t = 1.0;
    const double inner = std::exp(-c * (t - t0));
    const double g[3] = {std::exp(-inner), a * (t - t0) * inner * std::exp(-inner),
                         -a * c * inner * std::exp(-inner)};
    double variance = 0;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            variance += g[i] * C[i][j] * g[j];
        }
    }
    const BandSample at = bandAt(fit, t);
    EXPECT_NEAR(at.fitted, a * std::exp(-inner), 1e-12);
    EXPECT_NEAR(at.upper - at.fitted, 2.16036865646 * std::sqrt(variance), 1e-10);
    EXPECT_NEAR(at.fitted - at.lower, 2.16036865646 * std::sqrt(variance), 1e-10);

    double mean = 0, total = 0;
    for (const Point& p : points) {
        mean += p.y / 16;
    }
    for (const Point& p : points) {
        total += (p.y - mean) * (p.y - mean);
    }
    EXPECT_NEAR(*rSquared(fit, points), 1 - 0.00936163766771 / total, 1e-9);
    EXPECT_NEAR(residualDeviation(fit), std::sqrt(0.00936163766771 / 13), 1e-9);
}

namespace {

// The first of what the window shows of a fit that is not finite, or
// nothing: parameters, SSE, s, R², covariance, the quantities with their
// errors and intervals, the fitted values and residuals at the points and
// the band over the data's range.
std::string firstNonFinite(const Fit& fit, const std::vector<Point>& points) {
    const auto bad = [](double v) { return !std::isfinite(v); };
    if (std::any_of(fit.parameters.begin(), fit.parameters.end(), bad)) {
        return "parameters";
    }
    if (bad(fit.sse) || bad(residualDeviation(fit))) {
        return "SSE or s";
    }
    if (const auto r2 = rSquared(fit, points); r2 && bad(*r2)) {
        return "R²";
    }
    for (std::size_t i = 0; fit.covariance && i < 3; ++i) {
        if (std::any_of((*fit.covariance)[i].begin(), (*fit.covariance)[i].end(), bad)) {
            return "covariance";
        }
    }
    const auto rows = estimates(fit);
    for (std::size_t q = 0; q < rows.size(); ++q) {
        const Estimate& e = rows[q].estimate;
        for (const auto& v : {std::optional(e.value), e.standardError, e.lower, e.upper}) {
            if (v && bad(*v)) {
                return "quantity " + std::to_string(q);
            }
        }
    }
    double from = points.front().t;
    double to = from;
    for (const Point& p : points) {
        from = std::min(from, p.t);
        to = std::max(to, p.t);
        const double fitted = kGompertz.value(fit.parameters, p.t);
        if (bad(fitted) || bad(p.y - fitted)) {
            return "fitted value or residual";
        }
    }
    for (const BandSample& s : band(fit, from, to, 101)) {
        if (bad(s.t) || bad(s.lower) || bad(s.upper)) {
            return "band";
        }
    }
    return {};
}

std::vector<Point> transformed(const std::vector<Point>& points, double tUnit, double yUnit) {
    std::vector<Point> out;
    for (const Point& p : points) {
        out.push_back({p.t * tUnit, p.y * yUnit});
    }
    return out;
}

// Rat42's growth scaled up to 9.4E+307, with a replicate at its last time:
// whatever the curve, one of the two values at t = 79 misses it by half
// their difference, 2.2E+306, so SSE >= 2 (2.2E+306)^2, beyond 1.8E+308.
std::vector<Point> growthNearTheLargestDouble() {
    auto points = transformed(rat42(), 1, 1.4e306);
    points.push_back({79, 64.0 * 1.4e306});
    return points;
}

// +1E+308 and -1E+308 in turn: the curve is monotone in t, so of each pair
// of neighbours it misses one by at least 1E+308, and SSE >= 5E+616.
std::vector<Point> alternatingExtremes() {
    std::vector<Point> points;
    for (int i = 0; i < 10; ++i) {
        points.push_back({double(i), i % 2 == 0 ? 1e308 : -1e308});
    }
    return points;
}

} // namespace

TEST(LeastSquares, ValuesWhoseSumsOverflowAreRefusedWithoutAResult) {
    struct Case {
        const char* name;
        std::vector<Point> points;
        Fixed fixed;
        Parameters start;
    };
    const std::vector<Case> cases = {
        {"growth near 1E+308", growthNearTheLargestDouble(), kAllFree, kWindowStart},
        {"growth near 1E+308, only a free",
         growthNearTheLargestDouble(),
         {false, true, true},
         {1e308, 0.0370749115685, 33.0065173506}},
        {"growth near 1E+308, all held",
         growthNearTheLargestDouble(),
         {true, true, true},
         {82.8321895974 * 1.4e306, 0.0370749115685, 33.0065173506}},
        {"+-1E+308 in turn", alternatingExtremes(), kAllFree, kWindowStart},
    };
    LeastSquares solver;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        for (const Fit& fit : {solver.bestFit(kGompertz, test.points, test.fixed, test.start),
                               solver.fitFrom(kGompertz, test.points, test.fixed, test.start)}) {
            EXPECT_EQ(fit.status, Status::OutOfRange);
            for (double v : fit.parameters) { // nothing that looks like a result
                EXPECT_TRUE(std::isnan(v)) << v;
            }
            EXPECT_TRUE(std::isnan(fit.sse));
            EXPECT_FALSE(fit.covariance);
        }
    }
}

TEST(LeastSquares, AFitAtTheEdgesOfTheDoubleRangeIsAllFiniteOrRefused) {
    struct Case {
        const char* name;
        std::vector<Point> points;
    };
    std::vector<Point> wideT = rat42();
    wideT.front().t = -1e308;
    wideT.back().t = 1e308;
    const std::vector<Case> cases = {
        {"DNase, y x 1E+154", transformed(dnase1(), 1, 1e154)},
        {"DNase, y x 1E+160", transformed(dnase1(), 1, 1e160)},
        {"DNase, y x 1E-150", transformed(dnase1(), 1, 1e-150)},
        {"DNase, y x 1E-160", transformed(dnase1(), 1, 1e-160)},
        {"Rat42, t x 1E-300", transformed(rat42(), 1e-300, 1)},
        {"Rat42, t x 1E+306", transformed(rat42(), 1e306, 1)},
        {"Rat42, t from -1E+308 to 1E+308", wideT},
        {"Rat42, y x 1E+306", transformed(rat42(), 1, 1e306)},
        {"growth near 1E+308", growthNearTheLargestDouble()},
        {"+-1E+308 in turn", alternatingExtremes()},
    };
    LeastSquares solver;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const Fit fit = solver.bestFit(kGompertz, test.points, kAllFree, kWindowStart);
        if (fit.status == Status::Ok || fit.status == Status::NotConverged) {
            EXPECT_EQ(firstNonFinite(fit, test.points), "");
        } else { // or no rise the curve can follow beyond the noise
            EXPECT_TRUE(fit.status == Status::OutOfRange || fit.status == Status::NoGrowth);
        }
    }
}

TEST(LeastSquares, LargeUnitsGiveTheSameRSquaredAndErrors) {
    // DNase in units of 1E-154: the sum about the mean (5.4E+308) and the
    // square of a / e (2.9E+308) overflow, the results do not. R² = 1 -
    // SSE / SST from R's SSE and the data's SST worked out here.
    const auto points = dnase1();
    double mean = 0;
    for (const Point& p : points) {
        mean += p.y / 16;
    }
    double total = 0;
    for (const Point& p : points) {
        total += (p.y - mean) * (p.y - mean);
    }
    const auto large = transformed(points, 1, 1e154);
    LeastSquares solver;
    const Fit fit = solver.bestFit(kGompertz, large, kAllFree, kWindowStart);
    ASSERT_EQ(fit.status, Status::Ok);
    expectRelative(0.00936163766771e308, fit.sse, 1e-8);
    ASSERT_TRUE(rSquared(fit, large));
    EXPECT_NEAR(*rSquared(fit, large), 1 - 0.00936163766771 / total, 1e-9);
    // Each quantity and its error as in the data's own units, times 1E+154
    // for those in the units of y.
    const auto rows = estimates(fit);
    const auto plain = estimates(solver.bestFit(kGompertz, points, kAllFree, kWindowStart));
    const double unit[kQuantities] = {1e154, 1, 1, 1e154, 1e154, 1};
    for (int q = 0; q < kQuantities; ++q) {
        SCOPED_TRACE(q);
        const Estimate& e = rows[q].estimate;
        const Estimate& base = plain[q].estimate;
        expectRelative(base.value * unit[q], e.value, 1e-6);
        ASSERT_TRUE(e.standardError && base.standardError);
        expectRelative(*base.standardError * unit[q], *e.standardError, 1e-6);
    }
}

// Cases where earlier versions went wrong: an interior optimum refused as
// having no plateau, a local optimum shown as the optimum, flat lines shown
// as fits, and a refusal that carried placeholder parameters and SSE 0.
TEST(LeastSquares, FindsTheOptimumWhereStartsMislead) {
    const auto pointsOf = [](const std::vector<double>& t, const std::vector<double>& y) {
        std::vector<Point> points;
        for (std::size_t i = 0; i < t.size(); ++i) {
            points.push_back({t[i], y[i]});
        }
        return points;
    };
    LeastSquares solver;
    // Flat almost to the end, then a rise: a = 0.190983, c = 0.748573,
    // t0 = 64.9034 gives SSE 0.015666.
    const Fit interior = solver.bestFit(
        kGompertz,
        pointsOf({28.9221, 31.5733, 33.8565, 34.7218, 36.7012, 50.722, 55.2156, 55.2985, 56.6792,
                  58.9154, 65.4692, 69.5473, 71.5654},
                 {0.0675477, 0.0139139, -0.0112942, 0.0334913, -0.00869201, 0.0200864, 0.07127,
                  0.0445959, 0.00556535, 0.0456274, 0.099231, 0.185168, 0.189684}),
        kAllFree, kWindowStart);
    ASSERT_EQ(interior.status, Status::Ok);
    EXPECT_NEAR(interior.sse, 0.015666, 1e-6);
    EXPECT_NEAR(interior.parameters[0], 0.190983, 1e-5);
    EXPECT_NEAR(interior.parameters[2], 64.9034, 1e-3);
    // The rise between t = 2.35 and 5.33: SSE 546.459 at a gentle local
    // optimum, 492.282 at the steep one.
    const Fit steep = solver.bestFit(
        kGompertz,
        pointsOf({1.96085, 2.35093, 5.32601, 7.48393, 7.76913, 7.90277, 9.00938},
                 {8.04029, 5.39636, 139.857, 181.827, 200.141, 177.101, 174.676}),
        kAllFree, kWindowStart);
    ASSERT_EQ(steep.status, Status::Ok);
    EXPECT_NEAR(steep.sse, 492.282, 1e-2);
    // R's Indometh, subject 1, and ChickWeight, chick 29: the best curve is
    // flat over the data (SSE that of the mean) or runs off: no fit.
    for (const auto& points :
         {pointsOf({0.25, 0.5, 0.75, 1, 1.25, 2, 3, 4, 5, 6, 8},
                   {1.5, 0.94, 0.78, 0.48, 0.37, 0.19, 0.12, 0.11, 0.08, 0.07, 0.05}),
          pointsOf({0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 21},
                   {39, 48, 59, 74, 87, 106, 134, 150, 187, 230, 279, 309})}) {
        const Fit flat = solver.bestFit(kGompertz, points, kAllFree, kWindowStart);
        EXPECT_TRUE(flat.status == Status::NoGrowth || flat.status == Status::NoPlateau);
    }
    // A refusal without any result carries none: no SSE of 0 to be misread.
    std::vector<Point> exponential;
    for (int i = 0; i < 9; ++i) {
        exponential.push_back({double(i), 2 * std::exp(0.3 * i)});
    }
    const Fit none = solver.bestFit(kGompertz, exponential, kAllFree, kWindowStart);
    ASSERT_EQ(none.status, Status::NoPlateau);
    EXPECT_TRUE(std::isnan(none.sse));
}
