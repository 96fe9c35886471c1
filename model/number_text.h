#pragma once

#include <string>
#include <string_view>

namespace gompertz {

// Numbers as the interface types and shows them, with the Spanish
// conventions whatever the machine's locale: decimal comma, the period as
// grouping mark.

// Up to 15 significant digits, no trailing zeros, exponent form below 1E-04
// and from 1E+15 ("1,5E+20", "1E-05"); negative zero is "0".
std::string formatNumber(double value);
// The same with fewer significant digits (1 to 15), for read-outs.
std::string formatNumber(double value, int significantDigits);

// Blanks around ignored, optional sign, digits with periods skipped, at most
// one decimal comma, optional exponent. Throws ConversionError for anything
// else and OverflowError beyond the double range.
double parseNumber(std::string_view text);

} // namespace gompertz
