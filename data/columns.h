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
// by a tab or ";"). The decimal mark is read from the whole text: the comma
// when any field holds one (points are then grouping marks, as in the
// window), the point otherwise, and always the point when "," separates the
// fields. Empty lines are ignored.
enum class ColumnSource {
    File,      // two columns, t then the value; a first line of words is a header
    Clipboard, // one or two columns, the same in every line
};

using ColumnRows = std::vector<std::vector<double>>;

// The rows' numbers, or a message in Spanish naming the line at fault.
std::variant<ColumnRows, std::string> parseColumns(std::string_view text, ColumnSource source);

// Whether pasted text spans several cells: several lines, or a tab or ";".
bool spansSeveralCells(std::string_view text);

// Reads a file of two columns (bounded as the data file is) and writes its
// rows into the table in the window's number form, emptying the rows below,
// without a capture. More than 20 rows, a bad row or none at all is refused
// with a message, and the table is left as it was.
std::optional<std::string> importColumns(CellTable& table, const std::string& path);

// Writes pasted rows from `row` down: two columns into t and the value, one
// into `column`. Refused, with a message and nothing changed, when the text
// is not numbers or would run past the last row.
std::optional<std::string> pasteColumns(CellTable& table, int row, Column column,
                                        std::string_view text);

} // namespace gompertz::data
