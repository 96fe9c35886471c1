#include "data_file.h"

#include "line_reader.h"
#include "model/checked.h"

#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace gompertz::data {
namespace {

const std::string kCrLf = "\r\n";

// The number a line starts with: blanks skipped, optional sign, digits and a
// decimal part after a period. Nothing when the line starts with no digits:
// such a line does not come from a saved table. `end` is where it stops.
std::optional<double> prefixValue(std::string_view line, std::size_t& end) {
    std::size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string_view::npos) {
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
    end = pos;
    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too small to hold is a count of 0; too large is refused as a count.
        const bool large = number.find_first_of("123456789") < number.find('.');
        return large ? std::numeric_limits<double>::infinity() : 0.0;
    }
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

// Whether a line holds one number, as the count line does, and nothing else.
bool holdsOnlyANumber(std::string_view line) {
    std::size_t end = 0;
    return prefixValue(line, end) && line.find_first_not_of(" \t", end) == std::string_view::npos;
}

// A column of numbers as a spreadsheet or an editor writes it ("1", "2",
// "3", one a line): every line holding a number or nothing, at least three
// of them, the first written bare, and the lines ended by LF alone. This
// program writes its count between blanks (" 3 ") and ends its lines with CR
// LF, as every file of its format does; a file it wrote holds the cells'
// texts in the window's form (decimal comma), so its lines rarely all read
// as such numbers.
bool isColumnOfNumbers(std::string_view bytes) {
    if (bytes.empty() || bytes.front() == ' ' || bytes.front() == '\t' ||
        bytes.find('\r') != std::string_view::npos) {
        return false;
    }
    LineReader lines(bytes);
    int numbers = 0;
    while (!lines.atEnd()) {
        const std::string_view line = lines.next();
        if (line.find_first_not_of(" \t") == std::string_view::npos) {
            continue;
        }
        if (!holdsOnlyANumber(line)) {
            return false;
        }
        ++numbers;
    }
    return numbers >= 3;
}

// How messages name a file: by its name, and where it is when that is not
// the working folder.
struct Named {
    std::string name;
    std::string where;
};

Named named(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return {path, "en la carpeta de trabajo"};
    }
    return {fileNameOf(path), "en " + (slash == 0 ? std::string("/") : path.substr(0, slash))};
}

std::string invalidFile(const std::string& name, const std::string& why) {
    return "El archivo " + name + " no es válido: " + why + ". La tabla no se ha modificado.";
}

const char* const kNotRegular =
    "no es un archivo normal (es un dispositivo, una tubería o un socket)";

// Errors without a cause of their own are named by the errno the failing
// call left; what Qt says is the fallback.
std::string causeOf(int error, const QFileDevice& file) {
    return error != 0 ? describeFileError(error) : file.errorString().toStdString();
}

// The replacement keeps the owner and the mode of the file it replaces,
// where this process may give them (only root may give a file away).
void keepOwnerAndMode(QSaveFile& file, const struct stat& previous) {
    const int fd = file.handle();
    if (fd >= 0) {
        ::fchmod(fd, previous.st_mode & 07777);
        if (previous.st_uid != ::geteuid() || previous.st_gid != ::getegid()) {
            [[maybe_unused]] const int ignored = ::fchown(fd, previous.st_uid, previous.st_gid);
        }
    }
}

} // namespace

std::optional<std::string> writeWhole(const std::string& path, const std::string& bytes,
                                      const std::string& action) {
    const std::string failed = "No se pudo " + action + " " + named(path).name + ": ";
    struct stat info {};
    const bool existed = ::stat(path.c_str(), &info) == 0; // through a link, to its target
    if (existed && S_ISDIR(info.st_mode)) {
        return failed + "en su lugar hay una carpeta con ese nombre.";
    }
    if (existed && !S_ISREG(info.st_mode)) {
        return failed + kNotRegular + "; no se ha tocado.";
    }
    const std::string kept = existed ? " El archivo anterior no se ha modificado." : "";
    QSaveFile file(QString::fromStdString(path));
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) {
        return failed + causeOf(errno, file) + "." + kept;
    }
    if (existed) {
        keepOwnerAndMode(file, info);
    }
    const auto size = static_cast<qint64>(bytes.size());
    errno = 0;
    // Flushed and checked before the commit: a write error raised while the
    // file closes would otherwise go unseen and leave an empty file.
    if (file.write(bytes.data(), size) != size || !file.flush()) {
        const std::string cause = causeOf(errno, file);
        file.cancelWriting();
        return failed + cause + "." + kept;
    }
    errno = 0;
    if (!file.commit()) {
        return failed + causeOf(errno, file) + "." + kept;
    }
    return std::nullopt;
}

// The file is looked at before it is opened, so that a device or a pipe is
// never opened at all, and again once open, in case it was swapped in
// between.

