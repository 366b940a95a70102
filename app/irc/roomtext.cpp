#include "app/irc/roomtext.h"

#include <cstdio>

#include "engine/base/ascii.h"
#include "engine/enparse/unicode.h"

namespace vebix::irc {
namespace {

constexpr char kCtcpMark = '\x01';

constexpr bool isDigit(char c) { return c >= '0' && c <= '9'; }
constexpr bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// How many bytes of text from pos a run of up to max characters of class takes.
template <typename Class>
std::size_t run(std::string_view text, std::size_t pos, std::size_t max, Class ofClass) {
    std::size_t n = 0;
    while (n < max && pos + n < text.size() && ofClass(text[pos + n])) ++n;
    return n;
}

// The length of the colour's arguments after a colour code: "fg" or "fg,bg" (two digits or six
// hex digits each); a comma not followed by a colour belongs to the text.
std::size_t colourArguments(std::string_view text, std::size_t pos, bool hex) {
    const std::size_t width = hex ? 6 : 2;
    auto ofClass = hex ? isHexDigit : isDigit;
    const std::size_t fg = run(text, pos, width, ofClass);
    if ((hex && fg != 6) || fg == 0) return 0;
    if (pos + fg < text.size() && text[pos + fg] == ',') {
        const std::size_t bg = run(text, pos + fg + 1, width, ofClass);
        if (bg != 0 && (!hex || bg == 6)) return fg + 1 + bg;
    }
    return fg;
}

constexpr bool isFormatting(char c) {
    switch (c) {
        case '\x02':  // bold
        case '\x0F':  // reset
        case '\x11':  // monospace
        case '\x16':  // reverse
        case '\x1D':  // italic
        case '\x1E':  // strike-through
        case '\x1F':  // underline
            return true;
        default:
            return false;
    }
}

bool escapedCodePoint(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C || cp == 0x200E ||
           cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

}  // namespace

std::string plainText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\x03' || c == '\x04') {
            i += 1 + colourArguments(text, i + 1, c == '\x04');
            continue;
        }
        if (isFormatting(c)) {
            ++i;
            continue;
        }
        std::size_t length = 1;
        const char32_t cp = unicode::decode(text, i, length);
        const bool control =
            cp == unicode::kInvalid ? false : (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F));
        if (control)
            out.push_back(' ');
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return std::string(trimAsciiSpace(out));
}

std::string escapeForLog(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const char32_t cp = unicode::decode(text, i, length);
        char escape[16];
        if (cp == unicode::kInvalid || cp < 0x20 || cp == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02x", asciiByte(text[i]));
            out.append(escape);
        } else if (escapedCodePoint(cp)) {
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
            out.append(escape);
        } else if (cp == '\\') {
            out.append("\\\\");
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out;
}

std::optional<Ctcp> parseCtcp(std::string_view text) {
    if (text.size() < 2 || text.front() != kCtcpMark) return std::nullopt;
    text.remove_prefix(1);
    if (const std::size_t end = text.find(kCtcpMark); end != std::string_view::npos)
        text = text.substr(0, end);
    const std::size_t blank = text.find(' ');
    Ctcp ctcp;
    for (char c : text.substr(0, blank)) ctcp.command.push_back(asciiUpper(c));
    if (ctcp.command.empty()) return std::nullopt;
    if (blank != std::string_view::npos) ctcp.argument = std::string(text.substr(blank + 1));
    return ctcp;
}

std::string formatCtcp(std::string_view command, std::string_view argument) {
    std::string text(1, kCtcpMark);
    text.append(command);
    if (!argument.empty()) {
        text.push_back(' ');
        // The argument cannot hold the mark that would end it.
        for (char c : argument) text.push_back(c == kCtcpMark ? ' ' : c);
    }
    text.push_back(kCtcpMark);
    return text;
}

}  // namespace vebix::irc
