#include "report.h"

#include "model/number_text.h"
#include "replicates.h"

#include <algorithm>

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
        if (i > 0) {
            out += separator;
        }
        out += cells[i];
    }
    return out;
}

bool converged(const Fit& fit) {
    return fit.status == Status::Ok;
}

std::string modelLine(const GrowthModel& model) {
    return std::string("Modelo: ") + model.name() + ", " + model.formula();
}

std::string weightingLine(Weighting weighting) {
    return weighting == Weighting::RelativeValue
               ? "Mínimos cuadrados ponderados por 1/y² (error relativo constante)"
               : "Mínimos cuadrados ponderados por 1/DE² (la dispersión de las réplicas)";
}

// What the summary adds below its numbers: the model, how the intervals were
// worked out, which sides the data leave open, and the notes and warnings.
std::vector<std::string> notes(const Analysis& analysis, const std::vector<Point>& points) {
    const Fit& fit = analysis.fit;
    std::vector<std::string> out = {modelLine(*fit.model)};
    if (fit.weighting != Weighting::None) {
        out.push_back(weightingLine(fit.weighting));
    }
    if (!converged(fit)) {
        out.push_back("No convergido tras " + std::to_string(fit.iterations) +
                      " iteraciones: no es el óptimo");
        return out;
    }
    if (!analysis.intervals.empty()) {
        out.emplace_back("Intervalos del 95 %: verosimilitud perfilada (como confint() de R); "
                         "error típico por el método delta");
        for (std::size_t r = 0; r < analysis.intervals.size(); ++r) {
            const auto& interval = analysis.intervals[r];
            if (!interval || (!interval->lower.open() && !interval->upper.open())) {
                continue;
            }
            const std::string side = interval->lower.open() && interval->upper.open()
                                         ? "ni por abajo ni por arriba"
                                     : interval->lower.open() ? "por abajo"
                                                              : "por arriba";
            out.push_back("Los datos no acotan " + rowLabel(*fit.model, static_cast<int>(r)) +
                          " " + side + " (" + kNoBound + ")");
        }
    }
    if (fit.illDetermined) {
        out.emplace_back("Los datos no determinan bien los parámetros");
    }
    if (const auto test = lackOfFit(fit, points)) {
        out.push_back(lackOfFitSentence(*test));
    }
    for (const std::string& warning : analysis.warnings) {
        out.push_back(warning);
    }
    return out;
}

// A sentence as one field: quoted, as RFC 4180 quotes, when it holds the
// separator or a quote.
std::string quotedIfHolding(const std::string& text, char separator) {
    if (text.find(separator) == std::string::npos && text.find('"') == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char ch : text) {
        out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    }
    return out + "\"";
}

// The header and one line a row, the row's name first.
std::vector<std::string> tableLines(const Analysis& analysis, char separator, bool decimalComma) {
    std::vector<std::string> lines = {std::string(1, separator) +
                                      joined(resultColumns(), separator)};
    const auto rows = estimates(analysis.fit);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto interval =
            r < analysis.intervals.size() ? analysis.intervals[r] : std::optional<ProfileInterval>{};
        std::vector<std::string> cells =
            resultCells(rows[r].estimate, converged(analysis.fit), 15, interval);
        if (!decimalComma) {
            for (std::string& cell : cells) {
                for (char& ch : cell) {
                    ch = ch == ',' ? '.' : ch;
                }
            }
        }
        lines.push_back(rows[r].label + separator + joined(cells, separator));
    }
    return lines;
}

} // namespace

const std::vector<std::string>& resultColumns() {
    static const std::vector<std::string> columns = {"Valor", "Error típico", "IC 95 % inferior",
                                                     "IC 95 % superior"};
    return columns;
}

std::vector<std::string> resultCells(const Estimate& e, bool withErrors, int digits,
                                     const std::optional<ProfileInterval>& interval) {
    const std::string value = number(e.value, digits);
    if (!withErrors) {
        return {value, "", "", ""};
    }
    if (e.fixed) {
        return {value, kFixed, "", ""};
    }
    const std::string error = e.standardError ? number(*e.standardError, digits) : kUndetermined;
    if (interval) {
        const auto side = [digits](const ProfileSide& s) {
            return s.bound ? number(*s.bound, digits) : std::string(kNoBound);
        };
        return {value, error, side(interval->lower), side(interval->upper)};
    }
    if (!e.standardError) {
        return {value, kUndetermined, "", ""};
    }
    return {value, error, e.lower ? number(*e.lower, digits) : "",
            e.upper ? number(*e.upper, digits) : ""};
}

std::string summaryText(const Analysis& analysis, const std::vector<Point>& points) {
    const Fit& fit = analysis.fit;
    const auto r2 = rSquared(fit, points);
    std::string text = "n = ";
    for (const std::string& part :
         {std::to_string(fit.points), std::string(", gl = "), std::to_string(fit.degreesOfFreedom),
          std::string(", SSE = "), number(fit.sse, 6), std::string(", s = "),
          number(residualDeviation(fit), 6), std::string(", R² = "),
          r2 ? number(*r2, 6) : kUndetermined, std::string(", iteraciones = "),
          std::to_string(fit.iterations)}) {
        text += part;
    }
    for (const std::string& line : notes(analysis, points)) {
        text += '\n';
        text += line;
    }
    return text;
}

