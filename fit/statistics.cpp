#include "statistics.h"

#include <gsl/gsl_cdf.h>

#include <cmath>
#include <limits>
#include <numbers>

namespace gompertz::fit {
namespace {

using Gradient = std::array<double, 3>;

// g^T C g over a, c, t0, C symmetric; not finite when C is not.
double quadratic(const Matrix3& C, const Gradient& g) {
    return g[0] * (C[0][0] * g[0] + 2 * (C[0][1] * g[1] + C[0][2] * g[2])) +
           g[1] * (C[1][1] * g[1] + 2 * C[1][2] * g[2]) + g[2] * C[2][2] * g[2];
}

// A quantity's estimate from its gradient: fixed when it depends on fixed
// parameters only, no error when the covariance does not give one.
Estimate estimate(const Fit& fit, double value, const Gradient& g, double q) {
    Estimate out;
    out.value = value;
    out.fixed = true;
    for (std::size_t j = 0; j < 3; ++j) {
        out.fixed = out.fixed && (g[j] == 0.0 || fit.fixed[j]);
    }
    if (out.fixed) {
        return out;
    }
    const double variance = quadratic(fit.covariance, g);
    if (std::isfinite(variance) && variance >= 0.0) {
        out.standardError = std::sqrt(variance);
        out.lower = value - q * *out.standardError;
        out.upper = value + q * *out.standardError;
    }
    return out;
}

} // namespace

double studentQuantile975(int degreesOfFreedom) {
    if (degreesOfFreedom < 1) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return gsl_cdf_tdist_Pinv(0.975, static_cast<double>(degreesOfFreedom));
}

std::array<Estimate, kQuantities> estimates(const Fit& fit) {
    const auto [a, c, t0] = fit.parameters;
    const double q = studentQuantile975(fit.degreesOfFreedom);
    const double e = std::numbers::e;
    return {
        estimate(fit, a, {1, 0, 0}, q),
        estimate(fit, c, {0, 1, 0}, q),
        estimate(fit, t0, {0, 0, 1}, q),
        estimate(fit, a / e, {1 / e, 0, 0}, q),
        estimate(fit, a * c / e, {c / e, a / e, 0}, q),
        estimate(fit, t0 - 1 / c, {0, 1 / (c * c), 1}, q),
    };
}

double residualDeviation(const Fit& fit) {
    return std::sqrt(fit.sse / fit.degreesOfFreedom);
}

std::optional<double> rSquared(const Fit& fit, const std::vector<Point>& points) {
    const double total = totalSumOfSquares(points);
    if (!(total > 0.0)) {
        return std::nullopt;
    }
    return 1.0 - fit.sse / total;
}

namespace {

BandSample bandWith(const Fit& fit, double t, double q) {
    const Gradient g = modelGradient(fit.parameters, t);
    const double fitted = fit.parameters[0] * g[0]; // df/da is the curve over a
    const double variance = quadratic(fit.covariance, g);
    const double half = std::isfinite(q) && std::isfinite(variance) && variance > 0.0
                            ? q * std::sqrt(variance)
                            : 0.0;
    return {t, fitted, fitted - half, fitted + half};
}

} // namespace

BandSample bandAt(const Fit& fit, double t) {
    return bandWith(fit, t, studentQuantile975(fit.degreesOfFreedom));
}

std::vector<BandSample> band(const Fit& fit, double from, double to, int samples) {
    std::vector<BandSample> out;
    out.reserve(static_cast<std::size_t>(samples));
    const double q = studentQuantile975(fit.degreesOfFreedom);
    for (int k = 0; k < samples; ++k) {
        out.push_back(bandWith(fit, from + (to - from) * k / (samples - 1), q));
    }
    return out;
}

} // namespace gompertz::fit
