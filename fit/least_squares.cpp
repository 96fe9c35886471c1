#include "least_squares.h"

#include <gsl/gsl_blas.h>
#include <gsl/gsl_errno.h>
#include <gsl/gsl_matrix.h>
#include <gsl/gsl_multifit_nlinear.h>
#include <gsl/gsl_vector.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numeric>
#include <optional>
#include <utility>

namespace gompertz::fit {
namespace {

constexpr int kMaxIterations = 500;
constexpr double kTolerance = 1e-12;
// Runs that end beyond this have run off along a flat direction (a step
// function with c near -1e50, say): failed, whatever the solver reports.
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

struct Problem {
    const std::vector<Point>* points = nullptr;
    Fixed fixed{};
    Parameters held{};
    // The solver asks for the Jacobian at the point whose residuals it has
    // just evaluated: the exponentials are kept for it.
    Parameters cachedAt{};
    bool cached = false;
    std::vector<Terms> terms;

    Parameters at(const gsl_vector* x) const {
        Parameters p = held;
        std::size_t k = 0;
        for (std::size_t j = 0; j < 3; ++j) {
            if (!fixed[j]) {
                p[j] = gsl_vector_get(x, k++);
            }
        }
        return p;
    }

    const std::vector<Terms>& termsAt(const Parameters& p) {
        if (!cached || p != cachedAt) {
            terms.resize(points->size());
            for (std::size_t i = 0; i < points->size(); ++i) {
                terms[i] = fit::terms(p, (*points)[i].t);
            }
            cachedAt = p;
            cached = true;
        }
        return terms;
    }
};

int residuals(const gsl_vector* x, void* data, gsl_vector* f) {
    auto& problem = *static_cast<Problem*>(data);
    const Parameters p = problem.at(x);
    const auto& terms = problem.termsAt(p);
    for (std::size_t i = 0; i < terms.size(); ++i) {
        f->data[i * f->stride] = p[0] * terms[i].e1 - (*problem.points)[i].y;
    }
    return GSL_SUCCESS;
}

int jacobian(const gsl_vector* x, void* data, gsl_matrix* J) {
    auto& problem = *static_cast<Problem*>(data);
    const Parameters p = problem.at(x);
    const auto& terms = problem.termsAt(p);
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const double dt = (*problem.points)[i].t - p[2];
        const double g[3] = {terms[i].e1, p[0] * dt * terms[i].e1e2, -p[0] * p[1] * terms[i].e1e2};
        double* row = J->data + i * J->tda;
        for (std::size_t j = 0; j < 3; ++j) {
            if (!problem.fixed[j]) {
                *row++ = g[j];
            }
        }
    }
    return GSL_SUCCESS;
}

bool usable(const Parameters& p) {
    return std::all_of(p.begin(), p.end(),
                       [](double v) { return std::isfinite(v) && std::fabs(v) < kHugeParameter; });
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
    const auto [lo, hi] = std::minmax_element(points.begin(), points.end(),
                                              [](const Point& l, const Point& r) { return l.t < r.t; });
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
bool joins(const Parameters& p, const Parameters& optimum, const Fixed& fixed) {
    for (std::size_t j = 0; j < 3; ++j) {
        if (!fixed[j] && std::fabs(p[j] - optimum[j]) > 1e-3 * std::fabs(optimum[j]) + 1e-300) {
            return false;
        }
    }
    return true;
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

Parameters automaticStart(const std::vector<Point>& points, const Fixed& fixed,
                          const Parameters& held) {
    if (points.empty()) {
        return held;
    }
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

struct LeastSquares::Workspaces {
    std::map<std::pair<std::size_t, std::size_t>, gsl_multifit_nlinear_workspace*> byShape;
    gsl_matrix* covariance[4] = {};

    ~Workspaces() {
        for (auto& [shape, w] : byShape) {
            gsl_multifit_nlinear_free(w);
        }
        for (gsl_matrix* m : covariance) {
            if (m != nullptr) {
                gsl_matrix_free(m);
            }
        }
    }

    gsl_multifit_nlinear_workspace* forShape(std::size_t n, std::size_t p) {
        auto& w = byShape[{n, p}];
        if (w == nullptr) {
            gsl_multifit_nlinear_parameters params = gsl_multifit_nlinear_default_parameters();
            params.trs = gsl_multifit_nlinear_trs_lm;
            params.solver = gsl_multifit_nlinear_solver_cholesky;
            w = gsl_multifit_nlinear_alloc(gsl_multifit_nlinear_trust, &params, n, p);
        }
        return w;
    }

    gsl_matrix* covarianceOf(std::size_t p) {
        if (covariance[p] == nullptr) {
            covariance[p] = gsl_matrix_alloc(p, p);
        }
        return covariance[p];
    }
};

LeastSquares::LeastSquares() : workspaces_(std::make_unique<Workspaces>()) {
    gsl_set_error_handler_off(); // every status is checked here; GSL must never abort
}

LeastSquares::~LeastSquares() = default;

Fit LeastSquares::fitFrom(const std::vector<Point>& points, const Fixed& fixed,
                          const Parameters& start) {
    return run(points, fixed, start, nullptr);
}

Fit LeastSquares::run(const std::vector<Point>& points, const Fixed& fixed, const Parameters& start,
                      const Fit* known) {
    Fit fit;
    fit.fixed = fixed;
    fit.points = static_cast<int>(points.size());
    fit.freeParameters = freeCount(fixed);
    fit.degreesOfFreedom = fit.points - fit.freeParameters;
    fit.parameters = start;
    if (points.empty()) {
        fit.status = Status::NoData;
        return fit;
    }
    if (fit.degreesOfFreedom <= 0) {
        fit.status = Status::TooFewPoints;
        return fit;
    }
    fit.status = Status::NoFiniteOptimum;
    if (!usable(start)) {
        return fit;
    }
    if (fit.freeParameters == 0) {
        fit.sse = sumOfSquares(points, start);
        fit.status = std::isfinite(fit.sse) ? Status::Ok : Status::NoFiniteOptimum;
        return fit;
    }
    const auto n = points.size();
    const auto p = static_cast<std::size_t>(fit.freeParameters);
    Problem problem;
    problem.points = &points;
    problem.fixed = fixed;
    problem.held = start;
    gsl_multifit_nlinear_fdf fdf{};
    fdf.f = residuals;
    fdf.df = jacobian;
    fdf.n = n;
    fdf.p = p;
    fdf.params = &problem;

    double x0data[3];
    gsl_vector_view x0 = gsl_vector_view_array(x0data, p);
    for (std::size_t j = 0, k = 0; j < 3; ++j) {
        if (!fixed[j]) {
            x0data[k++] = start[j];
        }
    }
    gsl_multifit_nlinear_workspace* w = workspaces_->forShape(n, p);
    if (w == nullptr || gsl_multifit_nlinear_init(&x0.vector, &fdf, w) != GSL_SUCCESS) {
        return fit;
    }
    int info = 0;
    for (int iteration = 0; iteration < kMaxIterations; ++iteration) {
        // No further progress is where the solver stands: judged below.
        if (gsl_multifit_nlinear_iterate(w) != GSL_SUCCESS) {
            break;
        }
        const Parameters p = problem.at(gsl_multifit_nlinear_position(w));
        if (!usable(p)) {
            break;
        }
        if (known != nullptr && joins(p, known->parameters, fixed)) {
            return *known;
        }
        if (gsl_multifit_nlinear_test(kTolerance, kTolerance, 0.0, &info, w) == GSL_SUCCESS) {
            break;
        }
    }
    fit.iterations = static_cast<int>(gsl_multifit_nlinear_niter(w));
    fit.parameters = problem.at(gsl_multifit_nlinear_position(w));
    double norm = 0.0;
    gsl_blas_ddot(gsl_multifit_nlinear_residual(w), gsl_multifit_nlinear_residual(w), &norm);
    fit.sse = norm;
    if (!usable(fit.parameters) || !std::isfinite(fit.sse)) {
        return fit;
    }
    fit.status = Status::Ok;

    const gsl_matrix* J = gsl_multifit_nlinear_jac(w);
    gsl_matrix* covar = workspaces_->covarianceOf(p);
    const double s2 = fit.sse / fit.degreesOfFreedom;
    const bool computed = gsl_multifit_nlinear_covar(J, 0.0, covar) == GSL_SUCCESS;
    fit.illDetermined = !computed || scaledGramDeterminant(J) < 1e-12;
    for (std::size_t a = 0, ka = 0; a < 3; ++a) {
        if (fixed[a]) {
            continue;
        }
        for (std::size_t b = 0, kb = 0; b < 3; ++b) {
            if (!fixed[b]) {
                fit.covariance[a][b] = computed ? s2 * gsl_matrix_get(covar, ka, kb++) : kInf;
            }
        }
        const double variance = fit.covariance[a][a];
        if (!(std::isfinite(variance) && variance >= 0.0) ||
            std::sqrt(variance) > std::fabs(fit.parameters[a])) {
            fit.illDetermined = true;
        }
        ++ka;
    }
    return fit;
}

Fit LeastSquares::bestFit(const std::vector<Point>& points, const Fixed& fixed,
                          const Parameters& current) {
    const Fit fromCurrent = fitFrom(points, fixed, current);
    if (fromCurrent.status == Status::NoData || fromCurrent.status == Status::TooFewPoints) {
        return fromCurrent;
    }
    const auto better = [](const Fit& candidate, const Fit& than) {
        return candidate.status == Status::Ok &&
               (than.status != Status::Ok || candidate.sse < than.sse);
    };
    const Fit* known = fromCurrent.status == Status::Ok ? &fromCurrent : nullptr;
    // The model-aware start is usually near the optimum: where the run from
    // the window's parameters found it, this one joins it within a few
    // iterations.
    const Parameters start = automaticStart(points, fixed, current);
    const Fit fromStart = run(points, fixed, start, known);
    Fit best = better(fromStart, fromCurrent) ? fromStart : fromCurrent;
    if (fromStart.status == Status::Ok && !better(fromCurrent, fromStart)) {
        return best;
    }
    // The model-aware start failed, or led to a worse minimum than the
    // window's parameters: look around it.
    const double factors[][2] = {{2.0, 1.0}, {1.0, 0.5}, {1.0, 2.0}, {0.8, 1.0}, {4.0, 0.5}};
    for (const auto& factor : factors) {
        Parameters p = start;
        for (std::size_t j = 0; j < 2; ++j) {
            if (!fixed[j]) {
                p[j] *= factor[j];
            }
        }
        const Fit candidate = run(points, fixed, p, best.status == Status::Ok ? &best : nullptr);
        if (better(candidate, best)) {
            best = candidate;
        }
    }
    return best;
}

} // namespace gompertz::fit
