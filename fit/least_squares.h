#pragma once

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace gompertz::fit {

namespace detail {
struct Workspace;
}

// The least-squares fit of f(t) = a * exp(-exp(-c * (t - t0))): plain types
// only, whatever the solver underneath.

struct Point {
    double t = 0.0;
    double y = 0.0;
};

// a, c, t0, in that order everywhere.
using Parameters = std::array<double, 3>;
// Which of a, c, t0 are held at their given value.
using Fixed = std::array<bool, 3>;
using Matrix3 = std::array<std::array<double, 3>, 3>;

enum class Status {
    Ok,
    NoData,          // no points at all
    TooFewPoints,    // no more points than free parameters
    NotConverged,    // no run reached an optimum; parameters are the best one found
    NoPlateau,       // the asymptote runs off to infinity (a -> inf, c -> 0)
    NoGrowth,        // the best curve is worse than the flat line at the mean, or flat (c = 0)
    NoFiniteOptimum, // every run diverged or ended on non-finite values
    OutOfRange,      // a result to show would overflow the double range, or a
                     // nonzero SSE or variance fall below it: other units needed
};

// With Status::Ok or NotConverged every field is finite, and so is all
// that the statistics derive from it for display; with OutOfRange there is
// no result: parameters and sse are NaN.
struct Fit {
    Status status = Status::NoData;
    Parameters parameters{};
    Fixed fixed{};
    // s^2 (J^T J)^-1 at the optimum over the free parameters; zero in the
    // rows and columns of fixed ones. Only for Status::Ok, and not when
    // J^T J cannot be inverted.
    std::optional<Matrix3> covariance;
    double sse = 0.0;
    int points = 0;
    int freeParameters = 0;
    int degreesOfFreedom = 0; // points - freeParameters
    int iterations = 0;       // of the run that was kept
    // J^T J singular or nearly so, or a standard error above the value (for
    // t0: above the span of t): the data do not pin the parameters down.
    bool illDetermined = false;
};

// Beyond this many times the largest |y|, the asymptote is taken to run off
// to infinity: the data do not reach a plateau.
inline constexpr double kRunawayAsymptote = 1e3;

// f(t), its gradient in (a, c, t0), and the sum of squared residuals over
// the points. Finite wherever the curve is, also where the inner
// exponential overflows.
double model(const Parameters& p, double t);
std::array<double, 3> modelGradient(const Parameters& p, double t);
double sumOfSquares(const std::vector<Point>& points, const Parameters& p);
// The sum of squares about the mean of the values: the flat line's SSE.
double totalSumOfSquares(const std::vector<Point>& points);

// A start that knows the model: for a beyond the data, ln(-ln(y / a)) is
// linear in t, so a search over a with a straight-line fit of c and t0 at
// each a. Fixed parameters keep their value in held. Copes with zero or
// negative values, repeated t, decreasing data and few usable points. The
// same start, scaled alike, whatever the units of t and y.
Parameters automaticStart(const std::vector<Point>& points, const Fixed& fixed,
                          const Parameters& held);

// Levenberg-Marquardt over the free parameters, in units where t spans
// [-1, 1] and the largest |y| is 1, so that the optimum is the same, scaled
// alike, whatever the units of t and y. A run converges when its relative
// reduction of the sum of squares, or its relative step, falls below the
// tolerance; a run that never left its start, or that ended on the
// iteration cap, has not converged. Keeps its workspaces between calls; not
// for use from two threads at once.
class LeastSquares {
  public:
    LeastSquares();
    ~LeastSquares();
    LeastSquares(const LeastSquares&) = delete;
    LeastSquares& operator=(const LeastSquares&) = delete;

    // One run from start; fixed parameters stay at start's values.
    Fit fitFrom(const std::vector<Point>& points, const Fixed& fixed, const Parameters& start);

    // The optimum whatever the current parameters: runs from the automatic
    // start and from current, and from a few more starts around the
    // automatic one when neither converges; keeps the converged run with the
    // lowest sum of squares. A run that reaches the neighbourhood of an
    // optimum already found is not followed further. Refuses, by status,
    // what is no fit: no convergence (with the best parameters found), a
    // runaway asymptote, a curve worse than the mean, results beyond the
    // range of a double.
    Fit bestFit(const std::vector<Point>& points, const Fixed& fixed, const Parameters& current);

  private:
    std::unique_ptr<detail::Workspace> workspace_;
};

} // namespace gompertz::fit
