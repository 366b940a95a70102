#pragma once
// What the room says, made safe for where it goes: the mind learns plain text, the log shows
// every byte that could steer a terminal or a log viewer as an escape. Anyone in a room may send
// any bytes, so nothing from it reaches either place raw.

#include <optional>
#include <string>
#include <string_view>

namespace vebix::irc {

// Text as the mind learns it and answers it: the chat clients' formatting codes (bold, colours
// with their numbers, italics, underline, reverse, reset) removed, every other control
// character (C0, DEL, C1) a blank, blanks at the ends trimmed. Bytes that are not UTF-8 stay.
std::string plainText(std::string_view text);

// Text for one log line: control characters (C0, DEL, C1), the characters that reorder or break
// lines on display (bidirectional controls, line and paragraph separators) and bytes that are
// not UTF-8 as escapes ("\x1b", "\u202e"), and a backslash as "\\", so that what is escaped
// can be told from what was typed.
std::string escapeForLog(std::string_view text);

// A client-to-client request carried in a message ("\1VERSION\1"): its word in upper case and
// what follows it. The closing "\1" may be missing, as some clients send it.
struct Ctcp {
    std::string command;
    std::string argument;
};
std::optional<Ctcp> parseCtcp(std::string_view text);
// The text of a request or answer: "\1COMMAND argument\1" (no blank without an argument).
std::string formatCtcp(std::string_view command, std::string_view argument);

}  // namespace vebix::irc
