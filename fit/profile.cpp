#include "profile.h"

#include "statistics.h"

#include <algorithm>
#include <cmath>

namespace gompertz::fit {
namespace {

// Steps outward before a side is taken to be open: the step doubles each
// time, so the last reaches thousands of standard errors.
constexpr int kMaxSteps = 16;
// The bound's accuracy, relative to the step that bracketed it.
constexpr double kRootTolerance = 1e-9;
constexpr int kMaxRootSteps = 40;

struct Profile {
    LeastSquares& solver;
    const Fit& fit;
    const std::vector<Point>& points;
    int row;      // of estimates(), or LeastSquares::kTimeToReach
    double level; // for a time to reach: the value reached
    double estimate;
    double excess; // SSE(v) - SSE at the bound: q^2 s^2

    // How far SSE(v) lies above the bound's level, and the refit behind it.
    struct Sample {
        double value;
        double gap;
        Parameters parameters;
        bool converged;
        bool ranOff; // the least sum of squares lies where the solver cannot follow
    };

    // One held refit from `from`; nothing when its sum of squares is not finite.
    std::optional<Sample> refit(double value, const Parameters& from) const {
        const auto held =
            solver.fitHolding(*fit.model, points, fit.fixed, from, {row, value, level});
        if (!std::isfinite(held.sse)) {
            return std::nullopt;
        }
        return Sample{value, held.sse - fit.sse - excess, held.parameters, held.converged,
                      held.ranOff};
    }

    // The model's own start with the held row's parameter (a read-out's
    // pivot) kept at its value in `from`, or with it free, the refit then
    // moving it to the held value.
    Parameters automaticFrom(double value, const Parameters& from, bool holding) const {
        const int n = fit.model->parameterCount();
        Fixed held = fit.fixed;
        Parameters start = from;
        if (row >= 0 && row < n) {
            held[static_cast<std::size_t>(row)] = true;
            start[static_cast<std::size_t>(row)] = value;
        } else {
            const auto roles = rolesOf(*fit.model);
            const auto pivot = row >= n ? fit.model->readOutInfo(row - n).pivot
                                        : static_cast<int>(std::find(roles.begin(), roles.end(),
                                                                     Role::Time) -
                                                           roles.begin());
            held[static_cast<std::size_t>(pivot)] = true;
        }
        return automaticStart(*fit.model, points, holding ? held : fit.fixed, start);
    }

    // SSE(v) is the least sum of squares over the other parameters: any
    // refit below the threshold shows v inside, but one above it may have
    // stopped short or settled in a worse basin (the curve that is zero
    // over the data, a step). Such a refit is checked against the refits
    // from the optimum and from the model's own start, and more, until one
    // converges inside; one that did not converge is carried on from where
    // it stopped; the lowest is kept.
    // (Holding a read-out may leave two basins far apart, as a steep curve
    // of low plateau and a gentle one of high plateau at the same largest
    // rate: the free start finds the second.)
    std::optional<Sample> at(double value, const Parameters& from) const {
        auto best = refit(value, from);
        const auto settled = [&best] { return best && best->converged && best->gap < 0.0; };
        const auto keepLower = [&best](const std::optional<Sample>& other) {
            if (other && (!best || other->gap < best->gap ||
                          (other->gap == best->gap && other->converged))) {
                best = other;
            }
        };
        if (!settled()) {
            keepLower(refit(value, fit.parameters));
        }
        for (const bool holding : {true, false}) {
            if (!settled()) {
                keepLower(refit(value, automaticFrom(value, from, holding)));
            }
        }
        if (!settled() && !fit.fixed[0]) {
            // Still above: the model's starts under asymptotes well above
            // the data, where a gentle curve of high plateau lies.
            double top = 0.0;
            for (const Point& point : points) {
                top = std::max(top, std::fabs(point.y));
            }
            for (const double times : {3.0, 10.0}) {
                Fixed held = fit.fixed;
                held[0] = true;
                Parameters start = from;
                start[0] = (from[0] < 0.0 ? -times : times) * top;
                if (!settled()) {
                    keepLower(refit(value, automaticStart(*fit.model, points, held, start)));
                }
            }
        }
        if (!settled() && best && !fit.fixed[1]) {
            // And a steeper rise than the best so far: a curve that rises
            // between two points may lie in a basin of its own.
            Parameters start = best->parameters;
            start[1] *= 4;
            keepLower(refit(value, start));
        }
        for (int k = 0; k < 2 && best && !best->converged && !best->ranOff; ++k) {
            const auto further = refit(value, best->parameters);
            if (!further || further->gap > best->gap) {
                break;
            }
            best = further;
        }
        return best;
    }

