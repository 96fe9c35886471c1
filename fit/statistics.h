#pragma once

#include "least_squares.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace gompertz::fit {

// The 0.975 quantile of Student's t with the given degrees of freedom; NaN
// below 1.
double studentQuantile975(int degreesOfFreedom);

// An estimate with its standard error and 95 % interval; a fixed one has
// neither, nor has one whose error the data do not determine.
struct Estimate {
    double value = 0.0;
    bool fixed = false;
    std::optional<double> standardError;
    std::optional<double> lower;
    std::optional<double> upper;
};

// One row of the results: a parameter or a quantity read off the curve,
// named by the model.
struct ResultRow {
    std::string label;
    Estimate estimate;
};

// The model's parameters, then what biologists read off the curve (the
// value at the inflection, the largest growth rate, the lag and any of the
// model's own), their errors by the delta method from the same covariance.
std::vector<ResultRow> estimates(const Fit& fit);
// The label of a row of estimates(): a parameter's, then a read-out's.
std::string rowLabel(const GrowthModel& model, int row);

// Residual standard deviation sqrt(SSE / dof), and R^2 = 1 - SSE / SST
// (nothing when all values are equal), SST taken in units of the largest
// |y| so that it cannot overflow.
double residualDeviation(const Fit& fit);
std::optional<double> rSquared(const Fit& fit, const std::vector<Point>& points);

// The fitted curve with its pointwise 95 % confidence band,
// f(t) +- q * sqrt(g^T C g), g the gradient of f in the parameters.
struct BandSample {
    double t = 0.0;
    double fitted = 0.0;
    double lower = 0.0;
    double upper = 0.0;
};
BandSample bandAt(const Fit& fit, double t);
// samples >= 2 points evenly from `from` to `to`.
std::vector<BandSample> band(const Fit& fit, double from, double to, int samples);

// Whether all that is shown of a fit is a finite number: parameters, SSE,
// s, R^2, the quantities, the fitted values and residuals at the points,
// and for Status::Ok the standard errors, intervals and band, wherever the
// band is drawn.
bool representable(const Fit& fit, const std::vector<Point>& points);

} // namespace gompertz::fit
