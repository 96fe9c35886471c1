#include "batch.h"

#include "fit/comparison.h"
#include "fit/statistics.h"
#include "model/number_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <atomic>
#include <filesystem>
#include <thread>

namespace gompertz::analysis {
namespace {

constexpr int kDigits = 15;

// The columns of every row, whatever the model: the parameters, then the
// read-outs by name (their formulas differ from model to model).
const std::vector<std::string>& quantityColumns() {
    static const std::vector<std::string> columns = {
        "a", "c", "t0", "y0", "ν", "valor en la inflexión", "tasa máxima de crecimiento",
        "fase de latencia"};
    return columns;
}

// A row of estimates(fit) by the column it goes in.
std::string columnOf(const fit::GrowthModel& model, int row) {
    const int n = model.parameterCount();
    if (row < n) {
        return model.parameter(row).name;
    }
    const std::string label = model.readOutInfo(row - n).label;
    return fit::labelInSentence(label.substr(0, label.find(" (")));
}

std::string statusOf(const BatchRow& row) {
    if (!row.refusal.empty()) {
        return row.refusal;
    }
    const fit::Status status = row.analysis.fit.status;
    return status == fit::Status::Ok ? "óptimo" : fit::statusInWords(status);
}

std::string withPoint(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    return text;
}

std::string joinedWarnings(const BatchRow& row) {
    std::string out;
    const fit::Analysis& a = row.analysis;
    std::vector<std::string> all;
    if (a.fit.status == fit::Status::Ok && a.fit.illDetermined) {
        all.emplace_back("Los datos no determinan bien los parámetros");
    }
    all.insert(all.end(), a.warnings.begin(), a.warnings.end());
    for (const std::string& warning : all) {
        out += (out.empty() ? "" : " | ") + warning;
    }
    return out;
}

// Each column's four cells (value, error, lower, upper) for the row, as
// "Copiar resultados" writes them with 15 figures; empty where the model
// has no such quantity.
std::vector<std::array<std::string, 4>> quantityCells(const BatchRow& row) {
    std::vector<std::array<std::string, 4>> out(quantityColumns().size());
    if (!row.refusal.empty() || row.analysis.fit.status == fit::Status::OutOfRange ||
        (row.analysis.fit.status != fit::Status::Ok &&
         row.analysis.fit.status != fit::Status::NotConverged)) {
        return out;
    }
    const fit::Analysis& a = row.analysis;
    const bool converged = a.fit.status == fit::Status::Ok;
    const auto rows = fit::estimates(a.fit);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto column = std::find(quantityColumns().begin(), quantityColumns().end(),
                                      columnOf(*a.fit.model, static_cast<int>(r)));
        if (column == quantityColumns().end()) {
            continue;
        }
        const auto interval =
            r < a.intervals.size() ? a.intervals[r] : std::optional<fit::ProfileInterval>{};
        const auto cells = fit::resultCells(rows[r].estimate, converged, kDigits, interval);
        auto& target = out[static_cast<std::size_t>(column - quantityColumns().begin())];
        for (std::size_t c = 0; c < 4 && c < cells.size(); ++c) {
            target[c] = cells[c];
        }
    }
    return out;
}

std::vector<std::string> headerCells(bool compareModels) {
    std::vector<std::string> out = {"archivo", "conjunto", "modelo", "estado", "n"};
    for (const std::string& q : quantityColumns()) {
        out.push_back(q);
        out.push_back(q + " error típico");
        out.push_back(q + " IC 95 % inferior");
        out.push_back(q + " IC 95 % superior");
    }
    for (const char* more : {"SSE", "s", "R²"}) {
        out.emplace_back(more);
    }
    if (compareModels) {
        for (const char* more : {"AICc", "ΔAICc", "peso de Akaike"}) {
            out.emplace_back(more);
        }
    }
    out.emplace_back("avisos");
    return out;
}

bool fitted(const BatchRow& row) {
    return row.refusal.empty() && (row.analysis.fit.status == fit::Status::Ok ||
                                   row.analysis.fit.status == fit::Status::NotConverged);
}

std::vector<std::string> rowCells(const FileResult& file, const BatchRow& row, bool compareModels) {
    const auto number = [](double v) { return formatNumber(v, kDigits); };
    const auto optional = [&](const std::optional<double>& v) { return v ? number(*v) : ""; };
    std::vector<std::string> out = {file.path, file.set, row.model->name(), statusOf(row),
                                    std::to_string(row.points.size())};
    for (const auto& cells : quantityCells(row)) {
        out.insert(out.end(), cells.begin(), cells.end());
    }
    const fit::Fit& fit = row.analysis.fit;
    if (fitted(row)) {
        out.push_back(number(fit.sse));
        out.push_back(number(fit::residualDeviation(fit)));
        out.push_back(optional(fit::rSquared(fit, row.points)));
    } else {
        out.insert(out.end(), 3, "");
    }
    if (compareModels) {
        out.push_back(optional(row.aicc));
        out.push_back(optional(row.deltaAicc));
        out.push_back(optional(row.weight));
    }
    out.push_back(joinedWarnings(row));
    return out;
}

// Whether a header's cell holds a number, written with the decimal mark of
// the format; the rest are words.
bool numeric(const std::string& header) {
    return header != "archivo" && header != "conjunto" && header != "modelo" &&
           header != "estado" && header != "avisos";
}

std::string csvText(const std::vector<FileResult>& results, char separator, bool decimalComma,
                    bool compareModels) {
    const auto headers = headerCells(compareModels);
    const auto line = [&](const std::vector<std::string>& cells, bool isHeader) {
        std::string out;
        for (std::size_t i = 0; i < cells.size(); ++i) {
            std::string cell = cells[i];
            if (!isHeader && !decimalComma && numeric(headers[i])) {
                cell = withPoint(cell);
            }
            out += (i == 0 ? "" : std::string(1, separator)) + fit::quotedIfHolding(cell, separator);
        }
        return out + "\r\n";
    };
    std::string out = line(headers, true);
    for (const FileResult& file : results) {
        for (const BatchRow& row : file.rows) {
            out += line(rowCells(file, row, compareModels), false);
        }
    }
    return out;
}

// A cell as JSON: a number when it reads as one (rounded to the 15 figures
// shown), else its words.
QJsonValue jsonCell(const std::string& cell) {
    if (cell.empty()) {
        return QJsonValue(QJsonValue::Null);
    }
    const std::string text = withPoint(cell);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size() && std::isfinite(value)) {
        return value;
    }
    return QString::fromStdString(cell);
}

