#pragma once

#include "fit_state.h"

namespace gompertz {

// f(t) = a * exp(-exp(-c * (t - t0))) and its partial derivatives, with the
// current a, c, t0 of the state. A fixed parameter's derivative is exactly 0.
double f(const FitState& s, const double& t);
double parL(const FitState& s, const FixFlags& fix, const double& t);
double parC(const FitState& s, const FixFlags& fix, const double& t);
double parT(const FitState& s, const FixFlags& fix, const double& t);

} // namespace gompertz