    // Between a point inside and one outside, whose refits the search has
    // settled: the refits from both, and from a steeper rise (the curve
    // may rise between two points). Taken when one shows the point inside
    // or all converge above; else every start.
    std::optional<Sample> between(double value, const Sample& inside, const Sample& outside) const {
        const auto shows = [](const std::optional<Sample>& s) {
            return s && s->converged && s->gap < 0.0;
        };
        auto best = refit(value, inside.parameters);
        bool converged = best && best->converged;
        const auto tryFrom = [&](const Parameters& start) {
            const auto next = refit(value, start);
            converged = converged && next && next->converged;
            if (next && (!best || next->gap < best->gap)) {
                best = next;
            }
        };
        if (!shows(best)) {
            tryFrom(outside.parameters);
        }
        if (!shows(best) && best && !fit.fixed[1]) {
            Parameters steeper = best->parameters;
            steeper[1] *= 4;
            tryFrom(steeper);
        }
        return shows(best) || converged ? best : at(value, inside.parameters);
    }

    // A shape stays positive, and a rate keeps its sign: at 0 the curve is
    // a flat line, and past it no growth curve.
    bool inDomain(double value) const {
        const int n = fit.model->parameterCount();
        const Role role = row >= 0 && row < n ? fit.model->parameter(row).role : Role::Time;
        return (role != Role::Shape && role != Role::Rate) || value * estimate > 0.0;
    }

    ProfileSide side(double direction, double step) const {
        Sample inside{estimate, -excess, fit.parameters, true, false};
        for (int k = 0; k < kMaxSteps; ++k, step *= 2) {
            double value = estimate + direction * step;
            if (!inDomain(value)) {
                value = inside.value / 2; // halfway to the boundary at 0
            }
            const auto outside = at(value, inside.parameters);
            // No curve to refit, or one inside the threshold only where the
            // refit runs off without end (an asymptote beyond any the data
            // could reach, say): nothing bounds the row on this side.
            if (!outside || (outside->ranOff && outside->gap < 0.0)) {
                return {};
            }
            if (outside->gap < 0.0) {
                inside = *outside;
                continue;
            }
            const Crossing crossing = root(inside, *outside);
            if (!crossing.beyond) {
                return {crossing.bound};
            }
            inside = *crossing.beyond; // the point outside was a poor refit
        }
        return {};
    }

