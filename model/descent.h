#pragma once

#include "fit_state.h"

namespace gompertz {

// The phases of one evaluation and descent step, in the order the window runs
// them; the window writes its read-outs between them.

// prevSqError <- sqError, then the four sums to 0.
void beginEvaluation(FitState& s);

// The gradient sums and the squared error over points 0 .. pointCount-1,
// with pointIndex as the loop variable.
void accumulateSums(FitState& s, const FixFlags& fix);

// The same sums computed literally: f called afresh for every sum and every
// derivative computing its own exponentials. Kept as the reference that
// accumulateSums must match bit for bit.
void accumulateSumsLiteral(FitState& s, const FixFlags& fix);

// sqrt(sqError / pointCount) / yMean * 100, in percent.
double normalisedError(const FitState& s);

// Whether sqError is above prevSqError.
bool errorGrew(const FitState& s);

// c, a, t0 moved against their gradient sums, in that order.
void applyUpdate(FitState& s, double stepSize);

// The mean of the captured measured values.
void computeYMean(FitState& s);

enum class Evaluation { Fast, Literal };

struct BatchResult {
    int stepsEvaluated = 0;
    bool stoppedOnGrowth = false;
};

// Up to maxSteps evaluations and updates. Stops, without updating, at the
// first evaluation whose error exceeds prevSqError, which the caller sets
// once before the batch.
BatchResult runBatch(FitState& s, const FixFlags& fix, double stepSize, int maxSteps,
                     Evaluation evaluation = Evaluation::Fast);

} // namespace gompertz
