#pragma once

// The exact profile of a row, worked out apart from the program's solver and
// profile: for each held value, the lowest sum of squares over the other
// parameters found by a grid of starts and Nelder-Mead from the best of them
// (the linear parameters solved for in closed form where the hold leaves them
// linear), and the bounds by bisection on SSE(v) - SSE - q^2 s^2 after a fine
// scan outward from the estimate.
#include "fit/growth_model.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <vector>

namespace exact_profile {

using gompertz::fit::GrowthModel;
using gompertz::fit::Parameters;
using gompertz::fit::Point;
using gompertz::fit::Quantity;
using gompertz::fit::Role;

constexpr double kInf = std::numeric_limits<double>::infinity();

// Standard normal deviates by Box-Muller on the 32-bit Mersenne twister,
// whose sequence the standard fixes: the same data on every platform.
class Normal {
  public:
    explicit Normal(std::uint32_t seed) : random_(seed) {}
    double operator()() {
        const double u1 = (random_() + 0.5) / 4294967296.0;
        const double u2 = (random_() + 0.5) / 4294967296.0;
        return std::sqrt(-2 * std::log(u1)) * std::cos(2 * 3.14159265358979323846 * u2);
    }

  private:
    std::mt19937 random_;
};

// `count` points evenly over t = 0 ... last on the Gompertz curve
// a exp(-exp(-c (t - t0))) with normal noise of deviation sigma.
inline std::vector<Point> gompertzData(Normal& noise, int count, double last, double a, double c,
                                       double t0, double sigma) {
    std::vector<Point> points;
    for (int i = 0; i < count; ++i) {
        const double t = last * i / (count - 1);
        points.push_back({t, a * std::exp(-std::exp(-c * (t - t0))) + sigma * noise()});
    }
    return points;
}

// Nelder-Mead from x with initial steps `steps`, until the simplex's values
// agree to 1e-15 of the best; restarted from the best point once it stops,
// until a restart gains nothing.
inline std::vector<double> nelderMead(const std::function<double(const std::vector<double>&)>& f,
                                      std::vector<double> x, const std::vector<double>& steps,
                                      double& best) {
    const std::size_t n = x.size();
    best = f(x);
    if (n == 0) {
        return x;
    }
    for (int restart = 0; restart < 6; ++restart) {
        std::vector<std::vector<double>> simplex(n + 1, x);
        std::vector<double> values(n + 1, best);
        for (std::size_t k = 0; k < n; ++k) {
            simplex[k + 1][k] += steps[k] * (restart == 0 ? 1.0 : 0.05);
            values[k + 1] = f(simplex[k + 1]);
        }
        for (int iteration = 0; iteration < 4000; ++iteration) {
            std::vector<std::size_t> order(n + 1);
            for (std::size_t k = 0; k <= n; ++k) {
                order[k] = k;
            }
            std::sort(order.begin(), order.end(),
                      [&](std::size_t l, std::size_t r) { return values[l] < values[r]; });
            const std::size_t lo = order[0], hi = order[n], second = order[n - 1];
            if (std::fabs(values[hi] - values[lo]) <= 1e-15 * std::fabs(values[lo]) + 1e-300) {
                break;
            }
            std::vector<double> centre(n, 0.0);
            for (std::size_t k = 0; k <= n; ++k) {
                if (k != hi) {
                    for (std::size_t j = 0; j < n; ++j) {
                        centre[j] += simplex[k][j] / static_cast<double>(n);
                    }
                }
            }
            const auto along = [&](double t) {
                std::vector<double> p(n);
                for (std::size_t j = 0; j < n; ++j) {
                    p[j] = centre[j] + t * (simplex[hi][j] - centre[j]);
                }
                return p;
            };
            const auto reflected = along(-1.0);
            const double fr = f(reflected);
            if (fr < values[lo]) {
                const auto expanded = along(-2.0);
                const double fe = f(expanded);
                simplex[hi] = fe < fr ? expanded : reflected;
                values[hi] = std::min(fe, fr);
            } else if (fr < values[second]) {
                simplex[hi] = reflected;
                values[hi] = fr;
            } else {
                const auto contracted = fr < values[hi] ? along(-0.5) : along(0.5);
                const double fc = f(contracted);
                if (fc < std::min(fr, values[hi])) {
                    simplex[hi] = contracted;
                    values[hi] = fc;
                } else {
                    for (std::size_t k = 0; k <= n; ++k) {
                        if (k != lo) {
                            for (std::size_t j = 0; j < n; ++j) {
                                simplex[k][j] = simplex[lo][j] + 0.5 * (simplex[k][j] - simplex[lo][j]);
                            }
                            values[k] = f(simplex[k]);
                        }
                    }
                }
            }
        }
        const auto lowest = static_cast<std::size_t>(
            std::min_element(values.begin(), values.end()) - values.begin());
        const bool gained = values[lowest] < best * (1 - 1e-14);
        if (values[lowest] <= best) {
            best = values[lowest];
            x = simplex[lowest];
        }
        if (!gained && restart > 0) {
            break;
        }
    }
    return x;
}

// What is held: a parameter (row < parameter count), a read-out (the rows
// after them) or, with row -1, the time to reach `level`.
struct Hold {
    int row = 0;
    double level = 0.0;
};

class Profile {
  public:
    Profile(const GrowthModel& model, std::vector<Point> points, Hold hold,
            const Parameters& optimum)
        : model_(model), points_(std::move(points)), hold_(hold), optimum_(optimum) {
        const int n = model.parameterCount();
        pivot_ = hold.row >= 0 && hold.row < n ? hold.row
                 : hold.row >= n               ? model.readOutInfo(hold.row - n).pivot
                                               : timeIndex();
        const Quantity q = quantity(optimum);
        for (int j = 0; j < n; ++j) {
            if (j == pivot_) {
                continue;
            }
            const Role role = model.parameter(j).role;
            const bool held = hold.row >= 0 && hold.row < n;
            if ((role == Role::Amplitude || role == Role::Level) && (held || q.gradient[j] == 0.0)) {
                linear_.push_back(j);
            } else {
                free_.push_back(j);
            }
        }
        tLow_ = kInf;
        tHigh_ = -kInf;
        for (const Point& p : points_) {
            tLow_ = std::min(tLow_, p.t);
            tHigh_ = std::max(tHigh_, p.t);
        }
    }

