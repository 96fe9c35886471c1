#include "columns.h"

#include "data_file.h"
#include "model/errors.h"
#include "model/number_text.h"

#include <algorithm>

namespace gompertz::data {
namespace {

struct Line {
    int number = 0; // from 1, as an editor counts
    std::string_view text;
};

bool isBlank(char ch) {
    return ch == ' ' || ch == '\t';
}

std::string_view trimmed(std::string_view text, bool tabs) {
    const auto blank = [tabs](char ch) { return ch == ' ' || (tabs && ch == '\t'); };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<Line> nonEmptyLines(std::string_view text) {
    std::vector<Line> lines;
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        const std::string_view line = text.substr(0, end);
        ++number;
        if (!trimmed(line, true).empty()) {
            lines.push_back({number, line});
        }
        if (end == std::string_view::npos) {
            break;
        }
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crLf ? 2 : 1));
    }
    return lines;
}

constexpr char kBlanks = ' ';

char separatorOf(const std::vector<Line>& lines, ColumnSource source) {
    const auto any = [&lines](char ch) {
        return std::any_of(lines.begin(), lines.end(), [ch](const Line& l) {
            return l.text.find(ch) != std::string_view::npos;
        });
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
    // "1,5 2,5" is two fields with decimal commas; "1, 2" is two fields
    // separated by the comma.
    for (const Line& line : lines) {
        const std::string_view text = trimmed(line.text, true);
        const std::size_t gap = text.find(' ');
        if (gap != std::string_view::npos && text[gap - 1] != ',') {
            return kBlanks;
        }
    }
    return any(',') ? ',' : kBlanks;
}

std::vector<std::string_view> fields(std::string_view line, char separator) {
    std::vector<std::string_view> out;
    if (separator == kBlanks) {
        std::size_t pos = 0;
        while (pos < line.size()) {
            while (pos < line.size() && isBlank(line[pos])) {
                ++pos;
            }
            const std::size_t start = pos;
            while (pos < line.size() && !isBlank(line[pos])) {
                ++pos;
            }
            if (pos > start) {
                out.push_back(line.substr(start, pos - start));
            }
        }
        return out;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = line.find(separator, start);
        out.push_back(trimmed(line.substr(start, end - start), separator != '\t'));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    while (!out.empty() && trimmed(out.back(), true).empty()) {
        out.pop_back(); // spreadsheets end rows with empty fields
    }
    return out;
}

std::optional<double> number(std::string_view field, bool decimalComma) {
    std::string text(trimmed(field, true));
    if (!decimalComma) {
        std::replace(text.begin(), text.end(), '.', ','); // the window reads the comma
        if (std::count(field.begin(), field.end(), ',') > 0) {
            return std::nullopt;
        }
    }
    try {
        return parseNumber(text);
    } catch (const RuntimeError&) {
        return std::nullopt;
    }
}

bool hasLetter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char ch) {
        return (ch >= 'A' && ch <= 'Z' && ch != 'E') || (ch >= 'a' && ch <= 'z' && ch != 'e') ||
               static_cast<unsigned char>(ch) >= 0x80;
    });
}

std::string atLine(int line, const std::string& what) {
    return "en la línea " + std::to_string(line) + ", " + what;
}

std::string quoted(std::string_view field) {
    return "«" + std::string(field.substr(0, 40)) + "»";
}

} // namespace

std::variant<ColumnRows, std::string> parseColumns(std::string_view text, ColumnSource source) {
    std::vector<Line> lines = nonEmptyLines(text);
    const char separator = separatorOf(lines, source);
    bool decimalComma = false;
    if (separator != ',') {
        for (const Line& line : lines) {
            for (std::string_view field : fields(line.text, separator)) {
                decimalComma = decimalComma || field.find(',') != std::string_view::npos;
            }
        }
    }
    const bool file = source == ColumnSource::File;
    std::size_t width = file ? 2 : 0;
    ColumnRows rows;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto cells = fields(lines[i].text, separator);
        std::vector<double> values;
        std::optional<std::string_view> bad;
        for (std::string_view cell : cells) {
            if (const auto value = number(cell, decimalComma)) {
                values.push_back(*value);
            } else if (!bad) {
                bad = cell;
            }
        }
        if (file && i == 0 && bad && hasLetter(lines[i].text)) {
            continue; // a header of column names
        }
        if (bad && trimmed(*bad, true).empty()) {
            return atLine(lines[i].number, file ? "se esperan dos números: t y el valor"
                                                : "falta un valor");
        }
        if (bad) {
            return atLine(lines[i].number, quoted(*bad) + " no es un número");
        }
        if (width == 0) {
            width = std::clamp<std::size_t>(values.size(), 1, 2);
        }
        if (values.size() != width) {
            return atLine(lines[i].number, file ? "se esperan dos números: t y el valor"
                                                : "las filas no tienen las mismas columnas");
        }
        if (file && rows.size() == static_cast<std::size_t>(kRows)) {
            return atLine(lines[i].number, "hay más de 20 filas de datos");
        }
        rows.push_back(std::move(values));
    }
    if (rows.empty()) {
        return std::string("no hay filas de datos");
    }
    return rows;
}

bool spansSeveralCells(std::string_view text) {
    return nonEmptyLines(text).size() > 1 || text.find('\t') != std::string_view::npos ||
           text.find(';') != std::string_view::npos;
}

std::optional<std::string> importColumns(CellTable& table, const std::string& path) {
    const FileBytes file = readBounded(path);
    if (file.error) {
        return file.error;
    }
    const std::string name = fileNameOf(path);
    const auto parsed = parseColumns(file.bytes, ColumnSource::File);
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
    const auto parsed = parseColumns(text, ColumnSource::Clipboard);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        return "No se puede pegar: " + *problem + ". La tabla no se ha modificado.";
    }
    const auto& rows = std::get<ColumnRows>(parsed);
    if (row < 0 || row + static_cast<int>(rows.size()) > kRows) {
        return "No se puede pegar: " + std::to_string(rows.size()) + " filas desde la fila " +
               std::to_string(row + 1) + " no caben en las 20 de la tabla. La tabla no se ha "
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
