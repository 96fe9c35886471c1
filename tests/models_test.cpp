// Every growth model against R's nls fits (tests/reference/models.R): the
// same optimum, errors and sums in any unit of t and y, the honest refusals,
// and the comparison by AICc and the F test against R's AIC() and anova().
#include "fit/comparison.h"
#include "fit/least_squares.h"
#include "fit/statistics.h"
#include "reference_sets.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

using namespace gompertz::fit;
using namespace reference_sets;
using reference_models::kModels;
using reference_models::kNested;

namespace {

const Fixed kAllFree = {false, false, false, false};
const Parameters kWindowStart = {5, 1, 0, 0};

Fit bestFitOf(LeastSquares& solver, const GrowthModel& model, const std::vector<Point>& points) {
    return solver.bestFit(model, points, kAllFree, model.fromGompertz(kWindowStart),
                          startsFor(model));
}

// Six significant digits, as the references are compared.
void expectDigits(double expected, double actual, double relative = 1e-6) {
    EXPECT_NEAR(actual, expected, relative * std::fabs(expected)) << expected;
}

} // namespace

TEST(Models, TheListNamesFourModelsWithGompertzFirst) {
    std::vector<std::string> names;
    for (const GrowthModel* model : growthModels()) {
        names.push_back(model->name());
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Gompertz", "Gompertz con línea base", "Logístico",
                                               "Richards"}));
    EXPECT_EQ(growthModels().front(), &gompertzModel());
}

// Each read-out is linear in its pivot, as holding it assumes, and its
// gradient is its derivative.
TEST(Models, ReadOutsAreLinearInTheirPivotAndTheirGradientsAreRight) {
    const Parameters p = {4.6, 0.33, 2.5, 0.7};
    for (const GrowthModel* model : growthModels()) {
        for (int k = 0; k < model->readOutCount(); ++k) {
            SCOPED_TRACE(std::string(model->name()) + ": " + model->readOutInfo(k).label);
            const auto pivot = static_cast<std::size_t>(model->readOutInfo(k).pivot);
            const Quantity at = model->readOut(k, p);
            Parameters moved = p;
            moved[pivot] += 3.0;
            EXPECT_NEAR(model->readOut(k, moved).value, at.value + 3.0 * at.gradient[pivot], 1e-12);
            for (int j = 0; j < model->parameterCount(); ++j) {
                Parameters up = p;
                Parameters down = p;
                up[static_cast<std::size_t>(j)] += 1e-6;
                down[static_cast<std::size_t>(j)] -= 1e-6;
                const double numeric =
                    (model->readOut(k, up).value - model->readOut(k, down).value) / 2e-6;
                EXPECT_NEAR(at.gradient[static_cast<std::size_t>(j)], numeric, 1e-6) << j;
            }
        }
    }
}

// The time a curve takes to reach a value is where the curve has that
// value, and its gradient is its derivative; a value the curve never
// reaches has no time.
TEST(Models, TheTimeToReachAValueInvertsTheCurve) {
    const Parameters p = {4.6, 0.33, 2.5, 0.7};
    for (const GrowthModel* model : growthModels()) {
        SCOPED_TRACE(model->name());
        const double level = model->parameterCount() == 4 &&
                                     model->parameter(3).role == Role::Level
                                 ? p[3]
                                 : 0.0;
        for (const double share : {0.05, 0.5, 0.9}) {
            const double y = level + share * p[0];
            const auto t = model->timeToReach(y, p);
            ASSERT_TRUE(t);
            EXPECT_NEAR(model->value(p, t->value), y, 1e-12 * std::fabs(y));
            for (int j = 0; j < model->parameterCount(); ++j) {
                Parameters up = p;
                Parameters down = p;
                up[static_cast<std::size_t>(j)] += 1e-6;
                down[static_cast<std::size_t>(j)] -= 1e-6;
                const double numeric =
                    (model->timeToReach(y, up)->value - model->timeToReach(y, down)->value) / 2e-6;
                EXPECT_NEAR(t->gradient[static_cast<std::size_t>(j)], numeric,
                            1e-6 * std::max(1.0, std::fabs(numeric)))
                    << j;
            }
        }
        EXPECT_FALSE(model->timeToReach(level + 1.01 * p[0], p)); // above the asymptote
        EXPECT_FALSE(model->timeToReach(level - 0.1, p));         // below the lower one
    }
}

