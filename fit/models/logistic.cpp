// f(t) = a / (1 + exp(-c (t - t0))): symmetric about its inflection at t0,
// where f = a / 2.
#include "fit/curve_starts.h"
#include "fit/growth_model.h"

#include <cmath>

namespace gompertz::fit {
namespace {

class Logistic final : public GrowthModel {
  public:
    const char* name() const override { return "Logístico"; }
    const char* inSentence() const override { return "el modelo logístico"; }
    const char* formula() const override { return "f(t) = a / (1 + exp(−c·(t − t0)))"; }
    int parameterCount() const override { return 3; }
    ParameterInfo parameter(int j) const override { return sharedParameter(j); }

    double valueAndGradient(const Parameters& p, double t, Gradient& g) const override {
        const double s = 1 / (1 + std::exp(-p[1] * (t - p[2])));
        // e s^2 = s (1 - s), finite also where e = exp(...) overflows.
        const double slope = s * (1 - s);
        // 0 where the slope is, also where a (t - t0) alone would overflow.
        g = {s, slope == 0.0 ? 0.0 : p[0] * ((t - p[2]) * slope), -p[0] * p[1] * slope, 0.0};
        return p[0] * s;
    }
    double value(const Parameters& p, double t) const override {
        return p[0] / (1 + std::exp(-p[1] * (t - p[2])));
    }

    // For a beyond the data, ln(a / y - 1) is a straight line in t.
    Parameters start(const std::vector<Point>& points, const Fixed& fixed,
                     const Parameters& held) const override {
        return sigmoidStart(
            *this, points, fixed, held, [](double r, double) { return std::log(1 / r - 1); }, 1.0);
    }

    // t = t0 - ln(a / y - 1) / c, for y strictly between 0 and a.
    std::optional<Quantity> timeToReach(double y, const Parameters& p) const override {
        const auto [a, c, t0, unused] = p;
        const double r = y / a;
        if (!(r > 0.0 && r < 1.0) || c == 0.0) {
            return std::nullopt;
        }
        const double z = std::log(1 / r - 1);
        // d z / d a = 1 / (a - y)
        return Quantity{t0 - z / c, {-1 / (c * (a - y)), z / (c * c), 1, 0}};
    }

    ReadOutInfo readOutInfo(int k) const override {
        static const ReadOutInfo kInfo[] = {{"Valor en la inflexión (a/2)", 0},
                                            {"Tasa máxima de crecimiento (a·c/4)", 0},
                                            {"Fase de latencia (t0 − 2/c)", 2}};
        return kInfo[k];
    }
    Quantity readOut(int k, const Parameters& p) const override {
        const auto [a, c, t0, unused] = p;
        switch (k) {
        case 0:
            return {a / 2, {0.5, 0, 0, 0}};
        case 1:
            return {a * (c / 4), {c / 4, a / 4, 0, 0}};
        default:
            return {t0 - 2 / c, {0, 2 / c / c, 1, 0}};
        }
    }
};

} // namespace

const GrowthModel& logisticModel() {
    static const Logistic model;
    return model;
}

} // namespace gompertz::fit
