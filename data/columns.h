#pragma once

#include "capture.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace gompertz::data {

// Columns of numbers as spreadsheets and instruments write them.
//
// Fields are separated by ";", a tab, "," or blanks (for the clipboard only
// by a tab or ";"), and may be quoted as RFC 4180 quotes them. The decimal
// mark is read from the whole text: the comma when any field holds one
// (points are then grouping marks, as in the window), the point otherwise;
// so always the point when "," separates unquoted fields. A UTF-8 mark is
// skipped. A first line none of whose fields reads as a number is a header
// and is skipped; lines that are empty or hold only empty fields are
// ignored, and so are empty fields at the end of a row. Nothing past the
// 22nd such line is read, and a line longer than a cell takes is refused.
enum class ColumnSource {
    File,      // two columns, t then the value
    Clipboard, // one or two columns, the same in every line
};

using ColumnRows = std::vector<std::vector<double>>;

// The rows' numbers, or a message in Spanish naming the line at fault.
std::variant<ColumnRows, std::string> parseColumns(std::string_view text, ColumnSource source);

// The text of a file's bytes: UTF-16 (little or big endian) with its mark
// converted to UTF-8, a UTF-8 mark dropped, anything else as it is.
std::string textOf(std::string_view bytes);

// Whether pasted text spans several cells: several lines, or a tab or ";".
bool spansSeveralCells(std::string_view text);

// Reads a file of two columns (bounded as the data file is) and writes its
// rows into the table in the window's number form, emptying the rows below,
// without a capture. More than 20 rows, a bad row or none at all is refused
// with a message, and the table is left as it was.
std::optional<std::string> importColumns(CellTable& table, const std::string& path);

// Writes pasted rows from `row` down: two columns into t and the value, one
// into `column`. Refused, with a message and nothing changed, when the text
// is over kMaxFileBytes, is not numbers or would run past the last row.
std::optional<std::string> pasteColumns(CellTable& table, int row, Column column,
                                        std::string_view text);

} // namespace gompertz::data