// Each model's curve and gradient against the formula and central
// differences, also where an inner exponential overflows.
TEST(Models, GradientsMatchTheirCurves) {
    const Parameters cases[] = {{4.6, 0.33, 2.5, 0.03}, {72, 0.067, 39, 1.7}, {2, 3, -1, 0.002}};
    for (const GrowthModel* model : growthModels()) {
        for (const Parameters& p : cases) {
            for (const double t : {-20.0, -1.0, 0.0, 1.5, 40.0}) {
                SCOPED_TRACE(std::string(model->name()) + " at t = " + std::to_string(t));
                Gradient g{};
                const double f = model->valueAndGradient(p, t, g);
                EXPECT_DOUBLE_EQ(f, model->value(p, t));
                for (int j = 0; j < model->parameterCount(); ++j) {
                    Parameters up = p;
                    Parameters down = p;
                    const double h = 1e-6 * std::max(1.0, std::fabs(p[j]));
                    up[j] += h;
                    down[j] -= h;
                    const double numeric = (model->value(up, t) - model->value(down, t)) / (2 * h);
                    EXPECT_NEAR(g[j], numeric, 1e-6 * std::max(1.0, std::fabs(numeric))) << j;
                }
            }
        }
    }
    // Far before t0 the Gompertz terms overflow: the curve is 0, not NaN.
    Gradient g{};
    for (const GrowthModel* model : growthModels()) {
        const double f = model->valueAndGradient({1, 2, 0, 0.5}, -1000, g);
        EXPECT_TRUE(std::isfinite(f)) << model->name();
        for (double d : g) {
            EXPECT_TRUE(std::isfinite(d)) << model->name();
        }
    }
}

// The Richards curve is the logistic one at ν = 1 and tends to the Gompertz
// one as ν -> 0; its read-outs tend to theirs.
TEST(Models, RichardsHoldsTheLogisticAndTheGompertzCurves) {
    const GrowthModel& richards = modelNamed("richards");
    const GrowthModel& logistic = modelNamed("logistic");
    for (const double t : {-3.0, 0.0, 2.0, 9.0}) {
        EXPECT_NEAR(richards.value({10, 0.7, 1, 1}, t), logistic.value({10, 0.7, 1, 0}, t), 1e-13);
        EXPECT_NEAR(richards.value({10, 0.7, 1, 1e-9}, t), gompertzModel().value({10, 0.7, 1, 0}, t),
                    1e-7);
    }
    for (int k = 0; k < gompertzModel().readOutCount(); ++k) {
        EXPECT_NEAR(richards.readOut(k, {10, 0.7, 1, 1e-9}).value,
                    gompertzModel().readOut(k, {10, 0.7, 1, 0}).value, 1e-7)
            << gompertzModel().readOutInfo(k).label;
    }
}

TEST(Models, EveryModelMatchesRsNlsOnEverySet) {
    LeastSquares solver;
    for (const auto& reference : kModels) {
        SCOPED_TRACE(std::string(reference.set) + " / " + reference.model);
        const GrowthModel& model = modelNamed(reference.model);
        const Fit fit = bestFitOf(solver, model, setNamed(reference.set));
        ASSERT_EQ(fit.status, Status::Ok);
        ASSERT_TRUE(fit.covariance);
        ASSERT_EQ(model.parameterCount(), reference.parameterCount);
        EXPECT_EQ(fit.degreesOfFreedom, reference.df);
        expectDigits(reference.sse, fit.sse);
        for (int j = 0; j < reference.parameterCount; ++j) {
            const auto k = static_cast<std::size_t>(j);
            expectDigits(reference.parameters[k], fit.parameters[k]);
            expectDigits(reference.standardErrors[k], std::sqrt((*fit.covariance)[k][k]));
        }
    }
}

