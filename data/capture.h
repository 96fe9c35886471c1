#pragma once

#include "model/fit_state.h"

#include <string>

namespace gompertz::data {

constexpr int kRows = 20;

enum class Column { X, Y };
enum class CellColour { White, LightGrey };

// The two columns of text cells in which the points are typed.
class CellTable {
  public:
    virtual ~CellTable() = default;
    virtual std::string text(Column column, int row) const = 0;
    virtual void setText(Column column, int row, const std::string& text) = 0;
    virtual void setBackground(Column column, int row, CellColour colour) = 0;
};

// Reads the longest run of rows from row 0 whose two cells hold numbers into
// dataX, dataY and pointCount, rewrites those cells in canonical form and
// colours them white, and every row below grey. A cell that does not convert
// ends the run quietly; nothing is passed to the caller.
void capturar(FitState& s, CellTable& table);

} // namespace gompertz::data
