#pragma once

#include "profile.h"

#include <optional>
#include <string>
#include <vector>

namespace gompertz::fit {

// Plain warnings about a fit at its optimum, each a sentence in Spanish, in
// this order: the plateau is not reached within the data (the curve at the
// last t is well below its asymptote: a is an extrapolation); the
// inflection lies outside the span of t; an interval holds zero, or an
// asymptote below the largest value measured (by more than q times s, its
// noise), which the data rule out; the residuals follow a trend (the runs
// test, p < 0,05); a shape at its edge ν -> 0 (the Gompertz curve itself);
// the rise between two neighbouring times (a step: c is not determined).
std::vector<std::string> fitWarnings(const Fit& fit, const std::vector<Point>& points,
                                     const std::vector<std::optional<ProfileInterval>>& intervals);

// The Wald-Wolfowitz runs test on the signs of residuals taken in order of
// t, zeros left out: the exact probability of as few runs as seen or fewer,
// as when the residuals follow a trend. Nothing without residuals of both
// signs.
std::optional<double> fewRunsProbability(const std::vector<double>& residuals);

} // namespace gompertz::fit
