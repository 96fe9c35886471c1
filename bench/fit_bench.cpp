// One click of "Ajuste óptimo": the automatic start, every
// Levenberg-Marquardt run, the statistics and the band samples the plot
// draws, from the main window's default parameters.
#include "fit/least_squares.h"
#include "fit/statistics.h"
#include "reference_data.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace gompertz::fit;
using reference_data::dnase1;
using reference_data::rat42;

namespace {

constexpr int kBandSamples = 200;

void click(benchmark::State& state, const std::vector<Point>& points) {
    LeastSquares solver;
    for (auto _ : state) {
        const Fit fit = solver.bestFit(points, {false, false, false}, {5, 1, 0});
        auto rows = estimates(fit);
        auto samples = band(fit, points.front().t, points.back().t, kBandSamples);
        benchmark::DoNotOptimize(rows);
        benchmark::DoNotOptimize(samples);
    }
}

} // namespace

BENCHMARK_CAPTURE(click, dnase1, dnase1())->Name("BM_AjusteOptimo/dnase1");
BENCHMARK_CAPTURE(click, rat42, rat42())->Name("BM_AjusteOptimo/rat42");

BENCHMARK_MAIN();
