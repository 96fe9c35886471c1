#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace gompertz::data {

// A data set added to the analysis from a file, beside the main window's
// table: read by the rules of import, never written into the table.
//
// A file holds t and one or more value columns, each a replicate (a cell
// left empty is a missing value), or t repeated once a value (long form);
// a row holds no more fields than its header names. Or, under a header
// naming a mean or a deviation, the four columns t, the mean, its standard
// deviation and n, in any order, named as Spanish or English tables name
// them ("media (mg/L)", "promedio", "mean"; "DE", "SD", "desv. est."; "n",
// "réplicas"), with or without units: the mean of n values and their
// standard deviation. Such a header that lacks one of the four (n too: the
// weight n/DE² needs it), names one twice or names anything else is
// refused, naming what is wrong.

struct Measurement {
    double t = 0.0;
    double value = 0.0;
};

struct MeanRow {
    double t = 0.0;
    double mean = 0.0;
    double deviation = 0.0;
    double count = 1.0;
};

// One of the two is filled: the values, or the means.
struct SetFile {
    std::vector<Measurement> values;
    std::vector<MeanRow> means;
};

inline constexpr std::size_t kMaxSetPoints = 10000;
inline constexpr std::size_t kMaxSetColumns = 101; // t and up to 100 replicates
inline constexpr std::size_t kMaxSetFileBytes = 16 * 1024 * 1024;
// Lines, blank ones included: room for every value on a line of its own and
// blank rows a spreadsheet leaves, and a bound a file of blank lines meets
// early.
inline constexpr std::size_t kMaxSetLines = 10 * kMaxSetPoints;

// The set in a text (its bytes already decoded), or a message in Spanish
// naming the line at fault.
std::variant<SetFile, std::string> parseSet(std::string_view text);

// The set in the file at path, or a message naming the file and the line:
// "No se puede añadir datos.csv: en la línea 3, …".
std::variant<SetFile, std::string> readSet(const std::string& path);

} // namespace gompertz::data
