// Text from the room on its way into the mind and into the log, and client-to-client queries.
#include <gtest/gtest.h>

#include <string>

#include "app/irc/roomtext.h"
#include "engine/enparse/unicode.h"

namespace vebix::irc {
namespace {

// Whether text holds anything a terminal or log viewer would act on: C0 but LF, DEL, C1, the
// characters that reorder a line, or bytes that are not UTF-8.
bool holdsRawControls(const std::string& text) {
    if (!unicode::isValid(text)) return true;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const char32_t cp = unicode::decode(text, i, length);
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) ||
            (cp >= 0x2066 && cp <= 0x2069) || cp == 0x2028 || cp == 0x2029)
            return true;
        i += length;
    }
    return false;
}

TEST(RoomText, TheMindLearnsPlainText) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"plain words", "plain words"},
        {"\x02"
         "bold\x02 and \x1Ditalic\x1D \x1Funder\x1F \x16rev\x16 \x1Estrike\x0F!",
         "bold and italic under rev strike!"},
        {"\x03"
         "4red\x03 \x03"
         "04,12both\x03 \x03"
         "99,1x",
         "red both x"},
        // A comma after a colour with no colour after it is the text's own.
        {"\x03"
         "5,hello",
         ",hello"},
        {"\x04"
         "ff0000hex\x04 \x04"
         "00ff00,0000ffpair\x04",
         "hex pair"},
        // A hex colour code with too few digits takes none of them.
        {"\x04"
         "fffend",
         "fffend"},
        {"tab\there\x07 bell \x1b[31mred", "tab here  bell  [31mred"},
        {"c1 \xC2\x9B"
         "31m",
         "c1  31m"},
        {"  \x02  ", ""},
        {"caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},
        {"latin1 caf\xE9", "latin1 caf\xE9"},
    };
    for (const auto& c : cases) EXPECT_EQ(plainText(c.in), c.out) << c.in;
}

TEST(RoomText, NothingReachesTheLogRaw) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"hello", "hello"},
        {"\x1b[2J\x07", "\\x1b[2J\\x07"},
        {"back\\slash", "back\\\\slash"},
        {"del\x7F", "del\\x7f"},
        {"csi \xC2\x9B", "csi \\u009b"},
        {"evil \xE2\x80\xAE"
         "txt.exe",
         "evil \\u202etxt.exe"},
        {"line\xE2\x80\xA8sep", "line\\u2028sep"},
        {"bad \xFF\xC3", "bad \\xff\\xc3"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {std::string("nul\0end", 7), "nul\\x00end"},
    };
    for (const auto& c : cases) EXPECT_EQ(escapeForLog(c.in), c.out) << c.in;
    // Every byte, alone and after every other, and every code point up to U+FFFF.
    for (int a = 0; a < 256; ++a) {
        std::string text(1, static_cast<char>(a));
        for (int b = 0; b < 256; b += 7) text += {static_cast<char>(b), static_cast<char>(a)};
        EXPECT_FALSE(holdsRawControls(escapeForLog(text))) << a;
    }
    std::string all;
    for (char32_t cp = 1; cp < 0x10000; ++cp)
        if (cp < 0xD800 || cp > 0xDFFF) unicode::encode(cp, all);
    EXPECT_FALSE(holdsRawControls(escapeForLog(all)));
}

TEST(RoomText, ReadsClientQueries) {
    const struct {
        std::string text;
        const char* command;  // nullptr: not a query
        const char* argument;
    } cases[] = {
        {"\x01VERSION\x01", "VERSION", ""},
        {"\x01ping 12345\x01", "PING", "12345"},
        {"\x01"
         "ACTION waves hello\x01",
         "ACTION", "waves hello"},
        {"\x01"
         "ACTION no closing mark",
         "ACTION", "no closing mark"},
        {"\x01\x01", nullptr, nullptr},
        {"\x01", nullptr, nullptr},
        {"VERSION", nullptr, nullptr},
        {"text \x01VERSION\x01", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const auto ctcp = parseCtcp(c.text);
        if (!c.command) {
            EXPECT_FALSE(ctcp) << c.text;
            continue;
        }
        ASSERT_TRUE(ctcp) << c.text;
        EXPECT_EQ(ctcp->command, c.command);
        EXPECT_EQ(ctcp->argument, c.argument);
    }
    EXPECT_EQ(formatCtcp("VERSION", ""), "\x01VERSION\x01");
    // An argument cannot end the query early.
    EXPECT_EQ(formatCtcp("PING",
                         "1\x01"
                         "2"),
              "\x01PING 1 2\x01");
}

}  // namespace
}  // namespace vebix::irc
