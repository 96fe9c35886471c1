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
    for (std::string& note : out) {
        note = withMinusSigns(note);
    }
    return out;
}


// The header and one line a row, the row's name first.
std::vector<std::string> tableLines(const Analysis& analysis, char separator, bool decimalComma,
                                    int digits) {
    std::vector<std::string> lines = {std::string(1, separator) +
                                      joined(resultColumns(), separator)};
    const auto rows = estimates(analysis.fit);
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const auto interval =
            r < analysis.intervals.size() ? analysis.intervals[r] : std::optional<ProfileInterval>{};
        std::vector<std::string> cells =
            resultCells(rows[r].estimate, converged(analysis.fit), digits, interval);
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

std::string quotedIfHolding(const std::string& text, char separator) {
    if (text.find(separator) == std::string::npos && text.find('"') == std::string::npos &&
        text.find('\n') == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char ch : text) {
        out += ch == '"' ? std::string("\"\"") : std::string(1, ch);
    }
    return out + "\"";
}

std::string withMinusSigns(const std::string& sentence) {
    std::string out;
    out.reserve(sentence.size() + 8);
    for (std::size_t i = 0; i < sentence.size(); ++i) {
        const char ch = sentence[i];
        const bool beforeDigit = i + 1 < sentence.size() && sentence[i + 1] >= '0' &&
                                 sentence[i + 1] <= '9';
        const char prior = i == 0 ? ' ' : sentence[i - 1];
        const bool starts = prior == ' ' || prior == '(' || prior == '[' || prior == '=' ||
                            prior == '\n';
        out += ch == '-' && beforeDigit && starts ? std::string("−") : std::string(1, ch);
    }
    return out;
}

std::string labelInSentence(const std::string& label) {
    // A word of lower case letters after the capital: a name, not a symbol.
    if (label.size() > 1 && label[0] >= 'A' && label[0] <= 'Z' && label[1] >= 'a' &&
        label[1] <= 'z') {
        return static_cast<char>(label[0] - 'A' + 'a') + label.substr(1);
    }
    return label;
}

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
                                      char separator, bool decimalComma, int digits) {
    const Fit& fit = analysis.fit;
    const std::string sep(1, separator);
    const auto r2 = rSquared(fit, points);
    std::vector<std::string> lines = {
        "n" + sep + std::to_string(fit.points),
        "gl" + sep + std::to_string(fit.degreesOfFreedom),
        "SSE" + sep + number(fit.sse, digits, decimalComma),
        "s" + sep + number(residualDeviation(fit), digits, decimalComma),
        "R²" + sep + (r2 ? number(*r2, digits, decimalComma) : kUndetermined),
        "iteraciones" + sep + std::to_string(fit.iterations),
        "modelo" + sep + fit.model->name(),
    };
    const auto more = notes(analysis, points);
    for (auto note = more.begin() + 1; note != more.end(); ++note) { // the model is named above
        lines.push_back(quotedIfHolding(*note, separator));
    }
    return lines;
}

std::string resultsText(const Analysis& analysis, const std::vector<Point>& points, int digits) {
    std::string out;
    for (const std::string& line : tableLines(analysis, '\t', true, digits)) {
        out += line + "\n";
    }
    out += "\n";
    for (const std::string& line : summaryLines(analysis, points, '\t', true, digits)) {
        out += line + "\n";
    }
    return out;
}

