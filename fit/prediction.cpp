#include "prediction.h"

#include "replicates.h"
#include "statistics.h"

#include <algorithm>
#include <cmath>

namespace gompertz::fit {
namespace {

bool outside(const std::vector<Point>& points, double t) {
    const auto [lo, hi] = std::minmax_element(
        points.begin(), points.end(), [](const Point& l, const Point& r) { return l.t < r.t; });
    return points.empty() || t < lo->t || t > hi->t;
}

// The variance of a new measurement at t: s^2, scaled as the weights say.
double measurementVariance(const Fit& fit, const std::vector<Point>& points, double t) {
    return fit.sse / fit.degreesOfFreedom * measurementVarianceFactor(fit, points, t);
}

} // namespace

ValueAt valueAt(const Fit& fit, const std::vector<Point>& points, double t) {
    const BandSample curve = bandAt(fit, t);
    const double q = studentQuantile975(fit.degreesOfFreedom);
    const double half = (curve.upper - curve.lower) / 2;
    const double error = q > 0.0 ? half / q : 0.0;
    const double predicted = q * std::sqrt(error * error + measurementVariance(fit, points, t));
    return {t,
            curve.fitted,
            error,
            curve.lower,
            curve.upper,
            curve.fitted - predicted,
            curve.fitted + predicted,
            outside(points, t)};
}

TimeAt timeAt(LeastSquares& solver, const Fit& fit, const std::vector<Point>& points, double y) {
    TimeAt out;
    out.y = y;
    const auto time = fit.model->timeToReach(y, fit.parameters);
    // A level so close to an asymptote that the time runs off to infinity:
    // no time to show.
    if (!time || !std::isfinite(time->value)) {
        return out;
    }
    out.t = time->value;
    out.extrapolation = outside(points, time->value);
    Gradient g = time->gradient;
    for (std::size_t j = 0; j < kMaxParameters; ++j) {
        g[j] = fit.fixed[j] ? 0.0 : g[j];
    }
    double variance = 0.0;
    if (fit.covariance) {
        for (std::size_t i = 0; i < kMaxParameters; ++i) {
            for (std::size_t j = 0; j < kMaxParameters; ++j) {
                variance += g[i] * (*fit.covariance)[i][j] * g[j];
            }
        }
        if (variance >= 0.0 && std::isfinite(variance)) {
            out.standardError = std::sqrt(variance);
        }
    }
    out.interval = timeToReachInterval(solver, fit, points, y, *time, out.standardError.value_or(0));
    return out;
}

std::vector<BandSample> band(const Fit& fit, const std::vector<Point>& points, double from,
                             double to, int samples, BandKind kind) {
    std::vector<BandSample> out = band(fit, from, to, samples);
    if (kind == BandKind::Prediction) {
        const double q = studentQuantile975(fit.degreesOfFreedom);
        for (BandSample& s : out) {
            const double error = (s.upper - s.lower) / 2 / q;
            const double half = q * std::sqrt(error * error + measurementVariance(fit, points, s.t));
            s.lower = s.fitted - half;
            s.upper = s.fitted + half;
        }
    }
    return out;
}

} // namespace gompertz::fit
