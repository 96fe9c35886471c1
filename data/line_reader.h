#pragma once

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
        const std::size_t end = rest_.find_first_of("\r\n");
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
    std::string_view rest_;
    int number_ = 0;
};

} // namespace gompertz::data
