// A 10000-step batch over 20 points, with the two-exponential evaluation and
// with the literal one. Run build/bench/engine_bench to compare them.
#include "model/descent.h"

#include <benchmark/benchmark.h>

#include <cmath>

using namespace gompertz;

namespace {

FitState twentyPoints() {
    FitState s;
    for (int i = 0; i < 20; ++i) {
        const double t = -2.0 + 0.75 * i;
        s.dataX[i] = t;
        s.dataY[i] = 4.2 * std::exp(-std::exp(-0.8 * (t - 1.3))) + 0.05 * ((i % 3) - 1);
    }
    s.pointCount = 20;
    s.sqError = 1e30;
    s.prevSqError = s.sqError;
    return s;
}

void batch(benchmark::State& state, Evaluation evaluation) {
    const FitState start = twentyPoints();
    for (auto _ : state) {
        FitState s = start;
        const BatchResult result = runBatch(s, FixFlags{}, 0.001, 10000, evaluation);
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(s.a);
        if (result.stepsEvaluated != 10000) {
            state.SkipWithError("the batch stopped early");
        }
    }
}

void Batch10000Fast(benchmark::State& state) {
    batch(state, Evaluation::Fast);
}
void Batch10000Literal(benchmark::State& state) {
    batch(state, Evaluation::Literal);
}

} // namespace

BENCHMARK(Batch10000Fast)->Unit(benchmark::kMillisecond);
BENCHMARK(Batch10000Literal)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
