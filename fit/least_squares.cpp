#include "least_squares.h"

#include "statistics.h"

#include <cminpack.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_linalg.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
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

// exp(-exp(u)) and exp(u) * exp(-exp(u)) with u = -c (t - t0); where
// exp(u) overflows the product is 0, not inf * 0.
struct Terms {
    double e1 = 0.0;
    double e1e2 = 0.0;
};

Terms terms(const Parameters& p, double t) {
    const double e2 = std::exp(-p[1] * (t - p[2]));
    const double e1 = std::exp(-e2);
    return {e1, std::isfinite(e2) ? e1 * e2 : 0.0};
}

int freeCount(const Fixed& fixed) {
    return static_cast<int>(std::count(fixed.begin(), fixed.end(), false));
}

bool usable(const Parameters& p) {
    return std::all_of(p.begin(), p.end(),
                       [](double v) { return std::isfinite(v) && std::fabs(v) < kHugeParameter; });
}

// The units the solver works in: t = centre + half * u, y = height * v,
// so that u spans [-1, 1] and the largest |v| is 1. Then a = height * A,
// c = C / half and t0 = centre + half * T.
struct Scale {
    double centre = 0.0;
    double half = 1.0;
    double height = 1.0;

    explicit Scale(const std::vector<Point>& points) {
        if (points.empty()) {
            return;
        }
        const auto [lo, hi] = std::minmax_element(
            points.begin(), points.end(), [](const Point& l, const Point& r) { return l.t < r.t; });
        // Halved before the difference, which may exceed the largest double.
        const double span = hi->t / 2 - lo->t / 2;
        half = span > 0.0 ? span : 1.0;
        centre = lo->t + half;
        double top = 0.0;
        for (const Point& point : points) {
            top = std::max(top, std::fabs(point.y));
        }
        height = top > 0.0 ? top : 1.0;
    }

    std::vector<Point> toUnit(const std::vector<Point>& points) const {
        std::vector<Point> out;
        out.reserve(points.size());
        for (const Point& point : points) {
            out.push_back({(point.t - centre) / half, point.y / height});
        }
        return out;
    }
    Parameters toUnit(const Parameters& p) const {
        return {p[0] / height, p[1] * half, (p[2] - centre) / half};
    }
    Parameters fromUnit(const Parameters& q) const {
        return {q[0] * height, q[1] / half, centre + q[2] * half};
    }
    // d(a, c, t0) / d(A, C, T): the covariance's scale.
    std::array<double, 3> factors() const { return {height, 1.0 / half, half}; }
};

// The straight line z = alpha + beta * t by least squares; nothing without
// two distinct t.
std::optional<std::pair<double, double>> line(const std::vector<double>& t,
                                              const std::vector<double>& z) {
    const double n = static_cast<double>(t.size());
    if (t.size() < 2) {
        return std::nullopt;
    }
    const double mt = std::accumulate(t.begin(), t.end(), 0.0) / n;
    const double mz = std::accumulate(z.begin(), z.end(), 0.0) / n;
    double stt = 0.0;
    double stz = 0.0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        stt += (t[i] - mt) * (t[i] - mt);
        stz += (t[i] - mt) * (z[i] - mz);
    }
    if (!(stt > 0.0)) {
        return std::nullopt;
    }
    const double beta = stz / stt;
    return std::pair{mz - beta * mt, beta};
}

// c and t0 from the linearised points at asymptote a (values in the
// orientation where the curve is positive), honouring fixed c or t0.
std::optional<Parameters> linearised(const std::vector<Point>& points, double sign, double a,
                                     const Fixed& fixed, const Parameters& held) {
    std::vector<double> t;
    std::vector<double> z;
    for (const Point& point : points) {
        const double y = sign * point.y;
        if (y > 0.0 && y < a) {
            t.push_back(point.t);
            z.push_back(std::log(-std::log(y / a)));
        }
    }
    Parameters p{sign * a, held[1], held[2]};
    if (fixed[1] && fixed[2]) {
        return p;
    }
    if (fixed[2]) { // z = -c (t - t0): a line through t0
        double szt = 0.0;
        double stt = 0.0;
        for (std::size_t i = 0; i < t.size(); ++i) {
            szt += z[i] * (t[i] - held[2]);
            stt += (t[i] - held[2]) * (t[i] - held[2]);
        }
        if (!(stt > 0.0)) {
            return std::nullopt;
        }
        p[1] = -szt / stt;
        return p;
    }
    double c = held[1];
    double alpha = 0.0;
    if (fixed[1]) {
        if (t.empty() || c == 0.0) {
            return std::nullopt;
        }
        const double n = static_cast<double>(t.size());
        alpha = std::accumulate(z.begin(), z.end(), 0.0) / n +
                c * std::accumulate(t.begin(), t.end(), 0.0) / n;
    } else {
        const auto fitted = line(t, z);
        if (!fitted || fitted->second == 0.0) {
            return std::nullopt;
        }
        alpha = fitted->first;
        c = -fitted->second;
    }
    p[1] = c;
    p[2] = alpha / c;
    return p;
}

