// Weighted fits, the lack-of-fit test and the comparison of two sets
// against R (tests/reference/data_sets.R): nls(..., weights = ) on DNase
// run 1 with each weighting, and nls on the stacked sets with an indicator
// of the set, compared by anova(). The reader of data-set files alongside.
#include "data/data_sets.h"
#include "data/examples.h"
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

#include <sys/stat.h>
#include <unistd.h>

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
    // Equal replicates whose mean rounds: the deviation is rounding, not a
    // scatter, however many there are (six of 13,016 gave weights of 1e31).
    for (const double value : {13.016, 0.1, 0.7, 1.1, 2.0 / 3.0, 1e-5}) {
        for (std::size_t count = 2; count <= 9; ++count) {
            std::vector<Point> same(count, Point{0, value});
            same.push_back({1, value * 2});
            same.push_back({1, value * 2.1});
            EXPECT_NE(refusal(weightedValues(same, Weighting::Deviation)).find("DE = 0"),
                      std::string::npos)
                << count << " of " << value;
        }
    }
    // Weights past what a double holds are refused, not fitted as 0 or inf.
    const std::vector<Point> huge = {{0, 1e308}, {1, 1e307}, {2, 1e306}};
    EXPECT_NE(refusal(weightedValues(huge, Weighting::RelativeValue)).find("fuera del alcance"),
              std::string::npos);
    const std::vector<Point> spread = {{0, 1e200}, {0, -1e200}, {1, 1}, {1, 2}};
    EXPECT_NE(refusal(weightedValues(spread, Weighting::Deviation)).find("fuera del alcance"),
              std::string::npos);
    EXPECT_NE(refusal(weightedMeans({{0, 1, 1e200, 3}}, Weighting::Deviation)).find("fuera del alcance"),
              std::string::npos);
    EXPECT_NE(refusal(weightedMeans({{0, 1, 1e-200, 3}}, Weighting::Deviation)).find("DE"),
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
    EXPECT_EQ(c.sentence, "Las curvas de «Control» y «Tratado» difieren (p < 0,001). Ninguna "
                          "magnitud difiere por sí sola (p ≥ 0,05).");
    // Half as high again: the sets are named once, and what differs is
    // listed, each with its p.
    std::vector<Point> higher = first;
    for (Point& point : higher) {
        point.y *= 1.5;
        point.t += 1.0;
    }
    const SetComparison h = compareSets(solver, gompertzModel(), first, higher, kAllFree,
                                        {5, 1, 0, 0}, "Control", "Tratado");
    EXPECT_EQ(h.sentence, "Las curvas de «Control» y «Tratado» difieren (p < 0,001). Difieren "
                          "en la tasa máxima de crecimiento (p < 0,001) y la fase de latencia "
                          "(p < 0,001).");
    EXPECT_EQ(h.sentence.find("Control", 20), std::string::npos) << h.sentence;
    // The same set twice: one curve serves both.
    const SetComparison same = compareSets(solver, gompertzModel(), first, first, kAllFree,
                                           {5, 1, 0, 0}, "A", "B");
    ASSERT_TRUE(same.common);
    EXPECT_NEAR(same.common->f, 0.0, 1e-9);
    EXPECT_EQ(same.sentence,
              "Los datos no muestran diferencia entre las curvas de «A» y «B» (p = 1).");
    // A set with no fit is named.
    const SetComparison refused = compareSets(solver, gompertzModel(), first,
                                              {{0, 1}, {1, 1}, {2, 1}, {3, 1}}, kAllFree,
                                              {5, 1, 0, 0}, "A", "Plano");
    EXPECT_NE(refused.status, Status::Ok);
    EXPECT_NE(refused.failure.find("«Plano»"), std::string::npos) << refused.failure;
}

namespace {

using gompertz::data::parseSet;
using gompertz::data::readSet;
using gompertz::data::SetFile;

std::string refusal(const std::variant<SetFile, std::string>& read) {
    return std::holds_alternative<std::string>(read) ? std::get<std::string>(read) : "";
}

std::vector<std::pair<double, double>> valuesOf(const std::variant<SetFile, std::string>& read) {
    std::vector<std::pair<double, double>> out;
    if (const auto* set = std::get_if<SetFile>(&read)) {
        for (const auto& m : set->values) {
            out.emplace_back(m.t, m.value);
        }
    }
    return out;
}

} // namespace

