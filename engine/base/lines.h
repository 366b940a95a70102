#pragma once
// Splitting a buffer into lines. CR, LF and CR LF each end a line and are not part of it; a
// last line without an end is still a line, and nothing follows a line end at the very end of
// the buffer (so "a\r\n" and "a\r" are both the one line "a", and "" holds no line at all).
// Every other byte, NUL included, belongs to its line.

#include <cstddef>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vebix {

// The first CR or LF in [p, end), or end.
inline const char* findLineBreak(const char* p, const char* end) {
#ifdef __SSE2__
    // Sixteen bytes at a time: lines of a mind are mostly a few dozen bytes long, too short for
    // a library search per line end to pay off, and both ends are looked for in one pass.
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int hits =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (hits != 0) return p + __builtin_ctz(static_cast<unsigned>(hits));
        p += 16;
    }
#endif
    while (p < end && *p != '\r' && *p != '\n') ++p;
    return p;
}

class LineSplitter {
public:
    explicit LineSplitter(std::string_view text) : text_(text) {}

    // The next line, or false when the buffer is used up. The view points into the buffer.
    bool next(std::string_view& line) {
        const std::size_t size = text_.size();
        if (pos_ >= size) return false;
        const char* const begin = text_.data();
        const auto end =
            static_cast<std::size_t>(findLineBreak(begin + pos_, begin + size) - begin);
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        if (end < size && text_[end] == '\r' && pos_ < size && text_[pos_] == '\n') ++pos_;
        return true;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

// Calls visit(line) for each line of text, in order.
template <typename Visit>
void forEachLine(std::string_view text, Visit&& visit) {
    LineSplitter lines(text);
    std::string_view line;
    while (lines.next(line)) visit(line);
}

}  // namespace vebix
