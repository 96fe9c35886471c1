#pragma once

#include <cstring>
#include <string_view>

namespace gompertz::data {

// Lines ended by CR LF, LF or CR, handed out one at a time, so that nothing
// past the last line needed is ever split. A last line without its line end
// is a line; an empty text has none.
class LineReader {
  public:
    explicit LineReader(std::string_view bytes) : rest_(bytes) {}

    bool atEnd() const { return rest_.empty(); }
    // The number of the line next() last gave, from 1 as an editor counts.
    int number() const { return number_; }

    std::string_view next() {
        const std::size_t end = lineEnd();
        const std::string_view line = rest_.substr(0, end);
        ++number_;
        if (end == std::string_view::npos) {
            rest_ = {};
        } else {
            const bool crLf =
                rest_[end] == '\r' && end + 1 < rest_.size() && rest_[end + 1] == '\n';
            rest_.remove_prefix(end + (crLf ? 2 : 1));
        }
        return line;
    }

  private:
    // Where the first line ends: the first CR or LF, npos without one. By
    // memchr, so that a long line costs its bytes once, however built.
    std::size_t lineEnd() const {
        const void* lf = std::memchr(rest_.data(), '\n', rest_.size());
        const std::size_t upTo =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - rest_.data())
               : rest_.size();
        const void* cr = std::memchr(rest_.data(), '\r', upTo);
        if (cr) {
            return static_cast<std::size_t>(static_cast<const char*>(cr) - rest_.data());
        }
        return lf ? upTo : std::string_view::npos;
    }

    std::string_view rest_;
    int number_ = 0;
};

} // namespace gompertz::data
