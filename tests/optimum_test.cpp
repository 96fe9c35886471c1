// Whether one click ("Ajuste óptimo") finds the optimum: on growth sets of
// six kinds, drawn with fixed seeds, its sum of squares against the lowest
// that a brute-force multistart finds among curves of the model's domain
// (a > 0, c > 0, ν > 0); and a model that contains the Gompertz curve never
// ending above the Gompertz fit.
//
// On these 210 sets a model (35 of each kind), the share where one click
// reaches that optimum or refuses where there is none:
//                            before the domain rule,    now
//                            the split and Gompertz
//                            starts
//   Gompertz                 83.8 %                     100 %
//   Gompertz con línea base  82.4 %                     100 %
//   Logístico                83.3 %                     100 %
//   Richards                 78.1 % (7 above Gompertz)  99.5 %
// Before, the falling sets (one in six) were shown as fits by every model;
// beyond them the baseline model missed 2 noisy sets and Richards 11 (noisy
// and early-stopping). With seeds 500 on (not tuned for): 100, 100, 100 and
// 99.0 %.
#include "fit/comparison.h"
#include "fit/least_squares.h"

#include <gsl/gsl_cdf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace gompertz::fit;

namespace {

const Fixed kAllFree = {false, false, false, false};
const Parameters kWindowStart = {5, 1, 0, 0};

enum class Kind { Published, EarlyStop, Decreasing, NegativeTime, SparseRise, Noisy };
constexpr Kind kKinds[] = {Kind::Published,    Kind::EarlyStop,  Kind::Decreasing,
                           Kind::NegativeTime, Kind::SparseRise, Kind::Noisy};

// A sigmoid of one of the four shapes (ν = 0 the Gompertz curve, ν = 1 the
// logistic), above a baseline, written out here rather than taken from the
// models under test.
double curve(double a, double c, double t0, double nu, double y0, double t) {
    const double e = std::exp(-c * (t - t0));
    return y0 + (nu == 0.0 ? a * std::exp(-e) : a * std::pow(1 + nu * e, -1 / nu));
}

// A set of the given kind: 8 to 24 points, noise of 1 to 5 % of the rise
// (10 to 30 % for noisy ones).
std::vector<Point> drawSet(Kind kind, unsigned seed) {
    std::mt19937 random(seed);
    const auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    std::normal_distribution<double> normal(0.0, 1.0);
    const double shapes[] = {0.0, 0.0, 1.0, 0.3, 2.0};
    const double nu = shapes[random() % 5];
    const double a = std::exp(uniform(std::log(0.2), std::log(500.0)));
    const double c = std::exp(uniform(std::log(0.05), std::log(3.0)));
    const double y0 = random() % 3 == 0 ? uniform(0.0, 0.3) * a : 0.0;
    const double t0 = uniform(2.0, 8.0) / c;
    const int n = 8 + static_cast<int>(random() % 17);
    double first = 0.0;
    double last = t0 + uniform(2.0, 5.0) / c;
    double noise = uniform(0.01, 0.05) * a;
    switch (kind) {
    case Kind::EarlyStop:
        last = t0 + uniform(0.2, 1.5) / c;
        break;
    case Kind::Noisy:
        noise = uniform(0.1, 0.3) * a;
        break;
    default:
        break;
    }
    // Negative times: the same curve, its times moved left past zero.
    const double shift = kind == Kind::NegativeTime ? -last * uniform(0.6, 2.0) : 0.0;
    std::vector<double> times;
    if (kind == Kind::SparseRise) { // at most two points within t0 ± 1.5 / c
        const double from = t0 - 1.5 / c;
        const double to = t0 + 1.5 / c;
        const int inside = static_cast<int>(random() % 3);
        for (int i = 0; i < n - inside; ++i) {
            const bool before = i < (n - inside) / 2;
            times.push_back(before ? uniform(0.0, std::max(0.1, from)) : uniform(to, last + 2 / c));
        }
        for (int i = 0; i < inside; ++i) {
            times.push_back(uniform(from, to));
        }
        std::sort(times.begin(), times.end());
    } else {
        for (int i = 0; i < n; ++i) {
            times.push_back(first + (last - first) * i / (n - 1));
        }
    }
    std::vector<Point> points;
    for (double t : times) {
        const double at = kind == Kind::Decreasing ? last - t : t;
        points.push_back({t + shift, curve(a, c, t0, nu, y0, at) + noise * normal(random)});
    }
    return points;
}

bool inDomain(const GrowthModel& model, const Parameters& p) {
    const bool shapeOk = model.parameterCount() < 4 ||
                         model.parameter(3).role != Role::Shape || p[3] > 0.0;
    return p[0] > 0.0 && p[1] > 0.0 && shapeOk;
}

// The weighted mean's flat line, the least a growth curve must beat.
double flatSumOfSquares(const std::vector<Point>& points) {
    double w = 0.0, wy = 0.0;
    for (const Point& p : points) {
        w += p.weight;
        wy += p.weight * p.y;
    }
    double sum = 0.0;
    for (const Point& p : points) {
        sum += p.weight * (p.y - wy / w) * (p.y - wy / w);
    }
    return sum;
}

// A rise beyond the noise: the extra sum of squares F test of the curve
// (k free parameters) against the flat line (one), at 5 %.
bool clearRise(double sse, double flat, int n, int k) {
    if (!(sse > 0.0)) {
        return flat > 0.0;
    }
    const double f = (flat - sse) / (k - 1) / (sse / (n - k));
    return f > 0.0 && gsl_cdf_fdist_Q(f, k - 1, n - k) < 0.05;
}

// The lowest sum of squares of a converged run of the model's domain, from
// a grid of starts over a, c, t0 (and y0 or ν), run one by one; infinity
// when none is valid.
struct Lowest {
    double sse = INFINITY;
    Parameters parameters{};
};
Lowest bruteForce(LeastSquares& solver, const GrowthModel& model,
                  const std::vector<Point>& points) {
    const auto [lo, hi] = std::minmax_element(
        points.begin(), points.end(), [](const Point& l, const Point& r) { return l.t < r.t; });
    const auto [bottom, top] = std::minmax_element(
        points.begin(), points.end(), [](const Point& l, const Point& r) { return l.y < r.y; });
    const double span = hi->t - lo->t;
    const double range = std::max(top->y - bottom->y, 1e-9);
    std::vector<double> fourth = {0.0};
    if (model.parameterCount() == 4) {
        fourth = model.parameter(3).role == Role::Shape
                     ? std::vector<double>{0.02, 0.5, 2.0}
                     : std::vector<double>{0.0, bottom->y, bottom->y - 0.5 * range};
    }
    Lowest best;
    for (const double extra : fourth) {
        for (const double height : {1.5}) {
            for (const double rate : {0.5, 2.0, 8.0, 40.0}) {
                for (const double where : {-0.1, 0.15, 0.35, 0.55, 0.75, 1.0}) {
                    const double base = model.parameterCount() == 4 &&
                                                model.parameter(3).role == Role::Level
                                            ? extra
                                            : 0.0;
                    const Parameters start = {height * (top->y - base), rate / span,
                                              lo->t + where * span, extra};
                    const Fit fit = solver.fitFrom(model, points, kAllFree, start);
                    if (fit.status == Status::Ok && inDomain(model, fit.parameters) &&
                        clearRise(fit.sse, flatSumOfSquares(points), fit.points,
                                  fit.freeParameters)) {
                        if (fit.sse < best.sse) {
                            best = {fit.sse, fit.parameters};
                        }
                    }
                }
            }
        }
    }
    return best;
}

std::string text(const Parameters& p) {
    char buffer[120];
    std::snprintf(buffer, sizeof buffer, "%.5g %.5g %.5g %.5g", p[0], p[1], p[2], p[3]);
    return buffer;
}

struct Tally {
    int sets = 0;
    int passed = 0;
    int aboveGompertz = 0;
    std::vector<std::string> failures;
};

constexpr double kRelative = 1e-6;

} // namespace

