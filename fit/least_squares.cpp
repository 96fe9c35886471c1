#include "least_squares.h"

#include "statistics.h"
#include "units.h"

#include <cminpack.h>
#include <gsl/gsl_cdf.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_permutation.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace gompertz::fit {
namespace {

// Function evaluations a run may take before it counts as not converged.
constexpr int kMaxEvaluations = 1000;
// Relative reduction of the sum of squares, and relative step, at which a
// run has converged.
constexpr double kTolerance = 1e-10;
// In the fit's units (|y| <= 1, t in [-1, 1]), a run whose parameters pass
// this has run off along a flat direction (a step function with c near
// -1e50, say, or an asymptote without end): failed, whatever the solver says.
constexpr double kHugeParameter = 1e12;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::size_t countOf(const GrowthModel& model) {
    return static_cast<std::size_t>(model.parameterCount());
}

int freeCount(const GrowthModel& model, const Fixed& fixed) {
    int n = 0;
    for (std::size_t j = 0; j < countOf(model); ++j) {
        n += fixed[j] ? 0 : 1;
    }
    return n;
}

bool usable(const GrowthModel& model, const Parameters& p) {
    for (std::size_t j = 0; j < countOf(model); ++j) {
        const bool positive = model.parameter(static_cast<int>(j)).role != Role::Shape || p[j] > 0;
        if (!(std::isfinite(p[j]) && std::fabs(p[j]) < kHugeParameter && positive)) {
            return false;
        }
    }
    return true;
}

// Within a thousandth of every free parameter of a known optimum, a run
// has joined that optimum's basin: it would end there.
bool joins(const Parameters& p, const Parameters& optimum, const Fixed& fixed, std::size_t n) {
    for (std::size_t j = 0; j < n; ++j) {
        if (!fixed[j] && std::fabs(p[j] - optimum[j]) > 1e-3 * std::fabs(optimum[j]) + 1e-300) {
            return false;
        }
    }
    return true;
}

// Beyond this many points the search for the optimum runs on a thinning.
constexpr std::size_t kLongSeries = 1000;
constexpr std::size_t kThinnedSeries = 150;

enum class Outcome {
    Converged,
    Stalled,    // never left its start
    CapReached, // still moving when its evaluations ran out
    RanOff,     // past kHugeParameter, or not finite
    Joined,     // reached an optimum already found
};

// One run, in the fit's units.
struct Run {
    Outcome outcome = Outcome::RanOff;
    Parameters parameters{};
    double sse = kInf;
    int iterations = 0;
    bool settled = false; // Gauss-Newton already took it to its fixed point
    // For a settled run, J^T W J over the free parameters at its last step:
    // the covariance needs no other pass over a long series.
    std::array<std::array<double, kMaxParameters>, kMaxParameters> jtj{};
    // The Gompertz optimum as a curve of a model that contains it: not run,
    // its sum of squares the least the model's optimum may leave.
    bool gompertzCurve = false;
};

// An asymptote or a baseline past the data by far: no plateau in reach.
bool runaway(const GrowthModel& model, const Parameters& unit) {
    for (std::size_t j = 0; j < countOf(model); ++j) {
        const Role role = model.parameter(static_cast<int>(j)).role;
        if ((role == Role::Amplitude || role == Role::Level) &&
            !(std::fabs(unit[j]) <= kRunawayAsymptote)) {
            return true;
        }
    }
    return false;
}

// The model's domain: a rise of height a > 0 at rate c > 0, a shape ν > 0.
// A curve outside it falls, or is no curve of the model: no growth.
bool inDomain(const GrowthModel& model, const Parameters& p) {
    for (std::size_t j = 0; j < countOf(model); ++j) {
        const Role role = model.parameter(static_cast<int>(j)).role;
        if ((role == Role::Amplitude || role == Role::Rate || role == Role::Shape) &&
            !(p[j] > 0.0)) {
            return false;
        }
    }
    return true;
}

// Whether the curve's rise stands out of the noise: the extra sum of squares
// F test of the curve (k free parameters, SSE) against the flat line at the
// weighted mean (one parameter, SST), on (k - 1, n - k) degrees of freedom,
// rejects the flat line at 5 %. A curve with one free parameter is no wider
// than the flat line; it only has to beat it.
constexpr double kRiseLevel = 0.05;
bool clearRise(double sse, double sst, int n, int k) {
    if (k < 2 || n - k < 1) {
        return sse < sst;
    }
    if (!(sse > 0.0)) {
        return sst > 0.0;
    }
    const double f = (sst - sse) / (k - 1) / (sse / (n - k));
    return f > 0.0 && gsl_cdf_fdist_Q(f, k - 1, n - k) < kRiseLevel;
}

// A rate of zero: the curve is a flat line.
bool flat(const GrowthModel& model, const Parameters& p) {
    for (std::size_t j = 0; j < countOf(model); ++j) {
        if (model.parameter(static_cast<int>(j)).role == Role::Rate && p[j] == 0.0) {
            return true;
        }
    }
    return false;
}

} // namespace

namespace detail {

// What one run asks of the model, and what the solver needs kept. The
// solver moves the free parameters, a shape by its logarithm.
struct Workspace {
    const GrowthModel* model = nullptr;
    const std::vector<Point>* points = nullptr;
    Fixed fixed{};
    Parameters held{};
    std::array<bool, kMaxParameters> logarithmic{};
    const Parameters* known = nullptr;
    // A read-out (or, with kHeldTime, the time to reach heldLevel) held at a
    // value through its pivot parameter, or none.
    static constexpr int kNothingHeld = -1;
    static constexpr int kHeldTime = -2;
    int heldReadOut = kNothingHeld;
    double heldValue = 0.0;
    double heldLevel = 0.0;
    std::size_t pivot = 0;

    std::optional<Quantity> heldQuantity(const Parameters& p) const {
        if (heldReadOut == kHeldTime) {
            return model->timeToReach(heldLevel, p);
        }
        return model->readOut(heldReadOut, p);
    }
    Outcome stopped = Outcome::Converged; // why the model stopped the run, if it did
    bool pastRange = false; // stopped at a parameter past kHugeParameter
    std::vector<Gradient> gradients;
    Parameters gradientsAt{};
    bool gradientsValid = false;
    std::vector<double> residuals, jacobian, scratch;
    std::vector<double> rootWeights; // a residual counts as sqrt(w) times itself
    std::vector<double> scratchValues;
    // The last Gompertz search's optimum in the fit's units, and the points
    // and held a, c, t0 it was found for: a model that contains the Gompertz
    // curve starts from it, and comparing the models asks for it again on
    // the same points. Empty when that search found no curve of growth.
    std::vector<Point> containedPoints;
    Fixed containedFixed{};
    Parameters containedHeld{};
    bool containedKnown = false;
    std::optional<Run> contained;

    std::size_t count() const { return countOf(*model); }

    Parameters at(const double* x) const {
        Parameters p = held;
        for (std::size_t j = 0, k = 0; j < count(); ++j) {
            if (!fixed[j]) {
                p[j] = logarithmic[j] ? std::exp(x[k]) : x[k];
                ++k;
            }
        }
        if (heldReadOut != kNothingHeld) { // linear in the pivot: one step puts it in place
            const auto q = heldQuantity(p);
            p[pivot] = q ? p[pivot] + (heldValue - q->value) / q->gradient[pivot]
                         : std::numeric_limits<double>::quiet_NaN(); // no such curve
        }
        return p;
    }
    void toSolver(const Parameters& p, double* x) const {
        for (std::size_t j = 0, k = 0; j < count(); ++j) {
            if (!fixed[j]) {
                x[k++] = logarithmic[j] ? std::log(p[j]) : p[j];
            }
        }
    }

