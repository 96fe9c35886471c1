// The analysis of files without a window: each file read, fitted and
// written as a row with the digits of "Copiar resultados" at 15 figures.
// Expected values are R's nls (tests/reference/models.R; fit-notes).
#include "analysis/batch.h"
#include "reference/models_reference.h"
#include "reference_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace gompertz;
namespace fs = std::filesystem;

namespace {

// A folder of its own for the files a test writes.
struct Folder {
    fs::path path;
    Folder() {
        path = fs::temp_directory_path() /
               ("gompertz-lote-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(path);
    }
    ~Folder() { fs::remove_all(path); }
    std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
};

std::string setText(const std::vector<fit::Point>& points) {
    std::ostringstream out;
    out.precision(17);
    out << "t;y\n";
    for (const fit::Point& p : points) {
        out << p.t << ';' << p.y << '\n';
    }
    return out.str();
}

std::vector<std::vector<std::string>> csvRows(const std::string& text, char separator) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        std::vector<std::string> cells;
        std::string cell;
        bool quoted = false;
        for (const char ch : line) {
            if (ch == '"') {
                quoted = !quoted;
            } else if (ch == separator && !quoted) {
                cells.push_back(cell);
                cell.clear();
            } else {
                cell += ch;
            }
        }
        cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

std::string cellOf(const std::vector<std::vector<std::string>>& rows, std::size_t row,
                   const std::string& column) {
    const auto& header = rows.at(0);
    const auto at = std::find(header.begin(), header.end(), column);
    EXPECT_NE(at, header.end()) << column;
    return at == header.end() ? "" : rows.at(row).at(static_cast<std::size_t>(at - header.begin()));
}

double numberIn(const std::string& cell) {
    return std::stod(cell);
}

const reference_models::ModelReference& referenceOf(const char* set, const char* model) {
    for (const auto& r : reference_models::kModels) {
        if (std::string(r.set) == set && std::string(r.model) == model) {
            return r;
        }
    }
    throw std::runtime_error("no reference");
}

} // namespace

// DNase run 1 and Rat42 from files, in the default dialect (comma, point):
// every parameter and its error as R's nls gives them, to 6 figures.
TEST(Batch, EachFileIsARowWithRsEstimates) {
    Folder folder;
    const std::vector<std::string> files = {folder.write("dnase1.csv", setText(reference_data::dnase1())),
                                            folder.write("rat42.csv", setText(reference_data::rat42()))};
    fit::LeastSquares solver;
    std::vector<analysis::FileResult> results;
    for (const std::string& file : files) {
        results.push_back(analysis::analyseFile(solver, file, {}));
    }
    const auto rows = csvRows(analysis::batchText(results, analysis::OutputFormat::Csv, false), ',');
    ASSERT_EQ(rows.size(), 3u);
    const char* sets[] = {"dnase1", "rat42"};
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& r = referenceOf(sets[i], "gompertz");
        EXPECT_EQ(cellOf(rows, i + 1, "conjunto"), sets[i]);
        EXPECT_EQ(cellOf(rows, i + 1, "estado"), "óptimo");
        EXPECT_EQ(cellOf(rows, i + 1, "n"), std::to_string(r.n));
        const char* names[] = {"a", "c", "t0"};
        for (std::size_t j = 0; j < 3; ++j) {
            EXPECT_NEAR(numberIn(cellOf(rows, i + 1, names[j])), r.parameters[j],
                        1e-6 * std::fabs(r.parameters[j]))
                << sets[i] << " " << names[j];
            EXPECT_NEAR(numberIn(cellOf(rows, i + 1, std::string(names[j]) + " error típico")),
                        r.standardErrors[j], 1e-6 * r.standardErrors[j]);
        }
        EXPECT_NEAR(numberIn(cellOf(rows, i + 1, "SSE")), r.sse, 1e-6 * r.sse);
        // Gompertz has no baseline: those cells stay empty.
        EXPECT_EQ(cellOf(rows, i + 1, "y0"), "");
    }
    // DNase's exact profile bounds of a (fit-notes: [3,53837; 6,72899]).
    EXPECT_EQ(cellOf(rows, 1, "a IC 95 % inferior").substr(0, 7), "3.53836");
    EXPECT_EQ(cellOf(rows, 1, "a IC 95 % superior").substr(0, 6), "6.7289");
}

// The Spanish dialect, held parameters, and a file that cannot be read:
// named with the reader's message and no row.
TEST(Batch, DialectsHoldsAndFailures) {
    Folder folder;
    const std::string good = folder.write("dnase1.csv", setText(reference_data::dnase1()));
    const std::string bad = folder.write("roto.csv", "t;y\n1;x\n");
    analysis::BatchOptions options;
    ASSERT_FALSE(analysis::holdParameter(options, "a=4,5"));
    EXPECT_TRUE(analysis::holdParameter(options, "y0=1")); // no baseline in Gompertz
    EXPECT_TRUE(analysis::holdParameter(options, "a=cuatro"));
    fit::LeastSquares solver;
    const auto ok = analysis::analyseFile(solver, good, options);
    const auto refused = analysis::analyseFile(solver, bad, options);
    EXPECT_FALSE(ok.failure);
    ASSERT_TRUE(refused.failure);
    EXPECT_NE(refused.failure->find("roto.csv"), std::string::npos);
    EXPECT_NE(refused.failure->find("línea 2"), std::string::npos);
    const auto rows =
        csvRows(analysis::batchText({ok, refused}, analysis::OutputFormat::CsvSpanish, false), ';');
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(cellOf(rows, 1, "a"), "4,5");
    EXPECT_EQ(cellOf(rows, 1, "a error típico"), "fijo");
    EXPECT_NE(cellOf(rows, 1, "c").find(','), std::string::npos);
}

// Every model a row, with AICc, its differences and Akaike's weights as R's
// AIC() gives them; the weights add up to 1.
TEST(Batch, ComparingModelsGivesEachModelARow) {
    Folder folder;
    const std::string file = folder.write("dnase1.csv", setText(reference_data::dnase1()));
    analysis::BatchOptions options;
    options.compareModels = true;
    fit::LeastSquares solver;
    const auto result = analysis::analyseFile(solver, file, options);
    const auto rows = csvRows(analysis::batchText({result}, analysis::OutputFormat::Csv, true), ',');
    ASSERT_EQ(rows.size(), 5u);
    const char* models[] = {"gompertz", "gompertz_base", "logistic", "richards"};
    double weights = 0.0;
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& r = referenceOf("dnase1", models[i]);
        EXPECT_NEAR(numberIn(cellOf(rows, i + 1, "AICc")), r.aicc, 1e-4 * std::fabs(r.aicc)) << models[i];
        weights += numberIn(cellOf(rows, i + 1, "peso de Akaike"));
    }
    EXPECT_NEAR(weights, 1.0, 1e-12);
    EXPECT_EQ(analysis::modelNamed("Logístico"), fit::growthModels().at(2));
    EXPECT_EQ(analysis::modelNamed("gompertz-base"), fit::growthModels().at(1));
    EXPECT_EQ(analysis::modelNamed("exponencial"), nullptr);
}
