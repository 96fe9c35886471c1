#include "data_file.h"

#include "model/checked.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <charconv>
#include <system_error>

namespace gompertz::data {
namespace {

const std::string kCrLf = "\r\n";

std::vector<std::string> splitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string current;
    bool pending = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char ch = bytes[i];
        if (ch == '\r' || ch == '\n') {
            lines.push_back(current);
            current.clear();
            pending = false;
            if (ch == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            current += ch;
            pending = true;
        }
    }
    if (pending) {
        lines.push_back(current); // a last line without its line end
    }
    return lines;
}

// The number a line starts with: blanks skipped, optional sign, digits and a
// decimal part after a period. Nothing when the line starts with no digits:
// such a line does not come from a saved table.
std::optional<double> prefixValue(const std::string& line) {
    std::size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string::npos) {
        return std::nullopt;
    }
    std::string number;
    if (line[pos] == '+' || line[pos] == '-') {
        if (line[pos] == '-') {
            number += '-';
        }
        ++pos;
    }
    bool period = false;
    for (; pos < line.size(); ++pos) {
        const char ch = line[pos];
        if (ch >= '0' && ch <= '9') {
            number += ch;
        } else if (ch == '.' && !period) {
            period = true;
            number += ch;
        } else {
            break;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

std::string describe(QFileDevice::FileError error) {
    switch (error) {
    case QFileDevice::OpenError:
        return "no se puede abrir ni crear el archivo en la carpeta de trabajo";
    case QFileDevice::WriteError:
        return "error al escribir (¿disco lleno?)";
    case QFileDevice::ReadError:
        return "error al leer el archivo";
    case QFileDevice::PermissionsError:
        return "permiso denegado";
    case QFileDevice::RenameError:
        return "no se pudo reemplazar el archivo anterior";
    default:
        return "error de archivo";
    }
}

std::optional<std::string> writeAtomically(const std::string& path, const std::string& bytes) {
    const std::string failed = "No se pudo guardar " + std::string(kDataFileName) + ": ";
    const std::string kept = ". El archivo anterior no se ha modificado.";
    if (QFileInfo(QString::fromStdString(path)).isDir()) {
        return failed + "en su lugar hay una carpeta con ese nombre" + kept;
    }
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly)) {
        return failed + describe(file.error()) + kept;
    }
    const auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size || !file.flush()) {
        const std::string reason = describe(file.error());
        file.cancelWriting();
        return failed + reason + kept;
    }
    if (!file.commit()) {
        return failed + describe(file.error()) + kept;
    }
    return std::nullopt;
}

struct FileBytes {
    std::string bytes;
    std::optional<std::string> error;
};

FileBytes readAll(const std::string& path) {
    QFile file(QString::fromStdString(path));
    if (!file.exists()) {
        return {{},
                "No se encuentra el archivo " + std::string(kDataFileName) +
                    " en la carpeta de trabajo."};
    }
    const std::string unreadable = "No se pudo leer " + std::string(kDataFileName) + ": ";
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, unreadable + describe(file.error()) + "."};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{}, unreadable + describe(file.error()) + "."};
    }
    return {bytes.toStdString(), std::nullopt};
}

std::string invalidFile(const std::string& why) {
    return "El archivo " + std::string(kDataFileName) + " no es válido: " + why +
           ". La tabla no se ha modificado.";
}

} // namespace

std::string formatDataFile(const std::vector<Row>& rows) {
    // The count as a print item: a blank for the sign, the digits, a blank.
    std::string out(1, ' ');
    out += std::to_string(rows.size());
    out += ' ';
    out += kCrLf;
    for (const Row& row : rows) {
        out += row.x + kCrLf + row.y + kCrLf;
    }
    return out;
}

std::variant<std::vector<Row>, std::string> parseDataFile(const std::string& bytes) {
    const std::vector<std::string> lines = splitLines(bytes);
    if (lines.empty()) {
        return invalidFile("está vacío");
    }
    int count = -1;
    try {
        if (const auto value = prefixValue(lines[0])) {
            count = nearest(*value);
        }
    } catch (const RuntimeError&) {
        // beyond the integer range: refused below like any other bad count
    }
    if (count < 0 || count > kRows) {
        return invalidFile("la primera línea debe dar el número de puntos, de 0 a 20");
    }
    const std::size_t needed = 1 + 2 * static_cast<std::size_t>(count);
    if (lines.size() < needed) {
        return invalidFile("anuncia " + std::to_string(count) + " puntos pero le faltan líneas");
    }
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back(Row{lines[1 + 2 * i], lines[2 + 2 * i]});
    }
    return rows;
}

std::optional<std::string> guardar(FitState& s, CellTable& table, const std::string& path) {
    capturar(s, table);
    std::vector<Row> rows;
    for (int i = 0; i < s.pointCount; ++i) {
        rows.push_back(Row{table.text(Column::X, i), table.text(Column::Y, i)});
    }
    return writeAtomically(path, formatDataFile(rows));
}

std::optional<std::string> recuperar(CellTable& table, const std::string& path) {
    const FileBytes file = readAll(path);
    if (file.error) {
        return file.error;
    }
    const auto parsed = parseDataFile(file.bytes);
    if (const auto* message = std::get_if<std::string>(&parsed)) {
        return *message;
    }
    const auto& rows = std::get<std::vector<Row>>(parsed);
    for (int i = 0; i < kRows; ++i) {
        const bool loaded = i < static_cast<int>(rows.size());
        table.setText(Column::X, i, loaded ? rows[i].x : std::string());
        table.setText(Column::Y, i, loaded ? rows[i].y : std::string());
    }
    return std::nullopt;
}

} // namespace gompertz::data