std::string jsonText(const std::vector<FileResult>& results, bool compareModels) {
    const auto headers = headerCells(compareModels);
    QJsonArray rows;
    for (const FileResult& file : results) {
        for (const BatchRow& row : file.rows) {
            const auto cells = rowCells(file, row, compareModels);
            QJsonObject object;
            for (std::size_t i = 0; i < headers.size(); ++i) {
                object.insert(QString::fromStdString(headers[i]),
                              numeric(headers[i]) ? jsonCell(cells[i])
                                                  : QJsonValue(QString::fromStdString(cells[i])));
            }
            rows.append(object);
        }
    }
    return QJsonDocument(rows).toJson(QJsonDocument::Indented).toStdString();
}

// "logístico" and "Logistico" alike: lower case, without accents.
std::string folded(const std::string& name) {
    QString text = QString::fromStdString(name).toLower().normalized(QString::NormalizationForm_D);
    QString out;
    for (const QChar ch : text) {
        if (ch.category() != QChar::Mark_NonSpacing) {
            out += ch;
        }
    }
    return out.toStdString();
}

} // namespace

const fit::GrowthModel* modelNamed(const std::string& name) {
    const std::string wanted = folded(name);
    for (const fit::GrowthModel* model : fit::growthModels()) {
        if (folded(model->name()) == wanted) {
            return model;
        }
    }
    const auto& models = fit::growthModels();
    if (wanted == "gompertz-base" || wanted == "gompertz_base" || wanted == "linea-base") {
        return models.at(1);
    }
    if (wanted == "logistico" || wanted == "logistic" || wanted == "logistica") {
        return models.at(2);
    }
    return nullptr;
}

std::optional<std::string> holdParameter(BatchOptions& options, const std::string& text) {
    const auto equals = text.find('=');
    if (equals == std::string::npos) {
        return "«" + text + "»: escriba el parámetro y su valor, por ejemplo a=4.";
    }
    std::string name = text.substr(0, equals);
    if (name == "nu") {
        name = "ν";
    }
    const std::string value = withPoint(text.substr(equals + 1));
    double held = 0.0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), held);
    if (error != std::errc() || end != value.data() + value.size() || !std::isfinite(held)) {
        return "«" + text.substr(equals + 1) + "» no es un número.";
    }
    const fit::GrowthModel& model = *options.model;
    for (int j = 0; j < model.parameterCount(); ++j) {
        if (name == model.parameter(j).name) {
            if (options.compareModels && j >= 3) {
                return "Con --comparar-modelos solo pueden fijarse a, c y t0, que tienen todos "
                       "los modelos.";
            }
            options.fixed[static_cast<std::size_t>(j)] = true;
            options.held[static_cast<std::size_t>(j)] = held;
            return std::nullopt;
        }
    }
    return "El modelo " + std::string(model.name()) + " no tiene el parámetro «" + name + "».";
}

