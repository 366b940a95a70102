#pragma once
// One mind line: "key time speaker text", four fields separated by single blanks.
//   key      conversation key: the partner's name, blanks stored as "_"
//   time     seconds since 1970, decimal
//   speaker  who said it; exactly "<ai>" for the engine's own lines
//   text     everything after the third blank, as typed
// A line holding "#-" anywhere is never offered as a reply nor used to build one.
// A learned line never holds CR, LF or NUL (see learnedText): in a mind file those end a line.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace vebix {

inline constexpr std::string_view kAiSpeaker = "<ai>";
inline constexpr std::string_view kExcludeMark = "#-";

// The longest line replies look at, and the longest part of an input they read (64 KiB, as
// `vebix learn` takes). A longer mind line stays in the mind as it is but is passed over by
// replies: it is not scored, offered, lent to a generated reply, nor counted for the fill words.
// So whatever a mind or a message holds, a reply costs a bounded amount of memory per line.
inline constexpr std::size_t kLongestLine = 64 * 1024;

// Who somebody is to a mind, as key and speaker of the lines they say: their name, "!" and a
// tag that tells apart people of one name (a person's local tag, made from the names of their
// computer and login; another bot repeats its own name: "Alice!Alice"). Personalising reads
// the name back as what stands before the "!".
std::string speakerId(std::string_view name, std::string_view tag);

// Slices of one mind line. Fields the line does not have are empty.
struct MindLine {
    std::string_view key;
    std::string_view time;
    std::string_view speaker;
    std::string_view text;
};

// Splits a line at its first three blanks. A line without a blank has every field empty; with
// one blank only key is set; with two, key and time. With AiSuffix::Strip, a speaker longer
// than four bytes that ends in "<ai>" loses those four bytes.
enum class AiSuffix { Keep, Strip };
MindLine parseLine(std::string_view line, AiSuffix aiSuffix);

// The text after the third blank, or empty when the line has fewer than three blanks.
std::string_view lineText(std::string_view line);

// Byte offset of the text field (just after the third blank), or nullopt without three blanks.
std::optional<std::size_t> textOffset(std::string_view line);

bool hasExcludeMark(std::string_view line);

// True for the bytes a mind line can never hold: CR, LF and NUL.
bool isLineBreakByte(char c);

// text as the engine learns it: every CR, LF and NUL replaced by a blank, nothing else changed.
// A front end shows this rather than what was typed or pasted, so that the person sees the line
// the mind now holds.
std::string learnedText(std::string_view text);

// The time field as a number: decimal digits only, at least one, fitting 32 bits; otherwise
// nullopt. A line whose time does not read is skipped wherever its time is needed.
namespace detail {

// parseTime for a field of any length, digit by digit.
std::optional<std::uint32_t> parseAnyTime(std::string_view field);

// Eight ASCII digits, the first in the lowest byte, as a number; false when a byte is not a
// digit. Each step adds neighbouring groups (digits, pairs, fours) weighted by their place.
inline bool eightDigits(std::uint64_t bytes, std::uint64_t& value) {
    const std::uint64_t d = bytes - 0x3030303030303030ull;
    // A byte below '0' borrows into the top half of its byte; one above '9' reaches it on +6.
    if (((d | (d + 0x0606060606060606ull)) & 0xF0F0F0F0F0F0F0F0ull) != 0) return false;
    std::uint64_t v = (d * 10 + (d >> 8)) & 0x00FF00FF00FF00FFull;
    v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFFull;
    value = (v * 10000 + (v >> 32)) & 0xFFFFFFFFull;
    return true;
}

}  // namespace detail

// Every line of a mind is read for its time, and nearly every time has ten digits: those are
// read eight at a time, in line.
inline std::optional<std::uint32_t> parseTime(std::string_view field) {
    if constexpr (std::endian::native == std::endian::little) {
        if (field.size() == 10) {
            std::uint64_t bytes;
            std::memcpy(&bytes, field.data(), 8);
            std::uint64_t value;
            const char c8 = field[8], c9 = field[9];
            if (!detail::eightDigits(bytes, value) || c8 < '0' || c8 > '9' || c9 < '0' || c9 > '9')
                return std::nullopt;
            value = value * 100 + static_cast<unsigned>(c8 - '0') * 10 +
                    static_cast<unsigned>(c9 - '0');
            if (value > 0xFFFFFFFFull) return std::nullopt;
            return static_cast<std::uint32_t>(value);
        }
    }
    return detail::parseAnyTime(field);
}

// True for a valid code point that is neither alphabetic nor an ASCII digit.
bool isWordBreak(char32_t cp);

// True when inner lies entirely inside the memory of outer.
bool liesWithin(std::string_view inner, std::string_view outer);

}  // namespace vebix
