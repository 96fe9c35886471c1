#pragma once

#include "capture.h"

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace gompertz::data {

// The file the points are saved to and loaded from, in the working folder.
inline constexpr const char* kDataFileName = "datos.txt";

// A valid file holds 41 short lines at most; nothing larger is read, so
// that a wrong file can neither freeze the window nor exhaust memory.
inline constexpr std::size_t kMaxFileBytes = 1024 * 1024;
// The longest text a cell takes.
inline constexpr std::size_t kMaxLineLength = 32767;

struct Row {
    std::string x;
    std::string y;
    friend bool operator==(const Row&, const Row&) = default;
};

// The file's bytes: " N " then the two cell texts of each row, one a line,
// every line ended by CR LF.
std::string formatDataFile(const std::vector<Row>& rows);

// The rows a file promises, or a message in Spanish naming what is wrong.
// The first line holds the count and nothing else but blanks; any other first
// line shows a file that is not one of these. Accepts lines ended by CR LF,
// LF or CR. Reads no line past the ones the
// count promises, but for a file whose first line holds a bare number (not
// " N " as the count is written): one whose every line then holds a number,
// at least three, is a column of numbers and refused as such. Refuses a
// needed line longer than a cell takes.
// Messages name the file as given.
std::variant<std::vector<Row>, std::string> parseDataFile(const std::string& bytes,
                                                          const std::string& name = kDataFileName);

// Parses the bytes and only when they are sound writes the rows' texts into
// the table and empties the rows below; otherwise leaves the table as it was
// and returns the message. Rows outside 0..19 are never addressed.
std::optional<std::string> loadDataFile(CellTable& table, const std::string& bytes,
                                        const std::string& name = kDataFileName);

// The name a message gives the file at path: its last component.
std::string fileNameOf(const std::string& path);

// At most `limit` bytes (kMaxFileBytes unless told) of a regular file, or a message in Spanish
// naming why not: missing, unreadable, not a regular file (never opened then), too large. Messages
// name the file, and its folder when the path has one; the cause alone ("es demasiado grande (más
// de 1 MiB)") comes beside the message, for readers whose refusal is not about the table.
struct FileBytes {
    std::string bytes;
    std::optional<std::string> error;
    std::optional<std::string> cause;
};
FileBytes readBounded(const std::string& path, std::size_t limit = kMaxFileBytes);

// Captures the table, then writes the captured rows' texts. The previous file
// is replaced only once the new one is completely written; a path that
// exists and is not a regular file (a folder, a device, a pipe, a socket,
// or a link to one) is never written. Returns a message in Spanish naming
// the cause when it could not be saved.
std::optional<std::string> guardar(FitState& s, CellTable& table, const std::string& path);

// Reads and checks the whole file, and only then writes its texts into the
// table and empties the rows below. Touches no cell and no part of the fit
// state when the file is missing, unreadable, not a regular file, larger
// than kMaxFileBytes or malformed; returns a message in Spanish then.
std::optional<std::string> recuperar(CellTable& table, const std::string& path);

// The message recuperar would give for the file at path, touching no table:
// so that a file is refused before anything is asked about the table.
std::optional<std::string> checkDataFile(const std::string& path);

// Writes bytes to path completely or not at all: the previous file is
// replaced only once the new one is completely written and flushed, and
// keeps its owner and mode where this process may give them; a path that
// exists and is not a regular file (a folder, a device, a pipe, a socket, or
// a link to one) is never touched. The message, in Spanish, reads "No se
// pudo <action> <file name>: <cause>."
std::optional<std::string> writeWhole(const std::string& path, const std::string& bytes,
                                      const std::string& action);

// The Spanish cause of a failed file operation, from its errno.
enum class FileAccess { Read, Write };
std::string describeFileError(int error, FileAccess access = FileAccess::Write);

} // namespace gompertz::data
