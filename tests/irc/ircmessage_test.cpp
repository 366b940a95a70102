// The protocol's lines: reading them, writing them so that no text can break them, IRC's case
// rules, cutting at character boundaries and telling whether a line is addressed to the bot.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/irc/ircmessage.h"
#include "app/irc/ircsession.h"
#include "engine/enparse/unicode.h"

namespace vebix::irc {
namespace {

std::string joined(const Message& m) {
    std::string out = m.prefix + "|" + m.command;
    for (const std::string& p : m.params) out += "|" + p;
    return out;
}

TEST(IrcMessage, ReadsTheLinesServersSend) {
    const struct {
        const char* line;
        const char* parts;  // prefix|command|params...
    } cases[] = {
        {"PING :irc.test", "|PING|irc.test"},
        {":ann!a@h PRIVMSG #room :robo: hi there", "ann!a@h|PRIVMSG|#room|robo: hi there"},
        {":irc.test 005 robo NICKLEN=16 BOT=B :are supported",
         "irc.test|005|robo|NICKLEN=16|BOT=B|are supported"},
        {"@time=2024-01-01T00:00:00Z :ann!a@h privmsg robo :x", "ann!a@h|PRIVMSG|robo|x"},
        {":ann!a@h PRIVMSG #room ::-) colon first", "ann!a@h|PRIVMSG|#room|:-) colon first"},
        {":ann!a@h PRIVMSG #room :", "ann!a@h|PRIVMSG|#room|"},
        {":s  NOTICE   *   :two  blanks", "s|NOTICE|*|two  blanks"},
        {"QUIT", "|QUIT"},
    };
    for (const auto& c : cases) {
        const auto m = parseMessage(c.line);
        ASSERT_TRUE(m) << c.line;
        EXPECT_EQ(joined(*m), c.parts) << c.line;
    }
    for (const char* nothing : {"", "   ", ":prefix-only", "@tags-only", "@a :p"})
        EXPECT_FALSE(parseMessage(nothing)) << nothing;
}

TEST(IrcMessage, WritesLinesThatTextCannotBreak) {
    // A reply holding a line end must not become a second command.
    EXPECT_EQ(formatLine("PRIVMSG", {"#room"}, "hi\r\nQUIT :gone"),
              "PRIVMSG #room :hi  QUIT :gone");
    EXPECT_EQ(formatLine("PRIVMSG", {"#room"}, std::string_view("a\0b", 3)), "PRIVMSG #room :a b");
    // Middle parameters that cannot be sent are left out rather than shifting the others.
    EXPECT_EQ(formatLine("MODE", {"robo", "", ":x", "a b", "+B"}), "MODE robo +B");
    EXPECT_EQ(formatLine("QUIT", {}, ""), "QUIT :");
    EXPECT_EQ(formatLine("NICK", {"robo"}), "NICK robo");
    // Never longer than the protocol allows, and cut between characters.
    std::string text;
    for (int i = 0; i < 400; ++i) text += "\xC3\xA9";  // é, two bytes each
    const std::string line = formatLine("PRIVMSG", {"#room"}, text);
    EXPECT_LE(line.size(), kMaxContentBytes);
    EXPECT_TRUE(unicode::isValid(line));
}

TEST(IrcMessage, NamesCompareByIrcCaseRules) {
    EXPECT_EQ(nickOf("ann!a@host"), "ann");
    EXPECT_EQ(nickOf("irc.test"), "irc.test");
    EXPECT_EQ(nickOf("ann@host"), "ann");
    EXPECT_TRUE(sameName("Robo[1]", "robo{1}"));
    EXPECT_TRUE(sameName("a\\b~", "A|B^"));
    EXPECT_FALSE(sameName("robo", "robo_"));
    EXPECT_FALSE(sameName("\xC3\x89", "\xC3\xA9"));  // only ASCII letters fold
    for (const char* channel : {"#room", "&local", "+modeless", "!12345"})
        EXPECT_TRUE(isChannelName(channel)) << channel;
    for (const char* person : {"ann", "", "robo#"}) EXPECT_FALSE(isChannelName(person)) << person;
}

TEST(IrcMessage, CutsBetweenCharactersOnly) {
    const struct {
        std::string text;
        std::size_t max;
        std::string cut;
    } cases[] = {
        {"hello", 10, "hello"},
        {"hello", 3, "hel"},
        {"a\xC3\xA9", 2, "a"},  // é would be split
        {"a\xC3\xA9", 3, "a\xC3\xA9"},
        {"\xE2\x82\xAC\xE2\x82\xAC", 5, "\xE2\x82\xAC"},  // € is three bytes
        {"\xF0\x9F\x98\x80x", 3, ""},                     // an emoji of four
        {"\xF0\x9F\x98\x80x", 4, "\xF0\x9F\x98\x80"},
        {"a\xFF\xFE", 2, "a\xFF"},  // bytes that start no character count alone
        {"\xC3", 1, "\xC3"},        // a character cut short at the end
    };
    for (const auto& c : cases) EXPECT_EQ(cutAtCharacter(c.text, c.max), c.cut) << c.text;
}

TEST(IrcMessage, SplitsLongTextIntoWholePieces) {
    EXPECT_EQ(splitText("short", 100, 3), std::vector<std::string>{"short"});
    EXPECT_EQ(splitText("  ", 100, 3), std::vector<std::string>{});
    // At a blank in the last quarter of a piece, else wherever the limit falls.
    EXPECT_EQ(splitText("abcdefgh ijk lmn", 10, 5),
              (std::vector<std::string>{"abcdefgh", "ijk lmn"}));
    EXPECT_EQ(splitText("ab cdefghijklmn", 10, 5),
              (std::vector<std::string>{"ab cdefghi", "jklmn"}));
    EXPECT_EQ(splitText("abcdefghijkl", 5, 5), (std::vector<std::string>{"abcde", "fghij", "kl"}));
    // What is left after the last piece is not sent.
    EXPECT_EQ(splitText("aaaa bbbb cccc dddd", 4, 2), (std::vector<std::string>{"aaaa", "bbbb"}));
    // Every piece whole UTF-8, however the limit falls.
    std::string text;
    for (int i = 0; i < 100; ++i) text += "\xE2\x82\xAC";
    for (std::size_t max = 3; max < 20; ++max)
        for (const std::string& piece : splitText(text, max, 200)) {
            EXPECT_LE(piece.size(), max);
            EXPECT_TRUE(unicode::isValid(piece)) << max;
        }
}

TEST(IrcMessage, TellsLinesAddressedToTheBot) {
    const struct {
        const char* text;
        const char* nick;
        const char* rest;  // nullptr: not addressed
    } cases[] = {
        {"robo: how are you?", "robo", "how are you?"},
        {"Robo, how are you?", "robo", "how are you?"},
        {"ROBO:no blank", "robo", "no blank"},
        {"robo[1]: hi", "Robo{1}", "hi"},
        {"robo:   ", "robo", ""},
        {"robot: hi", "robo", nullptr},
        {"robo hi", "robo", nullptr},
        {"hi robo: there", "robo", nullptr},
        {"robo", "robo", nullptr},
        {"robo:", "", nullptr},
    };
    for (const auto& c : cases) {
        const auto rest = addressedText(c.text, c.nick);
        if (c.rest == nullptr) {
            EXPECT_FALSE(rest) << c.text;
        } else {
            ASSERT_TRUE(rest) << c.text;
            EXPECT_EQ(*rest, c.rest) << c.text;
        }
    }
}

}  // namespace
}  // namespace vebix::irc
