#pragma once
// Where a command reads and writes: its standard streams and what they are connected to.
// Commands take one, so that tests can hand in string streams.

#include <iosfwd>
#include <string>
#include <string_view>

namespace vebix {

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    int inFd = 0;  // the descriptor behind in, for line editing and polling
    bool inIsTerminal = false;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
    bool colour = false;  // out may carry colour escapes

    // The process's own streams: std::cin/cout/cerr, each checked for a terminal; colour only
    // when standard output is a terminal, TERM is not "dumb" and NO_COLOR is unset or empty.
    static Console standard();
};

// Colours for names and notes, as ANSI escapes; empty strings when colour is off.
struct Palette {
    explicit Palette(bool colour);
    std::string_view user, bot, note, error, reset;
};

// Whether colour may be used on a terminal given the NO_COLOR and TERM values (either may be
// null when unset).
bool colourAllowed(const char* noColor, const char* term);

// Text that others wrote (another bot's reply or name, a line learned from one) as it may be
// shown: on a terminal (terminal true) every control character but TAB is shown escaped, so
// that the text cannot move the cursor, set the window title or clear the screen: C0 and DEL
// as "\x1b", C1 (U+0080 to U+009F, or such a byte that is not part of UTF-8) as "\u009b" or
// "\x9b", and a backslash that would start such an escape as "\\". Elsewhere (a pipe, a
// file) the text is unchanged.
std::string shownText(std::string_view text, bool terminal);

}  // namespace vebix
