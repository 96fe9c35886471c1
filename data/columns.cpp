#include "columns.h"

#include "data_file.h"
#include "data_sets.h"
#include "line_reader.h"
#include "model/errors.h"
#include "model/number_text.h"

#include <QChar>
#include <QList>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

namespace gompertz::data {
namespace {

// A data row and a header, and one more to tell that there are too many:
// nothing past them is ever read.
constexpr std::size_t kMaxRecords = kRows + 2;
constexpr char kBlanks = ' ';
const std::string_view kNoBreakSpaces[] = {"\xC2\xA0", "\xE2\x80\xAF"}; // U+00A0, U+202F

// Blanks, tabs and no-break spaces around a field.
std::string_view trimmed(std::string_view text, bool tabs) {
    bool changed = true;
    while (changed) {
        changed = false;
        for (const bool front : {true, false}) {
            if (text.empty()) {
                return text;
            }
            const char ch = front ? text.front() : text.back();
            if (ch == ' ' || (tabs && ch == '\t')) {
                front ? text.remove_prefix(1) : text.remove_suffix(1);
                changed = true;
            }
            for (std::string_view space : kNoBreakSpaces) {
                if (front ? text.starts_with(space) : text.ends_with(space)) {
                    front ? text.remove_prefix(space.size()) : text.remove_suffix(space.size());
                    changed = true;
                }
            }
        }
    }
    return text;
}

bool isBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

// Whether ch stands in the line outside double quotes.
bool hasOutsideQuotes(std::string_view line, char ch) {
    bool quoted = false;
    for (const char c : line) {
        quoted = c == '"' ? !quoted : quoted;
        if (c == ch && !quoted) {
            return true;
        }
    }
    return false;
}

// One field of a line, unquoted as RFC 4180 writes it ("a ""b""" is a "b").
struct Field {
    std::string text;
    bool quoted = false;
};

// The fields of a line; a quoted field may hold the separator. Nothing when
// a quote is left open. Empty fields are kept only before a field that is
// not, so that a line of separators costs nothing; past `most` fields the
// line is cut, its first most + 1 fields telling that it has too many.
std::optional<std::vector<Field>> fields(std::string_view line, char separator,
                                         std::size_t most = std::string_view::npos) {
    std::vector<Field> out;
    std::size_t emptyBefore = 0; // empty fields not yet kept
    std::size_t pos = 0;
    // Past the last character that is neither a blank nor the separator,
    // every field is empty: dropped at once, however many.
    const char blanksAndSeparator[] = {' ', '\t', separator, '\0'};
    const std::size_t lastFilled = line.find_last_not_of(blanksAndSeparator);
    const auto skipBlanks = [&] {
        while (pos < line.size() &&
               (line[pos] == ' ' || (separator != '\t' && line[pos] == '\t'))) {
            ++pos;
        }
    };
    while (out.size() <= most) {
        if (lastFilled == std::string_view::npos || pos > lastFilled) {
            break;
        }
        if (separator == kBlanks) {
            skipBlanks();
            if (pos == line.size()) {
                break;
            }
        }
        Field field;
        const std::size_t start = pos;
        skipBlanks();
        if (pos < line.size() && line[pos] == '"') {
            field.quoted = true;
            for (++pos;; ++pos) {
                if (pos == line.size()) {
                    return std::nullopt;
                }
                if (line[pos] == '"' && pos + 1 < line.size() && line[pos + 1] == '"') {
                    field.text += '"';
                    ++pos;
                } else if (line[pos] == '"') {
                    break;
                } else {
                    field.text += line[pos];
                }
            }
            ++pos;
            if (separator != kBlanks) {
                skipBlanks();
            }
        } else {
            pos = start;
        }
        const auto atEnd = [&] {
            return pos == line.size() ||
                   (separator == kBlanks ? isBlank(line[pos]) : line[pos] == separator);
        };
        const std::size_t rest = pos;
        while (!atEnd()) {
            ++pos;
        }
        if (!field.quoted) {
            field.text = trimmed(line.substr(rest, pos - rest), separator != '\t');
        } else if (pos > rest) {
            field.text += line.substr(rest, pos - rest); // text after the closing quote
        }
        if (trimmed(field.text, true).empty()) {
            ++emptyBefore; // spreadsheets end rows with empty fields
        } else {
            for (; emptyBefore > 0 && out.size() <= most; --emptyBefore) {
                out.emplace_back();
            }
            if (out.size() <= most) {
                out.push_back(std::move(field));
            }
        }
        if (pos == line.size()) {
            break;
        }
        ++pos;
    }
    return out;
}

// The lines that hold more than blanks, as many as are ever read, among
// the first `lines` lines (0: all).
std::vector<std::string_view> firstLines(std::string_view text, std::size_t lines = 0) {
    std::vector<std::string_view> out;
    LineReader reader(text);
    while (out.size() < kMaxRecords && !reader.atEnd() &&
           (lines == 0 || static_cast<std::size_t>(reader.number()) < lines)) {
        const std::string_view line = reader.next();
        if (!trimmed(line, true).empty()) {
            out.push_back(line);
        }
    }
    return out;
}

// A file's separator, from its first lines: ";", then a tab, then blanks or
// "," ("1,5 2,5" is two fields with decimal commas; "1, 2" is two fields
// separated by the comma).
char fileSeparatorOf(std::string_view text, std::size_t lines = 0) {
    const std::vector<std::string_view> first = firstLines(text, lines);
    const auto any = [&first](char ch) {
        return std::any_of(first.begin(), first.end(),
                           [ch](std::string_view l) { return hasOutsideQuotes(l, ch); });
    };
    if (any(';')) {
        return ';';
    }
    if (any('\t')) {
        return '\t';
    }
    for (std::string_view l : first) {
        const std::string_view text = trimmed(l, true);
        const std::size_t gap = text.find(' ');
        if (gap != std::string_view::npos && text[gap - 1] != ',') {
            return kBlanks;
        }
    }
    return any(',') ? ',' : kBlanks;
}

bool isDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

std::string codeName(char32_t code) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(code));
    return name;
}

