// Walks a text line by line for the records' readers, counting lines from 1 so that
// errors can name them; a last line without '\n' counts too.
#pragma once

#include <cstddef>
#include <string_view>

class TextLines {
  public:
    explicit TextLines(std::string_view text) : text_(text) {}

    // The next line without its '\n'; false after the last.
    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        std::size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++number_;
        return true;
    }
    // The number of the line Next gave last; 0 before the first.
    int number() const { return number_; }

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int number_ = 0;
};
