// f(t) = a (1 + ν exp(-c (t - t0)))^(-1/ν), ν > 0: the Gompertz curve is its
// limit ν -> 0, the logistic one ν = 1. For every ν the inflection is at t0,
// where f = a (1 + ν)^(-1/ν).
#include "fit/curve_starts.h"
#include "fit/growth_model.h"
#include "fit/least_squares.h"

#include <cmath>

namespace gompertz::fit {
namespace {

// ln(1 + x) - x / (1 + x), given ln(1 + x), by its series where the
// difference cancels.
double curvature(double x, double log1pX) {
    if (std::fabs(x) < 1e-3) {
        return x * x * (0.5 - x * (2.0 / 3 - x * (0.75 - x * (0.8 - x * (5.0 / 6)))));
    }
    return log1pX - x / (1 + x);
}

class Richards final : public GrowthModel {
  public:
    const char* name() const override { return "Richards"; }
    const char* inSentence() const override { return "el modelo de Richards"; }
    const char* formula() const override { return "f(t) = a·(1 + ν·exp(−c·(t − t0)))^(−1/ν)"; }
    int parameterCount() const override { return 4; }
    ParameterInfo parameter(int j) const override {
        return j < 3 ? sharedParameter(j) : ParameterInfo{"ν", "ν (forma)", Role::Shape};
    }

    double valueAndGradient(const Parameters& p, double t, Gradient& g) const override {
        const auto [a, c, t0, nu] = p;
        const double e = std::exp(-c * (t - t0));
        const double x = nu * e;
        const double log1pX = std::log1p(x);
        const double w = std::exp(-log1pX / nu); // (1 + x)^(-1/ν)
        const double q = 1 / (nu + 1 / e);       // e / (1 + x), also where e overflows
        const double shape = w == 0.0 ? 0.0 : a * w * (curvature(x, log1pX) / (nu * nu));
        // 0 where w q is, also where a (t - t0) alone would overflow.
        const double wq = w * q;
        g = {w, wq == 0.0 ? 0.0 : a * ((t - t0) * wq), -a * c * wq, shape};
        return a * w;
    }
    double value(const Parameters& p, double t) const override {
        return p[0] * std::exp(-std::log1p(p[3] * std::exp(-p[1] * (t - p[2]))) / p[3]);
    }

    // For a beyond the data, ln(((y / a)^(-ν) - 1) / ν) is a straight line
    // in t: the best of a few shapes, from near the Gompertz curve to past
    // the logistic one.
    Parameters start(const std::vector<Point>& points, const Fixed& fixed,
                     const Parameters& held) const override {
        const auto straight = [](double r, double nu) {
            return std::log(std::expm1(-nu * std::log(r)) / nu);
        };
        std::vector<Parameters> candidates;
        for (const double nu : {0.1, 0.5, 1.2, 3.0}) {
            Parameters shaped = held;
            shaped[3] = nu;
            candidates.push_back(sigmoidStart(*this, points, fixed, shaped, straight, nu));
        }
        return lowestSumOfSquares(*this, points, candidates);
    }

    // t = t0 - ln(((y / a)^(-ν) - 1) / ν) / c, for y strictly between 0 and a.
    std::optional<Quantity> timeToReach(double y, const Parameters& p) const override {
        const auto [a, c, t0, nu] = p;
        const double r = y / a;
        if (!(r > 0.0 && r < 1.0) || c == 0.0) {
            return std::nullopt;
        }
        const double lnr = std::log(r);
        const double m = std::expm1(-nu * lnr); // r^(-ν) - 1
        const double z = std::log(m / nu);
        const double power = m + 1;             // r^(-ν)
        const double dzda = nu * power / (a * m);
        const double dzdnu = -lnr * power / m - 1 / nu;
        return Quantity{t0 - z / c, {-dzda / c, z / (c * c), 1, -dzdnu / c}};
    }

    ReadOutInfo readOutInfo(int k) const override {
        static const ReadOutInfo kInfo[] = {
            {"Valor en la inflexión (a·(1 + ν)^(−1/ν))", 0},
            {"Tasa máxima de crecimiento (a·c·(1 + ν)^(−1 − 1/ν))", 0},
            {"Fase de latencia (t0 − (1 + ν)/c)", 2}};
        return kInfo[k];
    }
    Quantity readOut(int k, const Parameters& p) const override {
        const auto [a, c, t0, nu] = p;
        const double log1pNu = std::log1p(nu);
        const double v = std::exp(-log1pNu / nu);              // (1 + ν)^(-1/ν)
        const double dlnv = curvature(nu, log1pNu) / (nu * nu); // d ln v / dν
        switch (k) {
        case 0:
            return {a * v, {v, 0, 0, a * v * dlnv}};
        case 1: {
            const double rate = a * c * v / (1 + nu);
            return {rate, {c * v / (1 + nu), a * v / (1 + nu), 0, rate * (dlnv - 1 / (1 + nu))}};
        }
        default:
            return {t0 - (1 + nu) / c, {0, (1 + nu) / c / c, 1, -1 / c}};
        }
    }

    bool containsGompertz() const override { return true; } // ν -> 0

    // Near the Gompertz curve, where the solver can still move ν.
    Parameters fromGompertz(const Parameters& g) const override {
        return {g[0], g[1], g[2], 0.1};
    }
};

} // namespace

const GrowthModel& richardsModel() {
    static const Richards model;
    return model;
}

} // namespace gompertz::fit
