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
// A file's fields are separated by ";", else a tab, else blanks or ",";
// pasted fields by a tab, else ";", else by "," where the comma cannot be a
// decimal mark of the text (see pasteColumns). Fields may be quoted as RFC
// 4180 quotes them. One decimal mark serves the whole text, and each field
// that holds a mark tells it: with both marks the last is decimal and the
// other groups ("1,234.5", "1.234,5"); a repeated mark groups ("1.234.567",
// so the comma is decimal); a single mark is decimal ("2,5", "1,234"). A
// field that tells another mark than an earlier one is refused, naming both,
// and so are grouping marks outside the integer part or not every three
// digits; a number beyond the range of a double ("1e309") is refused as
// one out of range, not as "no es un número". A UTF-8 mark is skipped; NUL
// bytes in the pattern of UTF-16 or UTF-32 are refused as such. A first
// line none of whose fields reads as a number is a header and is skipped;
// lines that are empty or hold only empty fields are ignored, and so are
// empty fields at the end of a row, at no cost however many. Nothing
// past the 22nd such line is read, and a line longer than a cell takes is
// refused. Messages show control and invisible characters as visible
// symbols ("␀", "[U+200B]") and quote at most 40 characters of a field.
enum class ColumnSource {
    File,      // two columns, t then the value
    Clipboard, // one or two columns, the same in every line
};

using ColumnRows = std::vector<std::vector<double>>;

// The rows' numbers, or a message in Spanish naming the line at fault.
std::variant<ColumnRows, std::string> parseColumns(std::string_view text, ColumnSource source);

// The text of a file's bytes: UTF-16 or UTF-32 (little or big endian) with
// its mark converted to UTF-8, a UTF-8 mark dropped, anything else as it is.
std::string textOf(std::string_view bytes);

// A data set's columns as a file holds them: t, then one or more values, a
// cell left empty being a missing value (NaN); the header's fields when the
// first line is one. Read by the same rules as a file of two columns, but
// within the limits given, each refused at the line that passes it and
// nothing read past it: rows, fields a line (and no more than the header
// names, when there is one), values beside t (0: no bound) and lines, blank
// ones included (0: no bound).
struct SetLimits {
    std::size_t rows = 0;
    std::size_t columns = 0;
    std::size_t values = 0;
    std::size_t lines = 0;
};
struct SetColumns {
    std::vector<std::string> header;
    int headerLine = 0;
    ColumnRows rows;
};
std::variant<SetColumns, std::string> parseSetColumns(std::string_view text,
                                                      const SetLimits& limits);

// The header of a set's file, read alone so that what it names can be
// checked before the rows are read: its fields and its line, or no fields
// when the first line holding a field is not a header (or is refused; the
// rows' reading names why). Looks at no line past `lines` (0: no bound).
struct SetHeader {
    std::vector<std::string> fields;
    int line = 0;
};
SetHeader setHeaderOf(std::string_view text, std::size_t lines);

// Whether pasted text spans several cells: several lines, a tab or ";", or
// a line whose commas separate fields or may ("1,2.5", "1,234.5"; not "2,5").
bool spansSeveralCells(std::string_view text);

// Text as messages show it (a file's name, a system message), control and
// invisible characters made visible.
std::string visibleText(std::string_view text);

// Reads a file of two columns (bounded as the data file is) and writes its
// rows into the table in the window's number form, emptying the rows below,
// without a capture. More than 20 rows (the message points to "Añadir
// datos…", which reads up to 10 000 values), a bad row or none at all is
// refused with a message, and the table is left as it was.
std::optional<std::string> importColumns(CellTable& table, const std::string& path);

// The message importColumns would give for the file at path, touching no
// table: so that a file is refused before anything is asked about the table.
std::optional<std::string> checkImport(const std::string& path);

// Writes pasted rows from `row` down: two columns into t and the value, one
// into `column`. Commas separate the fields of a text without a tab or ";"
// when its lines do not read whole ("1,2.5", "1, 2") or a line with quotes
// has a comma outside them; lines that read whole with decimal commas
// ("1,5") are one column, and a text read either way with a grouping comma
// ("1,234.5") is refused. Refused, with a message and nothing changed, when the text is
// over kMaxFileBytes, is not numbers or would run past the last row.
std::optional<std::string> pasteColumns(CellTable& table, int row, Column column,
                                        std::string_view text);

} // namespace gompertz::data