TEST(Optimum, OneClickFindsTheLowestSumOfSquaresOnSixKindsOfSets) {
    constexpr unsigned kPerKind = 35;
    LeastSquares solver;
    std::vector<Tally> tallies(growthModels().size());
    for (const Kind kind : kKinds) {
        for (unsigned k = 0; k < kPerKind; ++k) {
            const unsigned seed = 1000 * (static_cast<unsigned>(kind) + 1) + k;
            const auto points = drawSet(kind, seed);
            Fit gompertz;
            for (std::size_t m = 0; m < growthModels().size(); ++m) {
                const GrowthModel& model = *growthModels()[m];
                const Fit click = solver.bestFit(model, points, kAllFree,
                                                 model.fromGompertz(kWindowStart), startsFor(model));
                if (m == 0 && inDomain(model, click.parameters)) {
                    gompertz = click;
                }
                const bool shown = click.status == Status::Ok &&
                                   inDomain(model, click.parameters);
                EXPECT_TRUE(!shown || inDomain(model, click.parameters))
                    << model.name() << " seed " << seed;
                const Lowest lowest = bruteForce(solver, model, points);
                const double reference = std::min(lowest.sse, shown ? click.sse : INFINITY);
                // A curve outside the domain shown as a fit fails, whatever its SSE.
                const bool pass = shown ? click.sse <= reference * (1 + kRelative) + 1e-300
                                        : click.status != Status::Ok && !std::isfinite(reference);
                Tally& tally = tallies[m];
                ++tally.sets;
                tally.passed += pass ? 1 : 0;
                if (!pass) {
                    tally.failures.push_back(std::to_string(seed) + " (status " +
                                             std::to_string(static_cast<int>(click.status)) +
                                             ", SSE " + std::to_string(click.sse) + " at " +
                                             text(click.parameters) + " against " +
                                             std::to_string(reference) + " at " +
                                             text(lowest.parameters) + ")");
                }
                // Better than the Gompertz fit, or refused for an asymptote
                // without end that follows the data closer still (with no
                // result, NaN, when it ran off).
                const bool noWorse =
                    shown ? click.sse <= gompertz.sse * (1 + kRelative)
                          : click.status == Status::NoPlateau &&
                                (std::isnan(click.sse) || click.sse < gompertz.sse);
                if (model.containsGompertz() && gompertz.status == Status::Ok && !noWorse) {
                    ++tally.aboveGompertz;
                    tally.failures.push_back(std::to_string(seed) + " (status " +
                                             std::to_string(static_cast<int>(click.status)) +
                                             ", SSE " + std::to_string(click.sse) +
                                             ") above the Gompertz fit (" +
                                             std::to_string(gompertz.sse) + ")");
                }
            }
        }
    }
    for (std::size_t m = 0; m < tallies.size(); ++m) {
        const Tally& tally = tallies[m];
        const double rate = 100.0 * tally.passed / tally.sets;
        std::printf("%-26s optimum on %5.1f %% of %d sets; above the Gompertz fit %d\n",
                    growthModels()[m]->name(), rate, tally.sets, tally.aboveGompertz);
        for (const std::string& failure : tally.failures) {
            std::printf("    %s\n", failure.c_str());
        }
        EXPECT_GE(rate, 99.5) << growthModels()[m]->name();
        EXPECT_EQ(tally.aboveGompertz, 0) << growthModels()[m]->name();
    }
}