std::string csvText(const GrowthModel& model, const std::optional<Analysis>& analysis,
                    const Parameters& shown, const Fixed& fixed,
                    const std::vector<Point>& points, char separator, bool decimalComma,
                    int digits) {
    const auto num = [decimalComma, digits](double v) { return number(v, digits, decimalComma); };
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
    for (const std::string& line : tableLines(table, separator, decimalComma, digits)) {
        lines.push_back(line);
    }
    if (analysis) {
        lines.emplace_back();
        for (const std::string& line :
             summaryLines(*analysis, points, separator, decimalComma, digits)) {
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

std::string pointsCsv(const std::vector<Point>& points, char separator, bool decimalComma,
                      int digits) {
    std::string out = joined({"t", "y"}, separator) + "\r\n";
    for (const Point& point : points) {
        out += joined({number(point.t, digits, decimalComma), number(point.y, digits, decimalComma)},
                      separator) +
               "\r\n";
    }
    return out;
}

std::string setComparisonCsv(const SetComparison& comparison, const GrowthModel& model,
                             const std::string& first, const std::string& second, char separator,
                             bool decimalComma, int digits) {
    const auto num = [decimalComma, digits](const std::optional<double>& v) {
        return v ? number(*v, digits, decimalComma) : std::string();
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

namespace gompertz::fit {

std::string htmlOf(const std::string& text) {
    const auto escaped = [](const std::string& cell) {
        std::string out;
        for (const char ch : cell) {
            out += ch == '&' ? std::string("&amp;")
                   : ch == '<' ? std::string("&lt;")
                   : ch == '>' ? std::string("&gt;")
                               : std::string(1, ch);
        }
        return out;
    };
    std::string out = "<html><body>\n";
    bool inTable = false;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(from, end - from);
        from = end + 1;
        if (line.find('\t') == std::string::npos) {
            if (inTable) {
                out += "</table>\n";
                inTable = false;
            }
            if (!line.empty()) {
                out += "<p>" + escaped(line) + "</p>\n";
            }
            continue;
        }
        if (!inTable) {
            out += "<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\">\n";
            inTable = true;
        }
        out += "<tr>";
        std::size_t cell = 0;
        while (true) {
            const std::size_t tab = line.find('\t', cell);
            out += "<td>" + escaped(line.substr(cell, tab - cell)) + "</td>";
            if (tab == std::string::npos) {
                break;
            }
            cell = tab + 1;
        }
        out += "</tr>\n";
    }
    if (inTable) {
        out += "</table>\n";
    }
    return out + "</body></html>\n";
}

std::string methodsText(const Analysis& analysis, const std::vector<Point>& points,
                        const std::string& program) {
    const Fit& fit = analysis.fit;
    const GrowthModel& model = *fit.model;
    const std::string weighting =
        fit.weighting == Weighting::RelativeValue
            ? ", ponderados por 1/y² (error relativo constante)"
        : fit.weighting == Weighting::Deviation
            ? ", ponderados por 1/DE² (la desviación típica de las réplicas en cada t)"
            : ", sin ponderar (todos los valores con el mismo peso)";
    std::string text = std::string("Se ajustó ") + model.inSentence() + ", " + model.formula() +
                       ", a n = " + std::to_string(fit.points) +
                       " valores por mínimos cuadrados no lineales (algoritmo de "
                       "Levenberg-Marquardt, MINPACK)" +
                       weighting + ".";
    for (int j = 0; j < model.parameterCount(); ++j) {
        if (fit.fixed[static_cast<std::size_t>(j)]) {
            text += std::string(" El parámetro ") + model.parameter(j).name + " se fijó en " +
                    number(fit.parameters[static_cast<std::size_t>(j)], 6) + ".";
        }
    }
    text += " Los intervalos de confianza del 95 % de los parámetros y de las magnitudes "
            "derivadas se obtuvieron por verosimilitud perfilada, y los errores típicos por el "
            "método delta.";
    const auto rows = estimates(fit);
    std::string results;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows[r].estimate.fixed) {
            continue;
        }
        const auto interval =
            r < analysis.intervals.size() ? analysis.intervals[r] : std::optional<ProfileInterval>{};
        const auto cells = resultCells(rows[r].estimate, converged(fit), 6, interval);
        std::string item = labelInSentence(rows[r].label) + " = " + cells[0];
        if (!cells[2].empty() || !cells[3].empty()) {
            item += " (IC 95 %: " + cells[2] + " a " + cells[3] + ")";
        }
        results += (results.empty() ? "" : "; ") + item;
    }
    const auto r2 = rSquared(fit, points);
    text += " Resultados: " + results + ". Ajuste: SSE = " + number(fit.sse, 6) +
            ", s = " + number(residualDeviation(fit), 6) +
            (r2 ? ", R² = " + number(*r2, 6) : std::string()) + ", " +
            std::to_string(fit.degreesOfFreedom) + " grados de libertad.";
    if (const auto test = lackOfFit(fit, points)) {
        text += ' '; // appended apart: GCC 12 warns falsely on " " + string&&
        text += lackOfFitSentence(*test);
    }
    // What the summary warns of belongs with the numbers it qualifies.
    if (fit.illDetermined) {
        text += " Los datos no determinan bien los parámetros.";
    }
    for (const std::string& warning : analysis.warnings) {
        text += ' ';
        text += warning;
    }
    text += " Análisis realizado con " + program + ".";
    return withMinusSigns(text);
}

} // namespace gompertz::fit