// A start for data the line cannot take: the curve through the middle of
// the data, rising or falling with them.
Parameters plainStart(const std::vector<Point>& points, double sign, const Fixed& fixed,
                      const Parameters& held) {
    const auto [lo, hi] = std::minmax_element(
        points.begin(), points.end(), [](const Point& l, const Point& r) { return l.t < r.t; });
    double ymax = 0.0;
    double mt = 0.0;
    for (const Point& point : points) {
        ymax = std::max(ymax, sign * point.y);
        mt += point.t / static_cast<double>(points.size());
    }
    const double span = hi->t - lo->t;
    const double rising = sign * (hi->y - lo->y) >= 0.0 ? 1.0 : -1.0;
    Parameters p{sign * (ymax > 0.0 ? 1.2 * ymax : 1.0), rising * (span > 0.0 ? 4.0 / span : 1.0),
                 mt};
    for (std::size_t j = 0; j < 3; ++j) {
        if (fixed[j]) {
            p[j] = held[j];
        }
    }
    return p;
}

// Within a thousandth of every free parameter of a known optimum, a run
// has joined that optimum's basin: it would end there.

// Within a thousandth of every free parameter of a known optimum, a run
// has joined that optimum's basin: it would end there.
bool joins(const Parameters& p, const Parameters& optimum, const Fixed& fixed) {
    for (std::size_t j = 0; j < 3; ++j) {
        if (!fixed[j] && std::fabs(p[j] - optimum[j]) > 1e-3 * std::fabs(optimum[j]) + 1e-300) {
            return false;
        }
    }
    return true;
}

Parameters unitAutomaticStart(const std::vector<Point>& points, const Fixed& fixed,
                              const Parameters& held) {
    double total = 0.0;
    for (const Point& point : points) {
        total += point.y;
    }
    const double sign = fixed[0] ? (held[0] < 0.0 ? -1.0 : 1.0) : (total < 0.0 ? -1.0 : 1.0);
    double ymax = 0.0;
    for (const Point& point : points) {
        ymax = std::max(ymax, sign * point.y);
    }
    Parameters best = plainStart(points, sign, fixed, held);
    double bestSse = sumOfSquares(points, best);
    const auto consider = [&](double a) {
        const auto p = linearised(points, sign, a, fixed, held);
        if (p && usable(*p)) {
            const double sse = sumOfSquares(points, *p);
            if (sse < bestSse) {
                best = *p;
                bestSse = sse;
            }
        }
    };
    if (fixed[0]) {
        consider(sign * held[0]);
    } else if (ymax > 0.0) {
        for (const double factor : {1.05, 1.5, 3.0, 10.0}) {
            consider(factor * ymax);
        }
    }
    return best;
}

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
};

bool runaway(const Parameters& unit) {
    return !(std::fabs(unit[0]) <= kRunawayAsymptote);
}

} // namespace

namespace detail {

// What one run asks of the model, and what the solver needs kept.
struct Workspace {
    const std::vector<Point>* points = nullptr;
    Fixed fixed{};
    Parameters held{};
    const Parameters* known = nullptr;
    Outcome stopped = Outcome::Converged; // why the model stopped the run, if it did
    std::vector<Terms> terms;
    Parameters termsAt{};
    bool termsValid = false;
    std::vector<double> residuals, jacobian, scratch;

