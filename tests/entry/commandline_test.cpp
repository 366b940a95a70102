// Reading the program's command line: which arguments mean help, version, a command, the
// window (with Qt's own options left for Qt) or a usage error.
#include <gtest/gtest.h>

#include "app/entry/commandline.h"

namespace vebix {
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

TEST(CommandSuggestion, NamesTheNearestCommand) {
    const struct {
        const char* word;
        const char* suggestion;
    } cases[] = {
        {"lern", "learn"}, {"rpely", "reply"}, {"chta", "chat"}, {"ifno", "info"},
        {"lnk", "link"},   {"LEARN", "learn"}, {"xyzzy", ""},    {"ir", "irc"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commandSuggestion(QString::fromLatin1(c.word)).toStdString(), c.suggestion)
            << c.word;
}

}  // namespace
}  // namespace vebix
