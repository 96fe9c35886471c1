#include "replicates.h"

#include "model/number_text.h"

#include <gsl/gsl_cdf.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace gompertz::fit {
namespace {

std::string shown(double value) {
    return formatNumber(value, 6);
}

// The values' indices grouped by equal t, in order of t.
std::map<double, std::vector<std::size_t>> byTime(const std::vector<Point>& points) {
    std::map<double, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < points.size(); ++i) {
        groups[points[i].t].push_back(i);
    }
    return groups;
}

// The sample standard deviation (n - 1) of the values at the indices.
double deviationOf(const std::vector<Point>& points, const std::vector<std::size_t>& at) {
    double mean = 0.0;
    for (const std::size_t i : at) {
        mean += points[i].y / static_cast<double>(at.size());
    }
    double sum = 0.0;
    for (const std::size_t i : at) {
        sum += (points[i].y - mean) * (points[i].y - mean);
    }
    return std::sqrt(sum / static_cast<double>(at.size() - 1));
}

// A deviation this small beside the values is the rounding of their mean,
// not a scatter that was measured: equal values read alike.
constexpr double kRoundOff = 1e-12;

double largestMagnitude(const std::vector<Point>& points, const std::vector<std::size_t>& at) {
    double out = 0.0;
    for (const std::size_t i : at) {
        out = std::max(out, std::fabs(points[i].y));
    }
    return out;
}

// A weight the sums can hold: neither lost below the smallest normal number
// nor past the largest.
bool usableWeight(double weight) {
    return std::isnormal(weight) && weight > 0.0;
}

std::string outOfReach(const std::string& weighting, double t, const std::string& what) {
    return "La ponderación " + weighting + " da en t = " + shown(t) +
           " un peso fuera del alcance de los números del ordenador (" + what +
           "): exprese los valores en otras unidades, por ejemplo divididos o multiplicados "
           "por una potencia de diez.";
}

std::optional<std::string> zeroValue(const std::vector<Point>& points) {
    for (const Point& point : points) {
        if (point.y == 0.0) {
            return "La ponderación 1/y² no admite valores nulos: en t = " + shown(point.t) +
                   " el valor es 0.";
        }
        if (!usableWeight(1.0 / (point.y * point.y))) {
            return outOfReach("1/y²", point.t, "y = " + shown(point.y));
        }
    }
    return std::nullopt;
}

} // namespace

std::variant<std::vector<Point>, std::string> weightedValues(const std::vector<Point>& values,
                                                             Weighting weighting) {
    std::vector<Point> out = values;
    switch (weighting) {
    case Weighting::None:
        for (Point& point : out) {
            point.weight = 1.0;
        }
        break;
    case Weighting::RelativeValue:
        if (const auto zero = zeroValue(values)) {
            return *zero;
        }
        for (Point& point : out) {
            point.weight = 1.0 / (point.y * point.y);
        }
        break;
    case Weighting::Deviation:
        for (const auto& [t, at] : byTime(values)) {
            if (at.size() < 2) {
                return "La ponderación 1/DE² necesita réplicas: en t = " + shown(t) +
                       " hay un solo valor. Elija otra ponderación o añada los datos con "
                       "una columna DE.";
            }
            const double deviation = deviationOf(values, at);
            if (!(deviation > kRoundOff * largestMagnitude(values, at))) {
                return "La ponderación 1/DE² necesita dispersión: en t = " + shown(t) +
                       " todos los valores son iguales (DE = 0).";
            }
            const double weight = 1.0 / (deviation * deviation);
            if (!usableWeight(weight)) {
                return outOfReach("1/DE²", t, "DE = " + shown(deviation));
            }
            for (const std::size_t i : at) {
                out[i].weight = weight;
            }
        }
        break;
    }
    return out;
}

