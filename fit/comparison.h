#pragma once

#include "least_squares.h"

#include <optional>
#include <string>
#include <vector>

namespace gompertz::fit {

// Which growth model the data favour: every model fitted to the same
// points, scored by Akaike's criterion with the small-sample correction,
// and the Gompertz curve tested against each model that contains it.

// AIC as R's AIC() gives it for an nls fit: n ln(2π) + n ln(SSE / n) + n
// + 2k, k the free parameters and the variance; and AICc, which adds
// 2k(k + 1) / (n - k - 1) (nothing when n - k - 1 < 1).
double akaike(int points, double sse, int k);
std::optional<double> akaikeCorrected(int points, double sse, int k);

// The extra sum of squares F test of a smaller model nested in a larger
// one: F on (df_small - df_large, df_large) degrees of freedom, and p.
struct FTest {
    double f = 0.0;
    double p = 1.0;
};
std::optional<FTest> extraSumOfSquares(const Fit& smaller, const Fit& larger);

struct ModelScore {
    Fit fit;
    int k = 0; // free parameters and the variance
    // For a fit that reached its optimum; others take no weight.
    std::optional<double> aic, aicc, deltaAicc, weight;
    // The Gompertz curve against this model, when it contains it.
    std::optional<FTest> againstGompertz;
};

struct Comparison {
    std::vector<ModelScore> scores; // in the order of growthModels()
    // The preferred model and how strongly, or that the data do not tell
    // the models apart, in plain Spanish.
    std::string verdict;
};

// Where a model's runs start: the main window's a, c, t0 are a curve of
// the user's own only for the Gompertz model; every model also has its own.
LeastSquares::Starts startsFor(const GrowthModel& model);

// Fits every model, from the same starts as its own "Ajuste óptimo", to the
// same points with the same held a, c, t0 (the window's values).
Comparison compareModels(LeastSquares& solver, const std::vector<Point>& points,
                         const Fixed& fixed, const Parameters& windowGompertz);

// A refusal or a fit short of its optimum, in a few words: "no converge".
std::string statusInWords(Status status);

} // namespace gompertz::fit