    // Where the gap crosses zero between a point inside and one outside:
    // regula falsi on sqrt(SSE(v) - SSE), which is nearly straight in v,
    // with the Illinois halving that keeps both ends moving, until the
    // bound moves by less than a billionth. No bound when the profile turns
    // out to run off without end inside the threshold on the way. When the
    // refits close in on the point outside from within, that point is
    // refitted from its inside neighbour: if it then lies inside, the
    // search carries on beyond it.
    struct Crossing {
        std::optional<double> bound;
        std::optional<Sample> beyond;
    };
    Crossing root(Sample inside, Sample outside) const {
        const auto rise = [this](const Sample& p) {
            return std::sqrt(std::max(0.0, p.gap + excess)) - std::sqrt(excess);
        };
        double fIn = rise(inside);
        double fOut = rise(outside);
        double last = inside.value;
        int kept = 0; // which end stayed put last time: -1 inside, +1 outside
        bool outsideMoved = false;
        for (int k = 0; k < kMaxRootSteps; ++k) {
            const double value =
                fOut != fIn ? inside.value - fIn * (outside.value - inside.value) / (fOut - fIn)
                            : (inside.value + outside.value) / 2;
            if (std::fabs(value - last) <=
                kRootTolerance * std::max(std::fabs(estimate), std::fabs(value))) {
                if (!outsideMoved) {
                    const auto again = at(outside.value, inside.parameters);
                    if (again && again->gap < 0.0) {
                        return again->ranOff ? Crossing{} : Crossing{std::nullopt, again};
                    }
                }
                return {value, std::nullopt};
            }
            last = value;
            const auto next = between(value, inside, outside);
            if (!next) {
                break;
            }
            if (next->ranOff && next->gap < 0.0) {
                return {};
            }
            const double f = rise(*next);
            if (next->gap >= 0.0) {
                outside = *next;
                outsideMoved = true;
                fOut = f;
                fIn = kept == -1 ? fIn / 2 : fIn;
                kept = -1;
            } else {
                inside = *next;
                fIn = f;
                fOut = kept == 1 ? fOut / 2 : fOut;
                kept = 1;
            }
        }
        return {fOut != fIn ? inside.value - fIn * (outside.value - inside.value) / (fOut - fIn)
                            : outside.value,
                std::nullopt};
    }
};

} // namespace

std::vector<std::optional<ProfileInterval>> profileIntervals(LeastSquares& solver, const Fit& fit,
                                                             const std::vector<Point>& points) {
    const auto rows = estimates(fit);
    std::vector<std::optional<ProfileInterval>> out(rows.size());
    if (fit.status != Status::Ok || !(fit.sse > 0.0) || fit.degreesOfFreedom < 1) {
        return out;
    }
    const double q = studentQuantile975(fit.degreesOfFreedom);
    const double excess = q * q * fit.sse / fit.degreesOfFreedom;
    const int n = fit.model->parameterCount();
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Estimate& e = rows[static_cast<std::size_t>(r)].estimate;
        if (e.fixed || (r < n && fit.atBound[static_cast<std::size_t>(r)])) {
            continue; // held, or at the edge of its domain: no interval
        }
        if (r >= n && fit.fixed[static_cast<std::size_t>(fit.model->readOutInfo(r - n).pivot)]) {
            continue; // held through a parameter the fix boxes hold
        }
        // The first step: the standard error, or a tenth of the value.
        const double step = e.standardError && *e.standardError > 0.0
                                ? *e.standardError
                                : 0.1 * std::max(std::fabs(e.value), 1e-300);
        const Profile profile{solver, fit, points, r, 0.0, e.value, excess};
        out[static_cast<std::size_t>(r)] =
            ProfileInterval{profile.side(-1.0, step), profile.side(+1.0, step)};
    }
    return out;
}

std::optional<ProfileInterval> timeToReachInterval(LeastSquares& solver, const Fit& fit,
                                                   const std::vector<Point>& points, double y,
                                                   const Quantity& time, double standardError) {
    const auto roles = rolesOf(*fit.model);
    const auto timeIndex =
        static_cast<std::size_t>(std::find(roles.begin(), roles.end(), Role::Time) - roles.begin());
    if (fit.status != Status::Ok || !(fit.sse > 0.0) || fit.degreesOfFreedom < 1 ||
        fit.fixed[timeIndex]) {
        return std::nullopt;
    }
    const double q = studentQuantile975(fit.degreesOfFreedom);
    const double excess = q * q * fit.sse / fit.degreesOfFreedom;
    const double step = standardError > 0.0 ? standardError : 0.1 * std::fabs(time.value) + 1e-300;
    const Profile profile{solver, fit, points, LeastSquares::kTimeToReach, y, time.value, excess};
    return ProfileInterval{profile.side(-1.0, step), profile.side(+1.0, step)};
}

} // namespace gompertz::fit