// Characters a message would not show: controls, format characters (the
// zero-width ones, the direction marks) and line or paragraph separators.
bool isInvisible(char32_t code) {
    switch (QChar::category(code)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

// The text as a message shows it: C0 controls as their pictures (␀, ␉),
// other invisible characters as [U+0085], a byte that is not UTF-8 as
// U+FFFD; at most `limit` characters, "…" marking a cut.
std::string visible(std::string_view text, std::size_t limit = std::string_view::npos) {
    QString out;
    std::size_t count = 0;
    for (const char32_t code : QString::fromUtf8(text.data(), std::ssize(text)).toUcs4()) {
        if (count++ == limit) {
            out += QStringLiteral("…");
            break;
        }
        if (code < 0x20 || code == 0x7F) {
            out += QChar(code == 0x7F ? 0x2421 : 0x2400 + code);
        } else if (isInvisible(code)) {
            out += QLatin1Char('[') + QString::fromStdString(codeName(code)) + QLatin1Char(']');
        } else {
            out += QString::fromUcs4(&code, 1);
        }
    }
    return out.toStdString();
}

// The first control or invisible character of a field, a tab aside.
std::optional<char32_t> firstInvisible(std::string_view text) {
    for (const char32_t code : QString::fromUtf8(text.data(), std::ssize(text)).toUcs4()) {
        if (code != '\t' && isInvisible(code)) {
            return code;
        }
    }
    return std::nullopt;
}

enum class Mark { None, Point, Comma };

char charOf(Mark mark) {
    return mark == Mark::Point ? '.' : ',';
}

Mark otherThan(Mark mark) {
    return mark == Mark::Point ? Mark::Comma : Mark::Point;
}

// A field read as a number on its own: both marks make the last one decimal
// and the other grouping; a repeated mark groups; a single mark is decimal.
struct Reading {
    enum Kind { Number, NotNumber, BadGrouping, OutOfRange } kind = NotNumber;
    double value = 0.0;
    Mark decimal = Mark::None;  // the decimal mark the field holds
    Mark grouping = Mark::None; // the grouping mark the field holds

    // The decimal mark the field implies for the whole text, if any.
    Mark vote() const {
        return decimal != Mark::None    ? decimal
               : grouping != Mark::None ? otherThan(grouping)
                                        : Mark::None;
    }
    std::string usage() const {
        if (decimal != Mark::None) {
            return decimal == Mark::Comma ? "usa la coma decimal" : "usa el punto decimal";
        }
        return grouping == Mark::Comma ? "usa la coma de miles" : "usa el punto de miles";
    }
};

Reading readNumber(std::string_view field) {
    const std::string_view text = trimmed(field, true);
    Reading out;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        ++pos;
    }
    const std::string_view sign = text.substr(0, pos);
    const std::size_t start = pos;
    while (pos < text.size() && (isDigit(text[pos]) || text[pos] == '.' || text[pos] == ',')) {
        ++pos;
    }
    const std::string_view mantissa = text.substr(start, pos - start);
    const std::string_view exponent = text.substr(pos);
    bool exponentOk = exponent.empty();
    if (!exponent.empty() && (exponent[0] == 'e' || exponent[0] == 'E')) {
        const std::size_t digits =
            exponent.size() > 1 && (exponent[1] == '+' || exponent[1] == '-') ? 2 : 1;
        exponentOk = digits < exponent.size() &&
                     std::all_of(exponent.begin() + digits, exponent.end(), isDigit);
    }
    if (!exponentOk || std::none_of(mantissa.begin(), mantissa.end(), isDigit)) {
        return out;
    }
    const auto points = std::count(mantissa.begin(), mantissa.end(), '.');
    const auto commas = std::count(mantissa.begin(), mantissa.end(), ',');
    if (points > 0 && commas > 0) {
        out.decimal = mantissa[mantissa.find_last_of(".,")] == '.' ? Mark::Point : Mark::Comma;
        out.grouping = otherThan(out.decimal);
        if ((out.decimal == Mark::Point ? points : commas) > 1) {
            return out; // two decimal marks
        }
    } else if (points + commas > 1) {
        out.grouping = points > 0 ? Mark::Point : Mark::Comma;
    } else if (points + commas == 1) {
        out.decimal = points > 0 ? Mark::Point : Mark::Comma;
    }
    const std::size_t decimalAt =
        out.decimal == Mark::None ? std::string_view::npos : mantissa.find(charOf(out.decimal));
    const std::string_view whole = mantissa.substr(0, decimalAt);
    std::string form(sign);
    if (out.grouping == Mark::None) {
        form += whole;
    } else {
        // One to three digits, then groups of exactly three.
        for (std::size_t from = 0;;) {
            const std::size_t at = whole.find(charOf(out.grouping), from);
            const std::size_t length = (at == std::string_view::npos ? whole.size() : at) - from;
            if (from == 0 ? length < 1 || length > 3 : length != 3) {
                out.kind = Reading::BadGrouping;
                return out;
            }
            form += whole.substr(from, length);
            if (at == std::string_view::npos) {
                break;
            }
            from = at + 1;
        }
    }
    if (decimalAt != std::string_view::npos) {
        form += ',';
        form += mantissa.substr(decimalAt + 1);
    }
    form += exponent;
    try {
        out.value = parseNumber(form); // no point is left: the window's decimal comma
        out.kind = Reading::Number;
    } catch (const OverflowError&) {
        out.kind = Reading::OutOfRange; // a number, beyond what a double holds
    } catch (const RuntimeError&) {
    }
    return out;
}

// "10 000": a count as Spanish text writes it.
std::string groupedCount(std::size_t count) {
    const std::string digits = std::to_string(count);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ' ';
        }
        out += digits[i];
    }
    return out;
}

