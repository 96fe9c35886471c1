#pragma once

#include "growth_model.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace gompertz::fit {

namespace detail {
struct Workspace;
}

// The least-squares fit of a growth model: plain types only, whatever the
// solver underneath.

using Matrix = std::array<std::array<double, kMaxParameters>, kMaxParameters>;

enum class Status {
    Ok,
    NoData,          // no points at all
    TooFewPoints,    // no more points than free parameters
    NotConverged,    // no run reached an optimum; parameters are the best one found
    NoPlateau,       // the asymptote runs off to infinity (a -> inf, c -> 0)
    NoGrowth,        // no rise: the best curve falls or leaves the model's domain
                     // (a <= 0, c <= 0, ν <= 0), its rise is inside the noise,
                     // or the values do not vary at all
    NoFiniteOptimum, // every run diverged or ended on non-finite values
    OutOfRange,      // a result to show would overflow the double range, or a
                     // nonzero SSE or variance fall below it: other units needed
};

// How the points' weights were set: what a new measurement's variance is.
enum class Weighting {
    None,          // every point alike
    RelativeValue, // 1/y^2: the error is a constant share of the value
    Deviation,     // 1/DE^2 (n/DE^2 for means): from the replicates' scatter
};

// With Status::Ok or NotConverged every field is finite, and so is all
// that the statistics derive from it for display; with OutOfRange there is
// no result: parameters and sse are NaN.
struct Fit {
    const GrowthModel* model = &gompertzModel();
    Status status = Status::NoData;
    Parameters parameters{};
    Fixed fixed{};
    // s^2 (J^T J)^-1 at the optimum over the free parameters; zero in the
    // rows and columns of fixed ones. Only for Status::Ok, and not when
    // J^T J cannot be inverted.
    std::optional<Matrix> covariance;
    double sse = 0.0;
    int points = 0;
    int freeParameters = 0;
    int degreesOfFreedom = 0; // points - freeParameters
    int iterations = 0;       // of the run that was kept
    // J^T J singular or nearly so, or a standard error above the value (for
    // a time: above the span of t): the data do not pin the parameters down.
    bool illDetermined = false;
    // Free parameters whose optimum lies at the edge of their domain (ν -> 0:
    // the Gompertz curve itself): held there for the covariance, and shown
    // without a standard error or interval.
    Fixed atBound{};
    // Told by the caller, who weighted the points; the solver reads the
    // weights only.
    Weighting weighting = Weighting::None;
};

// Below this a shape ν is at its edge, 0: the curve is the Gompertz curve.
inline constexpr double kShapeAtEdge = 1e-6;

// Beyond this many times the largest |y|, the asymptote is taken to run off
// to infinity: the data do not reach a plateau.
inline constexpr double kRunawayAsymptote = 1e3;

// The sum of squared residuals of the model's curve over the points, each
// times the point's weight.
double sumOfSquares(const GrowthModel& model, const std::vector<Point>& points,
                    const Parameters& p);
// The weighted sum of squares about the weighted mean of the values: the
// flat line's SSE; of the values divided by `unit`, where they are large.
double totalSumOfSquares(const std::vector<Point>& points, double unit = 1.0);

// The model's own start, worked out in units where t spans [-1, 1] and the
// largest |y| is 1: the same start, scaled alike, whatever the units of t
// and y. Fixed parameters keep their value in held.
Parameters automaticStart(const GrowthModel& model, const std::vector<Point>& points,
                          const Fixed& fixed, const Parameters& held);

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
    Fit fitFrom(const GrowthModel& model, const std::vector<Point>& points, const Fixed& fixed,
                const Parameters& start);

    // Where the runs of bestFit start: the model's automatic start, and
    // also the current parameters when they are the user's own curve (the
    // main window's Gompertz a, c, t0).
    enum class Starts { Automatic, AutomaticAndCurrent };

    // The optimum whatever the current parameters: runs from the model's
    // automatic start (and from current, when asked), and from a few more
    // starts around the automatic one when none converges; keeps the
    // converged run with the lowest sum of squares. Fixed parameters keep
    // their value in current. A run that reaches the neighbourhood of an
    // optimum already found is not followed further. On noisy data it also
    // starts steep curves at the best splits of the data; a model that
    // contains the Gompertz curve also starts from the Gompertz optimum, and
    // ends no worse than it. Refuses, by status, what is no fit: no
    // convergence (with the best parameters found), a runaway asymptote, a
    // curve worse than the mean, outside the model's domain or whose rise is
    // inside the noise, values that do not vary (at once), weights that all
    // vanish, results beyond the range of a double.
    Fit bestFit(const GrowthModel& model, const std::vector<Point>& points, const Fixed& fixed,
                const Parameters& current, Starts starts = Starts::AutomaticAndCurrent);

    // A row of the results held at a value: a parameter (row below the
    // model's parameter count) or a read-out (the rows after them); or,
    // with row kTimeToReach, the time the curve takes to reach `level`.
    static constexpr int kTimeToReach = -1;
    struct Hold {
        int row = 0;
        double value = 0.0;
        double level = 0.0;
    };
    struct HeldFit {
        bool converged = false;
        // Stopped where a parameter runs off without end (an asymptote
        // far past the data, say): no curve the solver can follow there.
        bool ranOff = false;
        Parameters parameters{};
        double sse = 0.0;
    };
    // One run from start with the held row at its value and the other free
    // parameters refitted, as a profile needs. A read-out is held through
    // its pivot parameter, and a time to reach through the model's time
    // parameter; that parameter must be free.
    HeldFit fitHolding(const GrowthModel& model, const std::vector<Point>& points,
                       const Fixed& fixed, const Parameters& start, Hold hold);

  private:
    std::unique_ptr<detail::Workspace> workspace_;
};

} // namespace gompertz::fit
