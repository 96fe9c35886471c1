// f(t) = y0 + a exp(-exp(-c (t - t0))): a Gompertz curve above a baseline,
// as instruments with a blank or log counts that start at ln N0 give.
#include "fit/curve_starts.h"
#include "fit/growth_model.h"
#include "fit/least_squares.h"

#include <algorithm>
#include <cmath>

namespace gompertz::fit {
namespace {

class GompertzWithBaseline final : public GrowthModel {
  public:
    const char* name() const override { return "Gompertz con línea base"; }
    const char* inSentence() const override { return "el modelo de Gompertz con línea base"; }
    const char* formula() const override { return "f(t) = y0 + a·exp(−exp(−c·(t − t0)))"; }
    int parameterCount() const override { return 4; }
    ParameterInfo parameter(int j) const override {
        return j < 3 ? sharedParameter(j) : ParameterInfo{"y0", "y0 (línea base)", Role::Level};
    }

    // The Gompertz curve's, lifted by y0.
    double valueAndGradient(const Parameters& p, double t, Gradient& g) const override {
        const double f = gompertzModel().valueAndGradient(p, t, g);
        g[3] = 1.0;
        return p[3] + f;
    }
    double value(const Parameters& p, double t) const override {
        return p[3] + gompertzModel().value(p, t);
    }

    // The Gompertz start above a few baselines at and below the lowest value.
    Parameters start(const std::vector<Point>& points, const Fixed& fixed,
                     const Parameters& held) const override {
        const auto [lo, hi] = std::minmax_element(
            points.begin(), points.end(), [](const Point& l, const Point& r) { return l.y < r.y; });
        const double range = hi->y - lo->y;
        std::vector<Parameters> candidates;
        for (const double y0 : {0.0, lo->y - 0.05 * range, lo->y - 0.3 * range}) {
            std::vector<Point> above = points;
            for (Point& point : above) {
                point.y -= y0;
            }
            Parameters p = gompertzModel().start(above, fixed, held);
            p[3] = y0;
            candidates.push_back(p);
        }
        return lowestSumOfSquares(*this, points, candidates);
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
    // The rate and the lag are the Gompertz curve's; the value at the
    // inflection stands y0 higher.
    Quantity readOut(int k, const Parameters& p) const override {
        Quantity q = gompertzModel().readOut(k, p);
        if (k == 0) {
            q.value += p[3];
            q.gradient[3] = 1.0;
        }
        return q;
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