std::string atLine(int line, const std::string& what) {
    return "en la línea " + std::to_string(line) + ", " + what;
}

std::string quoted(std::string_view field) {
    return "«" + visible(field, 40) + "»";
}

struct Record {
    int line = 0;
    std::vector<Field> fields;
};

// A refusal and the line it names; past the last line when it names none.
struct Problem {
    int line = 0;
    std::string message;
};

constexpr int kPastTheEnd = std::numeric_limits<int>::max();

Problem problemAt(int line, const std::string& what) {
    return {line, atLine(line, what)};
}

// What the rows of a text must be: how many at most, and how many fields
// each (0 for the width of the first row); where a row may leave a field
// empty, the missing value reads as NaN. A set also bounds its values
// (beside t) and its lines, blank ones included (0: no bound).
struct Layout {
    std::size_t rows = kRows;
    std::size_t width = 2;
    bool missing = false;
    std::size_t widest = 2;
    std::size_t values = 0;
    std::size_t lines = 0;
};

Layout layoutOf(ColumnSource source) {
    return source == ColumnSource::File ? Layout{} : Layout{kRows, 0, false, 2};
}

// The lines that hold a field, one at a time; lines that are empty or hold
// only empty fields are skipped like blank lines. A line is cut past the
// `most` fields asked for, and a text past `lines` lines is refused there,
// so that nothing is read beyond a bound once it is passed.
class RecordReader {
  public:
    RecordReader(std::string_view text, char separator, std::size_t lines)
        : reader_(text), separator_(separator), lines_(lines) {}