// Replicate columns (an empty cell is a missing value) and the long form
// give each value its own point; the header is skipped.
TEST(SetFile, ReplicateColumnsAndTheLongFormGiveEveryValue) {
    using V = std::vector<std::pair<double, double>>;
    EXPECT_EQ(valuesOf(parseSet("t;r1;r2;r3\n0;1;1,1;\n1;2;;2,2\n2;3;3,5;3,25\n")),
              (V{{0, 1}, {0, 1.1}, {1, 2}, {1, 2.2}, {2, 3}, {2, 3.5}, {2, 3.25}}));
    EXPECT_EQ(valuesOf(parseSet("t,y\n0,1.5\n0,1.25\n1,2\n")), (V{{0, 1.5}, {0, 1.25}, {1, 2}}));
    EXPECT_EQ(valuesOf(parseSet("0\t1\t2\r\n1\t3\t4\r\n")), (V{{0, 1}, {0, 2}, {1, 3}, {1, 4}}));
    // A time with every value missing adds nothing.
    EXPECT_EQ(valuesOf(parseSet("t;a;b\n0;;\n1;2;3\n")), (V{{1, 2}, {1, 3}}));
}

TEST(SetFile, AHeaderOfTMeanDeAndNGivesTheMeans) {
    for (const char* text : {"t;media;DE;n\n0;1;0,1;3\n2;5;0,5;4\n",
                             "Tiempo;Media;SD;N\n0;1;0,1;3\n2;5;0,5;4\n",
                             "time,mean,sd,n\n0,1,0.1,3\n2,5,0.5,4\n"}) {
        const auto read = parseSet(text);
        ASSERT_TRUE(std::holds_alternative<SetFile>(read)) << text << refusal(read);
        const SetFile& set = std::get<SetFile>(read);
        EXPECT_TRUE(set.values.empty());
        ASSERT_EQ(set.means.size(), 2u);
        EXPECT_EQ(set.means[1].t, 2);
        EXPECT_EQ(set.means[1].mean, 5);
        EXPECT_EQ(set.means[1].deviation, 0.5);
        EXPECT_EQ(set.means[1].count, 4);
    }
    // Without that header, four columns are t and three replicates.
    EXPECT_EQ(valuesOf(parseSet("t;a;b;c\n0;1;0,1;3\n")).size(), 3u);
}

// Each refusal names the line and what is wrong with it.
TEST(SetFile, RefusalsNameTheLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"t;y\n1;2\n2;x\n", "en la línea 3, «x» no es un número"},
        {"t;y\n;2\n", "en la línea 2, falta t"},
        {"1;2.5\n2;3,5\n", "en la línea 2, «3,5» usa la coma decimal, pero «2.5»"},
        {"t;y\n1\n", "no hay valores"},
        {"t;y\n", "no hay filas de datos"},
        {"t;y\n1;\n2;\n", "no hay valores"},
        {"t;media;DE;n\n0;1;-1;3\n", "la DE es negativa"},
        {"t;media;DE;n\n0;1;1;2,5\n", "n no es un número entero"},
        {"t;media;DE;n\n0;1;1\n", "se esperan cuatro números"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_NE(refusal(parseSet(text)).find(expected), std::string::npos)
            << text << " -> " << refusal(parseSet(text));
    }
}

// Up to 10 000 values a set; one more is refused.
TEST(SetFile, TenThousandValuesAndNoMore) {
    std::string text = "t;y\n";
    for (int i = 0; i < 10000; ++i) {
        text += std::to_string(i) + ";" + std::to_string(i % 7) + "\n";
    }
    EXPECT_EQ(valuesOf(parseSet(text)).size(), 10000u);
    EXPECT_NE(refusal(parseSet(text + "10000;1\n")).find("más de 10 000"), std::string::npos);
    std::string wide = "t;a;b\n";
    for (int i = 0; i < 5001; ++i) {
        wide += std::to_string(i) + ";1;2\n";
    }
    EXPECT_NE(refusal(parseSet(wide)).find("más de 10 000 valores"), std::string::npos);
}

