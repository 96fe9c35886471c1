#include "report.h"

#include "model/number_text.h"

namespace gompertz::fit {
namespace {

const std::string kFixed = "fijo";
const std::string kUndetermined = "—";

std::string number(double value, int digits, bool decimalComma = true) {
    std::string text = formatNumber(value, digits);
    if (!decimalComma) {
        for (char& ch : text) {
            ch = ch == ',' ? '.' : ch;
        }
    }
    return text;
}

std::string joined(const std::vector<std::string>& cells, char separator) {
    std::string out;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        out += (i == 0 ? "" : std::string(1, separator)) + cells[i];
    }
    return out;
}

bool converged(const Fit& fit) {
    return fit.status == Status::Ok;
}

std::optional<std::string> note(const Fit& fit) {
    if (!converged(fit)) {
        return "No convergido tras " + std::to_string(fit.iterations) +
               " iteraciones: no es el óptimo";
    }
    if (fit.illDetermined) {
        return "Los datos no determinan bien los parámetros";
    }
    return std::nullopt;
}

std::string modelLine(const GrowthModel& model) {
    return std::string("Modelo: ") + model.name() + ", " + model.formula();
}

// The header and one line a row, the row's name first.
std::vector<std::string> tableLines(const Fit& fit, char separator, bool decimalComma) {
    std::vector<std::string> lines = {std::string(1, separator) +
                                      joined(resultColumns(), separator)};
    for (const ResultRow& row : estimates(fit)) {
        std::vector<std::string> cells = resultCells(row.estimate, converged(fit), 15);
        if (!decimalComma) {
            for (std::string& cell : cells) {
                for (char& ch : cell) {
                    ch = ch == ',' ? '.' : ch;
                }
            }
        }
        lines.push_back(row.label + separator + joined(cells, separator));
    }
    return lines;
}

} // namespace

const std::vector<std::string>& resultColumns() {
    static const std::vector<std::string> columns = {"Valor", "Error típico", "IC 95 % inferior",
                                                     "IC 95 % superior"};
    return columns;
}

std::vector<std::string> resultCells(const Estimate& e, bool withErrors, int digits) {
    std::vector<std::string> cells = {number(e.value, digits)};
    if (!withErrors) {
        return {cells[0], "", "", ""};
    }
    if (e.fixed) {
        return {cells[0], kFixed, "", ""};
    }
    if (!e.standardError) {
        return {cells[0], kUndetermined, "", ""};
    }
    return {cells[0], number(*e.standardError, digits), e.lower ? number(*e.lower, digits) : "",
            e.upper ? number(*e.upper, digits) : ""};
}

std::string summaryText(const Fit& fit, const std::vector<Point>& points) {
    const auto r2 = rSquared(fit, points);
    std::string text = "n = ";
    for (const std::string& part :
         {std::to_string(fit.points), std::string(", gl = "), std::to_string(fit.degreesOfFreedom),
          std::string(", SSE = "), number(fit.sse, 6), std::string(", s = "),
          number(residualDeviation(fit), 6), std::string(", R² = "),
          r2 ? number(*r2, 6) : kUndetermined, std::string(", iteraciones = "),
          std::to_string(fit.iterations), std::string("\n"), modelLine(*fit.model)}) {
        text += part;
    }
    if (const auto remark = note(fit)) {
        text += "\n" + *remark;
    }
    return text;
}

std::vector<std::string> summaryLines(const Fit& fit, const std::vector<Point>& points,
                                      char separator, bool decimalComma) {
    const std::string sep(1, separator);
    const auto r2 = rSquared(fit, points);
    std::vector<std::string> lines = {
        "n" + sep + std::to_string(fit.points),
        "gl" + sep + std::to_string(fit.degreesOfFreedom),
        "SSE" + sep + number(fit.sse, 15, decimalComma),
        "s" + sep + number(residualDeviation(fit), 15, decimalComma),
        "R²" + sep + (r2 ? number(*r2, 15, decimalComma) : kUndetermined),
        "iteraciones" + sep + std::to_string(fit.iterations),
        "modelo" + sep + fit.model->name(),
    };
    if (const auto remark = note(fit)) {
        lines.push_back(*remark);
    }
    return lines;
}

std::string resultsText(const Fit& fit, const std::vector<Point>& points) {
    std::string out;
    for (const std::string& line : tableLines(fit, '\t', true)) {
        out += line + "\n";
    }
    out += "\n";
    for (const std::string& line : summaryLines(fit, points, '\t', true)) {
        out += line + "\n";
    }
    return out;
}

std::string csvText(const GrowthModel& model, const std::optional<Fit>& fit,
                    const Parameters& shown, const Fixed& fixed,
                    const std::vector<Point>& points, char separator, bool decimalComma) {
    const auto num = [decimalComma](double v) { return number(v, 15, decimalComma); };
    std::vector<std::string> lines = {joined({"t", "y", "ajustado", "residuo"}, separator)};
    for (const Point& point : points) {
        const double fitted = model.value(shown, point.t);
        lines.push_back(joined({num(point.t), num(point.y), num(fitted), num(point.y - fitted)},
                               separator));
    }
    lines.emplace_back();
    Fit table = fit ? *fit : Fit{};
    table.model = &model;
    table.parameters = shown;
    table.fixed = fit ? fit->fixed : fixed;
    for (const std::string& line : tableLines(table, separator, decimalComma)) {
        lines.push_back(line);
    }
    if (fit) {
        lines.emplace_back();
        for (const std::string& line : summaryLines(*fit, points, separator, decimalComma)) {
            lines.push_back(line);
        }
    }
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

} // namespace gompertz::fit
