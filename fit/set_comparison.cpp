#include "set_comparison.h"

#include "report.h"

#include "model/number_text.h"
#include "statistics.h"
#include "units.h"

#include <cminpack.h>
#include <gsl/gsl_cdf.h>

#include <algorithm>
#include <cmath>

namespace gompertz::fit {
namespace {

std::size_t countOf(const GrowthModel& model) {
    return static_cast<std::size_t>(model.parameterCount());
}

// One unknown of the joint fit: parameter j of both sets, or of one.
struct Slot {
    std::size_t j;
    int sets; // 0 both, 1 the first, 2 the second
};

// The joint problem in the single fits' units (units.h); a shape moves by
// its logarithm.
struct Joint {
    const GrowthModel* model;
    std::vector<Point> first, second;
    Parameters heldFirst{}, heldSecond{};
    std::vector<Slot> slots;
    std::vector<bool> logarithmic;

    void split(const double* x, Parameters& p1, Parameters& p2) const {
        p1 = heldFirst;
        p2 = heldSecond;
        for (std::size_t k = 0; k < slots.size(); ++k) {
            const double v = logarithmic[k] ? std::exp(x[k]) : x[k];
            if (slots[k].sets != 2) {
                p1[slots[k].j] = v;
            }
            if (slots[k].sets != 1) {
                p2[slots[k].j] = v;
            }
        }
    }

    int evaluate(const double* x, double* f, double* J, int ldJ, int iflag) const {
        Parameters p1, p2;
        split(x, p1, p2);
        std::size_t row = 0;
        for (int set = 1; set <= 2; ++set) {
            const Parameters& p = set == 1 ? p1 : p2;
            for (const Point& point : set == 1 ? first : second) {
                Gradient g{};
                const double value = model->valueAndGradient(p, point.t, g);
                const double root = std::sqrt(point.weight);
                if (iflag == 1) {
                    f[row] = (value - point.y) * root;
                    if (!std::isfinite(f[row])) {
                        return -1;
                    }
                } else {
                    for (std::size_t k = 0; k < slots.size(); ++k) {
                        const bool mine = slots[k].sets == 0 || slots[k].sets == set;
                        const double d = mine ? g[slots[k].j] : 0.0;
                        const double v = logarithmic[k] ? d * p[slots[k].j] : d;
                        J[k * static_cast<std::size_t>(ldJ) + row] = v * root;
                    }
                }
                ++row;
            }
        }
        return 0;
    }
};

int evaluateJoint(void* data, int, int, const double* x, double* f, double* J, int ldJ,
                  int iflag) {
    return static_cast<const Joint*>(data)->evaluate(x, f, J, ldJ, iflag);
}

JointFit runJoint(Joint& joint, const Parameters& start1, const Parameters& start2) {
    JointFit out;
    std::vector<double> x;
    for (std::size_t k = 0; k < joint.slots.size(); ++k) {
        const Slot& s = joint.slots[k];
        const double v = s.sets == 2 ? start2[s.j] : start1[s.j];
        if (joint.logarithmic[k] && !(v > 0.0)) {
            return out;
        }
        x.push_back(joint.logarithmic[k] ? std::log(v) : v);
    }
    const int m = static_cast<int>(joint.first.size() + joint.second.size());
    const int n = static_cast<int>(x.size());
    out.freeParameters = n;
    if (n == 0 || m < n) {
        return out;
    }
    std::vector<double> f(static_cast<std::size_t>(m));
    std::vector<double> J(static_cast<std::size_t>(m) * static_cast<std::size_t>(n));
    std::vector<int> ipvt(static_cast<std::size_t>(n));
    std::vector<double> wa(static_cast<std::size_t>(5 * n + m));
    const int info = lmder1(evaluateJoint, &joint, m, n, x.data(), f.data(), J.data(), m, 1e-12,
                            ipvt.data(), wa.data(), static_cast<int>(wa.size()));
    joint.split(x.data(), out.first, out.second);
    double sse = 0.0;
    for (const double r : f) {
        sse += r * r;
    }
    out.sse = sse;
    out.converged = info >= 1 && info <= 4 && std::isfinite(sse);
    return out;
}

// Wald's test of a difference against zero, as an F on 1 degree.
FTest waldTest(double difference, double error, int degrees) {
    const double t = difference / error;
    return {t * t, 2 * gsl_cdf_tdist_Q(std::fabs(t), degrees)};
}

// "el parámetro c", "la tasa máxima de crecimiento": a row's label as a
// thing a sentence lists.
std::string listed(const std::string& label, bool parameter) {
    const std::string name = labelInSentence(label.substr(0, label.find(" (")));
    if (parameter) {
        return "el parámetro " + name;
    }
    return (name.rfind("valor", 0) == 0 ? "el " : "la ") + name;
}

std::string pText(double p) {
    return p < 0.001 ? "p < 0,001" : "p = " + formatNumber(p, 2);
}

// "a, b y c".
std::string series(const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        out += i == 0 ? "" : i + 1 == items.size() ? " y " : ", ";
        out += items[i];
    }
    return out;
}

// The verdict on the common curve, naming the sets once, then what differs
// at p < 0,05, each with its p.
std::string sentenceOf(const SetComparison& c, const std::string& a, const std::string& b) {
    const std::string sets = "«" + a + "» y «" + b + "»";
    if (!c.common) {
        return "No quedan grados de libertad para comparar " + sets + ".";
    }
    std::vector<std::string> differing;
    for (const SetDifference& d : c.differences) {
        if (d.test && d.test->p < 0.05) {
            differing.push_back(listed(d.label, d.parameter) + " (" + pText(d.test->p) + ")");
        }
    }
    std::string out;
    if (c.common->p < 0.05) {
        out = "Las curvas de " + sets + " difieren (" + pText(c.common->p) + ").";
        out += differing.empty() ? std::string(" Ninguna magnitud difiere por sí sola (p ≥ 0,05).")
                                 : " Difieren en " + series(differing) + ".";
    } else {
        out = "Los datos no muestran diferencia entre las curvas de " + sets + " (" +
              pText(c.common->p) + ").";
        if (!differing.empty()) {
            out += " Por separado, difieren en " + series(differing) + ".";
        }
    }
    return withMinusSigns(out);
}

} // namespace