    // The lowest sum of squares with the row held at v; `from` (the free
    // parameters of a neighbouring value's optimum) joins the grid's starts.
    double sse(double v, std::vector<double>* from = nullptr, Parameters* curve = nullptr) const {
        const auto f = [&](const std::vector<double>& x) { return sseAt(v, x); };
        std::vector<std::vector<double>> starts = grid();
        std::vector<std::pair<double, std::size_t>> ranked;
        for (std::size_t k = 0; k < starts.size(); ++k) {
            const double s = f(starts[k]);
            if (std::isfinite(s)) {
                ranked.push_back({s, k});
            }
        }
        std::sort(ranked.begin(), ranked.end());
        std::vector<std::vector<double>> chosen;
        for (std::size_t k = 0; k < std::min<std::size_t>(4, ranked.size()); ++k) {
            chosen.push_back(starts[ranked[k].second]);
        }
        if (from != nullptr && !from->empty()) {
            chosen.push_back(*from);
        }
        chosen.push_back(freeOf(optimum_));
        double best = kInf;
        std::vector<double> kept;
        for (const auto& start : chosen) {
            std::vector<double> steps(start.size());
            for (std::size_t k = 0; k < start.size(); ++k) {
                steps[k] = 0.1 * std::max(std::fabs(start[k]), 0.1);
            }
            double value = kInf;
            const auto x = nelderMead(f, start, steps, value);
            if (value < best) {
                best = value;
                kept = x;
            }
        }
        if (kept.empty()) {
            return kInf;
        }
        if (from != nullptr) {
            *from = kept;
        }
        if (curve != nullptr) {
            sseAt(v, kept, *curve);
        }
        return best;
    }

    // Whether a parameter of p lies past 1e12 in the units where t spans
    // [-1, 1] and the largest |y| is 1: beyond any curve a solver in double
    // precision follows (an asymptote without end, a step).
    bool pastRange(const Parameters& p) const {
        double height = 0.0;
        for (const Point& point : points_) {
            height = std::max(height, std::fabs(point.y));
        }
        const double half = (tHigh_ - tLow_) / 2, centre = tLow_ + half;
        for (int j = 0; j < model_.parameterCount(); ++j) {
            const double value = p[static_cast<std::size_t>(j)];
            double unit = value;
            switch (model_.parameter(j).role) {
            case Role::Amplitude:
            case Role::Level: unit = value / height; break;
            case Role::Rate: unit = value * half; break;
            case Role::Time: unit = (value - centre) / half; break;
            case Role::Shape: break;
            }
            if (!(std::fabs(unit) < 1e12)) {
                return true;
            }
        }
        return false;
    }

