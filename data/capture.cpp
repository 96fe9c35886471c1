#include "capture.h"

#include "model/errors.h"
#include "model/number_text.h"

namespace gompertz::data {
namespace {

void colourRow(CellTable& table, int row, CellColour colour) {
    table.setBackground(Column::X, row, colour);
    table.setBackground(Column::Y, row, colour);
}

// Converts one cell into its data entry and writes it back canonically.
void takeCell(CellTable& table, Column column, int row, double& entry) {
    entry = parseNumber(table.text(column, row));
    table.setText(column, row, formatNumber(entry));
}

void captureRows(FitState& s, CellTable& table) {
    s.pointCount = 0;
    for (s.pointIndex = 0; s.pointIndex <= kRows - 1; ++s.pointIndex) {
        const int row = s.pointIndex;
        if (table.text(Column::X, row).empty()) {
            colourRow(table, row, CellColour::White);
            break;
        }
        takeCell(table, Column::X, row, xAt(s, row));
        takeCell(table, Column::Y, row, yAt(s, row));
        colourRow(table, row, CellColour::White);
    }
}

} // namespace

void capturar(FitState& s, CellTable& table) {
    try {
        captureRows(s, table);
    } catch (const RuntimeError&) {
        // The run of captured rows ends at the row that failed.
    }
    s.pointCount = s.pointIndex;
    for (s.pointIndex = s.pointCount; s.pointIndex <= kRows - 1; ++s.pointIndex) {
        colourRow(table, s.pointIndex, CellColour::LightGrey);
    }
}

} // namespace gompertz::data
