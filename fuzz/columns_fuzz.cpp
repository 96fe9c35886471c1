// The columns that import and paste read: parsing never crashes, gives at
// most 20 rows of one or two finite numbers whose written form reads back,
// a refusal's message is well-formed UTF-8 with no control or invisible
// character in it, and a refused paste leaves the table as it was.
#include "checked_table.h"
#include "data/columns.h"
#include "model/errors.h"
#include "model/number_text.h"

#include <QChar>
#include <QList>
#include <QString>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>

using namespace gompertz;
using namespace gompertz::data;
using fuzzing::CheckedTable;
using fuzzing::require;
using fuzzing::requireShowable;

namespace {

// A cell's text as the window writes it reads back as the same number.
void requireReadsBack(double value) {
    require(std::isfinite(value));
    const std::string written = formatNumber(value);
    double back = 0.0;
    try {
        back = parseNumber(written);
    } catch (const RuntimeError&) {
        require(false);
    }
    require(std::fabs(back - value) <= 1e-14 * std::fabs(value) + 5e-324);
}

void checkRows(const std::variant<ColumnRows, std::string>& parsed, std::size_t width) {
    if (const auto* rows = std::get_if<ColumnRows>(&parsed)) {
        require(!rows->empty() && rows->size() <= static_cast<std::size_t>(kRows));
        for (const auto& row : *rows) {
            require(width == 0 ? row.size() == 1 || row.size() == 2 : row.size() == width);
            require(row.size() == rows->front().size());
            for (double value : row) {
                requireReadsBack(value);
            }
        }
    } else {
        requireShowable(std::get<std::string>(parsed));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int row = data[0] % kRows;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    checkRows(parseColumns(textOf(bytes), ColumnSource::File), 2);
    checkRows(parseColumns(bytes, ColumnSource::Clipboard), 0);

    CheckedTable table;
    const CheckedTable before = table;
    const Column column = data[0] & 0x80 ? Column::X : Column::Y;
    if (const auto refused = pasteColumns(table, row, column, bytes)) {
        requireShowable(*refused);
        require(table.x == before.x && table.y == before.y);
    } else {
        for (int i = 0; i < kRows; ++i) {
            for (const auto* cells : {&table.x, &table.y}) {
                const auto& old = cells == &table.x ? before.x : before.y;
                if ((*cells)[i] != old[i]) {
                    require(i >= row);
                    requireReadsBack(parseNumber((*cells)[i]));
                }
            }
        }
    }
    return 0;
}
