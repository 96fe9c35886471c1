// f(t) = y0 + a exp(-exp(-c (t - t0))): a Gompertz curve above a baseline,
// as instruments with a blank or log counts that start at ln N0 give.
#include "fit/curve_starts.h"
#include "fit/growth_model.h"
#include "fit/least_squares.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace gompertz::fit {
namespace {

constexpr double kE = std::numbers::e;

class GompertzWithBaseline final : public GrowthModel {
  public:
    const char* name() const override { return "Gompertz con línea base"; }
    const char* inSentence() const override { return "el modelo de Gompertz con línea base"; }
    const char* formula() const override { return "f(t) = y0 + a·exp(−exp(−c·(t − t0)))"; }
    int parameterCount() const override { return 4; }
    ParameterInfo parameter(int j) const override {
        static const ParameterInfo kInfo[] = {{"a", "a", Role::Amplitude},
                                              {"c", "c", Role::Rate},
                                              {"t0", "t0 (punto de inflexión)", Role::Time},
                                              {"y0", "y0 (línea base)", Role::Level}};
        return kInfo[j];
    }

    double valueAndGradient(const Parameters& p, double t, Gradient& g) const override {
        const double inner = std::exp(-p[1] * (t - p[2]));
        const double e1 = std::exp(-inner);
        const double e1inner = std::isfinite(inner) ? e1 * inner : 0.0;
        g = {e1, p[0] * (t - p[2]) * e1inner, -p[0] * p[1] * e1inner, 1.0};
        return p[3] + p[0] * e1;
    }
    double value(const Parameters& p, double t) const override {
        return p[3] + p[0] * std::exp(-std::exp(-p[1] * (t - p[2])));
    }

    // The Gompertz start above a few baselines at and below the lowest value.
    Parameters start(const std::vector<Point>& points, const Fixed& fixed,
                     const Parameters& held) const override {
        const auto [lo, hi] = std::minmax_element(
            points.begin(), points.end(), [](const Point& l, const Point& r) { return l.y < r.y; });
        const double range = hi->y - lo->y;
        Parameters best = fromGompertz(held);
        double bestSse = std::numeric_limits<double>::infinity();
        for (const double y0 : {0.0, lo->y - 0.05 * range, lo->y - 0.3 * range}) {
            std::vector<Point> above = points;
            for (Point& point : above) {
                point.y -= y0;
            }
            Parameters p = gompertzModel().start(above, fixed, held);
            p[3] = y0;
            const double sse = sumOfSquares(*this, points, p);
            if (sse < bestSse) {
                best = p;
                bestSse = sse;
            }
        }
        return best;
    }

    // t = t0 - ln(-ln((y - y0) / a)) / c, for y strictly between y0 and y0 + a.
    std::optional<Quantity> timeToReach(double y, const Parameters& p) const override {
        const auto [a, c, t0, y0] = p;
        const double r = (y - y0) / a;
        if (!(r > 0.0 && r < 1.0) || c == 0.0) {
            return std::nullopt;
        }
        const double z = std::log(-std::log(r));
        const double dzdr = 1 / (r * std::log(r));
        return Quantity{t0 - z / c, {dzdr * r / a / c, z / (c * c), 1, dzdr / a / c}};
    }

    ReadOutInfo readOutInfo(int k) const override {
        static const ReadOutInfo kInfo[] = {{"Valor en la inflexión (y0 + a/e)", 0},
                                            {"Tasa máxima de crecimiento (a·c/e)", 0},
                                            {"Fase de latencia (t0 − 1/c)", 2}};
        return kInfo[k];
    }
    Quantity readOut(int k, const Parameters& p) const override {
        const auto [a, c, t0, y0] = p;
        switch (k) {
        case 0:
            return {y0 + a / kE, {1 / kE, 0, 0, 1}};
        case 1:
            return {a * (c / kE), {c / kE, a / kE, 0, 0}};
        default:
            return {t0 - 1 / c, {0, 1 / c / c, 1, 0}};
        }
    }

    bool containsGompertz() const override { return true; } // y0 = 0

    Parameters fromGompertz(const Parameters& g) const override { return {g[0], g[1], g[2], 0.0}; }
};

} // namespace

const GrowthModel& gompertzWithBaseline() {
    static const GompertzWithBaseline model;
    return model;
}

} // namespace gompertz::fit
