#include "app/irc/irccommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSslSocket>
#include <QStandardPaths>
#include <QTimer>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <variant>

#include "app/chat/chatsession.h"
#include "app/irc/botlog.h"
#include "app/irc/ircconnection.h"
#include "app/irc/ircoptions.h"
#include "app/irc/roombot.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/vebixai.h"
#include "app/platform/exitstatus.h"
#include "app/platform/filewrite.h"
#include "app/platform/interrupt.h"
#include "app/platform/version.h"

namespace vebix::irc {
namespace {

const char* const kHelp =
    "Usage: vebix irc MIND --server HOST [--port N] [--tls] --nick NICK --channel '#room'\n"
    "                 [--channel '#room']... [OPTION]...\n"
    "       vebix irc --config NAME|FILE [OPTION]...\n"
    "Keep a mind in chat rooms on an IRC server: it joins its channels, learns what is said\n"
    "there and answers the lines addressed to it (\"NICK: ...\" or \"NICK, ...\"), after the\n"
    "speaker's nick, and every private message in private. Each channel, and each person\n"
    "talking to it alone, is a conversation of its own; the speaker is the nick. A MIND that\n"
    "does not exist is made from the template mind. The bot runs until it is stopped: on\n"
    "SIGTERM or Ctrl-C it leaves with QUIT, saves the mind and ends. The mind is also saved\n"
    "every little while, as in the window.\n"
    "\n"
    "Options:\n"
    "  --server HOST               the server to connect to\n"
    "  --port N                    its port (default 6667, or 6697 with --tls)\n"
    "  --tls                       connect with TLS; the server's certificate is checked\n"
    "  --ca-file FILE              trust the certificates in FILE (PEM) too, e.g. a server's\n"
    "                              own authority\n"
    "  --insecure                  with --tls, do not check the server's certificate\n"
    "  --nick NICK                 the bot's nick; when it is taken, NICK_ and others are tried\n"
    "  --channel '#room'           a channel to join (may be given more than once)\n"
    "  --password-file FILE        the server password, from the first line of FILE\n"
    "  --sasl-user NAME            log in with SASL PLAIN as NAME\n"
    "  --sasl-password-file FILE   the SASL password, from the first line of FILE\n"
    "  --ignore NICK               neither learn from nor answer NICK, e.g. another bot (may be\n"
    "                              given more than once)\n"
    "  --chance PERCENT            answer unaddressed channel lines at this chance (default 0)\n"
    "  --no-learn                  answer, but learn nothing\n"
    "  --verbose                   log every line read from and sent to the server\n"
    "  --config NAME|FILE          read options from FILE, or from\n"
    "                              $XDG_CONFIG_HOME/vebix/irc/NAME.conf; options given as well\n"
    "                              win over the file's\n"
    "  -h, --help                  show this help and exit\n"
    "\n"
    "Passwords are never given on the command line, where any user's process listing shows\n"
    "them: they are read from the files above, or else from the environment variables\n"
    "VEBIX_IRC_PASSWORD and VEBIX_IRC_SASL_PASSWORD.\n"
    "\n"
    "The config file holds \"key = value\" lines with the options' names as keys (mind,\n"
    "server, port, tls, ca-file, insecure, nick, channel, password-file, sasl-user,\n"
    "sasl-password-file, ignore, chance, no-learn, verbose); yes or no for the switches;\n"
    "channels and ignored nicks separated by commas; '#' or ';' starts a comment line.\n"
    "Relative paths in it are taken from the file's folder. With the systemd user unit\n"
    "installed with Vebix, 'systemctl --user enable --now vebix-irc@NAME' keeps the bot of\n"
    "NAME.conf running.\n"
    "\n"
    "Log lines, with the time, go to standard error; text from the rooms is written there\n"
    "with control characters escaped.\n"
    "\n"
    "Exit status:\n"
    "  0    stopped by SIGTERM or Ctrl-C, the mind saved\n"
    "  1    the mind could not be loaded or saved, or the server refused the bot for good\n"
    "       (a wrong password, a failed SASL login, no nick it accepts)\n"
    "  2    the command line or the config file cannot be read\n"
    "  130  stopped before the bot reached the server\n";

constexpr const char* kQuitMessage = "Vebix signing off";

int usageError(const std::string& message) {
    std::cerr << "vebix irc: " << message << " (see 'vebix irc --help')" << std::endl;
    return kExitUsage;
}

int failure(const std::string& message) {
    std::cerr << "vebix irc: " << message << std::endl;
    return kExitFailure;
}

std::string absolute(const QString& path) { return fromQPath(QFileInfo(path).absoluteFilePath()); }

// The options as given: the config file first, then the command line over it. A problem ends
// the command with the status returned.
std::variant<IrcOptions, int> readOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}));
    parser.addOption(
        QCommandLineOption(QStringLiteral("config"), QString(), QStringLiteral("FILE")));
    const QStringList flags{QStringLiteral("tls"), QStringLiteral("insecure"),
                            QStringLiteral("no-learn"), QStringLiteral("verbose")};
    const QStringList valued{QStringLiteral("server"),    QStringLiteral("port"),
                             QStringLiteral("ca-file"),   QStringLiteral("nick"),
                             QStringLiteral("channel"),   QStringLiteral("password-file"),
                             QStringLiteral("sasl-user"), QStringLiteral("sasl-password-file"),
                             QStringLiteral("ignore"),    QStringLiteral("chance")};
    const QStringList paths{QStringLiteral("ca-file"), QStringLiteral("password-file"),
                            QStringLiteral("sasl-password-file")};
    for (const QString& flag : flags) parser.addOption(QCommandLineOption(flag));
    for (const QString& name : valued)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("VALUE")));

    QStringList all = arguments;
    all.prepend(QStringLiteral("vebix irc"));
    if (!parser.parse(all)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty() && unknown.first().contains(QStringLiteral("password")))
            return usageError(
                "passwords are not taken from the command line; use "
                "--password-file or --sasl-password-file, or the environment "
                "variables " +
                std::string(kPasswordVariable) + " and " + kSaslPasswordVariable);
        if (!unknown.isEmpty())
            return usageError("unknown option '" + unknown.first().toStdString() + "'");
        return usageError(parser.errorText().toStdString());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::cout << kHelp << std::flush;
        return kExitOk;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1)
        return usageError("unexpected argument '" + positional.at(1).toStdString() + "'");

    IrcOptions options;
    if (parser.isSet(QStringLiteral("config"))) {
        const std::string path = configFilePath(
            fromQPath(parser.value(QStringLiteral("config"))),
            fromQPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
        QFile file(toQPath(path));
        if (!file.open(QIODevice::ReadOnly))
            return failure("cannot read the config file '" + path +
                           "': " + file.errorString().toStdString());
        constexpr qint64 kMaxConfigBytes = 64 * 1024;
        const QByteArray text = file.read(kMaxConfigBytes + 1);
        if (text.size() > kMaxConfigBytes)
            return usageError("the config file '" + path + "' is too big");
        const std::string folder = fromQPath(QFileInfo(toQPath(path)).absolutePath());
        if (auto problem = readConfigText(
                std::string_view(text.constData(), static_cast<std::size_t>(text.size())), folder,
                fromQPath(QDir::homePath()), options))
            return usageError(path + ": " + *problem);
    }
    if (!positional.isEmpty()) options.mind = absolute(positional.first());
    for (const QString& name : flags)
        if (parser.isSet(name)) applyOption(options, name.toStdString(), "yes");
    for (const QString& name : valued) {
        if (!parser.isSet(name)) continue;
        // A list given on the command line replaces the file's.
        if (name == QLatin1String("channel")) options.channels.clear();
        if (name == QLatin1String("ignore")) options.ignore.clear();
        for (const QString& value : parser.values(name)) {
            const std::string given =
                paths.contains(name) && !value.isEmpty() ? absolute(value) : value.toStdString();
            if (auto problem = applyOption(options, name.toStdString(), given))
                return usageError(*problem);
        }
    }
    if (auto problem = checkOptions(options)) return usageError(*problem);
    return options;
}