    // The next record, nothing past the last one, or why a line is refused.
    std::variant<std::optional<Record>, Problem> next(std::size_t most) {
        while (!reader_.atEnd()) {
            const std::string_view line = reader_.next();
            if (lines_ > 0 && static_cast<std::size_t>(reader_.number()) > lines_) {
                return problemAt(reader_.number(),
                                 "el archivo tiene más de " + groupedCount(lines_) + " líneas");
            }
            if (line.size() > kMaxLineLength) {
                return problemAt(reader_.number(), "la línea es demasiado larga");
            }
            auto split = fields(line, separator_, most);
            if (!split) {
                return problemAt(reader_.number(), "falta la comilla que cierra un campo");
            }
            if (!split->empty()) {
                return std::optional<Record>(Record{reader_.number(), std::move(*split)});
            }
        }
        return std::optional<Record>();
    }

  private:
    LineReader reader_;
    char separator_;
    std::size_t lines_;
};

// A header is a first line none of whose fields reads as a number.
bool isHeader(const Record& record) {
    return std::none_of(record.fields.begin(), record.fields.end(), [](const Field& f) {
        return readNumber(f.text).kind != Reading::NotNumber;
    });
}

// The rows of a text split by one separator, and where a comma first groups
// digits (a clipboard text read either way is refused there).
struct Outcome {
    std::variant<ColumnRows, Problem> result;
    std::vector<std::string> header; // the skipped header's fields, if any
    int headerLine = 0;
    int commaGroupingLine = 0; // 0 when no comma groups digits
    std::string commaGroupingField;
};

