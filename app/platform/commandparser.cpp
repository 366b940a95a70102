#include "app/platform/commandparser.h"

#include <ostream>

#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "engine/base/random.h"

namespace vebix {

QString parseProblem(const QCommandLineParser& parser, const QStringList& arguments) {
    // The parser names an unknown option without its dashes; the person typed them.
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty()) {
        for (const QString& argument : arguments) {
            QString name = argument;
            while (name.startsWith(QLatin1Char('-'))) name.remove(0, 1);
            name = name.section(QLatin1Char('='), 0, 0);
            if (argument.startsWith(QLatin1Char('-')) && name == unknown.first())
                return QStringLiteral("unknown option '%1'").arg(argument);
        }
    }
    QString text = parser.errorText();
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    if (!text.isEmpty()) text[0] = text[0].toLower();
    return text;
}

CommandParser::CommandParser(QString command, QString help)
    : command_(std::move(command)), help_(std::move(help)) {
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser_.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
}

std::optional<int> CommandParser::parse(const QStringList& arguments, Console& console,
                                        int minPositional, int maxPositional) {
    // QCommandLineParser skips the first argument as the program's name.
    QStringList all = arguments;
    all.prepend(QStringLiteral("vebix ") + command_);
    if (!parser_.parse(all)) return usageError(console, parseProblem(parser_, arguments));
    if (parser_.isSet(QStringLiteral("help"))) {
        console.out << help_.toStdString();
        if (!help_.endsWith(QLatin1Char('\n'))) console.out << '\n';
        console.out.flush();
        return kExitOk;
    }
    const auto count = parser_.positionalArguments().size();
    if (count < minPositional) return usageError(console, QStringLiteral("missing argument"));
    if (maxPositional >= 0 && count > maxPositional)
        return usageError(console, QStringLiteral("unexpected argument '%1'")
                                       .arg(parser_.positionalArguments().at(maxPositional)));
    return std::nullopt;
}

void CommandParser::addQuiet() {
    parser_.addOption(
        QCommandLineOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")}));
}

void CommandParser::addSeedAndQuiet() {
    parser_.addOption(QCommandLineOption(QStringLiteral("seed"), QString(), QStringLiteral("N")));
    addQuiet();
}

std::optional<int> CommandParser::applySeed(Console& console) const {
    if (!parser_.isSet(QStringLiteral("seed"))) return std::nullopt;
    bool ok = false;
    const qulonglong seed = parser_.value(QStringLiteral("seed")).toULongLong(&ok);
    if (!ok || seed > 0xFFFFFFFFull)
        return usageError(console, QStringLiteral("--seed needs a number from 0 to 4294967295"));
    rng::seed(static_cast<std::uint32_t>(seed));
    return std::nullopt;
}

int CommandParser::usageError(Console& console, const QString& message) const {
    QString text = message;
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    if (!text.isEmpty()) text[0] = text[0].toLower();
    console.err << "vebix " << command_.toStdString() << ": " << text.toStdString()
                << " (see 'vebix " << command_.toStdString() << " --help')" << std::endl;
    return kExitUsage;
}

}  // namespace vebix