    // The solver asks for the Jacobian at the point whose residuals it has
    // just evaluated: the gradients computed with the values are kept for it.
    int evaluate(const double* x, double* f, double* J, int ldJ, int iflag) {
        const Parameters p = at(x);
        if (iflag == 1) {
            model->valuesAndGradients(p, points->data(), points->size(), f, gradients.data());
            for (std::size_t i = 0; i < points->size(); ++i) {
                f[i] = (f[i] - (*points)[i].y) * rootWeights[i];
            }
            gradientsAt = p;
            gradientsValid = true;
            return 0;
        }
        if (!usable(*model, p)) {
            stopped = Outcome::RanOff;
            pastRange = std::any_of(p.begin(), p.end(),
                                    [](double v) { return std::fabs(v) >= kHugeParameter; });
            return -1;
        }
        if (known != nullptr && joins(p, *known, fixed, count())) {
            stopped = Outcome::Joined;
            return -1;
        }
        if (!gradientsValid || p != gradientsAt) {
            scratchValues.resize(points->size());
            model->valuesAndGradients(p, points->data(), points->size(), scratchValues.data(),
                                      gradients.data());
            gradientsAt = p;
            gradientsValid = true;
        }
        // With a read-out held, the pivot follows the others: d pivot / d p_j
        // = -(dr/dp_j) / (dr/d pivot).
        Gradient follows{};
        if (heldReadOut != kNothingHeld) {
            const auto q = heldQuantity(p);
            if (!q) {
                stopped = Outcome::RanOff;
                return -1;
            }
            for (std::size_t j = 0; j < count(); ++j) {
                follows[j] = -q->gradient[j] / q->gradient[pivot];
            }
        }
        for (std::size_t i = 0; i < points->size(); ++i) {
            for (std::size_t j = 0, k = 0; j < count(); ++j) {
                if (!fixed[j]) {
                    const double d = gradients[i][j] + gradients[i][pivot] * follows[j];
                    // column-major; d/d ln p = p d/dp
                    J[k++ * static_cast<std::size_t>(ldJ) + i] =
                        (logarithmic[j] ? d * p[j] : d) * rootWeights[i];
                }
            }
        }
        return 0;
    }
};

} // namespace detail

namespace {

int evaluate(void* data, int, int, const double* x, double* f, double* J, int ldJ, int iflag) {
    return static_cast<detail::Workspace*>(data)->evaluate(x, f, J, ldJ, iflag);
}

Run runFrom(detail::Workspace& w, const GrowthModel& model, const std::vector<Point>& points,
            const Fixed& fixed, const Parameters& start, const Parameters* known,
            int maxEvaluations = kMaxEvaluations) {
    Run out;
    out.parameters = start;
    if (!usable(model, start)) {
        return out;
    }
    const int m = static_cast<int>(points.size());
    const int n = freeCount(model, fixed);
    if (n == 0) { // every parameter held: the curve as it stands
        out.sse = sumOfSquares(model, points, start);
        out.outcome = Outcome::Converged;
        return out;
    }
    w.model = &model;
    w.points = &points;
    w.fixed = fixed;
    w.held = start;
    for (std::size_t j = 0; j < kMaxParameters; ++j) {
        w.logarithmic[j] = j < countOf(model) && model.parameter(static_cast<int>(j)).role == Role::Shape;
    }
    w.known = known;
    w.stopped = Outcome::Converged;
    w.gradientsValid = false;
    w.gradients.resize(points.size());
    w.rootWeights.resize(points.size());
    for (std::size_t i = 0; i < points.size(); ++i) {
        w.rootWeights[i] = std::sqrt(points[i].weight);
    }
    w.residuals.resize(points.size());
    w.jacobian.resize(points.size() * kMaxParameters);
    w.scratch.resize(6 * kMaxParameters + points.size());
    double x[kMaxParameters] = {};
    w.toSolver(start, x);
    double* s = w.scratch.data();
    constexpr int k = static_cast<int>(kMaxParameters);
    int ipvt[kMaxParameters] = {};
    int evaluations = 0;
    const int info = lmder(evaluate, &w, m, n, x, w.residuals.data(), w.jacobian.data(), m,
                           kTolerance, kTolerance, 0.0, maxEvaluations, s, 1, 100.0, 0,
                           &evaluations, &out.iterations, ipvt, s + k, s + 2 * k, s + 3 * k,
                           s + 4 * k, s + 5 * k);
    out.parameters = w.at(x);
    out.sse = sumOfSquares(model, points, out.parameters);
    if (info < 0) {
        out.outcome = w.stopped;
    } else if (!usable(model, out.parameters) || !std::isfinite(out.sse) || info == 0) {
        out.outcome = Outcome::RanOff;
    } else if (info == 5 || evaluations > maxEvaluations / 2) {
        // A run that needed most of its evaluations was crawling along a
        // valley that goes on, not settling at its optimum.
        out.outcome = Outcome::CapReached;
    } else {
        out.outcome = out.parameters == start ? Outcome::Stalled : Outcome::Converged;
    }
    return out;
}

// The free parameters' columns of the weighted Jacobian at p, one row a
// point, and the weighted residuals y - f into r when asked; the caller
// frees the matrix.
gsl_matrix* jacobianAt(const GrowthModel& model, const std::vector<Point>& points,
                       const Fixed& fixed, const Parameters& p, gsl_vector* r = nullptr) {
    gsl_matrix* J =
        gsl_matrix_alloc(points.size(), static_cast<std::size_t>(freeCount(model, fixed)));
    std::vector<double> values(points.size());
    std::vector<Gradient> gradients(points.size());
    model.valuesAndGradients(p, points.data(), points.size(), values.data(), gradients.data());
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double root = std::sqrt(points[i].weight);
        for (std::size_t j = 0, col = 0; j < countOf(model); ++j) {
            if (!fixed[j]) {
                gsl_matrix_set(J, i, col++, gradients[i][j] * root);
            }
        }
        if (r != nullptr) {
            gsl_vector_set(r, i, (points[i].y - values[i]) * root);
        }
    }
    return J;
}

// The solver stops once the sum of squares no longer falls measurably,
// which in a flat valley leaves the parameters some 1e-8 short of the
// optimum. A Gauss-Newton step, worked out from the Jacobian and the
// residuals rather than from differences of sums, covers the rest; it is
// kept only if the sum does not grow beyond rounding.
Parameters polished(const GrowthModel& model, const std::vector<Point>& points,
                    const Fixed& fixed, const Parameters& p) {
    const std::size_t n = points.size();
    const auto k = static_cast<std::size_t>(freeCount(model, fixed));
    if (k == 0) {
        return p;
    }
    gsl_vector* r = gsl_vector_alloc(n);
    gsl_matrix* J = jacobianAt(model, points, fixed, p, r);
    gsl_vector* tau = gsl_vector_alloc(k);
    gsl_vector* step = gsl_vector_alloc(k);
    gsl_vector* left = gsl_vector_alloc(n);
    double before = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        before += gsl_vector_get(r, i) * gsl_vector_get(r, i);
    }
    Parameters out = p;
    if (gsl_linalg_QR_decomp(J, tau) == GSL_SUCCESS &&
        gsl_linalg_QR_lssolve(J, tau, r, step, left) == GSL_SUCCESS) {
        for (std::size_t j = 0, col = 0; j < countOf(model); ++j) {
            if (!fixed[j]) {
                out[j] += gsl_vector_get(step, col++);
            }
        }
    }
    for (gsl_vector* v : {r, tau, step, left}) {
        gsl_vector_free(v);
    }
    gsl_matrix_free(J);
    return usable(model, out) && sumOfSquares(model, points, out) <= before * (1 + 1e-12) ? out
                                                                                          : p;
}