Outcome readText(std::string_view text, char separator, const Layout& layout) {
    Outcome out;
    RecordReader reader(text, separator, layout.lines);
    // The next record, or nothing once the text ends or is refused. The
    // first is read whole, for a header is one only if none of its fields
    // is a number; the rows are cut past the widest a row may be.
    const std::size_t widest = layout.missing ? layout.widest : 2;
    std::size_t most = std::string_view::npos;
    const auto nextRecord = [&]() -> std::optional<Record> {
        auto found = reader.next(most);
        most = std::min(most, widest);
        if (auto* problem = std::get_if<Problem>(&found)) {
            out.result = std::move(*problem);
            return std::nullopt;
        }
        return std::get<std::optional<Record>>(std::move(found));
    };
    std::optional<Record> record = nextRecord();
    if (record && isHeader(*record)) {
        for (const Field& field : record->fields) {
            out.header.emplace_back(trimmed(field.text, true));
        }
        out.headerLine = record->line;
        if (layout.missing && out.header.size() > layout.widest) {
            out.result = problemAt(record->line,
                                   "hay más de " + std::to_string(layout.widest) + " columnas");
            return out;
        }
        if (layout.missing) {
            most = std::min(most, out.header.size()); // a row no wider than its header
        }
        record = nextRecord(); // a header of column names
    }
    struct Vote {
        int line = 0;
        std::string field;
        Reading reading;
    };
    std::optional<Vote> first; // the first field that implies a decimal mark
    const bool file = layout.width == 2 && !layout.missing;
    const bool set = layout.missing;
    std::size_t width = layout.width;
    std::size_t values = 0; // a set's, beside t
    ColumnRows rows;
    for (; record; record = nextRecord()) {
        const auto refuse = [&](const std::string& what) {
            out.result = problemAt(record->line, what);
            return out;
        };
        if (rows.size() == layout.rows) {
            std::string what = "hay más de " + groupedCount(layout.rows) + " filas de datos";
            if (file) {
                what += " (la tabla tiene " + std::to_string(kRows) +
                        "; «Añadir datos…», en la ventana de análisis, lee hasta " +
                        groupedCount(kMaxSetPoints) + " valores)";
            }
            return refuse(what);
        }
        std::vector<double> row;
        for (const Field& field : record->fields) {
            if (set && trimmed(field.text, true).empty()) {
                row.push_back(std::numeric_limits<double>::quiet_NaN()); // a missing value
                continue;
            }
            if (trimmed(field.text, true).empty()) {
                return refuse(file ? "se esperan dos números: t y el valor" : "falta un valor");
            }
            if (const auto code = firstInvisible(field.text)) {
                return refuse(
                    quoted(field.text) + " contiene un carácter " +
                    (QChar::category(*code) == QChar::Other_Control ? "de control" : "invisible") +
                    " (" + codeName(*code) + ")");
            }
            const Reading reading = readNumber(field.text);
            if (reading.kind == Reading::NotNumber) {
                return refuse(quoted(field.text) + " no es un número");
            }
            if (reading.kind == Reading::OutOfRange) {
                return refuse(quoted(field.text) +
                              " es un número fuera del rango que maneja el programa (de "
                              "-1,79E+308 a 1,79E+308)");
            }
            if (reading.kind == Reading::BadGrouping) {
                return refuse(quoted(field.text) + " no es un número: " +
                              (reading.grouping == Mark::Point ? "los puntos" : "las comas") +
                              " de miles separan grupos de tres cifras, solo en la parte entera");
            }
            if (reading.vote() != Mark::None && !first) {
                first = Vote{record->line, field.text, reading};
            } else if (reading.vote() != Mark::None && reading.vote() != first->reading.vote()) {
                const std::string where =
                    first->line == record->line
                        ? ", en la misma línea, "
                        : ", en la línea " + std::to_string(first->line) + ", ";
                return refuse(quoted(field.text) + " " + reading.usage() + ", pero " +
                              quoted(first->field) + where + first->reading.usage());
            }
            if (reading.grouping == Mark::Comma && out.commaGroupingLine == 0) {
                out.commaGroupingLine = record->line;
                out.commaGroupingField = field.text;
            }
            row.push_back(reading.value);
        }
        if (set) {
            if (std::isnan(row.front())) {
                return refuse("falta t");
            }
            if (!out.header.empty() && record->fields.size() > out.header.size()) {
                const std::size_t named = out.header.size();
                return refuse("la fila tiene más campos que la cabecera, que nombra " +
                              std::to_string(named) + (named == 1 ? " columna" : " columnas"));
            }
            if (row.size() > layout.widest) {
                return refuse("hay más de " + std::to_string(layout.widest) + " columnas");
            }
            values += static_cast<std::size_t>(
                std::count_if(row.begin() + 1, row.end(), [](double v) { return !std::isnan(v); }));
            if (layout.values > 0 && values > layout.values) {
                return refuse("hay más de " + groupedCount(layout.values) + " valores");
            }
            rows.push_back(std::move(row));
            continue;
        }
        if (width == 0) {
            width = std::clamp<std::size_t>(row.size(), 1, 2);
        }
        if (row.size() != width) {
            return refuse(file ? "se esperan dos números: t y el valor"
                               : "las filas no tienen las mismas columnas");
        }
        rows.push_back(std::move(row));
    }
    if (std::holds_alternative<Problem>(out.result)) {
        return out; // a line the reader refused
    }
    if (rows.empty()) {
        out.result = Problem{kPastTheEnd, "no hay filas de datos"};
    } else {
        out.result = std::move(rows);
    }
    return out;
}

bool succeeded(const Outcome& outcome) {
    return std::holds_alternative<ColumnRows>(outcome.result);
}

// The clipboard's text, and whether commas separate its fields.
struct ClipboardReading {
    std::variant<ColumnRows, Problem> result;
    bool byComma = false;
};

