#pragma once
// One mind line: "key time speaker text", four fields separated by single blanks.
//   key      conversation key: the partner's name, blanks stored as "_"
//   time     seconds since 1970, decimal
//   speaker  who said it; exactly "<ai>" for the engine's own lines
//   text     everything after the third blank, as typed
// A line holding "#-" anywhere is never offered as a reply nor used to build one.
// A learned line never holds CR, LF or NUL (see learnedText): in a mind file those end a line.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vebix {

inline constexpr std::string_view kAiSpeaker = "<ai>";
inline constexpr std::string_view kExcludeMark = "#-";

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
std::optional<std::uint32_t> parseTime(std::string_view field);

// True for a valid code point that is neither alphabetic nor an ASCII digit.
bool isWordBreak(char32_t cp);

// True when inner lies entirely inside the memory of outer.
bool liesWithin(std::string_view inner, std::string_view outer);

}  // namespace vebix
