#pragma once
// Typed bytes as the line editor's wide characters and back, losslessly. Valid UTF-8 becomes
// its code points; every other byte (Latin-1 typed on a terminal set up for it, a stray
// continuation byte) becomes a code point of its own in the low-surrogate block, U+DC80 to
// U+DCFF, which no UTF-8 text can hold, and turns back into that very byte. The history file's
// lines are written in the editor's escaped form and read back the same way.

#include <cstddef>
#include <string>
#include <string_view>

namespace vebix::cli::typedtext {

// The code point that stands for a byte that is not part of valid UTF-8.
inline constexpr wchar_t kByteBase = 0xDC00;

// How many bytes the UTF-8 sequence that starts with lead holds (1 for a byte that starts
// none).
std::size_t sequenceLength(unsigned char lead);

// The first character of bytes (which must not be empty) and how many bytes it took.
wchar_t decodeOne(std::string_view bytes, std::size_t& used);

std::wstring toWide(std::string_view bytes);
std::string toBytes(const wchar_t* text, std::size_t length);
inline std::string toBytes(const std::wstring& text) { return toBytes(text.data(), text.size()); }

// A history line as stored: printable ASCII as it is, a backslash doubled, anything else
// (blank, control, byte of 128 or more) as a three-digit octal escape.
std::string escapeHistoryLine(std::string_view bytes);
// Reads that form back, along with the "\M-x" and "\^x" forms older history files hold.
std::string unescapeHistoryLine(std::string_view line);

}  // namespace vebix::cli::typedtext