std::variant<std::vector<Point>, std::string> weightedMeans(const std::vector<MeanRow>& rows,
                                                            Weighting weighting) {
    std::vector<Point> out;
    out.reserve(rows.size());
    for (const MeanRow& row : rows) {
        out.push_back({row.t, row.mean, 1.0});
    }
    if (weighting == Weighting::RelativeValue) {
        return weightedValues(out, weighting);
    }
    if (weighting == Weighting::Deviation) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (!(rows[i].deviation > kRoundOff * std::fabs(rows[i].mean))) {
                return "La ponderación 1/DE² necesita una DE mayor que 0: en t = " +
                       shown(rows[i].t) + " es " + shown(rows[i].deviation) + ".";
            }
            out[i].weight = rows[i].count / (rows[i].deviation * rows[i].deviation);
            if (!usableWeight(out[i].weight)) {
                return outOfReach("1/DE²", rows[i].t, "DE = " + shown(rows[i].deviation));
            }
        }
    }
    return out;
}

double measurementVarianceFactor(const Fit& fit, const std::vector<Point>& points, double t) {
    switch (fit.weighting) {
    case Weighting::None:
        break;
    case Weighting::RelativeValue: {
        const double f = fit.model->value(fit.parameters, t);
        return f * f;
    }
    case Weighting::Deviation: {
        if (points.empty()) {
            break;
        }
        std::vector<Point> ordered = points;
        std::sort(ordered.begin(), ordered.end(),
                  [](const Point& l, const Point& r) { return l.t < r.t; });
        if (t <= ordered.front().t) {
            return 1.0 / ordered.front().weight;
        }
        if (t >= ordered.back().t) {
            return 1.0 / ordered.back().weight;
        }
        const auto after = std::upper_bound(ordered.begin(), ordered.end(), t,
                                            [](double v, const Point& p) { return v < p.t; });
        const Point& right = *after;
        const Point& left = *(after - 1);
        const double share = right.t > left.t ? (t - left.t) / (right.t - left.t) : 0.0;
        return (1 - share) / left.weight + share / right.weight;
    }
    }
    return 1.0;
}

std::optional<LackOfFit> lackOfFit(const Fit& fit, const std::vector<Point>& points) {
    if (fit.status != Status::Ok) {
        return std::nullopt;
    }
    const auto groups = byTime(points);
    LackOfFit out;
    for (const auto& [t, at] : groups) {
        double weights = 0.0;
        double mean = 0.0;
        for (const std::size_t i : at) {
            weights += points[i].weight;
        }
        for (const std::size_t i : at) {
            mean += points[i].y * (points[i].weight / weights);
        }
        for (const std::size_t i : at) {
            const double r = points[i].y - mean;
            out.pureSse += points[i].weight * r * r;
        }
    }
    out.pureDegrees = static_cast<int>(points.size() - groups.size());
    out.lackDegrees = static_cast<int>(groups.size()) - fit.freeParameters;
    if (out.pureDegrees < 1 || out.lackDegrees < 1 || !(out.pureSse > 0.0)) {
        return std::nullopt;
    }
    // The fit's SSE holds the pure error; rounding may leave a hair below it.
    const double lack = std::max(0.0, fit.sse - out.pureSse);
    out.f = (lack / out.lackDegrees) / (out.pureSse / out.pureDegrees);
    out.p = gsl_cdf_fdist_Q(out.f, out.lackDegrees, out.pureDegrees);
    return out;
}

std::string lackOfFitSentence(const LackOfFit& test) {
    const std::string figures = "(falta de ajuste frente al error puro: F(" +
                                std::to_string(test.lackDegrees) + ", " +
                                std::to_string(test.pureDegrees) + ") = " + formatNumber(test.f, 4) +
                                ", p = " + formatNumber(test.p, 3) + ")";
    if (test.p < 0.05) {
        return "El modelo no se ajusta dentro de la dispersión de las réplicas: la curva se "
               "aparta de las medias más de lo que varían las réplicas " +
               figures + ".";
    }
    return "El modelo se ajusta dentro de la dispersión de las réplicas " + figures + ".";
}

} // namespace gompertz::fit