// Gauss-Newton steps while they still move a parameter by more than 1e-7 of
// itself (after a smaller one the next would not show in the digits): one
// is enough in a flat valley of a nearly linear model; a shape parameter
// may take a few more.
Parameters polishedFully(const GrowthModel& model, const std::vector<Point>& points,
                         const Fixed& fixed, Parameters p) {
    for (int step = 0; step < 4; ++step) {
        const Parameters next = polished(model, points, fixed, p);
        bool moved = false;
        for (std::size_t j = 0; j < countOf(model); ++j) {
            moved = moved || std::fabs(next[j] - p[j]) > 1e-7 * std::fabs(p[j]);
        }
        p = next;
        if (!moved) {
            break;
        }
    }
    return p;
}

// One pass over the points at p: the weighted sum of squares, and J^T W J
// and J^T W r (r = y - f) over the free parameters, in their order.
struct NormalEquations {
    double sse = 0.0;
    std::size_t k = 0;
    std::array<std::array<double, kMaxParameters>, kMaxParameters> jtj{};
    std::array<double, kMaxParameters> jtr{};
};

NormalEquations normalEquations(const GrowthModel& model, const std::vector<Point>& points,
                                const Fixed& fixed, const Parameters& p) {
    NormalEquations out;
    std::array<std::size_t, kMaxParameters> free{};
    for (std::size_t j = 0; j < countOf(model); ++j) {
        if (!fixed[j]) {
            free[out.k++] = j;
        }
    }
    constexpr std::size_t kBlock = 256;
    double values[kBlock];
    Gradient gradients[kBlock];
    for (std::size_t from = 0; from < points.size(); from += kBlock) {
        const std::size_t count = std::min(kBlock, points.size() - from);
        model.valuesAndGradients(p, points.data() + from, count, values, gradients);
        for (std::size_t i = 0; i < count; ++i) {
            const double w = points[from + i].weight;
            const double r = points[from + i].y - values[i];
            out.sse += w * r * r;
            for (std::size_t a = 0; a < out.k; ++a) {
                const double ga = w * gradients[i][free[a]];
                out.jtr[a] += ga * r;
                for (std::size_t b = 0; b <= a; ++b) {
                    out.jtj[a][b] += ga * gradients[i][free[b]];
                }
            }
        }
    }
    for (std::size_t a = 0; a < out.k; ++a) {
        for (std::size_t b = a + 1; b < out.k; ++b) {
            out.jtj[a][b] = out.jtj[b][a];
        }
    }
    return out;
}

// Gauss-Newton on a long series, without its Jacobian in memory: steps
// from the normal equations (Cholesky of J^T W J) while a step lowers the
// sum of squares and moves a parameter by more than 1e-9 of itself; settled
// once a step would move none that far (that last step is taken unchecked:
// it changes the sum of squares by less than rounding). Far below the digits
// shown, as where the residuals are large the steps shrink only slowly. The
// fixed point is where J^T W r = 0, as exact as its sums, however the steps
// were solved.
constexpr double kSettledStep = 1e-9;
struct Settled {
    Parameters parameters{};
    double sse = 0.0;
    bool settled = false;
    int steps = 0;
    NormalEquations last; // at the last step's start
};

Settled settledByGaussNewton(const GrowthModel& model, const std::vector<Point>& points,
                             const Fixed& fixed, Parameters p, int maxSteps) {
    Settled out;
    NormalEquations at = normalEquations(model, points, fixed, p);
    for (out.steps = 0; out.steps < maxSteps; ++out.steps) {
        const std::size_t k = at.k;
        if (k == 0) {
            out.settled = true;
            break;
        }
        gsl_matrix* A = gsl_matrix_alloc(k, k);
        gsl_vector* b = gsl_vector_alloc(k);
        for (std::size_t i = 0; i < k; ++i) {
            gsl_vector_set(b, i, at.jtr[i]);
            for (std::size_t j = 0; j < k; ++j) {
                gsl_matrix_set(A, i, j, at.jtj[i][j]);
            }
        }
        const bool solved =
            gsl_linalg_cholesky_decomp1(A) == GSL_SUCCESS && gsl_linalg_cholesky_svx(A, b) == GSL_SUCCESS;
        Parameters next = p;
        bool moved = false;
        for (std::size_t j = 0, col = 0; solved && j < countOf(model); ++j) {
            if (!fixed[j]) {
                const double step = gsl_vector_get(b, col++);
                next[j] += step;
                moved = moved || std::fabs(step) > kSettledStep * std::fabs(p[j]);
            }
        }
        gsl_vector_free(b);
        gsl_matrix_free(A);
        if (!solved || !usable(model, next)) {
            break;
        }
        if (!moved) { // a step below what the digits show: there
            p = next;
            out.settled = true;
            break;
        }
        const NormalEquations then = normalEquations(model, points, fixed, next);
        if (!(then.sse <= at.sse * (1 + 1e-12))) {
            break; // no longer a descent: left to Levenberg-Marquardt
        }
        p = next;
        at = then;
    }
    out.parameters = p;
    out.sse = at.sse;
    out.last = at;
    return out;
}

// The determinant of J^T J with its columns scaled to unit length: 1 for
// independent directions, near 0 when the data cannot tell them apart.
double scaledGramDeterminant(const gsl_matrix* J) {
    const std::size_t p = J->size2;
    gsl_matrix* gram = gsl_matrix_alloc(p, p);
    gsl_permutation* order = gsl_permutation_alloc(p);
    double determinant = 1.0;
    for (std::size_t a = 0; a < p; ++a) {
        for (std::size_t b = 0; b < p; ++b) {
            double sum = 0.0;
            for (std::size_t i = 0; i < J->size1; ++i) {
                const double* row = J->data + i * J->tda;
                sum += row[a] * row[b];
            }
            gsl_matrix_set(gram, a, b, sum);
        }
    }
    for (std::size_t a = 0; a < p && determinant != 0.0; ++a) {
        const double norm = std::sqrt(gsl_matrix_get(gram, a, a));
        if (!(norm > 0.0)) {
            determinant = 0.0;
        }
        for (std::size_t b = 0; b < p && determinant != 0.0; ++b) {
            gsl_matrix_set(gram, a, b, gsl_matrix_get(gram, a, b) / norm);
            gsl_matrix_set(gram, b, a, gsl_matrix_get(gram, b, a) / norm);
        }
    }
    int sign = 0;
    if (determinant != 0.0) {
        determinant = gsl_linalg_LU_decomp(gram, order, &sign) == GSL_SUCCESS
                          ? gsl_linalg_LU_det(gram, sign)
                          : 0.0;
    }
    gsl_permutation_free(order);
    gsl_matrix_free(gram);
    return determinant;
}

