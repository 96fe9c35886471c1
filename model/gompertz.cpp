#include "gompertz.h"

#include "checked.h"

#include <cmath>

namespace gompertz {
namespace {

struct Exponentials {
    double e1; // exp(-e2)
    double e2; // exp(u)
};

// u = (t - t0) * (-c); E2 = exp(u); E1 = exp(-E2), each result checked.
Exponentials exponentials(const FitState& s, double t) {
    const double u = checked(checked(t - s.t0) * -s.c);
    const double e2 = checked(std::exp(u));
    const double e1 = checked(std::exp(checked(-e2)));
    return {e1, e2};
}

} // namespace

double f(const FitState& s, const double& t) {
    return checked(exponentials(s, t).e1 * s.a);
}

double parL(const FitState& s, const FixFlags& fix, const double& t) {
    if (fix.checkA != 0) {
        return 0.0;
    }
    return exponentials(s, t).e1;
}

double parC(const FitState& s, const FixFlags& fix, const double& t) {
    if (fix.checkC != 0) {
        return 0.0;
    }
    const Exponentials e = exponentials(s, t);
    const double scaled = checked(checked(t - s.t0) * s.a);
    return checked(checked(scaled * e.e1) * e.e2);
}

double parT(const FitState& s, const FixFlags& fix, const double& t) {
    if (fix.checkT0 != 0) {
        return 0.0;
    }
    const Exponentials e = exponentials(s, t);
    const double rate = checked(-s.a * s.c);
    return checked(checked(rate * e.e1) * e.e2);
}

} // namespace gompertz
