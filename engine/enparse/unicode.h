#pragma once
// The little of Unicode the text analysis needs: strict UTF-8 decoding, the simple lower-case
// mapping and the alphabetic property.

#include <cstddef>
#include <string>
#include <string_view>

namespace vebix::unicode {

inline constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes the code point starting at text[pos]. On success returns it and sets length to its
// byte count (1 to 4). A byte that does not start a valid sequence (truncated, overlong,
// surrogate, above U+10FFFF, a stray continuation byte) gives kInvalid with length 1.
char32_t decode(std::string_view text, std::size_t pos, std::size_t& length);

// Appends the UTF-8 form of a valid code point.
void encode(char32_t cp, std::string& out);

// Simple (one-to-one) lower-case mapping; code points without one map to themselves.
char32_t toLower(char32_t cp);

// The Unicode alphabetic property (letters and letter numbers).
bool isAlphabetic(char32_t cp);

// True when the whole text is valid UTF-8.
bool isValid(std::string_view text);

}  // namespace vebix::unicode