// s^2 (J^T J)^-1 in the fit's units, from the Jacobian at the optimum;
// none when it cannot be worked out.
// fit.covariance = s2 times the inverse over the free parameters, placed
// in their rows and columns; false, and none, when a value is not finite.
bool setCovariance(Fit& fit, double s2, const gsl_matrix* inverse) {
    const GrowthModel& model = *fit.model;
    Matrix C{};
    for (std::size_t a = 0, ka = 0; a < countOf(model); ++a) {
        if (fit.fixed[a]) {
            continue;
        }
        for (std::size_t b = 0, kb = 0; b < countOf(model); ++b) {
            if (!fit.fixed[b]) {
                C[a][b] = s2 * gsl_matrix_get(inverse, ka, kb++);
                if (!std::isfinite(C[a][b])) {
                    return false;
                }
            }
        }
        ++ka;
    }
    fit.covariance = C;
    return true;
}

void addCovariance(Fit& fit, const std::vector<Point>& unitPoints, const Parameters& unit) {
    const GrowthModel& model = *fit.model;
    const auto p = static_cast<std::size_t>(fit.freeParameters);
    gsl_matrix* J = jacobianAt(model, unitPoints, fit.fixed, unit);
    gsl_matrix* covar = gsl_matrix_alloc(p, p);
    const double s2 = sumOfSquares(model, unitPoints, unit) / fit.degreesOfFreedom;
    const bool computed = gsl_multifit_nlinear_covar(J, 0.0, covar) == GSL_SUCCESS &&
                          setCovariance(fit, s2, covar);
    fit.illDetermined = !computed || scaledGramDeterminant(J) < 1e-12;
    gsl_matrix_free(J);
    gsl_matrix_free(covar);
}

// The same from the normal equations, for a long series: s^2 (J^T W J)^-1
// by Cholesky, the Jacobian never held in memory.
void addCovarianceOfLongSeries(Fit& fit, const NormalEquations& at) {
    const std::size_t k = at.k;
    const double s2 = at.sse / fit.degreesOfFreedom;
    gsl_matrix* A = gsl_matrix_alloc(k, k);
    double determinant = 1.0; // of J^T W J with unit diagonal
    for (std::size_t a = 0; a < k; ++a) {
        for (std::size_t b = 0; b < k; ++b) {
            gsl_matrix_set(A, a, b, at.jtj[a][b]);
        }
    }
    bool computed = gsl_linalg_cholesky_decomp1(A) == GSL_SUCCESS;
    for (std::size_t a = 0; a < k && computed; ++a) {
        const double pivot = gsl_matrix_get(A, a, a);
        determinant *= pivot * pivot / at.jtj[a][a];
    }
    computed = computed && gsl_linalg_cholesky_invert(A) == GSL_SUCCESS &&
               setCovariance(fit, s2, A);
    gsl_matrix_free(A);
    fit.illDetermined = !computed || determinant < 1e-12;
}

// A square (SSE, variance) scaled back below the smallest normal double,
// whose root in the fit's units, where values and span are about 1, is
// within the digits shown: showing 0 for it would mislead.
bool lost(double unit, double scaled) {
    constexpr double kShownSquare = 1e-28; // a root of 1e-14
    return unit > kShownSquare && !(std::fabs(scaled) >= std::numeric_limits<double>::min());
}

// The covariance in the data's units, and whether a standard error exceeds
// what the parameter can be known to (its value; for a time, the span of
// t; for a level, the largest |y|). False when a variance is lost below the
// double range.
bool finishCovariance(Fit& fit, const Scale& scale) {
    if (!fit.covariance) {
        return true;
    }
    const GrowthModel& model = *fit.model;
    Matrix& C = *fit.covariance;
    bool kept = true;
    for (std::size_t a = 0; a < countOf(model); ++a) {
        const Role role = model.parameter(static_cast<int>(a)).role;
        const double unitVariance = C[a][a];
        for (std::size_t b = 0; b < countOf(model); ++b) {
            // in turn: the two factors' product alone may overflow
            C[a][b] = C[a][b] * scale.factor(role) *
                      scale.factor(model.parameter(static_cast<int>(b)).role);
        }
        const double variance = C[a][a];
        kept = kept && !lost(unitVariance, variance);
        const double reach = role == Role::Time    ? 2 * scale.half
                             : role == Role::Level ? scale.height
                                                   : std::fabs(fit.parameters[a]);
        if (!fit.fixed[a] &&
            (!(std::isfinite(variance) && variance >= 0.0) || std::sqrt(variance) > reach)) {
            fit.illDetermined = true;
        }
    }
    return kept;
}

// No result, rather than one with infinite or vanished numbers.
Fit outOfRange(Fit fit) {
    fit.status = Status::OutOfRange;
    fit.parameters.fill(kNaN);
    fit.sse = kNaN;
    fit.covariance.reset();
    fit.illDetermined = false;
    return fit;
}

} // namespace

double sumOfSquares(const GrowthModel& model, const std::vector<Point>& points,
                    const Parameters& p) {
    constexpr std::size_t kBlock = 256;
    double values[kBlock];
    double sum = 0.0;
    for (std::size_t from = 0; from < points.size(); from += kBlock) {
        const std::size_t count = std::min(kBlock, points.size() - from);
        model.values(p, points.data() + from, count, values);
        for (std::size_t i = 0; i < count; ++i) {
            const double r = values[i] - points[from + i].y;
            sum += points[from + i].weight * r * r;
        }
    }
    return sum;
}

double totalSumOfSquares(const std::vector<Point>& points, double unit) {
    double weights = 0.0;
    for (const Point& point : points) {
        weights += point.weight;
    }
    const double share = 1.0 / weights;
    double mean = 0.0;
    for (const Point& point : points) {
        mean += point.y / unit * (point.weight * share);
    }
    double total = 0.0;
    for (const Point& point : points) {
        const double d = point.y / unit - mean;
        total += point.weight * d * d;
    }
    return total;
}

Parameters automaticStart(const GrowthModel& model, const std::vector<Point>& points,
                          const Fixed& fixed, const Parameters& held) {
    if (points.empty()) {
        return held;
    }
    const Scale scale(points);
    return scale.fromUnit(
        model, model.start(scale.toUnit(points), fixed, scale.toUnit(model, held)));
}

LeastSquares::LeastSquares() : workspace_(std::make_unique<detail::Workspace>()) {
    gsl_set_error_handler_off(); // every status is checked here; GSL must never abort
}

LeastSquares::~LeastSquares() = default;