// The same optimum, errors and sum of squares, scaled alike, in any unit of
// y, t shifted and in other units of t, for every model.
TEST(Models, EveryModelGivesTheSameOptimumInAnyUnitOfTAndY) {
    LeastSquares solver;
    for (const auto& reference : kModels) {
        const std::string set = reference.set;
        if (set != "dnase1" && set != "rat42" && set != "orange1") {
            continue;
        }
        const GrowthModel& model = modelNamed(reference.model);
        for (const int k : {-12, -3, 0, 4, 12}) {
            for (const double shift : {0.0, -250.0, 1e5}) {
                for (const double tUnit : {1.0, 1e-3}) {
                    SCOPED_TRACE(set + " / " + reference.model + ", y x 1e" + std::to_string(k) +
                                 ", t + " + std::to_string(shift) + ", t x " +
                                 std::to_string(tUnit));
                    const double y = std::pow(10.0, k);
                    std::vector<Point> scaled;
                    for (const Point& p : setNamed(set)) {
                        scaled.push_back({p.t * tUnit + shift, p.y * y});
                    }
                    const Fit fit = bestFitOf(solver, model, scaled);
                    ASSERT_EQ(fit.status, Status::Ok);
                    ASSERT_TRUE(fit.covariance);
                    expectDigits(reference.sse * y * y, fit.sse);
                    for (int j = 0; j < model.parameterCount(); ++j) {
                        const auto i = static_cast<std::size_t>(j);
                        const Role role = model.parameter(j).role;
                        const double unit = role == Role::Amplitude || role == Role::Level ? y
                                            : role == Role::Rate                           ? 1 / tUnit
                                            : role == Role::Time                           ? tUnit
                                                                                           : 1.0;
                        const double origin = role == Role::Time ? shift : 0.0;
                        EXPECT_NEAR(fit.parameters[i] - origin, reference.parameters[i] * unit,
                                    1e-6 * std::fabs(reference.parameters[i] * unit))
                            << model.parameter(j).name;
                        expectDigits(reference.standardErrors[i] * unit,
                                     std::sqrt((*fit.covariance)[i][i]));
                    }
                }
            }
        }
    }
}

// What is no fit is refused by every model: exponential growth without a
// plateau, and a curve no better than a flat line.
TEST(Models, EveryModelRefusesWhatIsNoFit) {
    std::vector<Point> exponential;
    const double noise[] = {0.05, -0.08, 0.06, -0.05, 0.08, -0.06, 0.05, -0.08, 0.06};
    for (int i = 0; i < 9; ++i) {
        exponential.push_back({double(i), 2 * std::exp(0.3 * i) + noise[i]});
    }
    // Rising data with t0 held far past them: every curve is flat over the
    // data, at 0 (worse than the mean) or, with a baseline or a shape that
    // lifts it, at the mean itself.
    const std::vector<Point> rising = {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}};
    LeastSquares solver;
    for (const GrowthModel* model : growthModels()) {
        SCOPED_TRACE(model->name());
        const Fit unbent = bestFitOf(solver, *model, exponential);
        if (model == &modelNamed("richards")) {
            // Its shape bends the curve just past the data: a finite optimum
            // whose asymptote the data cannot pin down, and that says so.
            if (unbent.status == Status::Ok) {
                EXPECT_TRUE(unbent.illDetermined);
                EXPECT_GT(unbent.parameters[0], exponential.back().y);
            } else {
                EXPECT_EQ(unbent.status, Status::NoPlateau);
            }
        } else {
            EXPECT_EQ(unbent.status, Status::NoPlateau);
        }
        const Fit flat = solver.bestFit(*model, rising, {false, true, true, false},
                                        model->fromGompertz({5, 1, 100, 0}));
        EXPECT_NE(flat.status, Status::Ok);
        if (model->parameterCount() == 3) { // falling where the data rise: worse than the mean
            const Fit falling = solver.bestFit(*model, rising, {false, true, true, false},
                                               model->fromGompertz({5, -2, 2.5, 0}));
            EXPECT_EQ(falling.status, Status::NoGrowth);
        }
    }
    // The baseline alone at the mean is the flat line itself: no growth.
    EXPECT_EQ(solver
                  .bestFit(modelNamed("gompertz_base"), rising, {false, true, true, false},
                           {5, 1, 100, 0})
                  .status,
              Status::NoGrowth);
}

