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

// The typed number rewritten in the form from_chars reads ("-12.5e3"),
// plus the decimal exponent of its leading digit, to tell an overflow from
// an underflow when the value is out of range.
struct Normalised {
    std::string text;
    long magnitude = 0;
    bool hasNonZeroDigit = false;
};

Normalised normalise(std::string_view text) {
    Normalised out;
    std::size_t pos = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-') {
            out.text += '-';
        }
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
            out.text += ch;
            if (!sawComma && (out.hasNonZeroDigit || ch != '0')) {
                ++integerDigits;
            } else if (sawComma && !out.hasNonZeroDigit && ch == '0') {
                ++leadingFractionZeros;
            }
            out.hasNonZeroDigit = out.hasNonZeroDigit || ch != '0';
        } else if (ch == '.') {
            continue; // grouping mark, skipped wherever it stands
        } else if (ch == ',' && !sawComma) {
            sawComma = true;
            out.text += '.';
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
            exponent = std::min(exponent * 10 + (text[pos] - '0'), 100000L);
        }
        exponent = negative ? -exponent : exponent;
        out.text += 'e';
        out.text += std::to_string(exponent);
    }
    if (pos != text.size()) {
        throw ConversionError();
    }
    out.magnitude = exponent + (integerDigits > 0 ? integerDigits - 1 : -leadingFractionZeros - 1);
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
    result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 16);
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
    double value = 0.0;
    const char* first = number.text.data();
    const char* last = first + number.text.size();
    const auto result = std::from_chars(first, last, value);
    if (result.ec == std::errc::result_out_of_range) {
        if (number.hasNonZeroDigit && number.magnitude > 0) {
            throw OverflowError();
        }
        return number.text.front() == '-' ? -0.0 : 0.0; // underflow
    }
    if (result.ec != std::errc() || result.ptr != last) {
        throw ConversionError();
    }
    return value;
}

} // namespace gompertz