namespace {

// The fit's frame: counts, and the refusals that need no run.
Fit frame(const GrowthModel& model, const std::vector<Point>& points, const Fixed& fixed,
          const Parameters& start) {
    Fit fit;
    fit.model = &model;
    fit.fixed = fixed;
    for (std::size_t j = countOf(model); j < kMaxParameters; ++j) {
        fit.fixed[j] = true; // no such parameter
    }
    fit.points = static_cast<int>(points.size());
    fit.freeParameters = freeCount(model, fixed);
    fit.degreesOfFreedom = fit.points - fit.freeParameters;
    fit.parameters = start;
    fit.status = points.empty()              ? Status::NoData
                 : fit.degreesOfFreedom <= 0 ? Status::TooFewPoints
                                             : Status::Ok;
    if (fit.status != Status::Ok) {
        return fit;
    }
    // Every weight 0 (1/DE^2 or 1/y^2 below the double range): any curve
    // has SSE 0 and nothing is measured; other units are needed.
    if (std::none_of(points.begin(), points.end(), [](const Point& p) { return p.weight > 0.0; })) {
        fit.status = Status::OutOfRange;
    } else if (std::all_of(points.begin(), points.end(),
                           [&](const Point& p) { return p.y == points.front().y; })) {
        fit.status = Status::NoGrowth; // no spread in the values: nothing rises
    }
    if (fit.status != Status::Ok) { // no result: nothing that could be taken for one
        fit.parameters.fill(kNaN);
        fit.sse = kNaN;
    }
    return fit;
}

bool lower(const Run* candidate, const Run* than) {
    return candidate != nullptr && (than == nullptr || candidate->sse < than->sse);
}

// What the runs come to: the converged run with the lowest sum of squares,
// or failing that the best of the rest, marked for what it is; out of range
// when what would be shown of it does not fit in doubles.
Fit conclude(Fit fit, const std::vector<Run>& runs, const std::vector<Point>& points,
             const std::vector<Point>& unitPoints, const Scale& scale) {
    const GrowthModel& model = *fit.model;
    const Run* converged = nullptr; // within the model's domain
    const Run* outside = nullptr;   // converged, but a falling curve or no curve of the model
    const Run* other = nullptr;
    bool ranAway = false;
    for (const Run& run : runs) {
        if (run.outcome == Outcome::Converged && inDomain(model, run.parameters)) {
            converged = lower(&run, converged) ? &run : converged;
        } else if (run.outcome == Outcome::Converged) {
            outside = lower(&run, outside) ? &run : outside;
        } else if (run.outcome == Outcome::RanOff) {
            ranAway = ranAway || runaway(model, run.parameters);
        } else if (std::isfinite(run.sse) && lower(&run, other)) {
            other = &run;
        }
    }
    // A run off towards an asymptote without end that follows the data far
    // better (half the sum of squares) than the best converged curve: the
    // data grow without a plateau, and that curve is a poor local optimum.
    // With no growth curve converged, a run off towards such an asymptote
    // that follows the data closer than any falling curve does: the same.
    for (const Run& run : runs) {
        const bool beats = converged != nullptr ? run.sse < converged->sse / 2
                           : outside != nullptr ? run.sse < outside->sse
                                                : false;
        if (beats && run.outcome != Outcome::Converged && runaway(model, run.parameters)) {
            converged = nullptr;
            outside = nullptr;
            other = nullptr;
            ranAway = true;
        }
    }
    const Run* kept = converged != nullptr ? converged : outside != nullptr ? outside : other;
    if (kept == nullptr) { // no result: nothing that could be taken for one
        fit.status = ranAway ? Status::NoPlateau : Status::NoFiniteOptimum;
        fit.parameters.fill(kNaN);
        fit.sse = kNaN;
        return fit;
    }
    const Parameters unit =
        converged == nullptr || kept->settled ? kept->parameters
        : unitPoints.size() > kLongSeries
            ? settledByGaussNewton(model, unitPoints, fit.fixed, kept->parameters, 4).parameters
            : polishedFully(model, unitPoints, fit.fixed, kept->parameters);
    fit.parameters = scale.fromUnit(model, unit);
    fit.sse = sumOfSquares(model, points, fit.parameters);
    fit.iterations = kept->iterations;
    // In the fit's units, where the sum about the mean cannot overflow.
    const double unitSse = kept->settled ? kept->sse : sumOfSquares(model, unitPoints, unit);
    bool inRange = !lost(unitSse, unitSse * scale.height * scale.height * scale.weightScale);
    if (!fit.fixed[0] &&
        (runaway(model, kept->parameters) || (converged == nullptr && ranAway))) {
        fit.status = Status::NoPlateau;
        return fit;
    }
    // A shape at its edge is held there, not free: the curve is the one
    // with fewer parameters it tends to.
    for (std::size_t j = 0; j < countOf(model); ++j) {
        fit.atBound[j] = !fit.fixed[j] && model.parameter(static_cast<int>(j)).role == Role::Shape &&
                         unit[j] < kShapeAtEdge;
    }
    const int atEdge = static_cast<int>(std::count(fit.atBound.begin(), fit.atBound.end(), true));
    // A model that contains the Gompertz curve rises wherever that curve
    // does (on its own parameters, one fewer: the model's own is free when
    // that curve was tried) and it leaves no more.
    double containedSse = kInf;
    for (const Run& run : runs) {
        containedSse = run.gompertzCurve ? std::min(containedSse, run.sse) : containedSse;
    }
    const bool risesAsGompertz =
        unitSse <= containedSse * (1 + 1e-9) &&
        clearRise(containedSse, totalSumOfSquares(unitPoints), fit.points,
                  fit.freeParameters - 1);
    // Outside the domain (held there, or the best the runs found), no better
    // than the flat line at the mean (to rounding), a rise inside the noise,
    // or a rate of 0, whose lag lies at infinity: no growth curve.
    const double unitSst = totalSumOfSquares(unitPoints);
    if (!inDomain(model, unit) ||
        (converged != nullptr &&
         (unitSse >= unitSst * (1 - 1e-9) || flat(model, unit) ||
          !(clearRise(unitSse, unitSst, fit.points, fit.freeParameters - atEdge) ||
            risesAsGompertz)))) {
        fit.status = Status::NoGrowth;
        // An SSE beyond the double range is no number to keep, even refused.
        return inRange && std::isfinite(fit.sse) ? fit : outOfRange(fit);
    }
    if (converged == nullptr) {
        fit.status = Status::NotConverged;
    } else {
        fit.status = Status::Ok;
        // A shape at its edge is held there for the covariance: its error
        // is not that of a free optimum.
        Fit held = fit;
        for (std::size_t j = 0; j < countOf(model); ++j) {
            if (fit.atBound[j]) {
                held.fixed[j] = true;
                --held.freeParameters;
            }
        }
        if (held.freeParameters != fit.freeParameters) {
            if (held.freeParameters > 0) {
                addCovariance(held, unitPoints, unit);
                inRange = finishCovariance(held, scale) && inRange;
            }
            fit.covariance = held.freeParameters > 0 ? held.covariance : Matrix{};
            fit.illDetermined = true;
        } else if (fit.freeParameters > 0 && unitPoints.size() > kLongSeries) {
            NormalEquations at;
            if (kept->settled) { // a step short of 1e-7 from where it was worked out
                at.sse = kept->sse;
                at.k = static_cast<std::size_t>(fit.freeParameters);
                at.jtj = kept->jtj;
            } else {
                at = normalEquations(model, unitPoints, fit.fixed, unit);
            }
            addCovarianceOfLongSeries(fit, at);
            inRange = finishCovariance(fit, scale) && inRange;
        } else if (fit.freeParameters > 0) {
            addCovariance(fit, unitPoints, unit);
            inRange = finishCovariance(fit, scale) && inRange;
        } else {
            fit.covariance = Matrix{}; // every parameter held: nothing varies
        }
    }
    return inRange && representable(fit, points) ? fit : outOfRange(fit);
}

// Every k-th point in the order of t, the first and the last among them:
// `count` points spread as the series is.
std::vector<Point> thinned(const std::vector<Point>& points, std::size_t count) {
    const auto earlier = [](const Point& l, const Point& r) { return l.t < r.t; };
    std::vector<Point> ordered;
    if (!std::is_sorted(points.begin(), points.end(), earlier)) { // a series usually is
        ordered = points;
        std::stable_sort(ordered.begin(), ordered.end(), earlier);
    }
    const std::vector<Point>& series = ordered.empty() ? points : ordered;
    std::vector<Point> out;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(series[i * (series.size() - 1) / (count - 1)]);
    }
    return out;
}

