#pragma once
// ASCII-only character classes and case folding. Bytes outside A-Z, a-z and 0-9 are never
// changed or matched, whatever the locale: UTF-8 text passes through byte for byte.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace vebix {

// The classes are written as one unsigned comparison each (setting bit 5 maps A-Z onto a-z and
// nothing else onto a-z): the tokenizer asks them for every byte.
constexpr unsigned asciiByte(char c) { return static_cast<unsigned char>(c); }
constexpr bool isAsciiUpper(char c) { return asciiByte(c) - 'A' < 26u; }
constexpr bool isAsciiLowerLetter(char c) { return asciiByte(c) - 'a' < 26u; }
constexpr bool isAsciiLetter(char c) { return (asciiByte(c) | 0x20u) - 'a' < 26u; }
constexpr bool isAsciiDigit(char c) { return asciiByte(c) - '0' < 10u; }
constexpr bool isAsciiAlnum(char c) { return isAsciiLetter(c) || isAsciiDigit(c); }

// c with A-Z mapped to a-z (asciiLower) or a-z to A-Z (asciiUpper); every other byte as it is.
constexpr char asciiLower(char c) { return isAsciiUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char asciiUpper(char c) {
    return isAsciiLowerLetter(c) ? static_cast<char>(c - 'a' + 'A') : c;
}

// The same for code points (only U+0041..U+005A and U+0061..U+007A are letters). Bytes and code
// points are kept apart on purpose: a code point above 0xFF must never be narrowed to a byte, so
// mixed calls (unsigned char, int) do not compile.
constexpr bool isAsciiLetter(char32_t c) { return (c | 0x20u) - U'a' < 26u; }
constexpr bool isAsciiDigit(char32_t c) { return c - U'0' < 10u; }
constexpr char32_t asciiLower(char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

// A copy of s with A-Z mapped to a-z.
inline std::string lowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = asciiLower(c);
    return out;
}

inline bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    return true;
}

inline bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           equalsIgnoringAsciiCase(text.substr(0, prefix.size()), prefix);
}

// Orders as the lower-case forms compare byte by byte (bytes unsigned): <0, 0 or >0.
inline int compareIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(asciiLower(a[i]));
        const auto y = static_cast<unsigned char>(asciiLower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// White space as the C locale's isspace has it: blank, tab, LF, VT, FF and CR.
constexpr bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// s without the white space (isAsciiSpace) at its start, at its end, or at both ends. The
// result views s.
constexpr std::string_view trimAsciiSpaceLeft(std::string_view s) {
    while (!s.empty() && isAsciiSpace(s.front())) s.remove_prefix(1);
    return s;
}
constexpr std::string_view trimAsciiSpaceRight(std::string_view s) {
    while (!s.empty() && isAsciiSpace(s.back())) s.remove_suffix(1);
    return s;
}
constexpr std::string_view trimAsciiSpace(std::string_view s) {
    return trimAsciiSpaceRight(trimAsciiSpaceLeft(s));
}

}  // namespace vebix
