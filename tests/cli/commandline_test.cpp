// Reading the program's command line: which arguments mean help, version, a command, the
// window (with Qt's own options left for Qt) or a usage error.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/commandline.h"
#include "app/cli/commandparser.h"
#include "app/cli/console.h"

namespace vebix::cli {
namespace {

using Kind = Invocation::Kind;

struct InvocationCase {
    QStringList arguments;  // after the program's name
    Kind kind;
    QString detail;  // the command, the window's mind, or a part of the error
};

TEST(ParseInvocation, SortsEveryKindOfCommandLine) {
    const std::vector<InvocationCase> cases = {
        {{}, Kind::Window, QString()},
        {{"robo.mdd"}, Kind::Window, "robo.mdd"},
        {{"-platform", "xcb", "robo.mdd"}, Kind::Window, "robo.mdd"},
        {{"robo.mdd", "-style", "Fusion", "-reverse"}, Kind::Window, "robo.mdd"},
        {{"--", "--help"}, Kind::Window, "--help"},
        {{"--help"}, Kind::Help, QString()},
        {{"-h", "robo.mdd"}, Kind::UsageError, "-h takes no other argument"},
        {{"--version", "extra"}, Kind::UsageError, "--version takes no other argument"},
        {{"lern", "x.mdd"}, Kind::UsageError, "unknown command 'lern' (did you mean 'learn'?)"},
        {{"lern"}, Kind::UsageError, "unknown command 'lern'"},
        {{"robo"}, Kind::UsageError, "unknown command 'robo'"},
        {{"--version"}, Kind::Version, QString()},
        {{"-v"}, Kind::Version, QString()},
        {{"chat", "--frobnicate"}, Kind::Command, "chat"},
        {{"info", "--help"}, Kind::Command, "info"},
        {{"--frobnicate"}, Kind::UsageError, "unknown option '--frobnicate'"},
        {{"-platform"}, Kind::UsageError, "platform"},
        {{"a.mdd", "b.mdd"}, Kind::UsageError, "unexpected argument 'b.mdd'"},
    };
    for (const InvocationCase& c : cases) {
        QStringList all = c.arguments;
        all.prepend(QStringLiteral("vebix"));
        const Invocation got = parseInvocation(all);
        const QString where = all.join(QLatin1Char(' '));
        EXPECT_EQ(got.kind, c.kind) << where.toStdString() << " " << got.error.toStdString();
        switch (c.kind) {
            case Kind::Command:
                EXPECT_EQ(got.command, c.detail) << where.toStdString();
                EXPECT_EQ(got.arguments, c.arguments.mid(1)) << where.toStdString();
                break;
            case Kind::Window:
                EXPECT_EQ(got.mindPath, c.detail) << where.toStdString();
                break;
            case Kind::UsageError:
                EXPECT_TRUE(got.error.contains(c.detail)) << got.error.toStdString();
                EXPECT_FALSE(got.error.contains(QLatin1Char('\n')));
                break;
            default:
                break;
        }
    }
}

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
}  // namespace vebix::cli
