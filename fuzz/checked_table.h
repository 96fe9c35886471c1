#pragma once

// What the fuzz targets share: an abort that libFuzzer reports, and a table
// that aborts on any row outside 0..19 and on any colouring.
#include "data/capture.h"

#include <array>
#include <cstdlib>
#include <string>

namespace fuzzing {

inline void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

class CheckedTable : public gompertz::data::CellTable {
  public:
    using Column = gompertz::data::Column;
    static constexpr int kRows = gompertz::data::kRows;
    std::array<std::string, kRows> x, y;

    // Every cell holds a text no import or load writes.
    CheckedTable() {
        for (int i = 0; i < kRows; ++i) {
            x[i] = "x" + std::to_string(i);
            y[i] = "y" + std::to_string(i);
        }
    }
    std::string text(Column column, int row) const override {
        require(row >= 0 && row < kRows);
        return column == Column::X ? x[row] : y[row];
    }
    void setText(Column column, int row, const std::string& text) override {
        require(row >= 0 && row < kRows);
        (column == Column::X ? x[row] : y[row]) = text;
    }
    void setBackground(Column, int row, gompertz::data::CellColour) override {
        require(false && row);
    }
};

} // namespace fuzzing