// The passwords, from their files or the environment. A problem ends the command.
std::optional<int> readSecrets(const IrcOptions& options, Identity& identity) {
    try {
        if (!options.passwordFile.empty())
            identity.serverPassword = readSecretFile(options.passwordFile);
        else if (const char* value = std::getenv(kPasswordVariable))
            identity.serverPassword = value;
        if (options.saslUser.empty()) return std::nullopt;
        identity.saslUser = options.saslUser;
        if (!options.saslPasswordFile.empty())
            identity.saslPassword = readSecretFile(options.saslPasswordFile);
        else if (const char* value = std::getenv(kSaslPasswordVariable))
            identity.saslPassword = value;
        if (identity.saslPassword.empty())
            return usageError("--sasl-user needs a password: --sasl-password-file FILE or " +
                              std::string(kSaslPasswordVariable));
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    return std::nullopt;
}

// The chat session's front end in a chat room: nobody there to ask, so the answers that need
// nobody (a mind held elsewhere is not taken, a mind that cannot be saved goes to a rescue
// file); what happens to the mind goes to the log.
class RoomFrontEnd : public ChatSession::UnattendedFrontEnd {
public:
    explicit RoomFrontEnd(BotLog& log) : log_(log) {}

    ChatSession::AfterFailedSave askAfterFailedSave(
        const ChatSession::SaveFailure& failure) override {
        log_.line("the mind could not be saved: " + failure.reason);
        return UnattendedFrontEnd::askAfterFailedSave(failure);
    }
    void showSaveFailing(const std::string& reason) override {
        log_.line("the mind could not be saved (" + reason + "); trying again");
    }
    void showRescued(const std::string& path, std::size_t unsavedLines, bool whole) override {
        log_.line((whole ? "the whole mind, with the " : "the ") + std::to_string(unsavedLines) +
                  " line(s) not saved, " + (whole ? "was" : "were") + " written to " + path);
    }
    void showRescueFailed(const std::string& reason, std::size_t unsavedLines) override {
        log_.line("no rescue file could be written either (" + reason + "); " +
                  std::to_string(unsavedLines) + " line(s) lost");
    }

private:
    BotLog& log_;
};

}  // namespace

