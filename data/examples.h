#pragma once

#include "capture.h"

#include <optional>
#include <string>
#include <vector>

namespace gompertz::data {

// Public growth data to try the program on, with where they come from.
struct Example {
    const char* name;   // the menu's entry
    const char* source; // where the numbers were published
    std::vector<std::pair<double, double>> rows;
    // The plot's title and axes' names while the table holds the example.
    const char* title;
    const char* xAxis;
    const char* yAxis;
};
const std::vector<Example>& examples();

// Writes the example's rows into the table in the window's number form and
// empties the rows below, as import does; no capture.
void loadExample(CellTable& table, const Example& example);

// The rows (from 0) after the run the capture takes whose cells hold a
// number: typed, but left out because an earlier row ends the run.
std::vector<int> rowsLeftOut(const CellTable& table, int captured);

} // namespace gompertz::data
