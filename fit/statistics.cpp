#include "statistics.h"

#include <gsl/gsl_cdf.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

namespace gompertz::fit {
namespace {

using Gradient = std::array<double, 3>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// sqrt(g^T C g), C symmetric, worked out in units of the largest
// |g_i| sqrt(C_ii) so that no square overflows: infinite only when the
// result itself is beyond the double range; NaN when C gives no variance
// (a negative or non-finite diagonal, or a negative form from rounding).
double deviation(const Matrix3& C, const Gradient& g) {
    Gradient sd{};
    Gradient h{}; // g_i sd_i
    double top = 0.0;
    for (std::size_t j = 0; j < 3; ++j) {
        if (g[j] == 0.0) {
            continue;
        }
        if (!(C[j][j] >= 0.0) || std::isnan(g[j])) {
            return kNaN;
        }
        sd[j] = std::sqrt(C[j][j]);
        h[j] = sd[j] == 0.0 ? 0.0 : g[j] * sd[j];
        top = std::max(top, std::fabs(h[j]));
    }
    if (top == 0.0 || !std::isfinite(top)) {
        return top;
    }
    double sum = 0.0;
    for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t j = 0; j < 3; ++j) {
            if (h[i] != 0.0 && h[j] != 0.0) {
                const double correlation = std::clamp(C[i][j] / sd[i] / sd[j], -1.0, 1.0);
                sum += (h[i] / top) * (h[j] / top) * correlation;
            }
        }
    }
    return sum >= 0.0 ? top * std::sqrt(sum) : kNaN;
}

// Depends on fixed parameters only.
bool heldBy(const Fit& fit, const Gradient& g) {
    for (std::size_t j = 0; j < 3; ++j) {
        if (g[j] != 0.0 && !fit.fixed[j]) {
            return false;
        }
    }
    return true;
}

// Each quantity's value and gradient in (a, c, t0).
std::array<std::pair<double, Gradient>, kQuantities> quantities(const Fit& fit) {
    const auto [a, c, t0] = fit.parameters;
    const double e = std::numbers::e;
    return {{
        {a, {1, 0, 0}},
        {c, {0, 1, 0}},
        {t0, {0, 0, 1}},
        {a / e, {1 / e, 0, 0}},
        {a * (c / e), {c / e, a / e, 0}},
        {t0 - 1 / c, {0, 1 / c / c, 1}},
    }};
}

// A quantity's estimate from its gradient: fixed when it depends on fixed
// parameters only, no error when the covariance does not give one.
Estimate estimate(const Fit& fit, double value, const Gradient& g, double q) {
    Estimate out;
    out.value = value;
    out.fixed = heldBy(fit, g);
    if (out.fixed || !fit.covariance) {
        return out;
    }
    const double sd = deviation(*fit.covariance, g);
    if (std::isfinite(sd)) {
        out.standardError = sd;
        out.lower = value - q * sd;
        out.upper = value + q * sd;
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
    const double q = studentQuantile975(fit.degreesOfFreedom);
    const auto rows = quantities(fit);
    std::array<Estimate, kQuantities> out;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out[r] = estimate(fit, rows[r].first, rows[r].second, q);
    }
    return out;
}

double residualDeviation(const Fit& fit) {
    return std::sqrt(fit.sse / fit.degreesOfFreedom);
}

std::optional<double> rSquared(const Fit& fit, const std::vector<Point>& points) {
    double top = 0.0;
    for (const Point& point : points) {
        top = std::max(top, std::fabs(point.y));
    }
    if (!(top > 0.0)) {
        return std::nullopt;
    }
    std::vector<Point> unit;
    unit.reserve(points.size());
    for (const Point& point : points) {
        unit.push_back({point.t, point.y / top});
    }
    const double total = totalSumOfSquares(unit);
    if (!(total > 0.0)) {
        return std::nullopt;
    }
    return 1.0 - fit.sse / top / top / total;
}

namespace {

BandSample bandWith(const Fit& fit, double t, double q) {
    const Gradient g = modelGradient(fit.parameters, t);
    const double fitted = fit.parameters[0] * g[0]; // df/da is the curve over a
    const double sd = fit.covariance ? deviation(*fit.covariance, g) : 0.0;
    const double half = std::isfinite(q) && std::isfinite(sd) && sd > 0.0 ? q * sd : 0.0;
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
    const double halfSpan = to / 2 - from / 2; // to - from may exceed the largest double
    for (int k = 0; k < samples; ++k) {
        out.push_back(bandWith(fit, from + halfSpan * (2 * k) / (samples - 1), q));
    }
    return out;
}

bool representable(const Fit& fit, const std::vector<Point>& points) {
    const auto finite = [](double v) { return std::isfinite(v); };
    if (!std::all_of(fit.parameters.begin(), fit.parameters.end(), finite) || !finite(fit.sse) ||
        !finite(residualDeviation(fit))) {
        return false;
    }
    if (const auto r2 = rSquared(fit, points); r2 && !finite(*r2)) {
        return false;
    }
    for (const Point& point : points) {
        const double fitted = model(fit.parameters, point.t);
        if (!finite(fitted) || !finite(point.y - fitted)) {
            return false;
        }
    }
    const auto rows = quantities(fit);
    if (!std::all_of(rows.begin(), rows.end(),
                     [&](const auto& row) { return finite(row.first); })) {
        return false;
    }
    if (fit.status != Status::Ok || !fit.covariance) {
        return true;
    }
    const Matrix3& C = *fit.covariance;
    for (const auto& row : C) {
        if (!std::all_of(row.begin(), row.end(), finite)) {
            return false;
        }
    }
    const double q = studentQuantile975(fit.degreesOfFreedom);
    for (const auto& [value, g] : rows) {
        const double sd = heldBy(fit, g) ? 0.0 : deviation(C, g);
        if (std::isinf(sd) || (finite(sd) && !(finite(value - q * sd) && finite(value + q * sd)))) {
            return false;
        }
    }
    // Wherever t is, |f| <= |a| and the band's half width is at most
    // q (sd_a + 0.28 |a / c| sd_c + |a c| / e sd_t0): |df/da| <= 1,
    // |df/dc| = |a / c| |u| e^u exp(-e^u) with u = -c (t - t0), whose
    // largest value is 0.2701 |a / c|, and |df/dt0| <= |a c| / e.
    const auto [a, c, t0] = fit.parameters;
    const double sdA = std::sqrt(C[0][0]);
    const double sdC = std::sqrt(C[1][1]);
    const double sdT0 = std::sqrt(C[2][2]);
    const double rateTerm = sdC == 0.0 ? 0.0 : 0.28 * std::fabs(a) * (sdC / std::fabs(c));
    const double shiftTerm = std::fabs(a) * (std::fabs(c) * sdT0) / std::numbers::e;
    return finite(std::fabs(a) + q * (sdA + rateTerm + shiftTerm));
}

} // namespace gompertz::fit
