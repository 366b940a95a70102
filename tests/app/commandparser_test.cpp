// The command-line conventions every front end shares: a command's help and usage errors, and
// when colour may be used on a terminal.
#include <gtest/gtest.h>

#include <sstream>

#include "app/platform/commandparser.h"
#include "app/platform/console.h"

namespace vebix {
namespace {

TEST(CommandParser, HelpPrintsAndUsageErrorsAreOneLine) {
    std::istringstream in;
    std::ostringstream out, err;
    Console console{in, out, err};
    {
        CommandParser parser(QStringLiteral("info"), QStringLiteral("Usage: vebix info MIND"));
        EXPECT_EQ(parser.parse({QStringLiteral("--help")}, console, 1, 1), 0);
        EXPECT_EQ(out.str(), "Usage: vebix info MIND\n");
    }
    const std::vector<std::pair<QStringList, std::string>> errors = {
        {{"--colour"}, "vebix info: unknown option '--colour' (see 'vebix info --help')\n"},
        {{}, "vebix info: missing argument (see 'vebix info --help')\n"},
        {{"a", "b"}, "vebix info: unexpected argument 'b' (see 'vebix info --help')\n"},
    };
    for (const auto& [arguments, expected] : errors) {
        err.str({});
        CommandParser parser(QStringLiteral("info"), QStringLiteral("Usage"));
        EXPECT_EQ(parser.parse(arguments, console, 1, 1), 2);
        EXPECT_EQ(err.str(), expected);
    }
    CommandParser parser(QStringLiteral("info"), QStringLiteral("Usage"));
    parser.addOption(QCommandLineOption(QStringLiteral("words"), QString(), QStringLiteral("N")));
    EXPECT_EQ(
        parser.parse({QStringLiteral("m.mdd"), QStringLiteral("--words"), QStringLiteral("3")},
                     console, 1, 1),
        std::nullopt);
    EXPECT_EQ(parser.value(QStringLiteral("words")), QStringLiteral("3"));
    EXPECT_EQ(parser.positional(), QStringList{QStringLiteral("m.mdd")});
}

TEST(Console, ColourOnlyWhenNoColorIsUnsetAndTheTerminalCanShowIt) {
    EXPECT_TRUE(colourAllowed(nullptr, "xterm-256color"));
    EXPECT_TRUE(colourAllowed("", "xterm"));
    EXPECT_FALSE(colourAllowed("1", "xterm"));
    EXPECT_FALSE(colourAllowed(nullptr, "dumb"));
    EXPECT_TRUE(Palette(false).user.empty());
    EXPECT_FALSE(Palette(true).user.empty());
}

}  // namespace
}  // namespace vebix