    Parameters at(const double* x) const {
        Parameters p = held;
        for (std::size_t j = 0, k = 0; j < 3; ++j) {
            if (!fixed[j]) {
                p[j] = x[k++];
            }
        }
        return p;
    }

    // The solver asks for the Jacobian at the point whose residuals it has
    // just evaluated: the exponentials are kept for it.
    void evaluateTerms(const Parameters& p) {
        if (termsValid && p == termsAt) {
            return;
        }
        for (std::size_t i = 0; i < points->size(); ++i) {
            terms[i] = fit::terms(p, (*points)[i].t);
        }
        termsAt = p;
        termsValid = true;
    }

    int evaluate(const double* x, double* f, double* J, int ldJ, int iflag) {
        const Parameters p = at(x);
        if (iflag == 1) {
            evaluateTerms(p);
            for (std::size_t i = 0; i < terms.size(); ++i) {
                f[i] = p[0] * terms[i].e1 - (*points)[i].y;
            }
            return 0;
        }
        if (!usable(p)) {
            stopped = Outcome::RanOff;
            return -1;
        }
        if (known != nullptr && joins(p, *known, fixed)) {
            stopped = Outcome::Joined;
            return -1;
        }
        evaluateTerms(p);
        for (std::size_t i = 0; i < terms.size(); ++i) {
            const double dt = (*points)[i].t - p[2];
            const double g[3] = {terms[i].e1, p[0] * dt * terms[i].e1e2,
                                 -p[0] * p[1] * terms[i].e1e2};
            for (std::size_t j = 0, k = 0; j < 3; ++j) {
                if (!fixed[j]) {
                    J[k++ * static_cast<std::size_t>(ldJ) + i] = g[j]; // column-major
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

Run runFrom(detail::Workspace& w, const std::vector<Point>& points, const Fixed& fixed,
            const Parameters& start, const Parameters* known) {
    Run out;
    out.parameters = start;
    if (!usable(start)) {
        return out;
    }
    const int m = static_cast<int>(points.size());
    const int n = freeCount(fixed);
    if (n == 0) { // every parameter held: the curve as it stands
        out.sse = sumOfSquares(points, start);
        out.outcome = Outcome::Converged;
        return out;
    }
    w.points = &points;
    w.fixed = fixed;
    w.held = start;
    w.known = known;
    w.stopped = Outcome::Converged;
    w.termsValid = false;
    w.terms.resize(points.size());
    w.residuals.resize(points.size());
    w.jacobian.resize(points.size() * 3);
    w.scratch.resize(6 * 3 + points.size());
    double x[3] = {};
    for (std::size_t j = 0, k = 0; j < 3; ++j) {
        if (!fixed[j]) {
            x[k++] = start[j];
        }
    }
    double* s = w.scratch.data();
    int ipvt[3] = {};
    int evaluations = 0;
    const int info =
        lmder(evaluate, &w, m, n, x, w.residuals.data(), w.jacobian.data(), m, kTolerance,
              kTolerance, 0.0, kMaxEvaluations, s, 1, 100.0, 0, &evaluations, &out.iterations, ipvt,
              s + 3, s + 6, s + 9, s + 12, s + 15);
    out.parameters = w.at(x);
    out.sse = sumOfSquares(points, out.parameters);
    if (info < 0) {
        out.outcome = w.stopped;
    } else if (!usable(out.parameters) || !std::isfinite(out.sse) || info == 0) {
        out.outcome = Outcome::RanOff;
    } else if (info == 5) {
        out.outcome = Outcome::CapReached;
    } else {
        out.outcome = out.parameters == start ? Outcome::Stalled : Outcome::Converged;
    }
    return out;
}

// The free parameters' columns of the Jacobian at p, one row a point; the
// caller frees it.
gsl_matrix* jacobianAt(const std::vector<Point>& points, const Fixed& fixed, const Parameters& p) {
    gsl_matrix* J = gsl_matrix_alloc(points.size(), static_cast<std::size_t>(freeCount(fixed)));
    for (std::size_t i = 0; i < points.size(); ++i) {
        const auto g = modelGradient(p, points[i].t);
        for (std::size_t j = 0, col = 0; j < 3; ++j) {
            if (!fixed[j]) {
                gsl_matrix_set(J, i, col++, g[j]);
            }
        }
    }
    return J;
}

// The solver stops once the sum of squares no longer falls measurably,
// which in a flat valley leaves the parameters some 1e-8 short of the
// optimum. A Gauss-Newton step, worked out from the Jacobian and the
// residuals rather than from differences of sums, covers the rest; it is
// kept only if the sum does not grow beyond rounding.
Parameters polished(const std::vector<Point>& points, const Fixed& fixed, const Parameters& p) {
    const std::size_t n = points.size();
    const auto k = static_cast<std::size_t>(freeCount(fixed));
    if (k == 0) {
        return p;
    }
    gsl_matrix* J = jacobianAt(points, fixed, p);
    gsl_vector* r = gsl_vector_alloc(n);
    gsl_vector* tau = gsl_vector_alloc(k);
    gsl_vector* step = gsl_vector_alloc(k);
    gsl_vector* left = gsl_vector_alloc(n);
    for (std::size_t i = 0; i < n; ++i) {
        gsl_vector_set(r, i, points[i].y - model(p, points[i].t));
    }
    Parameters out = p;
    if (gsl_linalg_QR_decomp(J, tau) == GSL_SUCCESS &&
        gsl_linalg_QR_lssolve(J, tau, r, step, left) == GSL_SUCCESS) {
        for (std::size_t j = 0, col = 0; j < 3; ++j) {
            if (!fixed[j]) {
                out[j] += gsl_vector_get(step, col++);
            }
        }
    }
    for (gsl_vector* v : {r, tau, step, left}) {
        gsl_vector_free(v);
    }
    gsl_matrix_free(J);
    const double before = sumOfSquares(points, p);
    return usable(out) && sumOfSquares(points, out) <= before * (1 + 1e-12) ? out : p;
}

// The determinant of J^T J with its columns scaled to unit length: 1 for
// independent directions, near 0 when the data cannot tell them apart.
double scaledGramDeterminant(const gsl_matrix* J) {
    const std::size_t p = J->size2;
    double gram[3][3] = {};
    for (std::size_t a = 0; a < p; ++a) {
        for (std::size_t b = 0; b < p; ++b) {
            for (std::size_t i = 0; i < J->size1; ++i) {
                gram[a][b] += gsl_matrix_get(J, i, a) * gsl_matrix_get(J, i, b);
            }
        }
    }
    double scale[3] = {1, 1, 1};
    for (std::size_t a = 0; a < p; ++a) {
        if (!(gram[a][a] > 0.0)) {
            return 0.0;
        }
        scale[a] = 1.0 / std::sqrt(gram[a][a]);
    }
    double g[3][3] = {};
    for (std::size_t a = 0; a < p; ++a) {
        for (std::size_t b = 0; b < p; ++b) {
            g[a][b] = gram[a][b] * scale[a] * scale[b];
        }
    }
    switch (p) {
    case 1:
        return g[0][0];
    case 2:
        return g[0][0] * g[1][1] - g[0][1] * g[1][0];
    default:
        return g[0][0] * (g[1][1] * g[2][2] - g[1][2] * g[2][1]) -
               g[0][1] * (g[1][0] * g[2][2] - g[1][2] * g[2][0]) +
               g[0][2] * (g[1][0] * g[2][1] - g[1][1] * g[2][0]);
    }
}

// s^2 (J^T J)^-1 in the fit's units, from the Jacobian at the optimum;
// none when it cannot be worked out.
void addCovariance(Fit& fit, const std::vector<Point>& unitPoints, const Parameters& unit) {
    const auto p = static_cast<std::size_t>(fit.freeParameters);
    gsl_matrix* J = jacobianAt(unitPoints, fit.fixed, unit);
    gsl_matrix* covar = gsl_matrix_alloc(p, p);
    const double s2 = sumOfSquares(unitPoints, unit) / fit.degreesOfFreedom;
    bool computed = gsl_multifit_nlinear_covar(J, 0.0, covar) == GSL_SUCCESS;
    Matrix3 C{};
    for (std::size_t a = 0, ka = 0; a < 3 && computed; ++a) {
        if (fit.fixed[a]) {
            continue;
        }
        for (std::size_t b = 0, kb = 0; b < 3; ++b) {
            if (!fit.fixed[b]) {
                C[a][b] = s2 * gsl_matrix_get(covar, ka, kb++);
                computed = computed && std::isfinite(C[a][b]);
            }
        }
        ++ka;
    }
    fit.illDetermined = !computed || scaledGramDeterminant(J) < 1e-12;
    if (computed) {
        fit.covariance = C;
    }
    gsl_matrix_free(J);
    gsl_matrix_free(covar);
}

// A square (SSE, variance) scaled back below the smallest normal double,
// whose root in the fit's units, where values and span are about 1, is
// within the digits shown: showing 0 for it would mislead.
bool lost(double unit, double scaled) {
    constexpr double kShownSquare = 1e-28; // a root of 1e-14
    return unit > kShownSquare && !(std::fabs(scaled) >= std::numeric_limits<double>::min());
}

// The covariance in the data's units, and whether a standard error exceeds
// its value (for t0, whose value depends on where t starts: the span of t).
// False when a variance is lost below the double range.
bool finishCovariance(Fit& fit, const Scale& scale) {
    if (!fit.covariance) {
        return true;
    }
    Matrix3& C = *fit.covariance;
    const auto d = scale.factors();
    const double reach[3] = {std::fabs(fit.parameters[0]), std::fabs(fit.parameters[1]),
                             2 * scale.half};
    bool kept = true;
    for (std::size_t a = 0; a < 3; ++a) {
        const double unitVariance = C[a][a];
        for (std::size_t b = 0; b < 3; ++b) {
            C[a][b] = C[a][b] * d[a] * d[b]; // in turn: d[a] * d[b] alone may overflow
        }
        const double variance = C[a][a];
        kept = kept && !lost(unitVariance, variance);
        if (!fit.fixed[a] &&
            (!(std::isfinite(variance) && variance >= 0.0) || std::sqrt(variance) > reach[a])) {
            fit.illDetermined = true;
        }
    }
    return kept;
}

// No result, rather than one with infinite or vanished numbers.
Fit outOfRange(Fit fit) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    fit.status = Status::OutOfRange;
    fit.parameters = {kNaN, kNaN, kNaN};
    fit.sse = kNaN;
    fit.covariance.reset();
    fit.illDetermined = false;
    return fit;
}

} // namespace

double model(const Parameters& p, double t) {
    return p[0] * std::exp(-std::exp(-p[1] * (t - p[2])));
}

std::array<double, 3> modelGradient(const Parameters& p, double t) {
    const Terms k = terms(p, t);
    return {k.e1, p[0] * (t - p[2]) * k.e1e2, -p[0] * p[1] * k.e1e2};
}

double sumOfSquares(const std::vector<Point>& points, const Parameters& p) {
    double sum = 0.0;
    for (const Point& point : points) {
        const double r = model(p, point.t) - point.y;
        sum += r * r;
    }
    return sum;
}

double totalSumOfSquares(const std::vector<Point>& points) {
    double mean = 0.0;
    for (const Point& point : points) {
        mean += point.y / static_cast<double>(points.size());
    }
    double total = 0.0;
    for (const Point& point : points) {
        total += (point.y - mean) * (point.y - mean);
    }
    return total;
}

Parameters automaticStart(const std::vector<Point>& points, const Fixed& fixed,
                          const Parameters& held) {
    if (points.empty()) {
        return held;
    }
    const Scale scale(points);
    return scale.fromUnit(unitAutomaticStart(scale.toUnit(points), fixed, scale.toUnit(held)));
}

LeastSquares::LeastSquares() : workspace_(std::make_unique<detail::Workspace>()) {
    gsl_set_error_handler_off(); // every status is checked here; GSL must never abort
}

LeastSquares::~LeastSquares() = default;

namespace {

// The fit's frame: counts, and the refusals that need no run.
Fit frame(const std::vector<Point>& points, const Fixed& fixed, const Parameters& start) {
    Fit fit;
    fit.fixed = fixed;
    fit.points = static_cast<int>(points.size());
    fit.freeParameters = freeCount(fixed);
    fit.degreesOfFreedom = fit.points - fit.freeParameters;
    fit.parameters = start;
    fit.status = points.empty()              ? Status::NoData
                 : fit.degreesOfFreedom <= 0 ? Status::TooFewPoints
                                             : Status::Ok;
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
    const Run* converged = nullptr;
    const Run* other = nullptr;
    bool ranAway = false;
    for (const Run& run : runs) {
        if (run.outcome == Outcome::Converged && lower(&run, converged)) {
            converged = &run;
        } else if (run.outcome == Outcome::RanOff) {
            ranAway = ranAway || runaway(run.parameters);
        } else if (std::isfinite(run.sse) && lower(&run, other)) {
            other = &run;
        }
    }
    const Run* kept = converged != nullptr ? converged : other;
    if (kept == nullptr) {
        fit.status = ranAway ? Status::NoPlateau : Status::NoFiniteOptimum;
        return fit;
    }
    const Parameters unit =
        converged != nullptr ? polished(unitPoints, fit.fixed, kept->parameters) : kept->parameters;
    fit.parameters = scale.fromUnit(unit);
    fit.sse = sumOfSquares(points, fit.parameters);
    fit.iterations = kept->iterations;
    // In the fit's units, where the sum about the mean cannot overflow.
    const double unitSse = sumOfSquares(unitPoints, unit);
    bool inRange = !lost(unitSse, unitSse * scale.height * scale.height);
    if (!fit.fixed[0] && (runaway(kept->parameters) || (converged == nullptr && ranAway))) {
        fit.status = Status::NoPlateau;
        return fit;
    }
    // c = 0 is a flat line, whose lag lies at infinity.
    if (converged != nullptr && (unitSse > totalSumOfSquares(unitPoints) || unit[1] == 0.0)) {
        fit.status = Status::NoGrowth;
        return fit;
    }
    if (converged == nullptr) {
        fit.status = Status::NotConverged;
    } else {
        fit.status = Status::Ok;
        if (fit.freeParameters > 0) {
            addCovariance(fit, unitPoints, unit);
            inRange = finishCovariance(fit, scale) && inRange;
        } else {
            fit.covariance = Matrix3{}; // every parameter held: nothing varies
        }
    }
    return inRange && representable(fit, points) ? fit : outOfRange(fit);
}

// The runs behind the optimum: from the automatic start, then from the
// window's parameters until it joins the first optimum, and from five more
// starts around the automatic one only when neither converged.
std::vector<Run> runsFrom(detail::Workspace& w, const std::vector<Point>& unitPoints,
                          const Fixed& fixed, const Parameters& held) {
    const Parameters start = unitAutomaticStart(unitPoints, fixed, held);
    std::vector<Run> runs;
    runs.reserve(7);
    runs.push_back(runFrom(w, unitPoints, fixed, start, nullptr));
    const bool found = runs[0].outcome == Outcome::Converged;
    runs.push_back(runFrom(w, unitPoints, fixed, held, found ? &runs[0].parameters : nullptr));
    if (runs[1].outcome == Outcome::Joined) {
        runs.pop_back();
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
            runs.push_back(runFrom(w, unitPoints, fixed, p, nullptr));
        }
    }
    return runs;
}

// The frame, the fit's units, the runs and what they come to; runs(unit
// points, start in the fit's units) makes the runs.
template <typename MakeRuns>
Fit solved(const std::vector<Point>& points, const Fixed& fixed, const Parameters& start,
           MakeRuns runs) {
    Fit fit = frame(points, fixed, start);
    if (fit.status != Status::Ok) {
        return fit;
    }
    const Scale scale(points);
    const auto unitPoints = scale.toUnit(points);
    return conclude(fit, runs(unitPoints, scale.toUnit(start)), points, unitPoints, scale);
}

} // namespace

Fit LeastSquares::fitFrom(const std::vector<Point>& points, const Fixed& fixed,
                          const Parameters& start) {
    return solved(points, fixed, start, [&](const auto& unitPoints, const Parameters& unitStart) {
        return std::vector<Run>{runFrom(*workspace_, unitPoints, fixed, unitStart, nullptr)};
    });
}

Fit LeastSquares::bestFit(const std::vector<Point>& points, const Fixed& fixed,
                          const Parameters& current) {
    return solved(points, fixed, current, [&](const auto& unitPoints, const Parameters& held) {
        return runsFrom(*workspace_, unitPoints, fixed, held);
    });
}

} // namespace gompertz::fit