std::vector<std::string> summaryLines(const Analysis& analysis, const std::vector<Point>& points,
                                      char separator, bool decimalComma) {
    const Fit& fit = analysis.fit;
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
    const auto more = notes(analysis, points);
    for (auto note = more.begin() + 1; note != more.end(); ++note) { // the model is named above
        lines.push_back(quotedIfHolding(*note, separator));
    }
    return lines;
}

std::string resultsText(const Analysis& analysis, const std::vector<Point>& points) {
    std::string out;
    for (const std::string& line : tableLines(analysis, '\t', true)) {
        out += line + "\n";
    }
    out += "\n";
    for (const std::string& line : summaryLines(analysis, points, '\t', true)) {
        out += line + "\n";
    }
    return out;
}

std::string csvText(const GrowthModel& model, const std::optional<Analysis>& analysis,
                    const Parameters& shown, const Fixed& fixed,
                    const std::vector<Point>& points, char separator, bool decimalComma) {
    const auto num = [decimalComma](double v) { return number(v, 15, decimalComma); };
    // Weighted points say their weight.
    const bool weighted =
        std::any_of(points.begin(), points.end(), [](const Point& p) { return p.weight != 1.0; });
    std::vector<std::string> header = {"t", "y", "ajustado", "residuo"};
    if (weighted) {
        header.emplace_back("peso");
    }
    std::vector<std::string> lines = {joined(header, separator)};
    for (const Point& point : points) {
        const double fitted = model.value(shown, point.t);
        std::vector<std::string> cells = {num(point.t), num(point.y), num(fitted),
                                          num(point.y - fitted)};
        if (weighted) {
            cells.push_back(num(point.weight));
        }
        lines.push_back(joined(cells, separator));
    }
    lines.emplace_back();
    Analysis table = analysis ? *analysis : Analysis{};
    table.fit.model = &model;
    table.fit.parameters = shown;
    table.fit.fixed = analysis ? analysis->fit.fixed : fixed;
    for (const std::string& line : tableLines(table, separator, decimalComma)) {
        lines.push_back(line);
    }
    if (analysis) {
        lines.emplace_back();
        for (const std::string& line : summaryLines(*analysis, points, separator, decimalComma)) {
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

namespace gompertz::fit {

std::string setLine(const std::string& name, char separator) {
    return "conjunto" + std::string(1, separator) + quotedIfHolding(name, separator) + "\r\n";
}

std::string pointsCsv(const std::vector<Point>& points, char separator, bool decimalComma) {
    std::string out = joined({"t", "y"}, separator) + "\r\n";
    for (const Point& point : points) {
        out += joined({number(point.t, 15, decimalComma), number(point.y, 15, decimalComma)},
                      separator) +
               "\r\n";
    }
    return out;
}

std::string setComparisonCsv(const SetComparison& comparison, const GrowthModel& model,
                             const std::string& first, const std::string& second, char separator,
                             bool decimalComma) {
    const auto num = [decimalComma](const std::optional<double>& v) {
        return v ? number(*v, 15, decimalComma) : std::string();
    };
    const std::string sep(1, separator);
    std::vector<std::string> lines = {
        "comparación de conjuntos" + sep + quotedIfHolding(first, separator) + sep +
            quotedIfHolding(second, separator),
        "modelo" + sep + model.name(),
        "diferencia" + sep + quotedIfHolding(second + " − " + first, separator),
        "gl" + sep + std::to_string(comparison.dfSeparate),
        joined(setComparisonColumns(), separator),
    };
    const auto test = [&](const std::optional<FTest>& t) {
        return t ? std::vector<std::string>{num(t->f), num(t->p)}
                 : std::vector<std::string>{"", ""};
    };
    std::vector<std::string> common = {"Una curva para ambos conjuntos", "", "", "", ""};
    for (const std::string& cell : test(comparison.common)) {
        common.push_back(cell);
    }
    lines.push_back(joined(common, separator));
    for (const SetDifference& d : comparison.differences) {
        std::vector<std::string> cells = {quotedIfHolding(d.label, separator),
                                          num(d.difference), num(d.standardError), num(d.lower),
                                          num(d.upper)};
        for (const std::string& cell : test(d.test)) {
            cells.push_back(cell);
        }
        lines.push_back(joined(cells, separator));
    }
    lines.push_back(quotedIfHolding(comparison.sentence, separator));
    std::string out;
    for (const std::string& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

const std::vector<std::string>& setComparisonColumns() {
    static const std::vector<std::string> columns = {
        "Magnitud", "Diferencia", "Error típico", "IC 95 % inferior", "IC 95 % superior", "F",
        "p"};
    return columns;
}

} // namespace gompertz::fit