// A tab, else ";", separates pasted fields; failing both, a comma does where
// it cannot be a decimal comma: the lines do not read whole ("1,2.5",
// "1, 2"), or a line with quotes has a comma outside them. Text that reads
// whole with only decimal commas ("1,5") is one column; text that reads both
// ways, with a comma grouping digits in one of them ("1,234.5"), is refused.
ClipboardReading readClipboard(std::string_view text) {
    const std::vector<std::string_view> lines = firstLines(text);
    const auto any = [&lines](char ch) {
        return std::any_of(lines.begin(), lines.end(),
                           [ch](std::string_view l) { return hasOutsideQuotes(l, ch); });
    };
    if (any('\t') || any(';') || !any(',')) {
        return {readText(text, any('\t') ? '\t' : ';', layoutOf(ColumnSource::Clipboard)).result};
    }
    Outcome byComma = readText(text, ',', layoutOf(ColumnSource::Clipboard));
    if (std::any_of(lines.begin(), lines.end(), [](std::string_view l) {
            return l.find('"') != std::string_view::npos && hasOutsideQuotes(l, ',');
        })) {
        return {std::move(byComma.result), true};
    }
    Outcome whole = readText(text, ';', layoutOf(ColumnSource::Clipboard)); // no ';': one field a line
    if (succeeded(whole) && (whole.commaGroupingLine == 0 || !succeeded(byComma))) {
        return {std::move(whole.result)};
    }
    if (succeeded(whole)) {
        return {problemAt(whole.commaGroupingLine,
                          quoted(whole.commaGroupingField) +
                              " puede ser un número con coma de miles o dos columnas separadas "
                              "por una coma; copie los números sin separador de miles o separe "
                              "las columnas con un tabulador"),
                true};
    }
    if (succeeded(byComma)) {
        return {std::move(byComma.result), true};
    }
    // Neither reads: the one that reads further names the line at fault.
    const Problem& wholeProblem = std::get<Problem>(whole.result);
    const Problem& commaProblem = std::get<Problem>(byComma.result);
    return {commaProblem.line > wholeProblem.line ? commaProblem : wholeProblem};
}

// A text with NUL bytes in the pattern of UTF-16 or UTF-32 ASCII: the
// encoding, to be named rather than its bytes read as fields.
std::optional<std::string> wideEncodingOf(std::string_view text) {
    if (text.find('\0') == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view sample = text.substr(0, 4096);
    std::array<double, 4> zeros{}, counts{};
    for (std::size_t i = 0; i < sample.size(); ++i) {
        counts[i % 4] += 1;
        zeros[i % 4] += sample[i] == '\0' ? 1 : 0;
    }
    const auto share = [&](std::initializer_list<int> residues) {
        double z = 0, n = 0;
        for (const int r : residues) {
            z += zeros[r];
            n += counts[r];
        }
        return n > 0 ? z / n : 0.0;
    };
    const bool utf32 = sample.size() >= 8 && ((share({1, 2, 3}) >= 0.9 && share({0}) < 0.5) ||
                                              (share({0, 1, 2}) >= 0.9 && share({3}) < 0.5));
    if (utf32) {
        return "UTF-32";
    }
    const bool utf16 = sample.size() >= 4 && ((share({1, 3}) >= 0.75 && share({0, 2}) < 0.25) ||
                                              (share({0, 2}) >= 0.75 && share({1, 3}) < 0.25));
    if (utf16) {
        return "UTF-16";
    }
    return std::nullopt;
}

} // namespace

std::string textOf(std::string_view bytes) {
    const auto decoded = [&](QStringDecoder::Encoding encoding, std::size_t mark) {
        QStringDecoder decoder(encoding);
        const QString text =
            decoder.decode(QByteArrayView(bytes.data(), bytes.size()).sliced(mark));
        return text.toStdString();
    };
    using namespace std::string_view_literals;
    if (bytes.starts_with("\xFF\xFE\0\0"sv)) { // before UTF-16's mark, which it starts with
        return decoded(QStringDecoder::Utf32LE, 4);
    }
    if (bytes.starts_with("\0\0\xFE\xFF"sv)) {
        return decoded(QStringDecoder::Utf32BE, 4);
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return decoded(QStringDecoder::Utf16LE, 2);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return decoded(QStringDecoder::Utf16BE, 2);
    }
    if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

std::variant<ColumnRows, std::string> parseColumns(std::string_view text, ColumnSource source) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    const bool file = source == ColumnSource::File;
    if (const auto encoding = wideEncodingOf(text)) {
        return (file ? "el archivo parece estar en " : "el texto copiado parece estar en ") +
               *encoding + " sin marca de orden de bytes; " +
               (file ? "guárdelo como UTF-8" : "cópielo como texto UTF-8");
    }
    auto result =
        file ? readText(text, fileSeparatorOf(text), layoutOf(source)).result
             : readClipboard(text).result;
    if (auto* problem = std::get_if<Problem>(&result)) {
        return std::move(problem->message);
    }
    return std::get<ColumnRows>(std::move(result));
}

