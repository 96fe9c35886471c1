#include "curve_starts.h"

#include "least_squares.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

namespace gompertz::fit {
namespace {

// In the fit's units a start past this has run off along a flat direction.
constexpr double kHugeStart = 1e12;

bool usable(const Parameters& p) {
    return std::all_of(p.begin(), p.end(),
                       [](double v) { return std::isfinite(v) && std::fabs(v) < kHugeStart; });
}

// The straight line z = alpha + beta * t by least squares; nothing without
// two distinct t.
std::optional<std::pair<double, double>> line(const std::vector<double>& t,
                                              const std::vector<double>& z) {
    const double n = static_cast<double>(t.size());
    if (t.size() < 2) {
        return std::nullopt;
    }
    const double mt = std::accumulate(t.begin(), t.end(), 0.0) / n;
    const double mz = std::accumulate(z.begin(), z.end(), 0.0) / n;
    double stt = 0.0;
    double stz = 0.0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        stt += (t[i] - mt) * (t[i] - mt);
        stz += (t[i] - mt) * (z[i] - mz);
    }
    if (!(stt > 0.0)) {
        return std::nullopt;
    }
    const double beta = stz / stt;
    return std::pair{mz - beta * mt, beta};
}

// c and t0 from the straightened points at asymptote a (values in the
// orientation where the curve is positive), honouring fixed c or t0.
std::optional<Parameters> straightened(const std::vector<Point>& points, double sign, double a,
                                       Straightening z, double shape, const Fixed& fixed,
                                       const Parameters& held) {
    std::vector<double> t;
    std::vector<double> zs;
    for (const Point& point : points) {
        const double y = sign * point.y;
        if (y > 0.0 && y < a) {
            const double value = z(y / a, shape);
            if (std::isfinite(value)) {
                t.push_back(point.t);
                zs.push_back(value);
            }
        }
    }
    Parameters p = held;
    p[0] = sign * a;
    if (fixed[1] && fixed[2]) {
        return p;
    }
    if (fixed[2]) { // z = -c (t - t0): a line through t0
        double szt = 0.0;
        double stt = 0.0;
        for (std::size_t i = 0; i < t.size(); ++i) {
            szt += zs[i] * (t[i] - held[2]);
            stt += (t[i] - held[2]) * (t[i] - held[2]);
        }
        if (!(stt > 0.0)) {
            return std::nullopt;
        }
        p[1] = -szt / stt;
        return p;
    }
    double c = held[1];
    double alpha = 0.0;
    if (fixed[1]) {
        if (t.empty() || c == 0.0) {
            return std::nullopt;
        }
        const double n = static_cast<double>(t.size());
        alpha = std::accumulate(zs.begin(), zs.end(), 0.0) / n +
                c * std::accumulate(t.begin(), t.end(), 0.0) / n;
    } else {
        const auto fitted = line(t, zs);
        if (!fitted || fitted->second == 0.0) {
            return std::nullopt;
        }
        alpha = fitted->first;
        c = -fitted->second;
    }
    p[1] = c;
    p[2] = alpha / c;
    return p;
}

// A start for data no line can take: the curve through the middle of the
// data, rising or falling with them.
Parameters plainStart(const std::vector<Point>& points, double sign, const Fixed& fixed,
                      const Parameters& held) {
    const auto [lo, hi] = std::minmax_element(
        points.begin(), points.end(), [](const Point& l, const Point& r) { return l.t < r.t; });
    double ymax = 0.0;
    double mt = 0.0;
    for (const Point& point : points) {
        ymax = std::max(ymax, sign * point.y);
        mt += point.t / static_cast<double>(points.size());
    }
    const double span = hi->t - lo->t;
    const double rising = sign * (hi->y - lo->y) >= 0.0 ? 1.0 : -1.0;
    Parameters p = held;
    const Parameters plain{sign * (ymax > 0.0 ? 1.2 * ymax : 1.0),
                           rising * (span > 0.0 ? 4.0 / span : 1.0), mt};
    for (std::size_t j = 0; j < 3; ++j) {
        p[j] = fixed[j] ? held[j] : plain[j];
    }
    return p;
}

} // namespace

ParameterInfo sharedParameter(int j) {
    static const ParameterInfo kShared[] = {{"a", "a", Role::Amplitude},
                                            {"c", "c", Role::Rate},
                                            {"t0", "t0 (punto de inflexión)", Role::Time}};
    return kShared[j];
}

Parameters lowestSumOfSquares(const GrowthModel& model, const std::vector<Point>& points,
                              const std::vector<Parameters>& candidates) {
    Parameters best = candidates.front();
    double bestSse = sumOfSquares(model, points, best);
    for (const Parameters& p : candidates) {
        const double sse = sumOfSquares(model, points, p);
        if (sse < bestSse || !std::isfinite(bestSse)) {
            best = p;
            bestSse = sse;
        }
    }
    return best;
}

Parameters sigmoidStart(const GrowthModel& model, const std::vector<Point>& points,
                        const Fixed& fixed, const Parameters& held, Straightening z,
                        double shape) {
    if (points.empty()) {
        return held;
    }
    double total = 0.0;
    for (const Point& point : points) {
        total += point.y;
    }
    const double sign = fixed[0] ? (held[0] < 0.0 ? -1.0 : 1.0) : (total < 0.0 ? -1.0 : 1.0);
    double ymax = 0.0;
    for (const Point& point : points) {
        ymax = std::max(ymax, sign * point.y);
    }
    Parameters best = plainStart(points, sign, fixed, held);
    double bestSse = sumOfSquares(model, points, best);
    const auto consider = [&](double a) {
        const auto p = straightened(points, sign, a, z, shape, fixed, held);
        if (p && usable(*p)) {
            const double sse = sumOfSquares(model, points, *p);
            if (sse < bestSse || !std::isfinite(bestSse)) {
                best = *p;
                bestSse = sse;
            }
        }
    };
    if (fixed[0]) {
        consider(sign * held[0]);
    } else if (ymax > 0.0) {
        for (const double factor : {1.05, 1.5, 3.0, 10.0}) {
            consider(factor * ymax);
        }
    }
    return best;
}

} // namespace gompertz::fit
