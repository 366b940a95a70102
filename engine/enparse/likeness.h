#pragma once
// Loose comparisons of texts and words. All functions are pure and keep no state.

#include <cstddef>
#include <string>
#include <string_view>

namespace vebix {

// True when the two texts have the same ASCII letters and digits in the same order, ignoring
// ASCII letter case and every other byte (spacing, punctuation, non-ASCII characters).
bool looseEquals(std::string_view first, std::string_view second);

// The same word allowing for common typing errors; words longer than five bytes may also sound
// alike. Not symmetric: first is the word allowed to carry extra or swapped letters.
bool wordsAlike(std::string_view first, std::string_view second);

// The typo-tolerant letter comparison behind wordsAlike. False when either word of up to
// 16 bytes is not valid UTF-8.
bool lettersAlike(std::string_view first, std::string_view second);

// lettersAlike, or equal sound codes.
bool soundAlike(std::string_view first, std::string_view second);

// The sound code of a word: its first ASCII letter in upper case followed by digits; empty when
// the word holds no ASCII letter. Written into buffer when bufferSize >= word.size() (a code is
// never longer than its word), otherwise into spill; the result views whichever was used.
std::string_view soundCode(std::string_view word, char* buffer, std::size_t bufferSize,
                           std::string& spill);
// The same, into a new string.
std::string soundCode(std::string_view word);

}  // namespace vebix