bool isIrcCommand(int argc, char** argv) { return argc > 1 && std::strcmp(argv[1], "irc") == 0; }

QString ircHelp() { return QString::fromUtf8(kHelp); }

int runIrcProgram(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList arguments;
    for (int i = 2; i < argc; ++i) arguments.append(QFile::decodeName(argv[i]));
    const auto read = readOptions(arguments);
    if (const int* status = std::get_if<int>(&read)) return *status;
    const IrcOptions& options = std::get<IrcOptions>(read);

    Identity identity;
    identity.nick = options.nick;
    identity.channels = options.channels;
    identity.version = "Vebix " + std::string(release::kVersion);
    if (const auto status = readSecrets(options, identity)) return *status;

    ServerAddress server;
    server.host = options.server;
    server.port = static_cast<std::uint16_t>(options.effectivePort());
    server.tls = options.tls;
    server.verifyCertificate = !options.insecure;
    if (options.tls && !QSslSocket::supportsSsl())
        return failure("TLS is not available: no TLS library was found");
    if (!options.caFile.empty()) {
        QFile ca(toQPath(options.caFile));
        if (!ca.open(QIODevice::ReadOnly))
            return failure("cannot read the CA file '" + options.caFile +
                           "': " + ca.errorString().toStdString());
        server.extraAuthorities = QSslCertificate::fromData(ca.read(1 << 20), QSsl::Pem);
        if (server.extraAuthorities.isEmpty())
            return failure("no PEM certificate in the CA file '" + options.caFile + "'");
    }

    BotLog log(std::cerr, options.verbose);
    InterruptWatch interrupt;
    RoomFrontEnd frontEnd(log);
    ChatSession session(frontEnd, {.localTag = {},
                                   .loginName = std::nullopt,
                                   .delayResponses = false,
                                   .prepareReplies = true,
                                   .withPerson = false});
    MindKeeper& keeper = session.keeper();
    try {
        if (session.open(options.mind) == ChatSession::Opened::NoMind)
            return failure("the mind '" + keeper.mindPath() +
                           "' is open in another Vebix (a window or a chat); close it there first");
        log.line((keeper.bot()->fileState().exists
                      ? "loaded the mind "
                      : "a new mind from the template, to be saved as ") +
                 keeper.mindPath() + " (" + keeper.bot()->botName() + ")");
    } catch (const std::exception& e) {
        return failure(e.what());
    }
    if (interrupt.requested()) {
        keeper.discardMind();
        return kExitInterrupted;
    }

    IrcConnection connection(server, identity, log);
    RoomBot::Manner manner;
    manner.learn = !options.noLearn;
    manner.chancePercent = options.chance;
    manner.ignored = options.ignore;
    RoomBot bot(session, connection, manner, log);
    QObject::connect(&connection, &IrcConnection::lineHeard, &bot, &RoomBot::hear);

    QEventLoop loop;
    int status = kExitOk;
    QObject::connect(&connection, &IrcConnection::finished, &loop, &QEventLoop::quit);
    QObject::connect(&connection, &IrcConnection::gaveUp, &loop, [&](const QString&) {
        status = kExitFailure;
        loop.quit();
    });
    bool stopping = false;
    QObject::connect(&interrupt, &InterruptWatch::interrupted, &loop, [&](int number) {
        if (stopping) {
            // Asked twice: no more waiting for the server.
            loop.quit();
            return;
        }
        stopping = true;
        log.line("stopping (" + std::string(strsignal(number)) + ")");
        connection.quit(kQuitMessage);
    });

    connection.start();
    loop.exec();

    const std::size_t unsaved = keeper.unsavedLineCount();
    switch (session.close()) {
        case ChatSession::Closed::Saved:
            log.line(unsaved == 0 ? "the mind had nothing new to save"
                                  : "saved " + std::to_string(unsaved) + " new line(s) to " +
                                        keeper.mindPath());
            break;
        case ChatSession::Closed::Rescued:
        case ChatSession::Closed::Lost:
            return kExitFailure;
        default:
            break;
    }
    return status;
}

}  // namespace vebix::irc