TEST(Comparison, AkaikeAndTheFTestMatchRsAicAndAnova) {
    LeastSquares solver;
    std::map<std::string, std::vector<const reference_models::ModelReference*>> bySet;
    for (const auto& reference : kModels) {
        bySet[reference.set].push_back(&reference);
    }
    for (const auto& [set, references] : bySet) {
        SCOPED_TRACE(set);
        const Comparison comparison = compareModels(solver, setNamed(set), kAllFree, kWindowStart);
        ASSERT_EQ(comparison.scores.size(), 4u);
        for (const auto* reference : references) {
            SCOPED_TRACE(reference->model);
            const ModelScore& score = comparison.scores.at(indexNamed(reference->model));
            ASSERT_TRUE(score.aic && score.aicc && score.weight);
            EXPECT_EQ(score.k, reference->parameterCount + 1);
            expectDigits(reference->aic, *score.aic, 1e-4);
            expectDigits(reference->aicc, *score.aicc, 1e-4);
            EXPECT_NEAR(*score.weight, reference->akaikeWeightAicc,
                        1e-4 * reference->akaikeWeightAicc + 1e-12);
        }
        for (const auto& nested : kNested) {
            if (set != nested.set) {
                continue;
            }
            SCOPED_TRACE(nested.bigger);
            const auto& test = comparison.scores.at(indexNamed(nested.bigger)).againstGompertz;
            ASSERT_TRUE(test);
            expectDigits(nested.f, test->f, 1e-4);
            expectDigits(nested.p, test->p, 1e-4);
        }
        // Only the models that contain the Gompertz curve are tested against it.
        EXPECT_FALSE(comparison.scores[0].againstGompertz);
        EXPECT_FALSE(comparison.scores[2].againstGompertz);
    }
}

TEST(Comparison, TheVerdictNamesThePreferredModelOrSaysTheDataCannotTell) {
    LeastSquares solver;
    // Rat42: the logistic curve, with weight 0.98 in R.
    const Comparison rat42 = compareModels(solver, reference_data::rat42(), kAllFree, kWindowStart);
    EXPECT_EQ(rat42.verdict, "El modelo logístico es el preferido (peso de Akaike 0,98): "
                             "evidencia fuerte frente a los demás.");
    // Orange tree 1: Gompertz and logistic within 2 of each other in AICc.
    const Comparison orange = compareModels(solver, setNamed("orange1"), kAllFree, kWindowStart);
    EXPECT_EQ(orange.verdict.rfind("Los datos no distinguen entre el modelo de Gompertz y el "
                                   "modelo logístico",
                                   0),
              0u)
        << orange.verdict;
    // A model that cannot be fitted takes no weight and shows its status:
    // four points of exponential growth are no plateau for the models of
    // three parameters and too few for those of four.
    const std::vector<Point> exponential = {{0, 2}, {1, 2.7}, {2, 3.64}, {3, 4.92}};
    const Comparison none = compareModels(solver, exponential, kAllFree, kWindowStart);
    for (const ModelScore& score : none.scores) {
        EXPECT_FALSE(score.weight);
        EXPECT_FALSE(statusInWords(score.fit.status).empty());
    }
    EXPECT_EQ(none.verdict, "Ningún modelo se ajusta a estos datos: ninguno alcanza su óptimo.");
}