// The runs behind the optimum: from the model's automatic start, then
// (when asked) from the current parameters until it joins the first
// optimum, and from five more starts around the automatic one only when
// none converged.
// Starts whose rise lies in one of the widest steps of the data, steep
// enough to fit within it: where no point was measured during the rise, the
// best curve may rise anywhere in the gap, and a gentle start never finds a
// steep optimum. The amplitude is the data's height above their lowest
// value. Only when c and t0 are free.
std::vector<Parameters> stepStarts(const std::vector<Point>& unitPoints, const Fixed& fixed,
                                   const Parameters& start, std::size_t steps) {
    std::vector<Parameters> out;
    if (fixed[1] || fixed[2] || unitPoints.size() < 2) {
        return out;
    }
    std::vector<Point> ordered = unitPoints;
    std::sort(ordered.begin(), ordered.end(),
              [](const Point& l, const Point& r) { return l.t < r.t; });
    std::vector<std::size_t> jumps;
    for (std::size_t i = 1; i < ordered.size(); ++i) {
        if (ordered[i].t > ordered[i - 1].t) {
            jumps.push_back(i);
        }
    }
    const auto rise = [&](std::size_t i) { return std::fabs(ordered[i].y - ordered[i - 1].y); };
    std::sort(jumps.begin(), jumps.end(),
              [&](std::size_t l, std::size_t r) { return rise(l) > rise(r); });
    const double sign = start[0] < 0.0 ? -1.0 : 1.0;
    double top = 0.0;
    for (const Point& point : ordered) {
        top = std::max(top, sign * point.y);
    }
    for (std::size_t k = 0; k < std::min(steps, jumps.size()); ++k) {
        const Point& before = ordered[jumps[k] - 1];
        const Point& after = ordered[jumps[k]];
        const double gap = after.t - before.t;
        const double direction = (after.y - before.y) * sign >= 0.0 ? 1.0 : -1.0;
        for (const double where : {0.5, 0.85}) {
            for (const double steepness : {4.0}) {
                Parameters p = start;
                if (!fixed[0] && top > 0.0) {
                    p[0] = sign * top;
                }
                p[1] = direction * steepness / gap;
                p[2] = before.t + where * gap;
                out.push_back(p);
            }
        }
    }
    return out;
}

// Steep rising starts at the splits of the data, between neighbouring
// times, where a step from the mean before to the mean after leaves the
// least weighted sum of squares: the curves a steep optimum is near. The
// baseline, where the model has a free one, at the mean before; the
// amplitude the rise (from 0 without a baseline). Only when c and t0 are free.
// stepSse is the best split's: the least any step leaves.
struct SplitStarts {
    double stepSse = kInf;
    std::vector<Parameters> starts;
};
SplitStarts splitStarts(const GrowthModel& model, const std::vector<Point>& unitPoints,
                        const Fixed& fixed, const Parameters& start, std::size_t count) {
    SplitStarts out;
    if (fixed[1] || fixed[2] || unitPoints.size() < 2) {
        return out;
    }
    std::vector<Point> ordered = unitPoints;
    std::sort(ordered.begin(), ordered.end(),
              [](const Point& l, const Point& r) { return l.t < r.t; });
    const std::size_t n = ordered.size();
    std::vector<double> w(n + 1), wy(n + 1), wyy(n + 1); // prefix sums
    for (std::size_t i = 0; i < n; ++i) {
        const Point& p = ordered[i];
        w[i + 1] = w[i] + p.weight;
        wy[i + 1] = wy[i] + p.weight * p.y;
        wyy[i + 1] = wyy[i] + p.weight * p.y * p.y;
    }
    const auto spread = [&](std::size_t from, std::size_t to) { // about the mean of [from, to)
        const double sw = w[to] - w[from];
        const double sy = wy[to] - wy[from];
        return sw > 0.0 ? (wyy[to] - wyy[from]) - sy * sy / sw : 0.0;
    };
    const auto mean = [&](std::size_t from, std::size_t to) {
        const double sw = w[to] - w[from];
        return sw > 0.0 ? (wy[to] - wy[from]) / sw : 0.0;
    };
    std::vector<std::pair<double, std::size_t>> splits;
    for (std::size_t i = 1; i < n; ++i) {
        if (ordered[i].t > ordered[i - 1].t && mean(i, n) > mean(0, i)) {
            splits.push_back({spread(0, i) + spread(i, n), i});
        }
    }
    std::sort(splits.begin(), splits.end());
    out.stepSse = splits.empty() ? kInf : splits.front().first;
    std::size_t level = countOf(model);
    for (std::size_t j = 0; j < countOf(model); ++j) {
        level = model.parameter(static_cast<int>(j)).role == Role::Level && !fixed[j] ? j : level;
    }
    for (std::size_t k = 0; k < std::min(count, splits.size()); ++k) {
        const std::size_t i = splits[k].second;
        const double before = mean(0, i);
        const double after = mean(i, n);
        const double gap = ordered[i].t - ordered[i - 1].t;
        Parameters p = start;
        const double base = level < countOf(model) ? before : 0.0;
        if (level < countOf(model)) {
            p[level] = before;
        }
        if (!fixed[0] && after > base) {
            p[0] = after - base;
        }
        p[1] = 4.0 / gap;
        p[2] = ordered[i - 1].t + 0.5 * gap;
        out.starts.push_back(p);
        // A steep step may also be sharp at its top: a large shape.
        for (std::size_t j = 0; j < countOf(model); ++j) {
            if (model.parameter(static_cast<int>(j)).role == Role::Shape && !fixed[j]) {
                Parameters sharp = p;
                sharp[j] = 20.0;
                sharp[1] = 20.0 * p[1];
                out.starts.push_back(sharp);
            }
        }
    }
    return out;
}

// The largest change of the value between neighbouring points in t, as a
// share of the range of the values.
double largestStepShare(const std::vector<Point>& points) {
    std::vector<Point> ordered = points;
    std::sort(ordered.begin(), ordered.end(),
              [](const Point& l, const Point& r) { return l.t < r.t; });
    double step = 0.0;
    double lo = kInf;
    double hi = -kInf;
    for (std::size_t i = 0; i < ordered.size(); ++i) {
        lo = std::min(lo, ordered[i].y);
        hi = std::max(hi, ordered[i].y);
        if (i > 0 && ordered[i].t > ordered[i - 1].t) {
            step = std::max(step, std::fabs(ordered[i].y - ordered[i - 1].y));
        }
    }
    return hi > lo ? step / (hi - lo) : 0.0;
}

