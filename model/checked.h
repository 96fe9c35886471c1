#pragma once

#include "errors.h"

#include <cmath>
#include <cstdint>

// The overflow checks below rely on infinities and NaNs surviving compilation.
#if defined(__FAST_MATH__) || (defined(__FINITE_MATH_ONLY__) && __FINITE_MATH_ONLY__)
#error "Gompertz must not be built with -ffast-math or -ffinite-math-only"
#endif

namespace gompertz {

// Every floating-point result goes through this: with finite operands a
// non-finite result means exactly an overflow, a division by zero or an
// invalid operation. Underflow to 0 passes.
inline double checked(double value) {
    if (!std::isfinite(value)) {
        throw OverflowError();
    }
    return value;
}

// Stores first, then checks, so that the value that overflowed is left where
// it was assigned.
inline void assignChecked(double& target, double value) {
    target = value;
    checked(value);
}

// Double to 16-bit signed integer, halves to even.
inline std::int16_t nearest(double value) {
    const double rounded = std::nearbyint(checked(value)); // default mode: to even
    if (rounded < -32768.0 || rounded > 32767.0) {
        throw OverflowError();
    }
    return static_cast<std::int16_t>(rounded);
}

} // namespace gompertz
