#pragma once

#include "profile.h"
#include "statistics.h"

#include <optional>
#include <vector>

namespace gompertz::fit {

// What a fit predicts, with 95 % intervals; a prediction outside the span of
// t of the data is marked as an extrapolation.

// The fitted value at t, the interval of the curve there (confidence,
// f ± q sqrt(g^T C g)) and that of a new measurement (prediction,
// f ± q sqrt(s^2 v(t) + g^T C g), v as measurementVarianceFactor).
struct ValueAt {
    double t = 0.0;
    double fitted = 0.0;
    double standardError = 0.0;
    double confidenceLower = 0.0;
    double confidenceUpper = 0.0;
    double predictionLower = 0.0;
    double predictionUpper = 0.0;
    bool extrapolation = false;
};
ValueAt valueAt(const Fit& fit, const std::vector<Point>& points, double t);

// The t at which the curve reaches y, its error by the delta method and its
// profile interval; no t when the curve never reaches y.
struct TimeAt {
    double y = 0.0;
    std::optional<double> t;
    std::optional<double> standardError;
    std::optional<ProfileInterval> interval;
    bool extrapolation = false;
};
TimeAt timeAt(LeastSquares& solver, const Fit& fit, const std::vector<Point>& points, double y);

// The band a plot draws: the curve's (confidence) or a new measurement's
// (prediction, whose variance the points' weights scale).
enum class BandKind { Confidence, Prediction };
std::vector<BandSample> band(const Fit& fit, const std::vector<Point>& points, double from,
                             double to, int samples, BandKind kind);

} // namespace gompertz::fit
