#include "descent.h"

#include "checked.h"
#include "gompertz.h"

#include <cmath>

namespace gompertz {
namespace {

void zeroSums(FitState& s) {
    s.gradA = 0.0;
    s.gradC = 0.0;
    s.sqError = 0.0;
    s.gradT0 = 0.0;
}

// Adds one residual's share to a gradient sum: ((r + r) * derivative) + sum.
void addGradient(double& sum, double residual, double derivative) {
    const double twice = checked(residual + residual);
    assignChecked(sum, checked(twice * derivative) + sum);
}

void addSquare(double& sum, double residual) {
    assignChecked(sum, checked(residual * residual) + sum);
}

// One point, evaluated the long way round: four calls of f, each derivative
// computing its own exponentials.
void accumulatePointLiteral(FitState& s, const FixFlags& fix, const double& x, double y) {
    double residual = checked(f(s, x) - y);
    addGradient(s.gradA, residual, parL(s, fix, x));
    residual = checked(f(s, x) - y);
    addGradient(s.gradC, residual, parC(s, fix, x));
    residual = checked(f(s, x) - y);
    addGradient(s.gradT0, residual, parT(s, fix, x));
    residual = checked(f(s, x) - y);
    addSquare(s.sqError, residual);
}

// What one evaluation adds up. The two-exponential form keeps them in
// registers and writes them back at the end, or when an error is raised.
struct Sums {
    double gradA, gradC, gradT0, sqError;
};

// The evaluation with two exponentials a point. The parameters do not change
// within an evaluation, so every call of the literal form yields these same
// values; the remaining operations run in the literal order, so the sums are
// bit-identical. A point is first computed without a check per operation; if
// any of its results is not finite, it is computed again checking each
// operation in turn, which raises the error at the same operation and with
// the same sums stored as the literal form.
class FastEvaluation {
  public:
    FastEvaluation(const FitState& s, const FixFlags& fix)
        : a_(s.a), t0_(s.t0), negC_(-s.c), rate_(-s.a * s.c), freeA_(fix.checkA == 0),
          freeC_(fix.checkC == 0), freeT0_(fix.checkT0 == 0) {}

    void addPoint(Sums& sums, double x, double y) const {
        const double shift = x - t0_;
        const double u = shift * negC_;
        const double e2 = std::exp(u);
        const double e1 = std::exp(-e2);
        const double value = e1 * a_;
        const double residual = value - y;
        const double twice = residual + residual;
        const double shareA = twice * (freeA_ ? e1 : 0.0);
        const double dC = ((shift * a_) * e1) * e2;
        const double shareC = twice * (freeC_ ? dC : 0.0);
        const double dT = (rate_ * e1) * e2;
        const double shareT = twice * (freeT0_ ? dT : 0.0);
        const double square = residual * residual;
        const Sums next{shareA + sums.gradA, shareC + sums.gradC, shareT + sums.gradT0,
                        square + sums.sqError};
        // +, - and * with finite operands carry an infinity or NaN through to
        // their result; only exp can hide one (exp(-inf) is 0). So the inputs of
        // the two exponentials and the four new sums tell whether any operation
        // of the point failed: their sum times 0 is 0 exactly when all are
        // finite. (A finite sum that overflows only sends the point the slow way.)
        const double probe = (u + e2) + ((next.gradA + next.gradC) + (next.gradT0 + next.sqError));
        if (probe * 0.0 == 0.0) {
            sums = next;
            return;
        }
        addPointChecked(sums, x, y);
    }

  private:
    void addPointChecked(Sums& sums, double x, double y) const {
        const double shift = checked(x - t0_);
        const double e2 = checked(std::exp(checked(shift * negC_)));
        const double e1 = checked(std::exp(checked(-e2)));
        const double residual = checked(checked(e1 * a_) - y);

        addGradient(sums.gradA, residual, freeA_ ? e1 : 0.0);
        double dC = 0.0;
        if (freeC_) {
            dC = checked(checked(checked(shift * a_) * e1) * e2);
        }
        addGradient(sums.gradC, residual, dC);
        double dT = 0.0;
        if (freeT0_) {
            dT = checked(checked(checked(rate_) * e1) * e2); // rate_ raises where parT forms it
        }
        addGradient(sums.gradT0, residual, dT);
        addSquare(sums.sqError, residual);
    }

    double a_, t0_, negC_, rate_;
    bool freeA_, freeC_, freeT0_;
};

template <typename PointFn> void forEachPoint(FitState& s, PointFn&& point) {
    const int last = s.pointCount - 1; // fixed before the loop starts
    for (s.pointIndex = 0; s.pointIndex <= last; ++s.pointIndex) {
        point(xAt(s, s.pointIndex), yAt(s, s.pointIndex));
    }
}

} // namespace

void beginEvaluation(FitState& s) {
    s.prevSqError = s.sqError;
    zeroSums(s);
}

void accumulateSums(FitState& s, const FixFlags& fix) {
    const FastEvaluation evaluation(s, fix);
    Sums sums{s.gradA, s.gradC, s.gradT0, s.sqError};
    const auto writeBack = [&] {
        s.gradA = sums.gradA;
        s.gradC = sums.gradC;
        s.gradT0 = sums.gradT0;
        s.sqError = sums.sqError;
    };
    try {
        forEachPoint(s, [&](double x, double y) { evaluation.addPoint(sums, x, y); });
    } catch (const RuntimeError&) {
        writeBack();
        throw;
    }
    writeBack();
}

void accumulateSumsLiteral(FitState& s, const FixFlags& fix) {
    forEachPoint(s, [&](double x, double y) { accumulatePointLiteral(s, fix, x, y); });
}

void computeYMean(FitState& s) {
    s.yMean = 0.0;
    forEachPoint(s, [&](double, double y) { assignChecked(s.yMean, s.yMean + y); });
    assignChecked(s.yMean, s.yMean / static_cast<double>(s.pointCount));
}

double normalisedError(const FitState& s) {
    const double perPoint = checked(s.sqError / static_cast<double>(s.pointCount));
    const double relative = checked(checked(std::sqrt(perPoint)) / s.yMean);
    return checked(relative * 100.0);
}

bool errorGrew(const FitState& s) {
    return checked(s.sqError - s.prevSqError) > 0.0;
}

void applyUpdate(FitState& s, double stepSize) {
    assignChecked(s.c, s.c - checked(stepSize * s.gradC));
    assignChecked(s.a, s.a - checked(stepSize * s.gradA));
    assignChecked(s.t0, s.t0 - checked(stepSize * s.gradT0));
}

BatchResult runBatch(FitState& s, const FixFlags& fix, double stepSize, int maxSteps,
                     Evaluation evaluation) {
    const auto accumulate =
        evaluation == Evaluation::Fast ? &accumulateSums : &accumulateSumsLiteral;
    BatchResult result;
    for (int k = 1; k <= maxSteps; ++k) {
        zeroSums(s);
        accumulate(s, fix);
        result.stepsEvaluated = k;
        if (errorGrew(s)) {
            result.stoppedOnGrowth = true;
            return result;
        }
        applyUpdate(s, stepSize);
    }
    return result;
}

} // namespace gompertz
