#include "block_exp.h"

#include <cmath>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>

// glibc's libmvec: exp of four doubles (the x86-64 vector ABI, AVX2).
extern "C" __m256d _ZGVdN4v_exp(__m256d);

namespace gompertz::fit {
namespace {

__attribute__((target("avx2"))) void expAvx2(double* x, std::size_t n) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        _mm256_storeu_pd(x + i, _ZGVdN4v_exp(_mm256_loadu_pd(x + i)));
    }
    for (; i < n; ++i) {
        x[i] = std::exp(x[i]);
    }
}

bool hasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

} // namespace

void expInPlace(double* x, std::size_t n) {
    if (hasAvx2()) {
        expAvx2(x, n);
        return;
    }
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = std::exp(x[i]);
    }
}

} // namespace gompertz::fit

#else

namespace gompertz::fit {

void expInPlace(double* x, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = std::exp(x[i]);
    }
}

} // namespace gompertz::fit

#endif