// A file is read as import reads it (here UTF-16 with its mark), and a
// refusal names it.
TEST(SetFile, AFileIsDecodedAndARefusalNamesIt) {
    const std::string folder = ::testing::TempDir();
    const std::string good = folder + "/replicas.csv";
    {
        std::FILE* f = std::fopen(good.c_str(), "wb");
        const char16_t text[] = u"t;a;b\n0;1;2\n";
        std::fwrite("\xFF\xFE", 1, 2, f);
        std::fwrite(text, 2, std::char_traits<char16_t>::length(text), f);
        std::fclose(f);
    }
    EXPECT_EQ(valuesOf(readSet(good)).size(), 2u) << refusal(readSet(good));
    const std::string bad = folder + "/malos.csv";
    {
        std::FILE* f = std::fopen(bad.c_str(), "wb");
        std::fputs("t;y\n1;2\n2;dos\n", f);
        std::fclose(f);
    }
    EXPECT_EQ(refusal(readSet(bad)), "No se puede añadir malos.csv: en la línea 3, «dos» no es un "
                                     "número. No se ha añadido nada.");
}

// A long series is searched on a thinning and finished on every point: the
// optimum, errors and statuses are those of Levenberg-Marquardt run on
// every point from near the optimum, and its sum of squares no higher.
TEST(LongSeries, TheThinnedSearchEndsAtTheOptimumOfEveryPoint) {
    std::vector<Point> series;
    for (int i = 0; i < 10000; ++i) {
        const double t = -3.0 + 11.0 * i / 9999;
        series.push_back({t, 2.0 * std::exp(-std::exp(-t)) + 0.03 * std::sin(12.9898 * i)});
    }
    LeastSquares solver;
    for (const Weighting weighting : {Weighting::None, Weighting::RelativeValue}) {
        const auto points = weighted(series, weighting);
        const Fit fit = solver.bestFit(gompertzModel(), points, kAllFree, {5, 1, 0, 0});
        ASSERT_EQ(fit.status, Status::Ok);
        Parameters near = fit.parameters;
        near[0] *= 1.01;
        near[1] *= 0.99;
        const Fit reference = solver.fitFrom(gompertzModel(), points, kAllFree, near);
        ASSERT_EQ(reference.status, Status::Ok);
        const auto rows = estimates(fit);
        const auto referenceRows = estimates(reference);
        // To the digits shown: with 1/y^2 the values near zero weigh so much
        // that the sum of squares is flat to rounding over 3e-7 of c, and
        // Levenberg-Marquardt itself stops anywhere there.
        for (std::size_t j = 0; j < 3; ++j) {
            EXPECT_NEAR(fit.parameters[j], reference.parameters[j],
                        1e-6 * std::fabs(reference.parameters[j]) + 1e-9);
            expectDigits(*referenceRows[j].estimate.standardError,
                         *rows[j].estimate.standardError, 1e-5, "standard error");
        }
        EXPECT_LE(fit.sse, reference.sse * (1 + 1e-12));
    }
    // Growth without a plateau is refused as it is on a short series.
    std::vector<Point> rising;
    for (int i = 0; i < 5000; ++i) {
        rising.push_back({i / 1000.0, std::exp(i / 1000.0) + 0.01 * std::sin(12.9898 * i)});
    }
    EXPECT_EQ(solver.bestFit(gompertzModel(), rising, kAllFree, {5, 1, 0, 0}).status,
              Status::NoPlateau);
}

namespace {

std::vector<gompertz::data::MeanRow> meansOf(const std::variant<SetFile, std::string>& read) {
    const auto* set = std::get_if<SetFile>(&read);
    return set ? set->means : std::vector<gompertz::data::MeanRow>{};
}

} // namespace

// A means file is known by the names its header gives, in Spanish or
// English, in any case, with units and in any order; each row's numbers go
// where the header says, so the swapped "n;DE" gives n = 3 and DE = 0,5.
TEST(SetFile, AMeansHeaderIsKnownByItsNamesInAnyOrder) {
    const std::pair<const char*, const char*> files[] = {
        {"t (h);media (mg/L);DE;n", "0;1;0,5;3\n2;4;0,25;5\n"},
        {"t;promedio;DE;n", "0;1;0,5;3\n2;4;0,25;5\n"},
        {"time;mean;std;n", "0;1;0,5;3\n2;4;0,25;5\n"},
        {"tiempo;media;desviación;n", "0;1;0,5;3\n2;4;0,25;5\n"},
        {"Tiempo [días];Media;Desviación típica;Réplicas", "0;1;0,5;3\n2;4;0,25;5\n"},
        {"t;media;n;DE", "0;1;3;0,5\n2;4;5;0,25\n"},
        {"n;Desv. est.;Promedio;T", "3;0,5;1;0\n5;0,25;4;2\n"},
        {"TIME,AVERAGE,SD,COUNT", "0,1,0.5,3\n2,4,0.25,5\n"},
    };
    for (const auto& [header, rows] : files) {
        const auto read = parseSet(std::string(header) + "\n" + rows);
        const auto means = meansOf(read);
        ASSERT_EQ(means.size(), 2u) << header << ": " << refusal(read);
        EXPECT_EQ(means[1].t, 2) << header;
        EXPECT_EQ(means[1].mean, 4) << header;
        EXPECT_EQ(means[1].deviation, 0.25) << header;
        EXPECT_EQ(means[1].count, 5) << header;
    }
}

