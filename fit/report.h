#pragma once

#include "profile.h"
#include "set_comparison.h"
#include "statistics.h"

#include <optional>
#include <string>
#include <vector>

namespace gompertz::fit {

// The texts of an analysis, as the window shows them, the clipboard takes
// them and a CSV file holds them: numbers with the decimal comma (or the
// point, for a CSV file in the English style), the model named.

// A fit with what the reports show of it: the profile intervals of its rows
// (none: the Wald intervals, estimate ± q·error) and its plain warnings.
struct Analysis {
    Fit fit;
    std::vector<std::optional<ProfileInterval>> intervals;
    std::vector<std::string> warnings;
};

// A CSV field: quoted, as RFC 4180 quotes, when it holds the separator, a
// quote or a line end.
std::string quotedIfHolding(const std::string& text, char separator);

// A sentence with its negative numbers written with the minus sign (U+2212),
// as the formulas write it: a hyphen before a digit that starts a number
// (after a space, a bracket, "=" or the start). Hyphens within words and
// exponents ("1E-05") stay.
std::string withMinusSigns(const std::string& sentence);

// A row's label within a sentence: "valor en la inflexión (a/e)", its
// first letter lower case unless it is a symbol ("R²", "a").
std::string labelInSentence(const std::string& label);

// The results table's columns after the row's name.
const std::vector<std::string>& resultColumns();

// What an interval's open side shows.
inline constexpr const char* kNoBound = "sin límite";

// A row's cells: the value, then its error and interval (the profile's when
// given, "sin límite" for an open side), "fijo" for a held one, "—" for an
// error the covariance does not give, nothing without errors (a start, a
// run that did not converge).
std::vector<std::string> resultCells(const Estimate& e, bool withErrors, int digits,
                                     const std::optional<ProfileInterval>& interval = {});

// Under the results: "n = 16, gl = 13, SSE = …, s = …, R² = …, iteraciones
// = 7", the model and its formula, how the intervals were worked out, and
// the fit's notes and warnings, one a line.
std::string summaryText(const Analysis& analysis, const std::vector<Point>& points);

// The same as "name<separator>value" lines, with 15 significant digits.
std::vector<std::string> summaryLines(const Analysis& analysis, const std::vector<Point>& points,
                                      char separator, bool decimalComma, int digits = 15);

// "Copiar resultados": a header row, a row a parameter or quantity, then the
// summary; tab-separated, with so many significant digits, the decimal comma.
std::string resultsText(const Analysis& analysis, const std::vector<Point>& points,
                        int digits = 15);

// The CSV file: each point with the curve's value and residual, the results
// table and, for a fit, the summary; lines ended by CR LF. Without a fit,
// the shown curve is the model's at `shown` (a start) with its values only.
std::string csvText(const GrowthModel& model, const std::optional<Analysis>& analysis,
                    const Parameters& shown, const Fixed& fixed,
                    const std::vector<Point>& points, char separator, bool decimalComma,
                    int digits = 15);

// Several sets in one file or on the clipboard: each set's block starts with
// its name line, "conjunto;Control"; a set without a curve gives its points.
std::string setLine(const std::string& name, char separator);
std::string pointsCsv(const std::vector<Point>& points, char separator, bool decimalComma,
                      int digits = 15);

// The comparison table's columns, the magnitude's name first.
const std::vector<std::string>& setComparisonColumns();
// The comparison of two sets as the window shows it, with 15 digits: the
// sets, the model, one row of the common curve's test, then a row a
// difference, then the sentence. Lines ended by CR LF.
std::string setComparisonCsv(const SetComparison& comparison, const GrowthModel& model,
                             const std::string& first, const std::string& second, char separator,
                             bool decimalComma, int digits = 15);

// Tab-separated text as HTML for a word processor: each run of lines with
// tabs a table, a row a line; other lines paragraphs; text escaped.
std::string htmlOf(const std::string& text);

// "Texto de métodos": the analysis as a report's methods and results say
// it, in Spanish: the model and its formula, n, the least-squares method,
// the weighting, held parameters, how the intervals were worked out, the
// results with their 95 % intervals, the fit's sums, the lack-of-fit test
// when there are replicates, and the program that did it.
std::string methodsText(const Analysis& analysis, const std::vector<Point>& points,
                        const std::string& program);

} // namespace gompertz::fit
