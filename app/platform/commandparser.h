#pragma once
// One command's options and arguments, read with QCommandLineParser: "--help" prints the
// command's help on standard output, and anything it cannot read is one line on standard
// error and status 2.

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <optional>

namespace vebix {

struct Console;

// What parser (which failed to read arguments) found wrong, as a clause starting in lower case:
// "unknown option '--colour'" with the option as it was written.
QString parseProblem(const QCommandLineParser& parser, const QStringList& arguments);

class CommandParser {
public:
    // command: "chat"; help: the whole text "vebix chat --help" prints.
    CommandParser(QString command, QString help);

    void addOption(const QCommandLineOption& option) { parser_.addOption(option); }

    // Reads arguments (the command's, after its name). Returns the exit status when the
    // command must end now (help printed: 0; a usage error printed: 2), or nothing when the
    // command goes on. The number of positional arguments must lie within min and max
    // (max < 0: any number).
    std::optional<int> parse(const QStringList& arguments, Console& console, int minPositional,
                             int maxPositional);

    // A usage error found by the command itself (a value out of range): prints it as parse()
    // does and returns 2.
    int usageError(Console& console, const QString& message) const;

    // The options every command that makes random choices or prints notes takes: --seed N and
    // -q/--quiet (only --quiet for addQuiet).
    void addSeedAndQuiet();
    void addQuiet();
    // After parse(): seeds the random generator from --seed when given. The exit status when
    // the seed cannot be read (2), else nothing.
    std::optional<int> applySeed(Console& console) const;
    // Whether the run is to be quiet (-q, --quiet).
    bool quiet() const { return parser_.isSet(QStringLiteral("quiet")); }

    bool isSet(const QString& name) const { return parser_.isSet(name); }
    QString value(const QString& name) const { return parser_.value(name); }
    QStringList values(const QString& name) const { return parser_.values(name); }
    QStringList positional() const { return parser_.positionalArguments(); }

private:
    QString command_;
    QString help_;
    QCommandLineParser parser_;
};

}  // namespace vebix
