#include "warnings.h"

#include "model/number_text.h"
#include "statistics.h"

#include <gsl/gsl_sf_gamma.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace gompertz::fit {
namespace {

// Below this share of its rise at the last t, the curve has not reached its
// plateau.
constexpr double kPlateauShare = 0.9;
constexpr double kTrendLevel = 0.05;

std::string shown(double value) {
    return formatNumber(value, 4);
}

// The curve's rise at t as a share of its whole rise, from the lower
// asymptote (0, or the baseline) to the upper one.
double shareOfRise(const GrowthModel& model, const Parameters& p, double t) {
    double lower = 0.0;
    for (int j = 0; j < model.parameterCount(); ++j) {
        if (model.parameter(j).role == Role::Level) {
            lower = p[static_cast<std::size_t>(j)];
        }
    }
    return (model.value(p, t) - lower) / p[0];
}

// The neighbouring times of the data between which the curve rises from a
// tenth to nine tenths of its rise, when there are such: no point measured
// during the rise, the best curve is a step whose steepness the data do not
// tell. Points in order of t.
std::optional<std::pair<double, double>> stepBetween(const GrowthModel& model,
                                                     const Parameters& p,
                                                     const std::vector<Point>& ordered) {
    const double lower = model.value(p, -std::numeric_limits<double>::infinity());
    const auto from = model.timeToReach(lower + 0.1 * p[0], p);
    const auto to = model.timeToReach(lower + 0.9 * p[0], p);
    if (!from || !to) {
        return std::nullopt;
    }
    for (std::size_t i = 1; i < ordered.size(); ++i) {
        if (ordered[i - 1].t < from->value && to->value < ordered[i].t) {
            return std::pair{ordered[i - 1].t, ordered[i].t};
        }
    }
    return std::nullopt;
}

// P(R = r) for r runs of n1 signs of one kind and n2 of the other.
double runsProbability(int r, int n1, int n2) {
    const auto choose = [](int n, int k) {
        return k < 0 || k > n ? 0.0 : gsl_sf_choose(static_cast<unsigned>(n), static_cast<unsigned>(k));
    };
    const double all = choose(n1 + n2, n1);
    const int k = r / 2;
    if (r % 2 == 0) {
        return 2 * choose(n1 - 1, k - 1) * choose(n2 - 1, k - 1) / all;
    }
    return (choose(n1 - 1, k - 1) * choose(n2 - 1, k) + choose(n1 - 1, k) * choose(n2 - 1, k - 1)) /
           all;
}

} // namespace

std::optional<double> fewRunsProbability(const std::vector<double>& residuals) {
    int positive = 0;
    int negative = 0;
    int runs = 0;
    int last = 0;
    for (const double r : residuals) {
        const int sign = r > 0.0 ? 1 : r < 0.0 ? -1 : 0;
        if (sign == 0) {
            continue;
        }
        (sign > 0 ? positive : negative) += 1;
        runs += sign != last ? 1 : 0;
        last = sign;
    }
    if (positive == 0 || negative == 0) {
        return std::nullopt;
    }
    double p = 0.0;
    for (int r = 2; r <= runs; ++r) {
        p += runsProbability(r, positive, negative);
    }
    return std::min(p, 1.0);
}

