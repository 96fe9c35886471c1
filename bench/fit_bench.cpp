// One click of "Ajuste óptimo": the automatic start, every
// Levenberg-Marquardt run, the statistics and the band samples the plot
// draws, from the main window's default parameters; the whole analysis
// the window shows after it (the profile intervals of every parameter and
// read-out, the warnings, the band); and one click of "Comparar modelos":
// every model fitted and the comparison worked out; and "Ajuste óptimo" on
// a long series of 10 000 points, as a plate reader gives.
#include "fit/comparison.h"
#include "fit/least_squares.h"
#include "fit/prediction.h"
#include "fit/profile.h"
#include "fit/statistics.h"
#include "fit/warnings.h"
#include "reference_data.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace gompertz::fit;
using reference_data::dnase1;
using reference_data::orange1;
using reference_data::rat42;

namespace {

constexpr int kBandSamples = 200;
const Fixed kAllFree = {false, false, false, false};
const Parameters kWindowStart = {5, 1, 0, 0};

void click(benchmark::State& state, const std::vector<Point>& points) {
    LeastSquares solver;
    for (auto _ : state) {
        const Fit fit = solver.bestFit(gompertzModel(), points, kAllFree, kWindowStart);
        auto rows = estimates(fit);
        auto samples = band(fit, points.front().t, points.back().t, kBandSamples);
        benchmark::DoNotOptimize(rows);
        benchmark::DoNotOptimize(samples);
    }
}

void analysis(benchmark::State& state, const std::vector<Point>& points) {
    LeastSquares solver;
    for (auto _ : state) {
        const Fit fit = solver.bestFit(gompertzModel(), points, kAllFree, kWindowStart);
        auto rows = estimates(fit);
        auto intervals = profileIntervals(solver, fit, points);
        auto warnings = fitWarnings(fit, points, intervals);
        auto samples = band(fit, points.front().t, points.back().t, kBandSamples);
        benchmark::DoNotOptimize(rows);
        benchmark::DoNotOptimize(intervals);
        benchmark::DoNotOptimize(warnings);
        benchmark::DoNotOptimize(samples);
    }
}

void compare(benchmark::State& state, const std::vector<Point>& points) {
    LeastSquares solver;
    for (auto _ : state) {
        Comparison comparison = compareModels(solver, points, kAllFree, kWindowStart);
        benchmark::DoNotOptimize(comparison);
    }
}

// A Gompertz curve (a = 2, c = 1, t0 = 0) sampled at 10 000 evenly spaced
// t over [-3, 8] with a deterministic ripple of ±0.03 for noise; the SciPy
// script builds the same points.
std::vector<Point> longSeries() {
    std::vector<Point> points;
    constexpr int kCount = 10000;
    for (int i = 0; i < kCount; ++i) {
        const double t = -3.0 + 11.0 * i / (kCount - 1);
        points.push_back({t, 2.0 * std::exp(-std::exp(-t)) + 0.03 * std::sin(12.9898 * i)});
    }
    return points;
}

void longFit(benchmark::State& state) {
    const std::vector<Point> points = longSeries();
    LeastSquares solver;
    for (auto _ : state) {
        const Fit fit = solver.bestFit(gompertzModel(), points, kAllFree, kWindowStart);
        auto rows = estimates(fit);
        benchmark::DoNotOptimize(rows);
    }
}

} // namespace

BENCHMARK(longFit)->Name("BM_Ajuste10000/long");
BENCHMARK_CAPTURE(click, dnase1, dnase1())->Name("BM_AjusteOptimo/dnase1");
BENCHMARK_CAPTURE(click, rat42, rat42())->Name("BM_AjusteOptimo/rat42");
BENCHMARK_CAPTURE(analysis, dnase1, dnase1())->Name("BM_AnalisisCompleto/dnase1");
BENCHMARK_CAPTURE(analysis, rat42, rat42())->Name("BM_AnalisisCompleto/rat42");
BENCHMARK_CAPTURE(compare, dnase1, dnase1())->Name("BM_CompararModelos/dnase1");
BENCHMARK_CAPTURE(compare, rat42, rat42())->Name("BM_CompararModelos/rat42");
BENCHMARK_CAPTURE(compare, orange1, orange1())->Name("BM_CompararModelos/orange1");

BENCHMARK_MAIN();
