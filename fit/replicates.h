#pragma once

#include "least_squares.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace gompertz::fit {

// Replicated measurements: their weights, and whether a fitted curve stays
// within their scatter.

// A mean with its standard deviation and count, as a summary file gives
// them instead of the values.
struct MeanRow {
    double t = 0.0;
    double mean = 0.0;
    double deviation = 0.0;
    double count = 1.0;
};

// The values weighted as asked: 1; 1/y^2 (refused for a value of zero);
// 1/DE^2 with DE the sample deviation of the values at the same t (refused
// where a t has one value, or values all equal). The refusal in Spanish.
std::variant<std::vector<Point>, std::string> weightedValues(const std::vector<Point>& values,
                                                             Weighting weighting);
// The means as points: weight 1; 1/mean^2; n/DE^2 (refused for DE = 0).
std::variant<std::vector<Point>, std::string> weightedMeans(const std::vector<MeanRow>& rows,
                                                            Weighting weighting);

// The variance of a new measurement at t over s^2: 1 unweighted, f(t)^2 for
// 1/y^2, and for 1/DE^2 the inverse weight, linear between the points' times
// and constant beyond them.
double measurementVarianceFactor(const Fit& fit, const std::vector<Point>& points, double t);

// The lack-of-fit F test against pure error: the scatter of the values
// about their (weighted) mean at each t, against the curve's distance from
// those means. Nothing without replicates, without degrees of freedom left
// for the lack of fit, or with no scatter at all.
struct LackOfFit {
    double pureSse = 0.0;
    int pureDegrees = 0;  // values - distinct t
    int lackDegrees = 0;  // distinct t - free parameters
    double f = 0.0;
    double p = 0.0;
};
std::optional<LackOfFit> lackOfFit(const Fit& fit, const std::vector<Point>& points);

// The test in a sentence: whether the model fits within the replicates'
// scatter, with F and p.
std::string lackOfFitSentence(const LackOfFit& test);

} // namespace gompertz::fit