// The runs behind the optimum (in the order tried): the automatic start,
// the current parameters when asked, steep starts in the widest steps or at
// the best splits where a step may follow the data closer, for a shape a
// sharper one on noisy data, starts around the automatic one when none
// converged, and for a model that contains the Gompertz curve that curve's
// optimum.
std::vector<Run> runsFrom(detail::Workspace& w, const GrowthModel& model,
                          const std::vector<Point>& unitPoints, const Fixed& fixed,
                          const Parameters& held, LeastSquares::Starts starts);
// Beyond this share of the sum of squares about the mean left by the best
// curve, the data are noisy: other basins lie close in SSE.
constexpr double kNoisyShare = 0.01;
// A step that leaves up to this many times the best curve's SSE may still
// lie near a steep curve that leaves less: its top and foot bend.
constexpr double kStepMargin = 3.0;

// The Gompertz search's best converged curve of growth, for the models
// that contain it.
void keepGompertzOptimum(detail::Workspace& w, const std::vector<Point>& unitPoints,
                         const Fixed& fixed, const Parameters& held, const std::vector<Run>& runs) {
    const Run* found = nullptr;
    for (const Run& run : runs) {
        if (run.outcome == Outcome::Converged && inDomain(gompertzModel(), run.parameters) &&
            lower(&run, found)) {
            found = &run;
        }
    }
    w.contained = found != nullptr ? std::optional<Run>(*found) : std::nullopt;
    w.containedPoints = unitPoints;
    w.containedFixed = fixed;
    w.containedHeld = held;
    w.containedKnown = true;
}

// A model that contains the Gompertz curve can do no worse than the
// Gompertz optimum: runs from it (its own parameters at the model's nearest
// curve, and for a shape also close to its edge 0), and for a shape the
// edge itself, where the curve is the Gompertz curve to within the digits:
// an optimum when no run finds a lower sum of squares inside. Only when the
// model's own parameters are free.
void addRunsFromGompertz(detail::Workspace& w, const GrowthModel& model,
                         const std::vector<Point>& unitPoints, const Fixed& fixed,
                         const Parameters& held, std::vector<Run>& runs) {
    const GrowthModel& gompertz = gompertzModel();
    if (!model.containsGompertz() || &model == &gompertz) {
        return;
    }
    for (std::size_t j = countOf(gompertz); j < countOf(model); ++j) {
        if (fixed[j]) {
            return;
        }
    }
    const auto same = [&] {
        const auto alike = [](const Point& l, const Point& r) {
            return l.t == r.t && l.y == r.y && l.weight == r.weight;
        };
        return w.containedKnown && std::equal(fixed.begin(), fixed.begin() + 3, w.containedFixed.begin()) &&
               std::equal(held.begin(), held.begin() + 3, w.containedHeld.begin()) &&
               std::equal(unitPoints.begin(), unitPoints.end(), w.containedPoints.begin(),
                          w.containedPoints.end(), alike);
    };
    if (!same()) {
        // The held a, c, t0 are a Gompertz curve: the Gompertz fit's own starts.
        runsFrom(w, gompertz, unitPoints, fixed, held, LeastSquares::Starts::AutomaticAndCurrent);
    }
    if (!w.contained) {
        return;
    }
    const Run gompertzOptimum = *w.contained;
    const Run* best = &gompertzOptimum;
    const Parameters nearest = model.fromGompertz(best->parameters);
    Parameters edge = nearest;
    bool shaped = false;
    for (std::size_t j = countOf(gompertz); j < countOf(model); ++j) {
        if (model.parameter(static_cast<int>(j)).role == Role::Shape) {
            shaped = true;
            edge[j] = kShapeAtEdge / 100;
        }
    }
    const double edgeSse = sumOfSquares(model, unitPoints, edge);
    // Runs from it only when the model's own runs end above it: else they
    // have already done better.
    const bool above = std::none_of(runs.begin(), runs.end(), [&](const Run& r) {
        return r.outcome == Outcome::Converged && inDomain(model, r.parameters) &&
               r.sse <= edgeSse * (1 + 1e-9);
    });
    if (above) {
        runs.push_back(runFrom(w, model, unitPoints, fixed, nearest, nullptr));
        for (std::size_t j = countOf(gompertz); j < countOf(model); ++j) {
            if (model.parameter(static_cast<int>(j)).role == Role::Shape) {
                Parameters close = nearest;
                close[j] = 1e-2;
                runs.push_back(runFrom(w, model, unitPoints, fixed, close, nullptr));
            }
        }
    }
    // The Gompertz curve itself: at the shape's edge an optimum when no run
    // finds less inside; with a baseline (y0 = 0) a point no optimum is above.
    Run contained;
    contained.outcome = shaped ? Outcome::Converged : Outcome::Stalled;
    contained.parameters = edge;
    contained.sse = edgeSse;
    contained.iterations = best->iterations;
    contained.gompertzCurve = true;
    runs.push_back(contained);
}

std::vector<Run> runsFrom(detail::Workspace& w, const GrowthModel& model,
                          const std::vector<Point>& unitPoints, const Fixed& fixed,
                          const Parameters& held, LeastSquares::Starts starts) {
    const Parameters start = model.start(unitPoints, fixed, held);
    std::vector<Run> runs;
    runs.reserve(12);
    runs.push_back(runFrom(w, model, unitPoints, fixed, start, nullptr));
    const bool found = runs[0].outcome == Outcome::Converged;
    if (starts == LeastSquares::Starts::AutomaticAndCurrent) {
        runs.push_back(
            runFrom(w, model, unitPoints, fixed, held, found ? &runs[0].parameters : nullptr));
        if (runs[1].outcome == Outcome::Joined) {
            runs.pop_back();
        }
    }
    const auto best = [&runs] {
        double sse = kInf;
        for (const Run& r : runs) {
            sse = r.outcome == Outcome::Converged ? std::min(sse, r.sse) : sse;
        }
        return sse;
    };
    // Most of the rise between two neighbouring points: no point tells how
    // steep it is, and a steep curve within that gap is another basin.
    if (largestStepShare(unitPoints) >= 0.5) {
        const Run* optimum = nullptr;
        for (const Run& r : runs) {
            optimum = r.outcome == Outcome::Converged && lower(&r, optimum) ? &r : optimum;
        }
        const Parameters known = optimum != nullptr ? optimum->parameters : Parameters{};
        for (const Parameters& p : stepStarts(unitPoints, fixed, start, 1)) {
            runs.push_back(
                runFrom(w, model, unitPoints, fixed, p, optimum != nullptr ? &known : nullptr));
        }
    }
    // A step between two neighbouring points, from the mean before to the
    // mean after, that leaves less than the best curve (noisy data, or a
    // rise measured by few points): a curve that rises within such a step
    // may follow the data closer than a gentle one.
    if (best() < totalSumOfSquares(unitPoints)) {
        const SplitStarts splits = splitStarts(model, unitPoints, fixed, start, 3);
        if (splits.stepSse < kStepMargin * best()) {
            const Run* optimum = nullptr;
            for (const Run& r : runs) {
                optimum = r.outcome == Outcome::Converged && lower(&r, optimum) ? &r : optimum;
            }
            const Parameters known = optimum->parameters;
            for (const Parameters& p : splits.starts) {
                runs.push_back(runFrom(w, model, unitPoints, fixed, p, &known));
            }
        }
    }
    // A shape, on noisy data: the same early exponential rise, c / ν (c for
    // a shape up to 1), ending sharper at the plateau (ν ten times larger,
    // and at least 10) is another basin.
    const bool noisy = best() > kNoisyShare * totalSumOfSquares(unitPoints);
    for (std::size_t j = 0; j < countOf(model) && noisy; ++j) {
        if (model.parameter(static_cast<int>(j)).role == Role::Shape && !fixed[j] && !fixed[1]) {
            const Run* optimum = nullptr;
            for (const Run& r : runs) {
                optimum = r.outcome == Outcome::Converged && lower(&r, optimum) ? &r : optimum;
            }
            if (optimum != nullptr) {
                const Parameters known = optimum->parameters;
                Parameters sharp = known;
                sharp[j] = std::max(10.0 * known[j], 10.0);
                sharp[1] = known[1] * sharp[j] / std::max(known[j], 1.0);
                runs.push_back(runFrom(w, model, unitPoints, fixed, sharp, &known));
            }
        }
    }
    // A converged curve no better than the flat line has missed the data:
    // a rise in each of their widest steps may not.
    if (best() >= totalSumOfSquares(unitPoints)) {
        for (const Parameters& p : stepStarts(unitPoints, fixed, start, 3)) {
            runs.push_back(runFrom(w, model, unitPoints, fixed, p, nullptr));
        }
    }
    if (std::none_of(runs.begin(), runs.end(),
                     [](const Run& r) { return r.outcome == Outcome::Converged; })) {
        const double factors[][2] = {{2.0, 1.0}, {1.0, 0.5}, {1.0, 2.0}, {0.8, 1.0}, {4.0, 0.5}};
        for (const auto& factor : factors) {
            Parameters p = start;
            for (std::size_t j = 0; j < 2; ++j) {
                if (!fixed[j]) {
                    p[j] *= factor[j];
                }
            }
            runs.push_back(runFrom(w, model, unitPoints, fixed, p, nullptr));
        }
        // Still nothing: a rise in each of the widest steps of the data.
        if (std::none_of(runs.begin(), runs.end(),
                         [](const Run& r) { return r.outcome == Outcome::Converged; })) {
            for (const Parameters& p : stepStarts(unitPoints, fixed, start, 3)) {
                runs.push_back(runFrom(w, model, unitPoints, fixed, p, nullptr));
            }
        }
    }
    addRunsFromGompertz(w, model, unitPoints, fixed, held, runs);
    if (&model == &gompertzModel() && starts == LeastSquares::Starts::AutomaticAndCurrent) {
        keepGompertzOptimum(w, unitPoints, fixed, held, runs);
    }
    return runs;
}

