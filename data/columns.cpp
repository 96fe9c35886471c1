#include "columns.h"

#include "data_file.h"
#include "line_reader.h"
#include "model/errors.h"
#include "model/number_text.h"

#include <QStringDecoder>

#include <algorithm>

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
// a quote is left open.
std::optional<std::vector<Field>> fields(std::string_view line, char separator) {
    std::vector<Field> out;
    std::size_t pos = 0;
    const auto skipBlanks = [&] {
        while (pos < line.size() &&
               (line[pos] == ' ' || (separator != '\t' && line[pos] == '\t'))) {
            ++pos;
        }
    };
    while (true) {
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
        out.push_back(std::move(field));
        if (pos == line.size()) {
            break;
        }
        ++pos;
    }
    while (!out.empty() && trimmed(out.back().text, true).empty()) {
        out.pop_back(); // spreadsheets end rows with empty fields
    }
    return out;
}

// The separator, from the first lines: ";", then a tab, then blanks or ","
// ("1,5 2,5" is two fields with decimal commas; "1, 2" is two fields
// separated by the comma). The clipboard separates by a tab or ";" only.
char separatorOf(std::string_view text, ColumnSource source) {
    std::vector<std::string_view> lines;
    LineReader reader(text);
    while (lines.size() < kMaxRecords && !reader.atEnd()) {
        const std::string_view line = reader.next();
        if (!trimmed(line, true).empty()) {
            lines.push_back(line);
        }
    }
    const auto any = [&lines](char ch) {
        return std::any_of(lines.begin(), lines.end(),
                           [ch](std::string_view l) { return hasOutsideQuotes(l, ch); });
    };
    if (source == ColumnSource::Clipboard) {
        return any('\t') ? '\t' : ';';
    }
    if (any(';')) {
        return ';';
    }
    if (any('\t')) {
        return '\t';
    }
    for (std::string_view l : lines) {
        const std::string_view text = trimmed(l, true);
        const std::size_t gap = text.find(' ');
        if (gap != std::string_view::npos && text[gap - 1] != ',') {
            return kBlanks;
        }
    }
    return any(',') ? ',' : kBlanks;
}

std::optional<double> number(std::string_view field, bool decimalComma) {
    std::string text(trimmed(field, true));
    if (!decimalComma) {
        if (text.find(',') != std::string::npos) {
            return std::nullopt;
        }
        std::replace(text.begin(), text.end(), '.', ','); // the window reads the comma
    }
    try {
        return parseNumber(text);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

std::string atLine(int line, const std::string& what) {
    return "en la línea " + std::to_string(line) + ", " + what;
}

std::string quoted(std::string_view field) {
    return "«" + std::string(field.substr(0, 40)) + "»";
}

struct Record {
    int line = 0;
    std::vector<Field> fields;
};

// The lines that hold a field, at most kMaxRecords of them; lines that are
// empty or hold only empty fields are skipped like blank lines.
std::variant<std::vector<Record>, std::string> records(std::string_view text, char separator) {
    std::vector<Record> out;
    LineReader reader(text);
    while (out.size() < kMaxRecords && !reader.atEnd()) {
        const std::string_view line = reader.next();
        if (line.size() > kMaxLineLength) {
            return atLine(reader.number(), "la línea es demasiado larga");
        }
        auto split = fields(line, separator);
        if (!split) {
            return atLine(reader.number(), "falta la comilla que cierra un campo");
        }
        if (!split->empty()) {
            out.push_back({reader.number(), std::move(*split)});
        }
    }
    return out;
}

// A header is a first line none of whose fields reads as a number.
bool isHeader(const Record& record) {
    return std::none_of(record.fields.begin(), record.fields.end(), [](const Field& f) {
        return number(f.text, true) || number(f.text, false);
    });
}

} // namespace

std::string textOf(std::string_view bytes) {
    const auto decoded = [&](QStringDecoder::Encoding encoding) {
        QStringDecoder decoder(encoding);
        const QString text = decoder.decode(QByteArrayView(bytes.data(), bytes.size()).sliced(2));
        return text.toStdString();
    };
    if (bytes.starts_with("\xFF\xFE")) {
        return decoded(QStringDecoder::Utf16LE);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return decoded(QStringDecoder::Utf16BE);
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
    const char separator = separatorOf(text, source);
    auto found = records(text, separator);
    if (const auto* problem = std::get_if<std::string>(&found)) {
        return *problem;
    }
    auto& lines = std::get<std::vector<Record>>(found);
    if (!lines.empty() && isHeader(lines.front())) {
        lines.erase(lines.begin()); // a header of column names
    }
    bool decimalComma = false;
    for (const Record& record : lines) {
        for (const Field& field : record.fields) {
            decimalComma = decimalComma || field.text.find(',') != std::string::npos;
        }
    }
    const bool file = source == ColumnSource::File;
    std::size_t width = file ? 2 : 0;
    ColumnRows rows;
    for (const Record& record : lines) {
        if (rows.size() == static_cast<std::size_t>(kRows)) {
            return atLine(record.line, "hay más de 20 filas de datos");
        }
        std::vector<double> values;
        for (const Field& field : record.fields) {
            const auto value = number(field.text, decimalComma);
            if (!value && trimmed(field.text, true).empty()) {
                return atLine(record.line,
                              file ? "se esperan dos números: t y el valor" : "falta un valor");
            }
            if (!value) {
                return atLine(record.line, quoted(field.text) + " no es un número");
            }
            values.push_back(*value);
        }
        if (width == 0) {
            width = std::clamp<std::size_t>(values.size(), 1, 2);
        }
        if (values.size() != width) {
            return atLine(record.line, file ? "se esperan dos números: t y el valor"
                                            : "las filas no tienen las mismas columnas");
        }
        rows.push_back(std::move(values));
    }
    if (rows.empty()) {
        return std::string("no hay filas de datos");
    }
    return rows;
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
    return filled > 1;
}

std::optional<std::string> importColumns(CellTable& table, const std::string& path) {
    const FileBytes file = readBounded(path);
    if (file.error) {
        return file.error;
    }
    const std::string name = fileNameOf(path);
    const auto parsed = parseColumns(textOf(file.bytes), ColumnSource::File);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        return "No se puede importar " + name + ": " + *problem + ". La tabla no se ha modificado.";
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
