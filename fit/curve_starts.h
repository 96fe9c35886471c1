#pragma once

#include "growth_model.h"

#include <vector>

namespace gompertz::fit {

// What the models share: the parameters a, c and t0, first in every model,
// and the start of a sigmoid curve.
ParameterInfo sharedParameter(int j);

// A sigmoid curve of asymptote a becomes a
// straight line, z(y / a) = -c (t - t0), under a transform z of the ratio
// y / a in (0, 1): ln(-ln r) for the Gompertz curve, ln(1 / r - 1) for the
// logistic one.
using Straightening = double (*)(double ratio, double shape);

// Of the candidates, the one whose curve has the lowest sum of squares over
// the points (the first, when none is finite).
Parameters lowestSumOfSquares(const GrowthModel& model, const std::vector<Point>& points,
                              const std::vector<Parameters>& candidates);

// The best, by the model's sum of squares, of a plain curve through the
// middle of the data and of the straight-line starts at a few asymptotes
// above the data (at the held a when a is fixed). Fixed parameters, and
// every parameter past t0, keep their value in held; shape is passed to z.
Parameters sigmoidStart(const GrowthModel& model, const std::vector<Point>& unitPoints,
                        const Fixed& fixed, const Parameters& held, Straightening z,
                        double shape);

} // namespace gompertz::fit
