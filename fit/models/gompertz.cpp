// f(t) = a exp(-exp(-c (t - t0))): the inflection at t0, where f = a / e.
#include "fit/block_exp.h"
#include "fit/curve_starts.h"
#include "fit/growth_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gompertz::fit {
namespace {

constexpr double kE = std::numbers::e;
constexpr std::size_t kBlock = 256;

// df/dc = a (t - t0) e1 inner: 0 where e1 inner is, also where a (t - t0)
// alone would overflow far out on t.
double dRate(const Parameters& p, double t, double e1inner) {
    return e1inner == 0.0 ? 0.0 : p[0] * ((t - p[2]) * e1inner);
}

class Gompertz final : public GrowthModel {
  public:
    const char* name() const override { return "Gompertz"; }
    const char* inSentence() const override { return "el modelo de Gompertz"; }
    const char* formula() const override { return "f(t) = a·exp(−exp(−c·(t − t0)))"; }
    int parameterCount() const override { return 3; }
    ParameterInfo parameter(int j) const override { return sharedParameter(j); }

    double valueAndGradient(const Parameters& p, double t, Gradient& g) const override {
        const double inner = std::exp(-p[1] * (t - p[2]));
        const double e1 = std::exp(-inner);
        // Where the inner exponential overflows the product is 0, not inf * 0.
        const double e1inner = std::isfinite(inner) ? e1 * inner : 0.0;
        g = {e1, dRate(p, t, e1inner), -p[0] * p[1] * e1inner, 0.0};
        return p[0] * e1;
    }
    double value(const Parameters& p, double t) const override {
        return p[0] * std::exp(-std::exp(-p[1] * (t - p[2])));
    }

    // As above, with the exponentials of a block worked out together.
    void valuesAndGradients(const Parameters& p, const Point* points, std::size_t n,
                            double* values, Gradient* gradients) const override {
        double inner[kBlock];
        double outer[kBlock];
        for (std::size_t from = 0; from < n; from += kBlock) {
            const std::size_t count = std::min(kBlock, n - from);
            for (std::size_t i = 0; i < count; ++i) {
                inner[i] = -p[1] * (points[from + i].t - p[2]);
            }
            expInPlace(inner, count);
            for (std::size_t i = 0; i < count; ++i) {
                outer[i] = -inner[i];
            }
            expInPlace(outer, count);
            for (std::size_t i = 0; i < count; ++i) {
                const double t = points[from + i].t;
                const double e1 = outer[i];
                const double e1inner = std::isfinite(inner[i]) ? e1 * inner[i] : 0.0;
                gradients[from + i] = {e1, dRate(p, t, e1inner), -p[0] * p[1] * e1inner, 0.0};
                values[from + i] = p[0] * e1;
            }
        }
    }
    void values(const Parameters& p, const Point* points, std::size_t n,
                double* values) const override {
        double e[kBlock];
        for (std::size_t from = 0; from < n; from += kBlock) {
            const std::size_t count = std::min(kBlock, n - from);
            for (std::size_t i = 0; i < count; ++i) {
                e[i] = -p[1] * (points[from + i].t - p[2]);
            }
            expInPlace(e, count);
            for (std::size_t i = 0; i < count; ++i) {
                e[i] = -e[i];
            }
            expInPlace(e, count);
            for (std::size_t i = 0; i < count; ++i) {
                values[from + i] = p[0] * e[i];
            }
        }
    }

    // For a beyond the data, ln(-ln(y / a)) is a straight line in t.
    Parameters start(const std::vector<Point>& points, const Fixed& fixed,
                     const Parameters& held) const override {
        return sigmoidStart(
            *this, points, fixed, held, [](double r, double) { return std::log(-std::log(r)); },
            0.0);
    }

    // t = t0 - ln(-ln(y / a)) / c, for y strictly between 0 and a.
    std::optional<Quantity> timeToReach(double y, const Parameters& p) const override {
        const auto [a, c, t0, unused] = p;
        const double r = y / a;
        if (!(r > 0.0 && r < 1.0) || c == 0.0) {
            return std::nullopt;
        }
        const double z = std::log(-std::log(r));
        // d z / d a = -1 / (a ln r)
        return Quantity{t0 - z / c, {1 / (c * a * std::log(r)), z / (c * c), 1, 0}};
    }

    ReadOutInfo readOutInfo(int k) const override {
        static const ReadOutInfo kInfo[] = {{"Valor en la inflexión (a/e)", 0},
                                            {"Tasa máxima de crecimiento (a·c/e)", 0},
                                            {"Fase de latencia (t0 − 1/c)", 2}};
        return kInfo[k];
    }
    Quantity readOut(int k, const Parameters& p) const override {
        const auto [a, c, t0, unused] = p;
        switch (k) {
        case 0:
            return {a / kE, {1 / kE, 0, 0, 0}};
        case 1:
            return {a * (c / kE), {c / kE, a / kE, 0, 0}};
        default:
            return {t0 - 1 / c, {0, 1 / c / c, 1, 0}};
        }
    }
};

} // namespace

const GrowthModel& gompertzModel() {
    static const Gompertz model;
    return model;
}

} // namespace gompertz::fit