std::vector<std::string> fitWarnings(const Fit& fit, const std::vector<Point>& points,
                                     const std::vector<std::optional<ProfileInterval>>& intervals) {
    std::vector<std::string> out;
    if (fit.status != Status::Ok || points.empty()) {
        return out;
    }
    const GrowthModel& model = *fit.model;
    std::vector<Point> ordered = points;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Point& l, const Point& r) { return l.t < r.t; });
    const double first = ordered.front().t;
    const double last = ordered.back().t;
    const Parameters& p = fit.parameters;

    const double share = shareOfRise(model, p, last);
    if (share < kPlateauShare) {
        out.push_back("La curva no alcanza la meseta dentro de los datos: en el último t (" +
                      shown(last) + ") llega al " + formatNumber(std::round(100 * share), 3) +
                      " % de su subida, así que a (" + shown(p[0]) +
                      ") es una extrapolación más allá de lo medido. Para fijar a, mida hasta "
                      "que los valores se estabilicen.");
    }
    if (p[2] < first || p[2] > last) {
        out.push_back("El punto de inflexión (t0 = " + shown(p[2]) +
                      ") queda fuera del intervalo de t de los datos (" + shown(first) + " a " +
                      shown(last) + "): t0 y la tasa máxima se extrapolan, sin medidas que los "
                      "apoyen.");
    }
    // The largest value measured, less what its noise allows (q times s):
    // no asymptote below it fits the data.
    double top = ordered.front().y;
    for (const Point& point : ordered) {
        top = std::max(top, point.y);
    }
    const double ruledOut =
        top - studentQuantile975(fit.degreesOfFreedom) * residualDeviation(fit);
    const auto rows = estimates(fit);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const Estimate& e = rows[r].estimate;
        if (e.fixed) {
            continue;
        }
        std::optional<double> lower = e.lower;
        std::optional<double> upper = e.upper;
        bool openLower = false;
        bool openUpper = false;
        if (r < intervals.size() && intervals[r]) {
            lower = intervals[r]->lower.bound;
            upper = intervals[r]->upper.bound;
            openLower = intervals[r]->lower.open();
            openUpper = intervals[r]->upper.open();
        }
        const bool amplitude =
            r < static_cast<std::size_t>(model.parameterCount()) &&
            model.parameter(static_cast<int>(r)).role == Role::Amplitude;
        const bool rate = r < static_cast<std::size_t>(model.parameterCount()) &&
                          model.parameter(static_cast<int>(r)).role == Role::Rate;
        const bool holdsZero = (openLower || (lower && *lower <= 0.0)) &&
                               (openUpper || (upper && *upper >= 0.0)) && (lower || upper);
        if ((amplitude || rate) && holdsZero && e.value != 0.0) {
            out.push_back("El intervalo de " + rows[r].label +
                          " llega hasta el cero: estos datos son compatibles con que no haya "
                          "crecimiento. Hacen falta más puntos durante la subida para "
                          "confirmarlo.");
        }
        const bool noBaseline = model.parameterCount() == 3 || model.parameter(3).role != Role::Level;
        if (amplitude && noBaseline && p[0] > 0.0 && lower && *lower < ruledOut) {
            out.push_back("La parte baja del intervalo de a no es creíble: empieza en " +
                          shown(*lower) + ", por debajo del mayor valor medido (" + shown(top) +
                          ") más de lo que explica el ruido, y la asíntota no puede quedar "
                          "por debajo de lo que ya se midió.");
        }
    }
    std::vector<double> residuals;
    for (const Point& point : ordered) {
        residuals.push_back(point.y - model.value(p, point.t));
    }
    if (const auto trend = fewRunsProbability(residuals); trend && *trend < kTrendLevel) {
        out.push_back("Los residuos siguen una tendencia (prueba de rachas de Wald–Wolfowitz, p = " +
                      formatNumber(*trend, 2) +
                      "): la curva no sigue bien la forma de los datos. Pruebe otro modelo "
                      "con «Comparar modelos».");
    }
    for (int j = 0; j < model.parameterCount(); ++j) {
        if (fit.atBound[static_cast<std::size_t>(j)] && model.parameter(j).role == Role::Shape) {
            out.push_back(std::string(model.parameter(j).name) +
                          " tiende a 0: los datos piden la curva de Gompertz misma; use el "
                          "modelo de Gompertz.");
        }
    }
    if (const auto gap = stepBetween(model, p, ordered)) {
        out.push_back("La subida cae entre dos tiempos vecinos (t = " + shown(gap->first) +
                      " y t = " + shown(gap->second) +
                      "): la mejor curva es un escalón y c no queda determinada.");
    }
    return out;
}

} // namespace gompertz::fit
