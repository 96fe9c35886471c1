// "Recuperar" on files that are not what they seem: a link to an endless
// device, a huge sparse file, and a valid header followed by a megabyte of
// short lines. Each must be refused or read in bounded time and memory. And
// a data set of 10 000 rows read into the analysis.
#include "data/data_file.h"
#include "data/data_sets.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace gompertz;
using namespace gompertz::data;

namespace {

class NullTable : public CellTable {
  public:
    std::string text(Column, int) const override { return {}; }
    void setText(Column, int, const std::string&) override {}
    void setBackground(Column, int, CellColour) override {}
};

std::string scratchFile(const char* name) {
    return std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/gompertz-bench-" +
           name;
}

void load(benchmark::State& state, const std::string& path) {
    NullTable table;
    for (auto _ : state) {
        benchmark::DoNotOptimize(recuperar(table, path));
    }
}

void BM_Recuperar_DevZeroLink(benchmark::State& state) {
    const std::string path = scratchFile("zero");
    ::unlink(path.c_str());
    ::symlink("/dev/zero", path.c_str());
    load(state, path);
    ::unlink(path.c_str());
}

void BM_Recuperar_HugeSparseFile(benchmark::State& state) {
    const std::string path = scratchFile("huge");
    std::ofstream(path) << " 2 \r\n";
    ::truncate(path.c_str(), 200L << 20);
    load(state, path);
    ::unlink(path.c_str());
}

void BM_Recuperar_HeaderThenAMegabyteOfLines(benchmark::State& state) {
    const std::string path = scratchFile("lines");
    {
        std::ofstream out(path, std::ios::binary);
        out << " 20 \r\n";
        while (out.tellp() < std::streamoff(kMaxFileBytes - 8)) {
            out << "1,5\r\n";
        }
    }
    load(state, path);
    ::unlink(path.c_str());
}

} // namespace

BENCHMARK(BM_Recuperar_DevZeroLink);
BENCHMARK(BM_Recuperar_HugeSparseFile);
BENCHMARK(BM_Recuperar_HeaderThenAMegabyteOfLines);

// "Añadir datos…" on a plate reader's long series: 10 000 rows of t and a
// value, read from the file and parsed.
void BM_LeerConjunto10000(benchmark::State& state) {
    const std::string path = scratchFile("conjunto.csv");
    {
        std::ofstream out(path, std::ios::binary);
        out << "t;absorbancia\r\n";
        for (int i = 0; i < 10000; ++i) {
            out << i * 0.25 << ";" << 0.05 + 1.9 * i / 10000 << "\r\n";
        }
    }
    for (auto _ : state) {
        auto read = readSet(path);
        benchmark::DoNotOptimize(read);
    }
    ::unlink(path.c_str());
}
BENCHMARK(BM_LeerConjunto10000)->Unit(benchmark::kMillisecond);

// Set files refused by a limit: ten million blank lines (refused at the
// line past the limit) and 15 MB of ";" in rows of separators (empty rows,
// skipped at the cost of their bytes).
void BM_RefusedSet(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        auto read = parseSet(text);
        benchmark::DoNotOptimize(read);
    }
}
BENCHMARK_CAPTURE(BM_RefusedSet, blank_lines, std::string(10'000'000, '\n'))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RefusedSet, separators,
                  [] {
                      std::string text;
                      while (text.size() < 15'000'000) {
                          text += std::string(32000, ';') + "\n";
                      }
                      return text;
                  }())
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
