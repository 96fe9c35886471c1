#pragma once

#include <cstddef>

namespace gompertz::fit {

// exp of each of n values, in place: four at a time with glibc's vector
// math library where the processor has AVX2 (within 4 ulp, as libmvec
// promises), std::exp otherwise. For the curves of long series.
void expInPlace(double* x, std::size_t n);

} // namespace gompertz::fit