FileResult analyseFile(fit::LeastSquares& solver, const std::string& path,
                       const BatchOptions& options) {
    FileResult out;
    out.path = path;
    out.set = std::filesystem::path(path).stem().string();
    const auto read = data::readSet(path);
    if (const auto* problem = std::get_if<std::string>(&read)) {
        out.failure = *problem;
        return out;
    }
    const SetValues set = valuesOf(std::get<data::SetFile>(read));
    const auto weighted = pointsOf(set, options.weighting);
    if (const auto* refusal = std::get_if<std::string>(&weighted)) {
        const auto models = options.compareModels ? fit::growthModels()
                                                  : std::vector<const fit::GrowthModel*>{options.model};
        for (const fit::GrowthModel* model : models) {
            BatchRow row;
            row.model = model;
            row.refusal = *refusal;
            row.points = set.means.empty() ? set.values : std::vector<fit::Point>{};
            out.rows.push_back(std::move(row));
        }
        return out;
    }
    const auto& points = std::get<std::vector<fit::Point>>(weighted);
    if (!options.compareModels) {
        fit::Parameters start = options.model->fromGompertz(options.held);
        for (std::size_t j = 0; j < fit::kMaxParameters; ++j) {
            start[j] = options.fixed[j] ? options.held[j] : start[j];
        }
        BatchRow row;
        row.model = options.model;
        row.points = points;
        row.analysis = analyse(solver, *options.model, points, options.fixed, start,
                               fit::LeastSquares::Starts::Automatic, options.weighting);
        out.rows.push_back(std::move(row));
        return out;
    }
    // Every model as "Comparar modelos" fits and scores them.
    const fit::Comparison comparison =
        fit::compareModels(solver, points, options.fixed, options.held);
    for (const fit::ModelScore& score : comparison.scores) {
        BatchRow row;
        row.model = score.fit.model;
        row.points = points;
        fit::Fit fit = score.fit;
        fit.weighting = options.weighting;
        row.analysis = withIntervals(solver, fit, points);
        row.aicc = score.aicc;
        row.deltaAicc = score.deltaAicc;
        row.weight = score.weight;
        out.rows.push_back(std::move(row));
    }
    return out;
}

std::vector<FileResult> analyseFiles(const std::vector<std::string>& paths,
                                     const BatchOptions& options, unsigned threads) {
    std::vector<FileResult> results(paths.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        fit::LeastSquares solver;
        for (std::size_t i = next++; i < paths.size(); i = next++) {
            results[i] = analyseFile(solver, paths[i], options);
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < std::min<std::size_t>(threads, paths.size()); ++t) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& thread : pool) {
        thread.join();
    }
    return results;
}

std::vector<std::string> dataFilesIn(const std::vector<std::string>& named) {
    std::vector<std::string> out;
    for (const std::string& name : named) {
        std::error_code error;
        if (!std::filesystem::is_directory(name, error)) {
            out.push_back(name);
            continue;
        }
        std::vector<std::string> inside;
        for (const auto& entry : std::filesystem::directory_iterator(name, error)) {
            std::string extension = entry.path().extension().string();
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
            if (entry.is_regular_file(error) && (extension == ".csv" || extension == ".tsv" ||
                                                 extension == ".txt" || extension == ".dat")) {
                inside.push_back(entry.path().string());
            }
        }
        std::sort(inside.begin(), inside.end());
        out.insert(out.end(), inside.begin(), inside.end());
    }
    return out;
}

std::string batchText(const std::vector<FileResult>& results, OutputFormat format,
                      bool compareModels) {
    switch (format) {
    case OutputFormat::Csv:
        return csvText(results, ',', false, compareModels);
    case OutputFormat::CsvSpanish:
        return csvText(results, ';', true, compareModels);
    case OutputFormat::Json:
        return jsonText(results, compareModels);
    }
    return {};
}

} // namespace gompertz::analysis
