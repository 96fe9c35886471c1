#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace gompertz::fit {

// The growth models the analysis fits, behind one seam: each gives its
// names, its curve with the gradient computed alongside, its own start and
// the quantities a biologist reads off it. Plain types only.

// A measured value with its weight in the sum of squares: 1 unweighted, or
// inversely proportional to the value's variance.
struct Point {
    double t = 0.0;
    double y = 0.0;
    double weight = 1.0;
};

// No model has more parameters than this; unused places are zero.
inline constexpr std::size_t kMaxParameters = 4;
// a, c, t0 first in every model, then the model's own (y0, ν).
using Parameters = std::array<double, kMaxParameters>;
// Which parameters are held at their given value.
using Fixed = std::array<bool, kMaxParameters>;
// Derivatives in the parameters, in the parameters' order.
using Gradient = std::array<double, kMaxParameters>;

// How a parameter goes with the units, t = centre + half * u and
// y = height * v, and what its value means for the fit.
enum class Role {
    Amplitude, // scales with y; beyond the data by far, the curve has no plateau
    Level,     // scales with y: a baseline
    Rate,      // scales with 1 / t; zero is a flat curve
    Time,      // shifts and scales with t
    Shape,     // no unit, positive: the solver moves its logarithm
};

struct ParameterInfo {
    const char* name;  // "a", as the formula writes it
    const char* label; // the results table's row, "t0 (punto de inflexión)"
    Role role;
};

// A quantity read off the curve: its value and gradient in the parameters.
struct Quantity {
    double value = 0.0;
    Gradient gradient{};
};

// A read-out's row in the results, and the parameter it is linear in, so
// that holding the read-out at a value fixes that parameter given the others.
struct ReadOutInfo {
    const char* label;
    int pivot;
};

class GrowthModel {
  public:
    virtual ~GrowthModel() = default;

    // "Gompertz", as the model selector and the reports name it.
    virtual const char* name() const = 0;
    // The model within a sentence: "el modelo de Gompertz".
    virtual const char* inSentence() const = 0;
    // The curve as a report writes it: "f(t) = a·exp(−exp(−c·(t − t0)))".
    virtual const char* formula() const = 0;
    virtual int parameterCount() const = 0;
    virtual ParameterInfo parameter(int j) const = 0;

    // f(t), and its gradient into g, sharing the exponentials. Finite
    // wherever the curve is, also where an inner exponential overflows.
    virtual double valueAndGradient(const Parameters& p, double t, Gradient& g) const = 0;
    virtual double value(const Parameters& p, double t) const = 0;
    // The same at the t of n points at once, into values[i] (and
    // gradients[i]): one point at a time unless the model works out its
    // exponentials in blocks.
    virtual void valuesAndGradients(const Parameters& p, const Point* points, std::size_t n,
                                    double* values, Gradient* gradients) const {
        for (std::size_t i = 0; i < n; ++i) {
            values[i] = valueAndGradient(p, points[i].t, gradients[i]);
        }
    }
    virtual void values(const Parameters& p, const Point* points, std::size_t n,
                        double* values) const {
        for (std::size_t i = 0; i < n; ++i) {
            values[i] = value(p, points[i].t);
        }
    }

    // A start from the points in the fit's units (t in [-1, 1], the largest
    // |y| 1); fixed parameters keep their value in held. Copes with zero or
    // negative values, repeated t, decreasing data and few usable points.
    virtual Parameters start(const std::vector<Point>& unitPoints, const Fixed& fixed,
                             const Parameters& held) const = 0;

    // The value at the inflection, the largest growth rate, the lag (where
    // the tangent at the inflection meets the lower asymptote), and any of
    // the model's own, in that order.
    virtual int readOutCount() const { return 3; }
    virtual ReadOutInfo readOutInfo(int k) const = 0;
    virtual Quantity readOut(int k, const Parameters& p) const = 0;

    // The t at which the curve reaches y, with its gradient in the
    // parameters; nothing when the curve never reaches y. It is t0 plus a
    // function of the other parameters: linear in t0.
    virtual std::optional<Quantity> timeToReach(double y, const Parameters& p) const = 0;

    // Whether the Gompertz curve is one of this model's curves, so that the
    // extra sum of squares F test compares them.
    virtual bool containsGompertz() const { return false; }

    // The main window's Gompertz a, c, t0 as a start for this model, its own
    // parameters where they make it the nearest curve.
    virtual Parameters fromGompertz(const Parameters& gompertz) const { return gompertz; }
};

// Every model the analysis offers, in the selector's order; Gompertz first.
const std::vector<const GrowthModel*>& growthModels();
const GrowthModel& gompertzModel();

// The parameters' roles, in order, for code that scales or checks them.
std::vector<Role> rolesOf(const GrowthModel& model);

} // namespace gompertz::fit