// The frame, the fit's units, the runs and what they come to; runs(unit
// points, start in the fit's units) makes the runs.
template <typename MakeRuns>
Fit solved(const GrowthModel& model, const std::vector<Point>& points, const Fixed& fixed,
           const Parameters& start, MakeRuns runs) {
    Fit fit = frame(model, points, fixed, start);
    if (fit.status != Status::Ok) {
        return fit;
    }
    const Scale scale(points);
    const auto unitPoints = scale.toUnit(points);
    return conclude(fit, runs(unitPoints, scale.toUnit(model, start)), points, unitPoints, scale);
}

} // namespace

Fit LeastSquares::fitFrom(const GrowthModel& model, const std::vector<Point>& points,
                          const Fixed& fixed, const Parameters& start) {
    return solved(model, points, fixed, start,
                  [&](const auto& unitPoints, const Parameters& unitStart) {
                      return std::vector<Run>{
                          runFrom(*workspace_, model, unitPoints, fixed, unitStart, nullptr)};
                  });
}

LeastSquares::HeldFit LeastSquares::fitHolding(const GrowthModel& model,
                                               const std::vector<Point>& points,
                                               const Fixed& fixed, const Parameters& start,
                                               Hold hold) {
    const int n = model.parameterCount();
    Fixed held = fixed;
    Parameters p = start;
    detail::Workspace& w = *workspace_;
    const Scale scale(points);
    if (hold.row >= 0 && hold.row < n) {
        held[static_cast<std::size_t>(hold.row)] = true;
        p[static_cast<std::size_t>(hold.row)] = hold.value;
    } else {
        std::size_t pivot = 0;
        std::optional<Quantity> q;
        if (hold.row == kTimeToReach) {
            const auto roles = rolesOf(model);
            pivot = static_cast<std::size_t>(std::find(roles.begin(), roles.end(), Role::Time) -
                                             roles.begin());
            q = model.timeToReach(hold.level, p);
            w.heldReadOut = detail::Workspace::kHeldTime;
            w.heldLevel = hold.level / scale.height;
        } else {
            pivot = static_cast<std::size_t>(model.readOutInfo(hold.row - n).pivot);
            q = model.readOut(hold.row - n, p);
            w.heldReadOut = hold.row - n;
        }
        if (!q) {
            w.heldReadOut = detail::Workspace::kNothingHeld;
            return {false, false, p, std::numeric_limits<double>::infinity()};
        }
        p[pivot] += (hold.value - q->value) / q->gradient[pivot];
        held[pivot] = true;
        w.pivot = pivot;
    }
    const auto unitPoints = scale.toUnit(points);
    const Parameters unit = scale.toUnit(model, p);
    if (w.heldReadOut != detail::Workspace::kNothingHeld) { // the same value, in the fit's units
        w.model = &model;
        w.heldValue = w.heldQuantity(unit)->value;
    }
    // A profile point starts next to its neighbour's optimum: a run that
    // wanders far is not worth following.
    constexpr int kHeldEvaluations = 200;
    w.pastRange = false;
    const Run run = runFrom(w, model, unitPoints, held, unit, nullptr, kHeldEvaluations);
    w.heldReadOut = detail::Workspace::kNothingHeld;
    HeldFit out;
    out.converged = run.outcome == Outcome::Converged;
    out.ranOff = run.outcome == Outcome::RanOff && w.pastRange;
    out.parameters = scale.fromUnit(model, run.parameters);
    out.sse = sumOfSquares(model, points, out.parameters);
    return out;
}

Fit LeastSquares::bestFit(const GrowthModel& model, const std::vector<Point>& points,
                          const Fixed& fixed, const Parameters& current, Starts starts) {
    // A long series: the search runs on an even thinning of it, whose
    // optimum lies close to the whole series' one, and a single run on every
    // point finishes from there. Whatever that run does not settle gets the
    // full search.
    if (points.size() > kLongSeries) {
        const Fit rough = bestFit(model, thinned(points, kThinnedSeries), fixed, current, starts);
        if (rough.status == Status::Ok) {
            Fit fit = solved(model, points, fixed, rough.parameters,
                             [&](const auto& unitPoints, const Parameters& unitStart) {
                                 const Settled s = settledByGaussNewton(model, unitPoints, fixed,
                                                                        unitStart, 12);
                                 if (s.settled) {
                                     return std::vector<Run>{{Outcome::Converged, s.parameters,
                                                              s.sse, s.steps, true,
                                                              s.last.jtj}};
                                 }
                                 return std::vector<Run>{runFrom(*workspace_, model, unitPoints,
                                                                 fixed, s.parameters, nullptr)};
                             });
            if (fit.status == Status::Ok) {
                return fit;
            }
        }
    }
    return solved(model, points, fixed, current,
                  [&](const auto& unitPoints, const Parameters& held) {
                      return runsFrom(*workspace_, model, unitPoints, fixed, held, starts);
                  });
}

} // namespace gompertz::fit
