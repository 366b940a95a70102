// What a terminal is shown of text others wrote: every control character but TAB escaped, so
// that it cannot move the cursor, set the title or clear the screen; through a pipe, the bytes.
#include "app/platform/console.h"

#include <gtest/gtest.h>

#include <string>

namespace vebix {
namespace {

TEST(ShownText, ControlsAreEscapedOnATerminalOnly) {
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string text;
        std::string shown;  // on a terminal
    };
    const Case cases[] = {
        {"plain text and TAB", "hello\tthere, caf\xC3\xA9 \xF0\x9F\x98\x80", ""},
        {"set the title, clear the screen", "\x1b]0;pwned\x07\x1b[2Jhi",
         "\\x1b]0;pwned\\x07\\x1b[2Jhi"},
        {"line ends, NUL and DEL", "a\r\nb\0c\x7f"s, "a\\x0d\\x0ab\\x00c\\x7f"},
        {"C1 as UTF-8 (CSI, NEL)",
         "x\xC2\x9B"
         "31my\xC2\x85",
         "x\\u009b31my\\u0085"},
        {"C1 as a lone byte",
         "x\x9b"
         "31m\xA0z",
         "x\\x9b31m\xA0z"},
        {"an overlong ESC is no character", "\xC0\x9B", "\xC0\\x9b"},
        {"a backslash that reads like an escape", "\\x1b and \\u009b and \\\\ and \\n",
         "\\\\x1b and \\\\u009b and \\\\\\ and \\n"},
    };
    for (const Case& c : cases) {
        const std::string expected = c.shown.empty() ? c.text : c.shown;
        EXPECT_EQ(shownText(c.text, true), expected) << c.what;
        EXPECT_EQ(shownText(c.text, false), c.text) << c.what;
    }
}

}  // namespace
}  // namespace vebix
