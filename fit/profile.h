#pragma once

#include "least_squares.h"

#include <optional>
#include <vector>

namespace gompertz::fit {

// 95 % intervals by the profile likelihood, as R's confint() computes them
// for an nls fit: the values v of a row (a parameter, or a read-out held
// through its pivot) whose profile, the sum of squares SSE(v) refitted with
// the row held at v, satisfies |tau(v)| <= q, tau(v) = sign(v - estimate)
// * sqrt(SSE(v) - SSE) / s and q the 0.975 quantile of t on the fit's
// degrees of freedom. Unlike s * q either side of the estimate, they follow
// the curvature of the model: they stay right when the plateau or the
// inflection is not in the data.

// One side of an interval; open when the profile never rises to the
// threshold on that side (the data cannot bound the row there).
struct ProfileSide {
    std::optional<double> bound;
    bool open() const { return !bound; }
};

struct ProfileInterval {
    ProfileSide lower;
    ProfileSide upper;
};

// For each row of estimates(fit) in order, its interval, or nothing for a
// row held by the fix boxes or one the profile cannot be worked out for
// (the fit is not at its optimum, or a read-out's pivot is held). Only for
// a fit with Status::Ok.
std::vector<std::optional<ProfileInterval>> profileIntervals(LeastSquares& solver, const Fit& fit,
                                                             const std::vector<Point>& points);

// The interval of the time the curve takes to reach y (its estimate `time`,
// its standard error the first step), profiled through the model's time
// parameter, which must be free.
std::optional<ProfileInterval> timeToReachInterval(LeastSquares& solver, const Fit& fit,
                                                   const std::vector<Point>& points, double y,
                                                   const Quantity& time, double standardError);

} // namespace gompertz::fit