// A header that names a mean or a deviation is a means file: one that
// lacks a column (n too, which the weight n/DE² needs), names one twice or
// names a column it does not know is refused, naming what is wrong, and
// never read as replicates.
TEST(SetFile, AMeansHeaderThatLacksOrRepeatsAColumnIsRefusedSayingWhich) {
    const std::pair<const char*, const char*> cases[] = {
        {"t;media;DE\n0;1;0,5\n", "no nombra la columna n"},
        {"t;media;DE\n0;1;0,5\n", "n/DE²"},
        {"t;media;media;n\n0;1;1;3\n", "nombra la media dos veces («media» y «media»)"},
        {"t;media;DE;n;lote\n0;1;0,5;3;7\n", "nombra «lote», que no es t, media, DE ni n"},
        {"t;media\n0;1\n", "nombra la media sin su desviación típica (DE)"},
        {"t;media;n\n0;1;3\n", "nombra la media sin su desviación típica (DE)"},
        {"t;DE;n\n0;0,5;3\n", "nombra la desviación típica sin la media"},
        {"media;DE;n\n1;0,5;3\n", "no nombra la columna t"},
        {"t;DE;SD;media;n\n0;1;1;1;3\n", "dos veces («DE» y «SD»)"},
        {"t;media;EE;n\n0;1;0,5;3\n", "«EE», el error estándar de la media"},
    };
    for (const auto& [text, expected] : cases) {
        const auto read = parseSet(text);
        EXPECT_NE(refusal(read).find(expected), std::string::npos)
            << text << " -> " << refusal(read);
        EXPECT_NE(refusal(read).find("en la línea 1, la cabecera"), std::string::npos) << text;
    }
}

// Under a header, a row with more fields than it names is refused at its
// line, not read as more replicates; fewer are missing values.
TEST(SetFile, ARowWiderThanItsHeaderIsRefusedNamingTheLine) {
    EXPECT_EQ(refusal(parseSet("t;y\n0;1\n1;2;3\n")),
              "en la línea 3, la fila tiene más campos que la cabecera, que nombra 2 columnas");
    EXPECT_EQ(refusal(parseSet("t;media;DE;n\n0;1;0,5;3" + std::string(9000, ';') + "9\n")),
              "en la línea 2, la fila tiene más campos que la cabecera, que nombra 4 columnas");
    // Import reads its two columns under a header of any width; a set's
    // rows under a one-name header are wider than it.
    EXPECT_NE(refusal(parseSet("x;\n1;2\n")).find("que nombra 1 columna"), std::string::npos);
    using V = std::vector<std::pair<double, double>>;
    EXPECT_EQ(valuesOf(parseSet("t;a;b\n0;1\n1;2;3\n")), (V{{0, 1}, {1, 2}, {1, 3}}));
}

// A number beyond the range of a double is a number, said to be out of
// range rather than "not a number".
TEST(SetFile, ANumberBeyondTheRangeIsSaidToBeSo) {
    for (const char* text : {"t;y\n0;1e309\n", "t;y\n0;-1E+400\n", "t;y\n1e309;1\n"}) {
        EXPECT_NE(
            refusal(parseSet(text)).find("es un número fuera del rango que maneja el programa"),
            std::string::npos)
            << refusal(parseSet(text));
        EXPECT_EQ(refusal(parseSet(text)).find("no es un número"), std::string::npos);
    }
}

