// The data file: parsing never crashes, never addresses a row outside the
// table, and either refuses a file leaving the table as it was or fills the
// rows exactly as the file's lines say; a column of numbers is refused.
#include "checked_table.h"
#include "data/data_file.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace gompertz::data;
using fuzzing::CheckedTable;
using fuzzing::require;

namespace {

// The lines as the file format reads them, split independently.
std::vector<std::string> lines(const std::string& bytes) {
    std::vector<std::string> out;
    std::string line;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' || bytes[i] == '\n') {
            out.push_back(line);
            line.clear();
            if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
                ++i;
            }
        } else {
            line += bytes[i];
        }
    }
    if (!line.empty()) {
        out.push_back(line);
    }
    return out;
}

// A line's number: blanks, a sign, digits, a period and decimals, then only
// blanks; nothing when it has none or anything else follows it.
std::optional<double> numberOf(const std::string& line) {
    std::size_t pos = line.find_first_not_of(" \t");
    if (pos == std::string::npos) {
        return std::nullopt;
    }
    std::string number;
    if (line[pos] == '-' || line[pos] == '+') {
        number += line[pos++];
    }
    const std::size_t digitsFrom = number.size();
    bool period = false;
    while (pos < line.size() &&
           (std::isdigit(static_cast<unsigned char>(line[pos])) || (line[pos] == '.' && !period))) {
        period = period || line[pos] == '.';
        number += line[pos++];
    }
    if (number.find_first_of("0123456789", digitsFrom) == std::string::npos ||
        line.find_first_not_of(" \t", pos) != std::string::npos) {
        return std::nullopt;
    }
    return std::strtod(number.c_str(), nullptr);
}

// The count a first line gives, rounded half to even; -1 when it has none.
long leadingCount(const std::string& line) {
    const auto value = numberOf(line);
    return !value || std::fabs(std::nearbyint(*value)) > 1e6
               ? -1
               : static_cast<long>(std::nearbyint(*value));
}

// A column of numbers: the first line bare (no blank before it), no CR in
// the file, every line a number or blank, at least three numbers.
bool isColumn(const std::string& bytes, const std::vector<std::string>& all) {
    if (bytes.empty() || bytes[0] == ' ' || bytes[0] == '\t' ||
        bytes.find('\r') != std::string::npos) {
        return false;
    }
    std::size_t numbers = 0;
    for (const std::string& line : all) {
        if (line.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        if (!numberOf(line)) {
            return false;
        }
        ++numbers;
    }
    return numbers >= 3;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    CheckedTable table;
    const CheckedTable before = table;
    const auto problem = loadDataFile(table, bytes);

    const std::vector<std::string> all = lines(bytes);
    const long count = all.empty() ? -1 : leadingCount(all[0]);
    bool sound = count >= 0 && count <= kRows && all.size() >= 1 + 2 * std::size_t(count) &&
                 !isColumn(bytes, all);
    for (long line = 1; sound && line <= 2 * count; ++line) {
        sound = all[line].size() <= kMaxLineLength;
    }
    require(sound == !problem);
    for (int i = 0; i < kRows; ++i) {
        if (problem) {
            require(table.x[i] == before.x[i] && table.y[i] == before.y[i]);
        } else {
            require(table.x[i] == (i < count ? all[1 + 2 * i] : std::string()));
            require(table.y[i] == (i < count ? all[2 + 2 * i] : std::string()));
        }
    }
    return 0;
}