JointFit fitJointly(const GrowthModel& model, const std::vector<Point>& first,
                    const std::vector<Point>& second, const Fixed& fixed,
                    const std::array<bool, kMaxParameters>& shared, const Parameters& startFirst,
                    const Parameters& startSecond) {
    if (first.empty() || second.empty()) {
        return {};
    }
    std::vector<Point> both = first;
    both.insert(both.end(), second.begin(), second.end());
    const Scale units(both);
    Joint joint{&model, units.toUnit(first), units.toUnit(second), {}, {}, {}, {}};
    const Parameters u1 = units.toUnit(model, startFirst);
    const Parameters u2 = units.toUnit(model, startSecond);
    joint.heldFirst = u1;
    joint.heldSecond = u1; // a fixed parameter holds one value for both
    for (std::size_t j = 0; j < countOf(model); ++j) {
        if (fixed[j]) {
            continue;
        }
        const bool shape = model.parameter(static_cast<int>(j)).role == Role::Shape;
        if (shared[j]) {
            joint.slots.push_back({j, 0});
            joint.logarithmic.push_back(shape);
        } else {
            joint.slots.push_back({j, 1});
            joint.slots.push_back({j, 2});
            joint.logarithmic.push_back(shape);
            joint.logarithmic.push_back(shape);
        }
    }
    // Shared values start from each set's and from their mean; the lowest
    // converged sum of squares is kept.
    JointFit best;
    for (const double share : {0.5, 0.0, 1.0}) {
        Parameters s1 = u1, s2 = u2;
        for (std::size_t j = 0; j < countOf(model); ++j) {
            if (shared[j] && !fixed[j]) {
                s1[j] = (1 - share) * u1[j] + share * u2[j];
            }
        }
        JointFit run = runJoint(joint, s1, s2);
        if (run.converged && (!best.converged || run.sse < best.sse)) {
            best = run;
        }
    }
    best.first = units.fromUnit(model, best.first);
    best.second = units.fromUnit(model, best.second);
    best.sse = sumOfSquares(model, first, best.first) + sumOfSquares(model, second, best.second);
    return best;
}

