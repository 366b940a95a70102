#include "app/entry/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <array>
#include <exception>
#include <iostream>

#include "app/cli/commands.h"
#include "app/platform/commandparser.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "app/platform/qtext.h"
#include "app/platform/version.h"

namespace vebix {
namespace {

// Every command, and the front end that runs it: each reads its own arguments.
struct CommandEntry {
    const char* name;
    int (*run)(const QStringList&, Console&);
};

constexpr std::array<CommandEntry, 5> kCommands = {{
    {"chat", cli::runChatCommand},
    {"learn", cli::runLearnCommand},
    {"reply", cli::runReplyCommand},
    {"link", cli::runLinkCommand},
    {"info", cli::runInfoCommand},
}};

// The options QGuiApplication and QApplication read from the command line (the X11 ones
// included), with whether each takes a value. The window hands them on to Qt untouched.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr std::array<QtOption, 23> kQtOptions = {{
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowtitle", true},
    {"qwindowicon", true},     {"reverse", false},
    {"session", true},         {"style", true},
    {"stylesheet", true},      {"widgetcount", false},
    {"display", true},         {"geometry", true},
    {"title", true},           {"name", true},
    {"visual", true},          {"ncols", true},
    {"cmap", false},           {"im", true},
    {"inputstyle", true},      {"nograb", false},
    {"dograb", false},
}};

}  // namespace

QStringList argumentList(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i) list.append(QFile::decodeName(argv[i]));
    return list;
}

bool isCommandName(const QString& name) {
    for (const CommandEntry& entry : kCommands)
        if (name == QLatin1String(entry.name)) return true;
    return false;
}

Invocation parseInvocation(const QStringList& arguments) {
    Invocation result;
    if (arguments.size() > 1 && isCommandName(arguments.at(1))) {
        result.kind = Invocation::Kind::Command;
        result.command = arguments.at(1);
        result.arguments = arguments.mid(2);
        return result;
    }
    QCommandLineParser parser;
    // Qt's options are single-dash words ("-platform"); "-h" and "-v" stay what they are.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(
        QCommandLineOption(QStringList{QStringLiteral("v"), QStringLiteral("version")}));
    for (const QtOption& option : kQtOptions) {
        QCommandLineOption qtOption(QString::fromLatin1(option.name));
        if (option.takesValue) qtOption.setValueName(QStringLiteral("value"));
        parser.addOption(qtOption);
    }
    QStringList all = arguments;
    if (all.isEmpty()) all.append(QStringLiteral("vebix"));
    if (!parser.parse(all)) {
        result.kind = Invocation::Kind::UsageError;
        result.error = QStringLiteral("vebix: %1 (see 'vebix --help')")
                           .arg(parseProblem(parser, arguments.mid(1)));
        return result;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        result.kind = Invocation::Kind::Help;
        return result;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        result.kind = Invocation::Kind::Version;
        return result;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        result.kind = Invocation::Kind::UsageError;
        result.error = QStringLiteral("vebix: unexpected argument '%1' (see 'vebix --help')")
                           .arg(positional.at(1));
        return result;
    }
    result.kind = Invocation::Kind::Window;
    if (!positional.isEmpty()) result.mindPath = positional.first();
    return result;
}

QString programHelp() {
    return QStringLiteral(
        "Usage: vebix [OPTION]... [MIND]\n"
        "       vebix COMMAND [ARGUMENT]...\n"
        "Chat with Vebix, a chatbot that learns by remembering.\n"
        "\n"
        "With no command, opens the chat window on MIND: by default the mind used last, or\n"
        "Vebix.mdd in your documents folder. With a CHAT.MSG file in the working folder, the\n"
        "program answers it as a UDLP bot instead, with no window.\n"
        "\n"
        "Commands:\n"
        "  chat [MIND]          chat with a mind in the terminal\n"
        "  learn MIND FILE...   teach a mind the lines of text files\n"
        "  reply MIND [TEXT]... print the mind's reply to TEXT, or to each line read\n"
        "  link BOT             link a mind with another UDLP bot and show their talk\n"
        "  info MIND            show what a mind holds; --check finds unreadable lines\n"
        "  irc MIND --server HOST --nick NICK --channel '#room'...\n"
        "                       keep a mind in IRC chat rooms, learning and answering\n"
        "\n"
        "Options:\n"
        "  -h, --help           show this help and exit\n"
        "  -v, --version        show the version and exit\n"
        "  Qt's own options (-platform NAME, -style NAME, -geometry WxH+X+Y, ...) are passed\n"
        "  on to Qt.\n"
        "\n"
        "Run 'vebix COMMAND --help' for the options of a command, 'man vebix' for more.\n"
        "\n"
        "Exit status: 0 success, 1 failure (or a check that found problems), 2 a command line\n"
        "that cannot be read, 3 'reply' found no answer, 130 interrupted.\n");
}

QString versionText() { return QStringLiteral("vebix %1\n").arg(fromUtf8(release::kVersion)); }

int runCommand(const QString& command, const QStringList& arguments, Console& console) {
    for (const CommandEntry& entry : kCommands) {
        if (command != QLatin1String(entry.name)) continue;
        try {
            return entry.run(arguments, console);
        } catch (const std::exception& e) {
            console.err << "vebix " << entry.name << ": " << e.what() << std::endl;
            return kExitFailure;
        } catch (...) {
            console.err << "vebix " << entry.name << ": unknown error" << std::endl;
            return kExitFailure;
        }
    }
    console.err << "vebix: unknown command '" << command.toStdString() << "'" << std::endl;
    return kExitUsage;
}

int runCommandProgram(const Invocation& invocation, int& argc, char** argv) {
    QCoreApplication app(argc, argv);
    Console console = Console::standard();
    return runCommand(invocation.command, invocation.arguments, console);
}

}  // namespace vebix
