#pragma once
// The lines of the chat-room protocol: reading a line the server sent into its parts, writing a
// command line that cannot break the protocol, IRC's case rules for names, and cutting text to
// the protocol's 512 bytes without splitting a character. No sockets, no mind.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vebix::irc {

// The longest line the protocol allows, CR LF included, and so the longest without them.
inline constexpr std::size_t kMaxLineBytes = 512;
inline constexpr std::size_t kMaxContentBytes = kMaxLineBytes - 2;

struct Message {
    std::string prefix;               // who sent it ("nick!user@host" or a server), without ':'
    std::string command;              // a word in upper case, or three digits
    std::vector<std::string> params;  // the trailing parameter too, without its ':'

    // Parameter i, or empty when there is none.
    std::string_view param(std::size_t i) const {
        return i < params.size() ? std::string_view(params[i]) : std::string_view();
    }
};

// Reads one line (without its line end). Message tags ("@a=b ") are skipped. Nothing for a
// line with no command.
std::optional<Message> parseMessage(std::string_view line);

// The nick of a prefix: "ann" for "ann!a@host", the whole prefix when it names no user.
std::string_view nickOf(std::string_view prefix);

// IRC's case folding: ASCII letters, and "[]\~" as "{}|^" (the servers' default rule).
std::string foldCase(std::string_view name);
bool sameName(std::string_view a, std::string_view b);

// Whether target names a channel rather than a person.
bool isChannelName(std::string_view target);

// The longest start of text of at most maxBytes bytes that does not end inside a UTF-8
// character. A byte that starts no valid character counts as a character of its own.
std::string_view cutAtCharacter(std::string_view text, std::size_t maxBytes);

// text in pieces of at most maxBytes bytes, each cut at a character boundary and, where one
// lies in the piece's last quarter, after a blank; blanks at the pieces' ends are dropped. At
// most maxPieces pieces: what is left over is not sent.
std::vector<std::string> splitText(std::string_view text, std::size_t maxBytes,
                                   std::size_t maxPieces);

// A command line: command, the middle parameters, then the last one after ':' (always, so that
// it may hold blanks or be empty). CR, LF and NUL in any parameter become blanks, so that no
// text can end the line early and smuggle in a command of its own; a middle parameter that is
// empty, holds a blank or starts with ':' cannot be sent and is dropped. The line is cut to
// kMaxContentBytes at a character boundary.
std::string formatLine(std::string_view command, const std::vector<std::string_view>& middle,
                       std::optional<std::string_view> last = std::nullopt);

}  // namespace vebix::irc