    // One side of the exact profile: its root, or none when the profile does
    // not reach the threshold sse + excess before the row's domain ends (0
    // for a rate or a shape) or within 2^15 first steps (a standard error
    // each) of the estimate. Where the scan meets a curve past range before
    // the root, the root is left unsettled: only `verified`, the farthest
    // value shown inside, is known.
    struct Side {
        std::optional<double> root;
        bool settled = true;
        double verified = 0.0;
    };
    Side bound(double estimate, double step, double direction, double minimum,
               double excess) const {
        const double target = minimum + excess;
        const bool positive = inDomainOnlyPositive();
        double inside = estimate;
        std::vector<double> insideFrom = freeOf(optimum_);
        double distance = 0.0;
        for (int k = 0; k < 200; ++k) {
            // A fine scan first, then steps growing by a quarter, the last
            // at 2^15 steps.
            if (distance >= 32768 * step) {
                return {std::nullopt, true, inside};
            }
            distance = std::min(k < 24 ? distance + step / 4 : distance * 1.25, 32768 * step);
            double v = estimate + direction * distance;
            if (positive && !(v * estimate > 0.0)) {
                v = inside / 2;
                distance = std::fabs(v - estimate);
                if (std::fabs(v) < 1e-12 * std::fabs(estimate)) {
                    return {std::nullopt, true, inside};
                }
            }
            std::vector<double> at = insideFrom;
            Parameters curve{};
            const double value = sse(v, &at, &curve);
            if (pastRange(curve) || !std::isfinite(value)) {
                return {std::nullopt, false, inside};
            }
            if (value >= target) {
                double lo = inside, hi = v;
                std::vector<double> loFrom = insideFrom;
                while (std::fabs(hi - lo) > 1e-11 * std::max(std::fabs(estimate), std::fabs(hi))) {
                    const double mid = (lo + hi) / 2;
                    std::vector<double> m = loFrom;
                    if (sse(mid, &m) >= target) {
                        hi = mid;
                    } else {
                        lo = mid;
                        loFrom = m;
                    }
                }
                return {(lo + hi) / 2, true, lo};
            }
            inside = v;
            insideFrom = at;
        }
        return {std::nullopt, true, inside};
    }

  private:
    int timeIndex() const {
        for (int j = 0; j < model_.parameterCount(); ++j) {
            if (model_.parameter(j).role == Role::Time) {
                return j;
            }
        }
        return 2;
    }
    bool inDomainOnlyPositive() const {
        const int n = model_.parameterCount();
        if (!(hold_.row >= 0 && hold_.row < n)) {
            return false;
        }
        const Role role = model_.parameter(hold_.row).role;
        return role == Role::Rate || role == Role::Shape;
    }
    Quantity quantity(const Parameters& p) const {
        const int n = model_.parameterCount();
        if (hold_.row >= 0 && hold_.row < n) {
            Quantity q{p[static_cast<std::size_t>(hold_.row)], {}};
            q.gradient[static_cast<std::size_t>(hold_.row)] = 1.0;
            return q;
        }
        if (hold_.row >= n) {
            return model_.readOut(hold_.row - n, p);
        }
        const auto q = model_.timeToReach(hold_.level, p);
        return q ? *q : Quantity{std::numeric_limits<double>::quiet_NaN(), {}};
    }
    bool logarithmic(int j) const { return model_.parameter(j).role == Role::Shape; }
    std::vector<double> freeOf(const Parameters& p) const {
        std::vector<double> x;
        for (int j : free_) {
            x.push_back(logarithmic(j) ? std::log(p[static_cast<std::size_t>(j)])
                                       : p[static_cast<std::size_t>(j)]);
        }
        return x;
    }