FileBytes readBounded(const std::string& path, std::size_t limit) {
    const Named file = named(path);
    const std::string unreadable = "No se pudo leer " + file.name + ": ";
    // Each refusal as the main window says it, and its cause alone.
    const auto failed = [](std::string message, std::string cause) {
        return FileBytes{{}, std::move(message), std::move(cause)};
    };
    const auto invalid = [&](const std::string& why) {
        return failed(invalidFile(file.name, why), why);
    };
    const auto readError = [&](int error) {
        const std::string cause = describeFileError(error, FileAccess::Read);
        return failed(unreadable + cause + ".", cause);
    };
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return failed("No se encuentra el archivo " + file.name + " " + file.where + ".",
                          "no se encuentra " + file.where);
        }
        return readError(errno);
    }
    if (S_ISDIR(info.st_mode)) {
        return invalid("en su lugar hay una carpeta con ese nombre");
    }
    if (!S_ISREG(info.st_mode)) {
        return invalid(kNotRegular);
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return readError(errno);
    }
    FileBytes out;
    const std::string tooLarge =
        "es demasiado grande (más de " + std::to_string(limit / (1024 * 1024)) + " MiB)";
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        out = invalid(kNotRegular);
    } else if (info.st_size > static_cast<off_t>(limit)) {
        out = invalid(tooLarge);
    } else { // still bounded: some files tell no size, or grow while read
        std::string& bytes = out.bytes;
        // Room for the size the file tells and a byte more, grown as needed
        // up to one past the limit: never the whole limit zeroed for a small file.
        bytes.resize(std::min(limit + 1, static_cast<std::size_t>(info.st_size) + 4096));
        std::size_t filled = 0;
        while (filled < limit + 1) {
            if (filled == bytes.size()) {
                bytes.resize(std::min(limit + 1, 2 * bytes.size()));
            }
            const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                out = readError(errno);
                break;
            }
            if (got == 0) {
                break;
            }
            filled += static_cast<std::size_t>(got);
        }
        if (!out.error) {
            bytes.resize(filled);
            if (filled > limit) {
                out = invalid(tooLarge);
            }
        }
    }
    ::close(fd);
    if (out.error) {
        out.bytes.clear();
    }
    return out;
}

std::string fileNameOf(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1); // npos + 1 is 0
}

std::string describeFileError(int error, FileAccess access) {
    const bool reading = access == FileAccess::Read;
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "no queda espacio en el disco";
    case EROFS:
        return "la carpeta está en un disco de solo lectura";
    case EACCES:
    case EPERM:
        return reading ? "no hay permiso para leer el archivo"
                       : "no hay permiso para escribir ahí (o el archivo está protegido)";
    case EFBIG:
        return "el archivo supera el tamaño máximo permitido";
    case ENOENT:
        return "la carpeta no existe";
    case EISDIR:
        return "en su lugar hay una carpeta con ese nombre";
    case EIO:
        return "error de entrada/salida del disco";
    default:
        return std::string("error de archivo (") + std::strerror(error) + ")";
    }
}

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

std::variant<std::vector<Row>, std::string> parseDataFile(const std::string& bytes,
                                                          const std::string& name) {
    const auto invalid = [&name](const std::string& why) { return invalidFile(name, why); };
    LineReader lines(bytes);
    if (lines.atEnd()) {
        return invalid("está vacío");
    }
    int count = -1;
    const std::string_view first = lines.next();
    std::size_t end = 0;
    const auto value = prefixValue(first.substr(0, kMaxLineLength + 1), end);
    if (!value || first.find_first_not_of(" \t", end) != std::string_view::npos) {
        // "1;2", "0x2", "abc": a table of columns or a text, not a count
        return "El archivo " + name +
               " no es un archivo de datos de este programa: su primera línea debe dar solo el "
               "número de puntos (por ejemplo « 3 »). Para leer columnas de números use "
               "«Importar…». La tabla no se ha modificado.";
    }
    try {
        count = nearest(*value);
    } catch (const RuntimeError&) {
        // beyond the integer range: refused below like any other bad count
    }
    if (isColumnOfNumbers(bytes)) {
        return "El archivo " + name +
               " parece una columna de números, no un archivo de datos de este programa (su "
               "primera línea da el número de puntos, por ejemplo « 3 », y cada punto ocupa dos "
               "líneas: t y el valor). Para leer columnas de números use «Importar…». La tabla "
               "no se ha modificado.";
    }
    if (count < 0 || count > kRows) {
        return invalid("la primera línea debe dar el número de puntos, de 0 a 20");
    }
    std::vector<std::string> texts;
    for (int line = 2; line <= 1 + 2 * count; ++line) {
        if (lines.atEnd()) {
            return invalid("anuncia " + std::to_string(count) + " puntos pero le faltan líneas");
        }
        const std::string_view text = lines.next();
        if (text.size() > kMaxLineLength) {
            return invalid("la línea " + std::to_string(line) + " es demasiado larga");
        }
        texts.emplace_back(text);
    }
    std::vector<Row> rows;
    for (int i = 0; i < count; ++i) {
        rows.push_back(Row{texts[2 * i], texts[2 * i + 1]});
    }
    return rows;
}

std::optional<std::string> loadDataFile(CellTable& table, const std::string& bytes,
                                        const std::string& name) {
    const auto parsed = parseDataFile(bytes, name);
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

std::optional<std::string> guardar(FitState& s, CellTable& table, const std::string& path) {
    capturar(s, table);
    std::vector<Row> rows;
    for (int i = 0; i < s.pointCount; ++i) {
        rows.push_back(Row{table.text(Column::X, i), table.text(Column::Y, i)});
    }
    return writeWhole(path, formatDataFile(rows), "guardar");
}

std::optional<std::string> recuperar(CellTable& table, const std::string& path) {
    const FileBytes file = readBounded(path);
    if (file.error) {
        return file.error;
    }
    return loadDataFile(table, file.bytes, named(path).name);
}

std::optional<std::string> checkDataFile(const std::string& path) {
    const FileBytes file = readBounded(path);
    if (file.error) {
        return file.error;
    }
    const auto parsed = parseDataFile(file.bytes, named(path).name);
    if (const auto* message = std::get_if<std::string>(&parsed)) {
        return *message;
    }
    return std::nullopt;
}

} // namespace gompertz::data
