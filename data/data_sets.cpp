#include "data_sets.h"

#include "columns.h"
#include "data_file.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace gompertz::data {
namespace {

std::string lowered(std::string text) {
    for (char& ch : text) {
        ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    }
    return text;
}

// A header naming t, the mean, its deviation and the count.
bool namesMeans(const std::vector<std::string>& header) {
    if (header.size() != 4) {
        return false;
    }
    const std::string mean = lowered(header[1]);
    const std::string deviation = lowered(header[2]);
    return (mean == "media" || mean == "mean") && (deviation == "de" || deviation == "sd") &&
           lowered(header[3]) == "n";
}

std::variant<SetFile, std::string> meansOf(const ColumnRows& rows) {
    SetFile out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const std::string where = "en la fila de datos " + std::to_string(i + 1) + ", ";
        if (row.size() != 4 || std::any_of(row.begin(), row.end(), [](double v) {
                return std::isnan(v);
            })) {
            return where + "se esperan cuatro números: t, media, DE y n";
        }
        if (row[2] < 0.0) {
            return where + "la DE es negativa";
        }
        if (!(row[3] >= 1.0) || row[3] != std::floor(row[3])) {
            return where + "n no es un número entero de al menos 1";
        }
        out.means.push_back({row[0], row[1], row[2], row[3]});
    }
    return out;
}

} // namespace

std::variant<SetFile, std::string> parseSet(std::string_view text) {
    auto parsed = parseSetColumns(text, kMaxSetPoints, kMaxSetColumns);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        return std::move(*problem);
    }
    const SetColumns& columns = std::get<SetColumns>(parsed);
    if (namesMeans(columns.header)) {
        return meansOf(columns.rows);
    }
    SetFile out;
    for (const auto& row : columns.rows) {
        for (std::size_t c = 1; c < row.size(); ++c) {
            if (std::isnan(row[c])) {
                continue;
            }
            if (out.values.size() == kMaxSetPoints) {
                return std::string("hay más de 10 000 valores");
            }
            out.values.push_back({row[0], row[c]});
        }
    }
    if (out.values.empty()) {
        return std::string("no hay valores, solo tiempos");
    }
    return out;
}

std::variant<SetFile, std::string> readSet(const std::string& path) {
    const FileBytes file = readBounded(path, kMaxSetFileBytes);
    if (file.error) {
        return visibleText(*file.error);
    }
    auto parsed = parseSet(textOf(file.bytes));
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        return "No se puede añadir " + visibleText(fileNameOf(path)) + ": " + *problem +
               ". No se ha añadido nada.";
    }
    return parsed;
}

} // namespace gompertz::data
