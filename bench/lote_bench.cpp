// gompertz-lote over a folder of 1 000 sixteen-point files: each read,
// fitted with its profile intervals and warnings, on two threads. The
// folder is GOMPERTZ_LOTE_DIR when set (the files R times too), else made
// here with the same recipe.
#include "analysis/batch.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace {

namespace fs = std::filesystem;

// Growth to a plateau, a = 2, c = 0.8, t0 = 1 over t = -2 … 6 in duplicate,
// with noise of 0.02 and a seed of its own for each file.
fs::path madeFolder(int files) {
    const fs::path folder = fs::temp_directory_path() / "gompertz-lote-bench";
    fs::create_directories(folder);
    for (int f = 0; f < files; ++f) {
        std::mt19937 noise(static_cast<unsigned>(f + 1));
        std::normal_distribution<double> e(0.0, 0.02);
        std::ofstream out(folder / ("curva" + std::to_string(10000 + f) + ".csv"));
        out.precision(17);
        out << "t;y\n";
        for (int i = 0; i < 16; ++i) {
            const double t = -2.0 + 8.0 * (i / 2) / 7.0;
            out << t << ';' << 2.0 * std::exp(-std::exp(-0.8 * (t - 1.0))) + e(noise) << '\n';
        }
    }
    return folder;
}

void BM_Lote(benchmark::State& state) {
    const int files = static_cast<int>(state.range(0));
    const char* given = std::getenv("GOMPERTZ_LOTE_DIR");
    const fs::path folder = given != nullptr ? fs::path(given) : madeFolder(files);
    const auto paths = gompertz::analysis::dataFilesIn({folder.string()});
    const gompertz::analysis::BatchOptions options;
    for (auto _ : state) {
        auto results = gompertz::analysis::analyseFiles(paths, options, 2);
        benchmark::DoNotOptimize(results);
    }
    state.counters["archivos"] = static_cast<double>(paths.size());
    if (given == nullptr) {
        fs::remove_all(folder);
    }
}
BENCHMARK(BM_Lote)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
