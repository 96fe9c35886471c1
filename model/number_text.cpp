#include "number_text.h"

#include "errors.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace gompertz {
namespace {

bool isBlank(char ch) {
    return ch == ' ' || ch == '\t';
}
bool isDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The typed number as its sign, its significant digits d1 d2 ... (no
// leading or trailing zeros) and the decimal exponent e of 0.d1d2... x 10^e.
// The exponent saturates far beyond the double range, so that a long run of
// zeros and an exponent that makes up for it still meet exactly.
struct Normalised {
    bool negative = false;
    std::string digits;
    long exponent = 0;
};

constexpr long kExponentLimit = 1L << 40;

long saturated(long value) {
    return std::clamp(value, -kExponentLimit, kExponentLimit);
}

Normalised normalise(std::string_view text) {
    Normalised out;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        out.negative = text[pos] == '-';
        ++pos;
    }
    bool sawDigit = false;
    bool sawComma = false;
    long integerDigits = 0;
    long leadingFractionZeros = 0;
    for (; pos < text.size(); ++pos) {
        const char ch = text[pos];
        if (isDigit(ch)) {
            sawDigit = true;
            if (!out.digits.empty() || ch != '0') {
                out.digits += ch;
                integerDigits += sawComma ? 0 : 1;
            } else if (sawComma) {
                ++leadingFractionZeros;
            }
        } else if (ch == '.') {
            continue; // grouping mark, skipped wherever it stands
        } else if (ch == ',' && !sawComma) {
            sawComma = true;
        } else {
            break;
        }
    }
    if (!sawDigit) {
        throw ConversionError();
    }
    long exponent = 0;
    if (pos < text.size() && (text[pos] == 'E' || text[pos] == 'e')) {
        ++pos;
        bool negative = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
            negative = text[pos] == '-';
            ++pos;
        }
        if (pos == text.size() || !isDigit(text[pos])) {
            throw ConversionError();
        }
        for (; pos < text.size() && isDigit(text[pos]); ++pos) {
            exponent = saturated(exponent * 10 + (text[pos] - '0'));
        }
        exponent = negative ? -exponent : exponent;
    }
    if (pos != text.size()) {
        throw ConversionError();
    }
    out.digits.erase(out.digits.find_last_not_of('0') + 1);
    out.exponent =
        saturated((integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent);
    return out;
}

// Near the largest double, digits rounded to nearest can name a number
// beyond the double range ("1.79769313486232e+308"); cutting the digits
// instead keeps the text readable. Only scientific form reaches there.
std::string significant(double value, int digits) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, digits);
    double back = 0.0;
    if (std::from_chars(buffer, result.ptr, back).ec != std::errc::result_out_of_range) {
        return std::string(buffer, result.ptr);
    }
    result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 16);
    std::string text(buffer, result.ptr);
    const std::size_t exponent = text.find('e');
    std::string mantissa = text.substr(0, exponent - (17 - digits)); // cut, not rounded
    mantissa.erase(mantissa.find_last_not_of('0') + 1);
    if (mantissa.back() == '.') {
        mantissa.pop_back();
    }
    return mantissa + text.substr(exponent);
}

} // namespace

std::string formatNumber(double value, int significantDigits) {
    if (value == 0.0) {
        return "0"; // also for -0
    }
    std::string text = significant(value, significantDigits);
    for (char& ch : text) {
        if (ch == '.') {
            ch = ',';
        } else if (ch == 'e') {
            ch = 'E';
        }
    }
    return text;
}

std::string formatNumber(double value) {
    return formatNumber(value, 15);
}

double parseNumber(std::string_view text) {
    const Normalised number = normalise(trimBlanks(text));
    const double zero = number.negative ? -0.0 : 0.0;
    if (number.digits.empty() || number.exponent < -400) {
        return zero; // zero, or below the smallest subnormal: underflow
    }
    if (number.exponent > 400) {
        throw OverflowError();
    }
    const std::string form =
        (number.negative ? "-0." : "0.") + number.digits + 'e' + std::to_string(number.exponent);
    double value = 0.0;
    const auto result = std::from_chars(form.data(), form.data() + form.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        if (number.exponent > 0) {
            throw OverflowError();
        }
        return zero;
    }
    if (result.ec != std::errc() || result.ptr != form.data() + form.size()) {
        throw ConversionError();
    }
    return value;
}

} // namespace gompertz
