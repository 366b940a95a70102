#include "app/platform/console.h"

#include "engine/enparse/unicode.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <iostream>

namespace vebix {

bool colourAllowed(const char* noColor, const char* term) {
    // https://no-color.org: any non-empty NO_COLOR turns colour off.
    if (noColor && *noColor) return false;
    return !(term && std::strcmp(term, "dumb") == 0);
}

std::string shownText(std::string_view text, bool terminal) {
    if (!terminal) return std::string(text);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    shown.reserve(text.size());
    auto escape = [&](const char* prefix, unsigned value) {
        shown += prefix;
        shown += kHex[(value >> 4) & 15];
        shown += kHex[value & 15];
    };
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b == '\t' || (b >= 0x20 && b < 0x7F)) {
            // A backslash before what reads like an escape is doubled, so that the escapes
            // below cannot be faked.
            if (b == '\\' && i + 1 < text.size() &&
                (text[i + 1] == 'x' || text[i + 1] == 'u' || text[i + 1] == '\\'))
                shown += '\\';
            shown += static_cast<char>(b);
            ++i;
            continue;
        }
        std::size_t length = 1;
        const char32_t cp = b < 0x80 ? b : unicode::decode(text, i, length);
        if (cp < 0x20 || cp == 0x7F) {
            escape("\\x", cp);  // C0 and DEL
        } else if (cp == unicode::kInvalid) {
            // Not UTF-8: a lone byte, which some terminals take for a C1 control.
            if (b < 0xA0)
                escape("\\x", b);
            else
                shown += static_cast<char>(b);
        } else if (cp >= 0x80 && cp < 0xA0) {
            escape("\\u00", static_cast<unsigned>(cp));  // C1
        } else {
            shown.append(text.substr(i, length));
        }
        i += length;
    }
    return shown;
}

Console Console::standard() {
    Console console{std::cin, std::cout, std::cerr};
    console.inFd = STDIN_FILENO;
    console.inIsTerminal = ::isatty(STDIN_FILENO) == 1;
    console.outIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    console.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    console.colour =
        console.outIsTerminal && colourAllowed(std::getenv("NO_COLOR"), std::getenv("TERM"));
    return console;
}

Palette::Palette(bool colour) {
    if (!colour) return;
    user = "\033[1;34m";
    bot = "\033[1;32m";
    note = "\033[2m";
    error = "\033[1;31m";
    reset = "\033[0m";
}

}  // namespace vebix
