// The reader of a data set's file: it never crashes; it gives 1 to 10 000
// finite values, or means with a deviation of at least 0 and a whole count
// of at least 1, or a message that reads as it is shown; and where import's
// two-column reader takes a text, the set's reader takes it too, with the
// same numbers, unless its header names the means' columns, fewer columns
// than a row holds, or more than the set's limit.
#include "checked_table.h"
#include "data/columns.h"
#include "data/data_sets.h"


#include <cmath>
#include <cstdint>
#include <string>
#include <variant>

using namespace gompertz::data;
using fuzzing::require;
using fuzzing::requireShowable;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = textOf(std::string(reinterpret_cast<const char*>(data), size));
    const auto set = parseSet(text);
    if (const auto* refused = std::get_if<std::string>(&set)) {
        requireShowable(*refused);
    } else {
        const SetFile& file = std::get<SetFile>(set);
        require(file.values.empty() != file.means.empty());
        require(file.values.size() <= kMaxSetPoints && file.means.size() <= kMaxSetPoints);
        for (const Measurement& m : file.values) {
            require(std::isfinite(m.t) && std::isfinite(m.value));
        }
        for (const MeanRow& row : file.means) {
            require(std::isfinite(row.t) && std::isfinite(row.mean));
            require(row.deviation >= 0.0 && std::isfinite(row.deviation));
            require(row.count >= 1.0 && row.count == std::floor(row.count));
        }
    }
    // Import's reader: two columns, at most 20 rows; a header naming a mean
    // or a deviation asks the set's reader for a means file, and a header of
    // one name is narrower than the rows.
    const auto imported = parseColumns(text, ColumnSource::File);
    const auto* refused = std::get_if<std::string>(&set);
    // A header wider than the set's limit of columns is refused by the set's
    // reader, which import, reading two columns, passes over.
    const std::string tooWide = "más de " + std::to_string(kMaxSetColumns) + " columnas";
    const bool byItsHeader =
        refused != nullptr && (refused->find("se esperan cuatro números") != std::string::npos ||
                               refused->find("la cabecera") != std::string::npos ||
                               refused->find(tooWide) != std::string::npos);
    if (const auto* rows = std::get_if<ColumnRows>(&imported); rows && !byItsHeader) {
        const auto* file = std::get_if<SetFile>(&set);
        require(file != nullptr && file->values.size() == rows->size());
        for (std::size_t i = 0; i < rows->size(); ++i) {
            require(file->values[i].t == (*rows)[i][0] && file->values[i].value == (*rows)[i][1]);
        }
    }
    return 0;
}
