#include "app/irc/ircmessage.h"

#include "engine/base/ascii.h"
#include "engine/enparse/unicode.h"

namespace vebix::irc {
namespace {

constexpr bool isBreakByte(char c) { return c == '\r' || c == '\n' || c == '\0'; }

void appendSafe(std::string& out, std::string_view text) {
    for (char c : text) out.push_back(isBreakByte(c) ? ' ' : c);
}

}  // namespace

std::optional<Message> parseMessage(std::string_view line) {
    auto word = [&line]() {
        const std::size_t end = line.find(' ');
        const std::string_view w = line.substr(0, end);
        line.remove_prefix(end == std::string_view::npos ? line.size() : end);
        while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
        return w;
    };
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (!line.empty() && line.front() == '@') word();
    Message m;
    if (!line.empty() && line.front() == ':') m.prefix = std::string(word().substr(1));
    const std::string_view command = word();
    if (command.empty()) return std::nullopt;
    m.command.reserve(command.size());
    for (char c : command) m.command.push_back(asciiUpper(c));
    while (!line.empty()) {
        if (line.front() == ':') {
            m.params.emplace_back(line.substr(1));
            break;
        }
        m.params.emplace_back(word());
    }
    return m;
}

std::string_view nickOf(std::string_view prefix) {
    const std::size_t end = prefix.find_first_of("!@");
    return prefix.substr(0, end);
}

std::string foldCase(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == '[')
            c = '{';
        else if (c == ']')
            c = '}';
        else if (c == '\\')
            c = '|';
        else if (c == '~')
            c = '^';
        else
            c = asciiLower(c);
    }
    return out;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && foldCase(a) == foldCase(b);
}

bool isChannelName(std::string_view target) {
    return !target.empty() &&
           std::string_view("#&+!").find(target.front()) != std::string_view::npos;
}

std::string_view cutAtCharacter(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t length = 1;
        unicode::decode(text, end, length);
        if (end + length > maxBytes) break;
        end += length;
    }
    return text.substr(0, end);
}

std::vector<std::string> splitText(std::string_view text, std::size_t maxBytes,
                                   std::size_t maxPieces) {
    std::vector<std::string> pieces;
    auto trimFront = [&text] {
        while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    };
    trimFront();
    while (!text.empty() && pieces.size() < maxPieces && maxBytes > 0) {
        std::string_view piece = cutAtCharacter(text, maxBytes);
        if (piece.empty()) break;
        if (piece.size() < text.size()) {
            // A blank near the end makes a cleaner cut than one inside a word.
            const std::size_t blank = piece.rfind(' ');
            if (blank != std::string_view::npos && blank >= piece.size() - piece.size() / 4)
                piece = piece.substr(0, blank);
        }
        text.remove_prefix(piece.size());
        while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
        if (!piece.empty()) pieces.emplace_back(piece);
        trimFront();
    }
    return pieces;
}

std::string formatLine(std::string_view command, const std::vector<std::string_view>& middle,
                       std::optional<std::string_view> last) {
    std::string line;
    appendSafe(line, command);
    for (std::string_view param : middle) {
        if (param.empty() || param.front() == ':' ||
            param.find_first_of(std::string_view(" \r\n\0", 4)) != std::string_view::npos)
            continue;
        line.push_back(' ');
        line.append(param);
    }
    if (last) {
        line.append(" :");
        appendSafe(line, *last);
    }
    return std::string(cutAtCharacter(line, kMaxContentBytes));
}

}  // namespace vebix::irc
