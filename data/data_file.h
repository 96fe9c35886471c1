#pragma once

#include "capture.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace gompertz::data {

// The file the points are saved to and loaded from, in the working folder.
inline constexpr const char* kDataFileName = "datos.txt";

struct Row {
    std::string x;
    std::string y;
    friend bool operator==(const Row&, const Row&) = default;
};

// The file's bytes: " N " then the two cell texts of each row, one a line,
// every line ended by CR LF.
std::string formatDataFile(const std::vector<Row>& rows);

// The rows a file promises, or a message in Spanish naming what is wrong.
// Accepts lines ended by CR LF, LF or CR.
std::variant<std::vector<Row>, std::string> parseDataFile(const std::string& bytes);

// Captures the table, then writes the captured rows' texts. The previous file
// is replaced only once the new one is completely written. Returns a message
// in Spanish when it could not be saved.
std::optional<std::string> guardar(FitState& s, CellTable& table, const std::string& path);

// Reads and checks the whole file, and only then writes its texts into the
// table and empties the rows below. Touches no cell and no part of the fit
// state when the file is missing, unreadable or malformed; returns a message
// in Spanish then.
std::optional<std::string> recuperar(CellTable& table, const std::string& path);

} // namespace gompertz::data
