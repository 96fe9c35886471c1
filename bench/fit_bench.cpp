// One click of "Ajuste óptimo": the automatic start, every
// Levenberg-Marquardt run, the statistics and the band samples the plot
// draws, from the main window's default parameters.
#include "fit/least_squares.h"
#include "fit/statistics.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace gompertz::fit;

namespace {

std::vector<Point> dnase1() {
    const double conc[] = {0.04882812, 0.1953125, 0.390625, 0.78125, 1.5625, 3.125, 6.25, 12.5};
    const double density[] = {0.017, 0.018, 0.121, 0.124, 0.206, 0.215, 0.377, 0.374,
                              0.614, 0.609, 1.019, 1.001, 1.334, 1.364, 1.730, 1.710};
    std::vector<Point> points;
    for (int i = 0; i < 16; ++i) {
        points.push_back({std::log(conc[i / 2]), density[i]});
    }
    return points;
}

std::vector<Point> rat42() {
    return {{9, 8.93},   {14, 10.8},  {21, 18.59}, {28, 22.33}, {42, 39.35},
            {57, 56.11}, {63, 61.73}, {70, 64.62}, {79, 67.08}};
}

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
