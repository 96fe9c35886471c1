// Number texts: reading never crashes; what it reads is stable once written
// and read again; every finite double is written as a text that reads back.
#include "model/errors.h"
#include "model/number_text.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace gompertz;

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// The text written for value reads back to a double whose text is the same:
// after one writing the value no longer moves (0 and -0 both read as 0).
void requireRoundTrip(double value) {
    const std::string written = formatNumber(value);
    const double back = parseNumber(written); // must not throw
    require(std::isfinite(back));
    require(formatNumber(back) == written);
    const double again = parseNumber(formatNumber(back));
    require(std::bit_cast<std::uint64_t>(again) == std::bit_cast<std::uint64_t>(back) ||
            (again == 0.0 && back == 0.0));
    // Fifteen significant digits, rounded or, at the very top, cut.
    require(std::fabs(back - value) <= 1e-14 * std::fabs(value) + 5e-324);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const double value = parseNumber(text);
        require(std::isfinite(value));
        requireRoundTrip(value);
    } catch (const RuntimeError&) {
        // not a number, or beyond the double range: refused, as it must be
    }
    if (size >= sizeof(double)) {
        double value = 0.0;
        std::memcpy(&value, data, sizeof value);
        if (std::isfinite(value)) {
            requireRoundTrip(value);
        }
    }
    return 0;
}