    // The sum of squares at the free coordinates x, the pivot set so that
    // the held quantity is v and the linear parameters at their best.
    double sseAt(double v, const std::vector<double>& x) const {
        Parameters p{};
        return sseAt(v, x, p);
    }
    double sseAt(double v, const std::vector<double>& x, Parameters& p) const {
        p = optimum_;
        for (std::size_t k = 0; k < free_.size(); ++k) {
            const auto j = static_cast<std::size_t>(free_[k]);
            p[j] = logarithmic(free_[k]) ? std::exp(x[k]) : x[k];
        }
        const auto piv = static_cast<std::size_t>(pivot_);
        // The held quantity is linear in the pivot: two evaluations place it.
        for (int pass = 0; pass < 2; ++pass) {
            const Quantity q = quantity(p);
            if (!std::isfinite(q.value) || q.gradient[piv] == 0.0) {
                return kInf;
            }
            p[piv] += (v - q.value) / q.gradient[piv];
        }
        if (!linear_.empty()) {
            // f = the rest (the curve with the linear parameters at 0) plus
            // the sum of beta_j times df/dp_j over them.
            const std::size_t m = linear_.size();
            double A[2][2] = {{0, 0}, {0, 0}}, b[2] = {0, 0};
            Parameters zeroed = p;
            for (int j : linear_) {
                zeroed[static_cast<std::size_t>(j)] = 0.0;
            }
            for (const Point& point : points_) {
                gompertz::fit::Gradient g{};
                model_.valueAndGradient(p, point.t, g);
                const double rest = model_.value(zeroed, point.t);
                for (std::size_t r = 0; r < m; ++r) {
                    const double gr = g[static_cast<std::size_t>(linear_[r])];
                    b[r] += point.weight * gr * (point.y - rest);
                    for (std::size_t s = 0; s < m; ++s) {
                        A[r][s] += point.weight * gr * g[static_cast<std::size_t>(linear_[s])];
                    }
                }
            }
            if (m == 1) {
                if (!(A[0][0] > 0.0)) {
                    return kInf;
                }
                p[static_cast<std::size_t>(linear_[0])] = b[0] / A[0][0];
            } else {
                const double det = A[0][0] * A[1][1] - A[0][1] * A[1][0];
                if (!(std::fabs(det) > 0.0)) {
                    return kInf;
                }
                p[static_cast<std::size_t>(linear_[0])] = (b[0] * A[1][1] - b[1] * A[0][1]) / det;
                p[static_cast<std::size_t>(linear_[1])] = (A[0][0] * b[1] - A[1][0] * b[0]) / det;
            }
        }
        double sum = 0.0;
        for (const Point& point : points_) {
            const double r = model_.value(p, point.t) - point.y;
            sum += point.weight * r * r;
        }
        return std::isfinite(sum) ? sum : kInf;
    }

    // Starts spread over each free coordinate's plausible range.
    std::vector<std::vector<double>> grid() const {
        std::vector<std::vector<double>> axes;
        const double span = tHigh_ - tLow_;
        for (int j : free_) {
            const double value = optimum_[static_cast<std::size_t>(j)];
            std::vector<double> axis;
            switch (model_.parameter(j).role) {
            case Role::Time:
                for (double u = -1.0; u <= 2.01; u += 0.25) {
                    axis.push_back(tLow_ + u * span);
                }
                break;
            case Role::Shape:
                for (double e = -4; e <= 4; e += 1) {
                    axis.push_back(std::log(value) + e * std::log(2.0));
                }
                break;
            case Role::Rate: // up to steps between two points
                for (double e = -4; e <= 8; e += 0.5) {
                    axis.push_back(value * std::pow(2.0, e));
                }
                break;
            default: // a level or amplitude the pivot needs
                for (double e = -4; e <= 4; e += 0.5) {
                    axis.push_back(value * std::pow(2.0, e));
                }
            }
            axes.push_back(axis);
        }
        std::vector<std::vector<double>> out{{}};
        for (const auto& axis : axes) {
            std::vector<std::vector<double>> next;
            for (const auto& partial : out) {
                for (double x : axis) {
                    auto p = partial;
                    p.push_back(x);
                    next.push_back(p);
                }
            }
            out = next;
        }
        return out;
    }

    const GrowthModel& model_;
    std::vector<Point> points_;
    Hold hold_;
    Parameters optimum_;
    int pivot_ = 0;
    std::vector<int> free_;
    std::vector<int> linear_;
    double tLow_ = 0.0, tHigh_ = 0.0;
};

} // namespace exact_profile
