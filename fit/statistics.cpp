#include "statistics.h"

#include <gsl/gsl_cdf.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace gompertz::fit {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// sqrt(g^T C g), C symmetric, worked out in units of the largest
// |g_i| sqrt(C_ii) so that no square overflows: infinite only when the
// result itself is beyond the double range; NaN when C gives no variance
// (a negative or non-finite diagonal, or a negative form from rounding).
double deviation(const Matrix& C, const Gradient& g) {
    double direct = 0.0; // g^T C g as it stands, when nothing overflows
    for (std::size_t i = 0; i < kMaxParameters; ++i) {
        double row = 0.0;
        for (std::size_t j = 0; j < kMaxParameters; ++j) {
            row += C[i][j] * g[j];
        }
        direct += g[i] * row;
    }
    if (std::isfinite(direct) && direct > 1e-280) { // else scaled, against overflow and underflow
        return std::sqrt(direct);
    }
    Gradient sd{};
    Gradient h{}; // g_i sd_i
    double top = 0.0;
    for (std::size_t j = 0; j < kMaxParameters; ++j) {
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
    for (std::size_t i = 0; i < kMaxParameters; ++i) {
        for (std::size_t j = 0; j < kMaxParameters; ++j) {
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
    for (std::size_t j = 0; j < kMaxParameters; ++j) {
        if (g[j] != 0.0 && !fit.fixed[j]) {
            return false;
        }
    }
    return true;
}

// Each row's value and gradient: the parameters, then the read-outs.
std::vector<Quantity> quantities(const Fit& fit) {
    const GrowthModel& model = *fit.model;
    std::vector<Quantity> rows;
    for (int j = 0; j < model.parameterCount(); ++j) {
        Quantity row{fit.parameters[static_cast<std::size_t>(j)], {}};
        row.gradient[static_cast<std::size_t>(j)] = 1.0;
        rows.push_back(row);
    }
    for (int k = 0; k < model.readOutCount(); ++k) {
        rows.push_back(model.readOut(k, fit.parameters));
    }
    return rows;
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
    // Every click asks for a few: the usual ones are worked out once.
    static const auto kCommon = [] {
        std::array<double, 64> table{};
        for (std::size_t df = 1; df < table.size(); ++df) {
            table[df] = gsl_cdf_tdist_Pinv(0.975, static_cast<double>(df));
        }
        return table;
    }();
    if (static_cast<std::size_t>(degreesOfFreedom) < kCommon.size()) {
        return kCommon[static_cast<std::size_t>(degreesOfFreedom)];
    }
    return gsl_cdf_tdist_Pinv(0.975, static_cast<double>(degreesOfFreedom));
}

std::string rowLabel(const GrowthModel& model, int row) {
    return row < model.parameterCount() ? model.parameter(row).label
                                        : model.readOutInfo(row - model.parameterCount()).label;
}

std::vector<ResultRow> estimates(const Fit& fit) {
    const double q = studentQuantile975(fit.degreesOfFreedom);
    std::vector<ResultRow> out;
    const auto rows = quantities(fit);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out.push_back({rowLabel(*fit.model, static_cast<int>(r)),
                       estimate(fit, rows[r].value, rows[r].gradient, q)});
        if (r < kMaxParameters && fit.atBound[r]) { // at the edge of its domain: no error
            Estimate& e = out.back().estimate;
            e.standardError.reset();
            e.lower.reset();
            e.upper.reset();
        }
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
    const double total = totalSumOfSquares(points, top);
    if (!(total > 0.0)) {
        return std::nullopt;
    }
    return 1.0 - fit.sse / top / top / total;
}

namespace {

BandSample bandWith(const Fit& fit, double t, double q) {
    Gradient g{};
    const double fitted = fit.model->valueAndGradient(fit.parameters, t, g);
    for (std::size_t j = 0; j < kMaxParameters; ++j) {
        g[j] = fit.fixed[j] ? 0.0 : g[j];
    }
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
    const std::size_t n = static_cast<std::size_t>(fit.model->parameterCount());
    if (!std::all_of(fit.parameters.begin(), fit.parameters.begin() + n, finite) ||
        !finite(fit.sse) || !finite(residualDeviation(fit))) {
        return false;
    }
    if (const auto r2 = rSquared(fit, points); r2 && !finite(*r2)) {
        return false;
    }
    constexpr std::size_t kBlock = 256;
    double fitted[kBlock];
    for (std::size_t from = 0; from < points.size(); from += kBlock) {
        const std::size_t count = std::min(kBlock, points.size() - from);
        fit.model->values(fit.parameters, points.data() + from, count, fitted);
        for (std::size_t i = 0; i < count; ++i) {
            if (!finite(fitted[i]) || !finite(points[from + i].y - fitted[i])) {
                return false;
            }
        }
    }
    const auto rows = quantities(fit);
    if (!std::all_of(rows.begin(), rows.end(), [&](const Quantity& row) {
            return finite(row.value);
        })) {
        return false;
    }
    if (fit.status != Status::Ok || !fit.covariance) {
        return true;
    }
    const Matrix& C = *fit.covariance;
    for (const auto& row : C) {
        if (!std::all_of(row.begin(), row.end(), finite)) {
            return false;
        }
    }
    const double q = studentQuantile975(fit.degreesOfFreedom);
    for (const Quantity& row : rows) {
        const double sd = heldBy(fit, row.gradient) ? 0.0 : deviation(C, row.gradient);
        if (std::isinf(sd) ||
            (finite(sd) && !(finite(row.value - q * sd) && finite(row.value + q * sd)))) {
            return false;
        }
    }
    // The band where it is widest, about the points, and far out on either
    // side, where the curve meets its asymptotes.
    const auto [lo, hi] = std::minmax_element(
        points.begin(), points.end(), [](const Point& l, const Point& r) { return l.t < r.t; });
    const double reach = 10 * (hi->t / 2 - lo->t / 2) + 1;
    const auto bandFinite = [&](double t) {
        const BandSample s = bandWith(fit, t, q);
        return finite(s.fitted) && finite(s.lower) && finite(s.upper);
    };
    // At every point of a short series; across a long one, as densely as
    // the plot samples it.
    constexpr int kSamples = 256;
    const bool everyPoint = points.size() <= static_cast<std::size_t>(kSamples);
    const auto sampled = [&] {
        for (int i = 0; i < kSamples; ++i) {
            if (!bandFinite(lo->t + (hi->t - lo->t) * i / (kSamples - 1))) {
                return false;
            }
        }
        return true;
    };
    return (everyPoint ? std::all_of(points.begin(), points.end(),
                                     [&](const Point& point) { return bandFinite(point.t); })
                       : sampled()) &&
           bandFinite(std::max(lo->t - reach, -std::numeric_limits<double>::max())) &&
           bandFinite(std::min(hi->t + reach, std::numeric_limits<double>::max()));
}

} // namespace gompertz::fit