std::variant<SetColumns, std::string> parseSetColumns(std::string_view text,
                                                      const SetLimits& limits) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (const auto encoding = wideEncodingOf(text)) {
        return "el archivo parece estar en " + *encoding +
               " sin marca de orden de bytes; guárdelo como UTF-8";
    }
    const Layout layout{limits.rows, 0, true, limits.columns, limits.values, limits.lines};
    Outcome read = readText(text, fileSeparatorOf(text, limits.lines), layout);
    if (auto* problem = std::get_if<Problem>(&read.result)) {
        return std::move(problem->message);
    }
    return SetColumns{std::move(read.header), read.headerLine,
                      std::get<ColumnRows>(std::move(read.result))};
}

SetHeader setHeaderOf(std::string_view text, std::size_t lines) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    RecordReader reader(text, fileSeparatorOf(text, lines), lines);
    auto found = reader.next(std::string_view::npos);
    const auto* record = std::get_if<std::optional<Record>>(&found);
    if (record == nullptr || !*record || !isHeader(**record)) {
        return {};
    }
    SetHeader out{{}, (*record)->line};
    for (const Field& field : (*record)->fields) {
        out.fields.emplace_back(trimmed(field.text, true));
    }
    return out;
}

bool spansSeveralCells(std::string_view text) {
    if (text.find('\t') != std::string_view::npos || text.find(';') != std::string_view::npos) {
        return true;
    }
    LineReader reader(text);
    int filled = 0;
    while (filled < 2 && !reader.atEnd()) {
        filled += trimmed(reader.next(), true).empty() ? 0 : 1;
    }
    // One line: several cells where its commas separate fields, or may.
    return filled > 1 || readClipboard(text).byComma;
}

std::string visibleText(std::string_view text) {
    return visible(text);
}

namespace {

// A file's rows as import reads them, or its message.
std::variant<ColumnRows, std::string> importedRows(const std::string& path) {
    const FileBytes file = readBounded(path);
    if (file.error) {
        return visible(*file.error); // a file's name may hold a control character
    }
    const std::string name = visible(fileNameOf(path));
    auto parsed = parseColumns(textOf(file.bytes), ColumnSource::File);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        return "No se puede importar " + name + ": " + *problem + ". La tabla no se ha modificado.";
    }
    return parsed;
}

} // namespace

std::optional<std::string> checkImport(const std::string& path) {
    const auto rows = importedRows(path);
    if (const auto* problem = std::get_if<std::string>(&rows)) {
        return *problem;
    }
    return std::nullopt;
}

std::optional<std::string> importColumns(CellTable& table, const std::string& path) {
    const auto parsed = importedRows(path);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        return *problem;
    }
    const auto& rows = std::get<ColumnRows>(parsed);
    for (int i = 0; i < kRows; ++i) {
        const bool loaded = i < static_cast<int>(rows.size());
        table.setText(Column::X, i, loaded ? formatNumber(rows[i][0]) : std::string());
        table.setText(Column::Y, i, loaded ? formatNumber(rows[i][1]) : std::string());
    }
    return std::nullopt;
}

std::optional<std::string> pasteColumns(CellTable& table, int row, Column column,
                                        std::string_view text) {
    if (text.size() > kMaxFileBytes) {
        return std::string(
            "No se puede pegar: el texto copiado es demasiado grande (más de 1 MiB). "
            "La tabla no se ha modificado.");
    }
    const auto parsed = parseColumns(text, ColumnSource::Clipboard);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        return "No se puede pegar: " + *problem + ". La tabla no se ha modificado.";
    }
    const auto& rows = std::get<ColumnRows>(parsed);
    if (row < 0 || row + static_cast<int>(rows.size()) > kRows) {
        return "No se puede pegar: " + std::to_string(rows.size()) + " filas desde la fila " +
               std::to_string(row + 1) +
               " no caben en las 20 de la tabla. La tabla no se ha "
               "modificado.";
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int at = row + static_cast<int>(i);
        if (rows[i].size() == 2) {
            table.setText(Column::X, at, formatNumber(rows[i][0]));
            table.setText(Column::Y, at, formatNumber(rows[i][1]));
        } else {
            table.setText(column, at, formatNumber(rows[i][0]));
        }
    }
    return std::nullopt;
}

} // namespace gompertz::data
