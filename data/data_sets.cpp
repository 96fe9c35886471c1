#include "data_sets.h"

#include "columns.h"
#include "data_file.h"

#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

namespace gompertz::data {
namespace {

// What a column of a means file holds.
enum class Role { Time, Mean, Deviation, Count, StandardError, Unknown };

// A column's name as it is compared: lower case, without accents, without
// units in parentheses or brackets ("Media (mg/L)" is "media"), periods
// read as blanks ("desv. est." is "desv est"), blanks collapsed.
QString comparable(const std::string& name) {
    QString text = QString::fromStdString(name).toLower();
    static const QRegularExpression units(QStringLiteral("\\([^)]*\\)|\\[[^\\]]*\\]"));
    text.remove(units);
    const QString accented = QStringLiteral("áéíóúü");
    const QString plain = QStringLiteral("aeiouu");
    for (qsizetype i = 0; i < accented.size(); ++i) {
        text.replace(accented[i], plain[i]);
    }
    text.replace(QLatin1Char('.'), QLatin1Char(' '));
    return text.simplified();
}

Role roleOf(const std::string& name) {
    // clang-format off
    static const std::array<std::pair<Role, QStringList>, 5> names = {{
        {Role::Time, {"t", "tiempo", "time", "dia", "dias", "day", "days", "hora", "horas", "h",
                      "hour", "hours", "min", "minutos", "minutes"}},
        {Role::Mean, {"media", "promedio", "mean", "average", "avg", "valor medio"}},
        {Role::Deviation, {"de", "d e", "ds", "sd", "s d", "std", "stdev", "std dev",
                           "standard deviation", "desviacion", "desviacion tipica",
                           "desviacion estandar", "desv est", "desvest", "desv tip"}},
        {Role::Count, {"n", "count", "replicas", "n replicas", "n o replicas", "no replicas",
                       "numero de replicas", "numero de valores", "repeticiones", "nº", "n°"}},
        {Role::StandardError, {"ee", "e e", "se", "s e", "sem", "error estandar", "error tipico",
                               "standard error"}},
    }};
    // clang-format on
    const QString text = comparable(name);
    for (const auto& [role, words] : names) {
        if (words.contains(text)) {
            return role;
        }
    }
    return Role::Unknown;
}

const char* roleName(Role role) {
    switch (role) {
    case Role::Time:
        return "t";
    case Role::Mean:
        return "la media";
    case Role::Deviation:
        return "la desviación típica (DE)";
    case Role::Count:
        return "n";
    default:
        return "";
    }
}

// Where a means file keeps each of its four columns.
struct MeanColumns {
    std::size_t time = 0, mean = 0, deviation = 0, count = 0;
};

bool namesMeans(const std::vector<std::string>& header) {
    return std::any_of(header.begin(), header.end(), [](const std::string& name) {
        const Role role = roleOf(name);
        return role == Role::Mean || role == Role::Deviation || role == Role::StandardError;
    });
}

std::string quotedName(const std::string& name) {
    return "«" + visibleText(name) + "»";
}

// The columns of a header that names a mean or a deviation, in any order,
// or why it cannot be read as means. Every column is needed: n as well,
// for the mean of n values weighs n/DE² in the fit; reading a missing n as
// 1 would weigh each mean as a single value without saying so.
std::variant<MeanColumns, std::string> meanColumnsOf(const std::vector<std::string>& header,
                                                     int line) {
    const std::string where = "en la línea " + std::to_string(line) + ", la cabecera ";
    std::array<std::optional<std::size_t>, 4> at; // time, mean, deviation, count
    for (std::size_t i = 0; i < header.size(); ++i) {
        const Role role = roleOf(header[i]);
        if (role == Role::StandardError) {
            return where + "nombra " + quotedName(header[i]) +
                   ", el error estándar de la media; el archivo de medias lleva la desviación "
                   "típica (DE = EE·√n)";
        }
        if (role == Role::Unknown) {
            return where + "de un archivo de medias nombra " + quotedName(header[i]) +
                   ", que no es t, media, DE ni n";
        }
        auto& slot = at[static_cast<std::size_t>(role)];
        if (slot) {
            return where + "nombra " + roleName(role) + " dos veces (" + quotedName(header[*slot]) +
                   " y " + quotedName(header[i]) + ")";
        }
        slot = i;
    }
    if (!at[1]) {
        return where + "nombra la desviación típica sin la media";
    }
    if (!at[2]) {
        return where + "nombra la media sin su desviación típica (DE)";
    }
    if (!at[0]) {
        return where + "de un archivo de medias no nombra la columna t";
    }
    if (!at[3]) {
        return where + "de un archivo de medias no nombra la columna n (cuántos valores "
                       "promedia cada media), que hace falta para ponderar las medias por n/DE²";
    }
    return MeanColumns{*at[0], *at[1], *at[2], *at[3]};
}

std::variant<SetFile, std::string> meansOf(const ColumnRows& rows, const MeanColumns& at) {
    SetFile out;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[i];
        const std::string where = "en la fila de datos " + std::to_string(i + 1) + ", ";
        if (row.size() != 4 || std::any_of(row.begin(), row.end(), [](double v) {
                return std::isnan(v);
            })) {
            return where + "se esperan cuatro números: t, media, DE y n";
        }
        if (row[at.deviation] < 0.0) {
            return where + "la DE es negativa";
        }
        if (!(row[at.count] >= 1.0) || row[at.count] != std::floor(row[at.count])) {
            return where + "n no es un número entero de al menos 1";
        }
        out.means.push_back({row[at.time], row[at.mean], row[at.deviation], row[at.count]});
    }
    return out;
}

} // namespace

std::variant<SetFile, std::string> parseSet(std::string_view text) {
    // The header says what the rows are before any row is read.
    const SetHeader header = setHeaderOf(text, kMaxSetLines);
    std::optional<MeanColumns> means;
    if (namesMeans(header.fields)) {
        auto columns = meanColumnsOf(header.fields, header.line);
        if (auto* problem = std::get_if<std::string>(&columns)) {
            return std::move(*problem);
        }
        means = std::get<MeanColumns>(columns);
    }
    // A means file bounds its rows (a mean is a point); a file of values
    // bounds its values.
    const SetLimits limits{kMaxSetPoints, kMaxSetColumns, means ? 0 : kMaxSetPoints, kMaxSetLines};
    auto parsed = parseSetColumns(text, limits);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        return std::move(*problem);
    }
    const SetColumns& columns = std::get<SetColumns>(parsed);
    if (means) {
        return meansOf(columns.rows, *means);
    }
    SetFile out;
    for (const auto& row : columns.rows) {
        for (std::size_t c = 1; c < row.size(); ++c) {
            if (!std::isnan(row[c])) {
                out.values.push_back({row[0], row[c]});
            }
        }
    }
    if (out.values.empty()) {
        return std::string("no hay valores, solo tiempos");
    }
    return out;
}

std::variant<SetFile, std::string> readSet(const std::string& path) {
    const std::string refused = "No se puede añadir " + visibleText(fileNameOf(path)) + ": ";
    const FileBytes file = readBounded(path, kMaxSetFileBytes);
    if (file.error) {
        // The cause alone: the table is not what a set's file would change.
        return file.cause ? refused + visibleText(*file.cause) + ". No se ha añadido nada."
                          : visibleText(*file.error);
    }
    auto parsed = parseSet(textOf(file.bytes));
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        return refused + *problem + ". No se ha añadido nada.";
    }
    return parsed;
}

} // namespace gompertz::data