// Each limit refuses at the line that passes it, before the rest is read:
// a file of blank lines at its 100 001st line, values at the one past 10 000
// values (here line 5 002 of two values a row), columns at the 102nd field.
TEST(SetFile, ALimitIsRefusedAtTheLineThatPassesIt) {
    EXPECT_EQ(refusal(parseSet("t;y\n0;1\n" + std::string(10'000'000, '\n'))),
              "en la línea 100001, el archivo tiene más de 100 000 líneas");
    EXPECT_EQ(refusal(parseSet(std::string(10'000'000, '\n') + "t;y\n0;1\n")),
              "en la línea 100001, el archivo tiene más de 100 000 líneas");
    std::string wide = "t;a;b\n";
    for (int i = 0; i < 6000; ++i) {
        wide += std::to_string(i) + ";1;2\n";
    }
    EXPECT_EQ(refusal(parseSet(wide)), "en la línea 5002, hay más de 10 000 valores");
    // Rows of separators are empty rows, however long; the text has none.
    std::string separators;
    for (int i = 0; i < 40; ++i) {
        separators += std::string(32767, ';') + "\n";
    }
    EXPECT_EQ(refusal(parseSet(separators)), "no hay filas de datos");
    EXPECT_EQ(refusal(parseSet(std::string(15'000'000, ';'))),
              "en la línea 1, la línea es demasiado larga");
    std::string many = "0";
    for (int i = 0; i < 200000; ++i) {
        many += ";1";
    }
    many.resize(32000);
    EXPECT_EQ(refusal(parseSet(many + "\n")), "en la línea 1, hay más de 101 columnas");
}

// What keeps a file from being read is said without the main window's
// table, which a set never touches.
TEST(SetFile, AFileThatCannotBeReadIsRefusedWithoutMentioningTheTable) {
    const std::string folder = ::testing::TempDir();
    const std::string big = folder + "/grande.csv";
    {
        std::FILE* f = std::fopen(big.c_str(), "wb");
        std::fputs("t;y\n0;1\n", f);
        std::fclose(f);
    }
    ASSERT_EQ(::truncate(big.c_str(), 17 << 20), 0); // sparse: costs no disk
    EXPECT_EQ(refusal(readSet(big)), "No se puede añadir grande.csv: es demasiado grande (más de "
                                     "16 MiB). No se ha añadido nada.");
    const std::string sub = folder + "/carpeta.csv";
    ::mkdir(sub.c_str(), 0700);
    EXPECT_EQ(refusal(readSet(sub)), "No se puede añadir carpeta.csv: en su lugar hay una carpeta "
                                     "con ese nombre. No se ha añadido nada.");
    EXPECT_EQ(refusal(readSet(folder + "/no-existe.csv")).find("tabla"), std::string::npos);
}

// The examples: DNase run 1 (duplicates) and Orange tree 1 (a plateau) fit
// with the default Gompertz model from its default start; ChickWeight
// chick 1 is the one labelled as data that stop before the plateau, and is
// refused so.
TEST(Examples, TwoFitAndTheOneLabelledWithoutAPlateauIsRefusedSo) {
    const auto& list = gompertz::data::examples();
    ASSERT_EQ(list.size(), 3u);
    LeastSquares solver;
    const auto fitOf = [&](const gompertz::data::Example& example) {
        std::vector<Point> points;
        for (const auto& [t, y] : example.rows) {
            points.push_back({t, y});
        }
        return solver.bestFit(gompertzModel(), points, kAllFree, {5, 1, 0, 0});
    };
    int repeated = 0;
    for (std::size_t i = 1; i < list[0].rows.size(); ++i) {
        repeated += list[0].rows[i].first == list[0].rows[i - 1].first ? 1 : 0;
    }
    EXPECT_EQ(repeated, 8) << "two values at each of DNase's eight concentrations";
    EXPECT_NE(std::string(list[0].name).find("réplicas"), std::string::npos);
    EXPECT_EQ(fitOf(list[0]).status, Status::Ok);
    EXPECT_NE(std::string(list[1].name).find("con meseta"), std::string::npos);
    EXPECT_EQ(fitOf(list[1]).status, Status::Ok);
    EXPECT_NE(std::string(list[2].name).find("(sin meseta: ejemplo de datos que paran antes)"),
              std::string::npos);
    EXPECT_EQ(fitOf(list[2]).status, Status::NoPlateau);
    for (const auto& example : list) {
        EXPECT_EQ(std::string(example.source).rfind("R, conjunto ", 0), 0u) << example.source;
        EXPECT_LE(example.rows.size(), 20u);
    }
}
