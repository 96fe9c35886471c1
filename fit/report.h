#pragma once

#include "statistics.h"

#include <optional>
#include <string>
#include <vector>

namespace gompertz::fit {

// The texts of an analysis, as the window shows them, the clipboard takes
// them and a CSV file holds them: numbers with the decimal comma (or the
// point, for a CSV file in the English style), the model named.

// The results table's columns after the row's name.
const std::vector<std::string>& resultColumns();

// A row's cells: the value, then its error and interval, "fijo" for a held
// one, "—" for an error the covariance does not give, nothing without
// errors (a start, a run that did not converge).
std::vector<std::string> resultCells(const Estimate& e, bool withErrors, int digits);

// Under the results: "n = 16, gl = 13, SSE = …, s = …, R² = …, iteraciones
// = 7", the model and its formula, and the fit's notes, one a line.
std::string summaryText(const Fit& fit, const std::vector<Point>& points);

// The same as "name<separator>value" lines, with 15 significant digits.
std::vector<std::string> summaryLines(const Fit& fit, const std::vector<Point>& points,
                                      char separator, bool decimalComma);

// "Copiar resultados": a header row, a row a parameter or quantity, then the
// summary; tab-separated, 15 significant digits, the decimal comma.
std::string resultsText(const Fit& fit, const std::vector<Point>& points);

// The CSV file: each point with the curve's value and residual, the results
// table and, for a fit, the summary; lines ended by CR LF. Without a fit,
// the shown curve is the model's at `shown` (a start) with its values only.
std::string csvText(const GrowthModel& model, const std::optional<Fit>& fit,
                    const Parameters& shown, const Fixed& fixed,
                    const std::vector<Point>& points, char separator, bool decimalComma);

} // namespace gompertz::fit
