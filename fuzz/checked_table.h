#pragma once

// What the fuzz targets share: an abort that libFuzzer reports, the check
// that a message reads as shown, and a table that aborts on any row outside
// 0..19 and on any colouring.
#include "data/capture.h"

#include <QChar>
#include <QList>
#include <QString>

#include <array>
#include <cstdlib>
#include <string>

namespace fuzzing {

inline void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A message reads as it is shown: valid UTF-8, nothing in it invisible.
inline void requireShowable(const std::string& message) {
    require(!message.empty());
    const QString text = QString::fromUtf8(message);
    require(text.toStdString() == message); // nothing was replaced by U+FFFD
    for (const char32_t code : text.toUcs4()) {
        const QChar::Category category = QChar::category(code);
        require(category != QChar::Other_Control && category != QChar::Other_Format &&
                category != QChar::Separator_Line && category != QChar::Separator_Paragraph);
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