SetComparison compareSets(LeastSquares& solver, const GrowthModel& model,
                          const std::vector<Point>& first, const std::vector<Point>& second,
                          const Fixed& fixed, const Parameters& held, const std::string& firstName,
                          const std::string& secondName) {
    SetComparison out;
    out.first = solver.bestFit(model, first, fixed, held, LeastSquares::Starts::Automatic);
    out.second = solver.bestFit(model, second, fixed, held, LeastSquares::Starts::Automatic);
    for (const auto& [fit, name] : {std::pair{&out.first, &firstName}, {&out.second, &secondName}}) {
        if (fit->status != Status::Ok) {
            out.status = fit->status;
            out.failure = "No se puede ajustar «" + *name + "»: " + statusInWords(fit->status) + ".";
            return out;
        }
    }
    const int k = out.first.freeParameters;
    const int n = out.first.points + out.second.points;
    out.sseSeparate = out.first.sse + out.second.sse;
    out.dfSeparate = n - 2 * k;
    // One curve for both: from the union's own best fit, and from the two
    // curves drawn together.
    std::array<bool, kMaxParameters> all{};
    all.fill(true);
    JointFit common = fitJointly(model, first, second, fixed, all, out.first.parameters,
                                 out.second.parameters);
    std::vector<Point> both = first;
    both.insert(both.end(), second.begin(), second.end());
    const Fit pooled = solver.bestFit(model, both, fixed, held, LeastSquares::Starts::Automatic);
    if (pooled.status == Status::Ok && (!common.converged || pooled.sse < common.sse)) {
        common = {true, pooled.parameters, pooled.parameters, pooled.sse, k};
    }
    if (!common.converged) {
        out.status = Status::NotConverged;
        out.failure = "No se encuentra una curva común para «" + firstName + "» y «" +
                      secondName + "».";
        return out;
    }
    out.sseCommon = common.sse;
    out.dfCommon = n - k;
    const double pooledVariance = out.sseSeparate / out.dfSeparate;
    const auto fTest = [&](double sseSmaller, int extra) -> std::optional<FTest> {
        if (out.dfSeparate < 1 || extra < 1 || !(out.sseSeparate > 0.0)) {
            return std::nullopt;
        }
        const double f = std::max(0.0, (sseSmaller - out.sseSeparate) / extra / pooledVariance);
        return FTest{f, gsl_cdf_fdist_Q(f, extra, out.dfSeparate)};
    };
    out.common = fTest(out.sseCommon, out.dfSeparate > 0 ? k : 0);
    const double q = studentQuantile975(out.dfSeparate);
    // Each fit's covariance under the pooled variance.
    const auto pooledCovariance = [&](const Fit& fit) {
        Matrix c = *fit.covariance;
        const double ratio = pooledVariance / (fit.sse / fit.degreesOfFreedom);
        for (auto& row : c) {
            for (double& v : row) {
                v *= ratio;
            }
        }
        return c;
    };
    const bool withErrors = out.first.covariance && out.second.covariance && out.dfSeparate > 0 &&
                            out.first.sse > 0.0 && out.second.sse > 0.0;
    const Matrix c1 = withErrors ? pooledCovariance(out.first) : Matrix{};
    const Matrix c2 = withErrors ? pooledCovariance(out.second) : Matrix{};
    const auto row = [&](const std::string& label, bool parameter, double v1, double v2,
                         const Gradient& g1, const Gradient& g2) {
        SetDifference d;
        d.label = label;
        d.parameter = parameter;
        d.difference = v2 - v1;
        if (withErrors) {
            double variance = 0.0;
            for (std::size_t a = 0; a < kMaxParameters; ++a) {
                for (std::size_t b = 0; b < kMaxParameters; ++b) {
                    variance += g1[a] * c1[a][b] * g1[b] + g2[a] * c2[a][b] * g2[b];
                }
            }
            if (variance > 0.0 && std::isfinite(variance)) {
                d.standardError = std::sqrt(variance);
                d.lower = d.difference - q * *d.standardError;
                d.upper = d.difference + q * *d.standardError;
            }
        }
        return d;
    };
    for (std::size_t j = 0; j < countOf(model); ++j) {
        if (fixed[j]) {
            continue;
        }
        Gradient unit{};
        unit[j] = 1.0;
        SetDifference d = row(model.parameter(static_cast<int>(j)).label, true,
                              out.first.parameters[j], out.second.parameters[j], unit, unit);
        std::array<bool, kMaxParameters> one{};
        one[j] = true;
        const JointFit sharedFit = fitJointly(model, first, second, fixed, one,
                                              out.first.parameters, out.second.parameters);
        if (sharedFit.converged) {
            d.test = fTest(std::max(sharedFit.sse, out.sseSeparate), 1);
        }
        out.differences.push_back(d);
    }
    for (int r = 0; r < model.readOutCount(); ++r) {
        const Quantity q1 = model.readOut(r, out.first.parameters);
        const Quantity q2 = model.readOut(r, out.second.parameters);
        Gradient g1 = q1.gradient, g2 = q2.gradient;
        for (std::size_t j = 0; j < kMaxParameters; ++j) {
            g1[j] = fixed[j] ? 0.0 : g1[j];
            g2[j] = fixed[j] ? 0.0 : g2[j];
        }
        SetDifference d = row(model.readOutInfo(r).label, false, q1.value, q2.value, g1, g2);
        if (d.standardError) {
            d.test = waldTest(d.difference, *d.standardError, out.dfSeparate);
        }
        out.differences.push_back(d);
    }
    out.sentence = sentenceOf(out, firstName, secondName);
    return out;
}

} // namespace gompertz::fit
