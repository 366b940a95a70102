#pragma once
// Splitting a buffer into lines. CR, LF and CR LF each end a line and are not part of it; a
// last line without an end is still a line, and nothing follows a line end at the very end of
// the buffer (so "a\r\n" and "a\r" are both the one line "a", and "" holds no line at all).
// Every other byte, NUL included, belongs to its line.

#include <cstddef>
#include <cstring>
#include <string_view>

namespace vebix {

class LineSplitter {
public:
    explicit LineSplitter(std::string_view text) : text_(text) {}

    // The next line, or false when the buffer is used up. The view points into the buffer.
    bool next(std::string_view& line) {
        const std::size_t size = text_.size();
        if (pos_ >= size) return false;
        // The next LF is found once and reused while CRs end the lines before it: a file with
        // LF ends then costs one scan, one with CR ends no more than two.
        if (!lfKnown_ || nextLf_ < pos_) {
            const void* lf = std::memchr(text_.data() + pos_, '\n', size - pos_);
            nextLf_ =
                lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - text_.data()) : size;
            lfKnown_ = true;
        }
        const void* cr = std::memchr(text_.data() + pos_, '\r', nextLf_ - pos_);
        const std::size_t end =
            cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - text_.data()) : nextLf_;
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (end < size && text_[end] == '\r' && pos_ < size && text_[pos_] == '\n') ++pos_;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextLf_ = 0;  // the first LF at or after pos_ (size when there is none)
    bool lfKnown_ = false;
};

// Calls visit(line) for each line of text, in order.
template <typename Visit>
void forEachLine(std::string_view text, Visit&& visit) {
    LineSplitter lines(text);
    std::string_view line;
    while (lines.next(line)) visit(line);
}

}  // namespace vebix
