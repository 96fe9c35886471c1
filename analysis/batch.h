#pragma once

#include "set_analysis.h"

#include <optional>
#include <string>
#include <vector>

namespace gompertz::analysis {

// The analysis of data-set files without a window: each file read as
// "Añadir datos…" reads it, fitted as "Ajuste óptimo" fits it, and written
// as a row of a table, with the digits of "Copiar resultados" at 15 figures.

struct BatchOptions {
    const fit::GrowthModel* model = &fit::gompertzModel();
    bool compareModels = false; // every model, each a row
    fit::Weighting weighting = fit::Weighting::None;
    fit::Fixed fixed{};
    fit::Parameters held{5.0, 1.0, 0.0, 0.0}; // the held values; the rest start here
};

// One model fitted to one file's set; `refusal` when the set could not be
// weighted as asked (nothing was fitted).
struct BatchRow {
    const fit::GrowthModel* model = nullptr;
    fit::Analysis analysis;
    std::vector<fit::Point> points;
    std::string refusal;
    std::optional<double> aicc, deltaAicc, weight; // with compareModels
};

struct FileResult {
    std::string path;
    std::string set; // the file's name without its extension
    std::optional<std::string> failure; // the reader's message
    std::vector<BatchRow> rows;
};

FileResult analyseFile(fit::LeastSquares& solver, const std::string& path,
                       const BatchOptions& options);

// The files in order, each by analyseFile, on `threads` threads at once
// (one solver each).
std::vector<FileResult> analyseFiles(const std::vector<std::string>& paths,
                                     const BatchOptions& options, unsigned threads);

// The paths named, each folder opened to its data files (.csv, .tsv, .txt,
// .dat) in order of name.
std::vector<std::string> dataFilesIn(const std::vector<std::string>& named);

enum class OutputFormat {
    Csv,        // "," and the decimal point
    CsvSpanish, // ";" and the decimal comma
    Json,
};

// The whole table: a header, then a row a model of each file read; files
// that could not be read give no row. CSV lines end in CR LF.
std::string batchText(const std::vector<FileResult>& results, OutputFormat format,
                      bool compareModels);

// The model whose name, in any case, with or without accents, is `name`:
// "gompertz", "gompertz-base" ("Gompertz con línea base"), "logistico",
// "richards"; nothing for another.
const fit::GrowthModel* modelNamed(const std::string& name);

// "a=4" or "t0=2,5": holds the parameter of the model at the value; the
// reason, in Spanish, when it cannot.
std::optional<std::string> holdParameter(BatchOptions& options, const std::string& text);

} // namespace gompertz::analysis
