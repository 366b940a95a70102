// vebix link: the window's link mode with no window. The link loop runs on a worker thread as
// in the window; what it shows and what it teaches the mind is handed to the main thread, which
// prints it (terminallink.cpp) and owns the mind.
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

#include <memory>
#include <optional>
#include <ostream>

#include "app/chat/windowthread.h"
#include "app/platform/commandparser.h"
#include "app/cli/commands.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "app/platform/interrupt.h"
#include "app/cli/terminallink.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/startup.h"
#include "app/platform/filewrite.h"
#include "app/platform/qtext.h"
#include "app/platform/systempaths.h"
#include "app/udlp/botfinder.h"
#include "app/udlp/linkloop.h"
#include "engine/base/ascii.h"
#include "engine/base/error.h"

namespace vebix::cli {
namespace {

const char* const kHelp =
    "Usage: vebix link BOT [OPTION]...\n"
    "Link a mind with another UDLP bot and show their conversation, as the window's link mode\n"
    "does, with no window.\n"
    "\n"
    "BOT is the other bot's folder (a path; the folder holds its UDLP.NFO) or its name, looked\n"
    "for, letter case ignored, where the Find UDLP Bot dialog looks: the bots chosen before,\n"
    "/opt, your home folder, your desktop and the bots Enable UDLP set up for you\n"
    "($XDG_DATA_HOME/vebix/bots).\n"
    "\n"
    "The mind opens the conversation; then each turn is the other bot's answer to the mind's\n"
    "last line (or its failing to answer) and the mind's reply to it. The link goes on until\n"
    "--turns are done, until Ctrl-C, or until the other bot's program cannot be found. A bot\n"
    "still answering when the link ends is given 5 seconds, then ended.\n"
    "\n"
    "The two bots' lines are printed on standard output as \"<Name> text\"; notes (the link's\n"
    "state, a bot that was unable to respond) on standard error, errors as \"vebix link: ...\".\n"
    "\n"
    "Options:\n"
    "  --mind MIND    the mind that takes part (default: the one the window would open)\n"
    "  --turns N      end after N turns, that is, N answers of the other bot (default: no\n"
    "                 limit)\n"
    "  --learn        teach the mind the lines the other bot answered and its answers, and\n"
    "                 save it at the end; without it the mind file is not written\n"
    "  --no-delay     do not hold each line for the link pause of 2.2 seconds (by default it\n"
    "                 is held unless the window's Delay setting is off)\n"
    "  --seed N       start the random choices from N, so that a run can be repeated\n"
    "  -q, --quiet    leave out the notes on standard error; errors are still said\n"
    "  -h, --help     show this help and exit\n"
    "\n"
    "Exit status:\n"
    "  0    ended by --turns, the other bot having answered\n"
    "  1    the other bot never answered, failed, or was not found, or the mind could not be\n"
    "       read or saved, or the output could not be written\n"
    "  2    the command line cannot be read\n"
    "  130  ended by Ctrl-C (the mind saved first with --learn)\n";

// The bot that BOT names: a folder when it is a path (or an existing folder), else a name
// looked for as the find dialog looks. Nullopt when there is none; the reason goes to error,
// followed by the folders the search could not read (one of them may have been the bot).
std::optional<BotListEntry> findBot(const QString& bot, const std::string& ownMindPath,
                                    std::string& error) {
    BotFinder finder(ownMindPath);
    const bool isPath = bot.contains(QLatin1Char('/')) || QFileInfo(bot).isDir();
    if (isPath) {
        const std::string folder = fromQPath(QFileInfo(bot).absoluteFilePath());
        // Remembered as the dialog remembers the bots chosen in it.
        std::optional<BotListEntry> entry =
            finder.botFromFolder(folder, BotFinder::Remember::InSettings);
        if (!entry) error = "no UDLP bot to link with in '" + folder + "'";
        return entry;
    }
    finder.search(botSearchPlaces(), [] { return true; });
    const std::string name = fromQPath(bot);
    for (const BotListEntry& entry : finder.entries())
        if (equalsIgnoringAsciiCase(entry.name, name)) return entry;
    error = "no UDLP bot named '" + name + "' found";
    for (const BotFinder::SkippedFolder& skipped : finder.skipped())
        error += "\nvebix link: passed over " + skipped.folder + ": " + skipped.reason;
    return std::nullopt;
}

}  // namespace

int runLinkCommand(const QStringList& arguments, Console& console) {
    CommandParser parser(QStringLiteral("link"), QString::fromLatin1(kHelp));
    parser.addOption(QCommandLineOption(QStringLiteral("mind"), QString(), QStringLiteral("MIND")));
    parser.addOption(QCommandLineOption(QStringLiteral("turns"), QString(), QStringLiteral("N")));
    parser.addOption(QCommandLineOption(QStringLiteral("learn")));
    parser.addOption(QCommandLineOption(QStringLiteral("no-delay")));
    parser.addSeedAndQuiet();
    if (auto status = parser.parse(arguments, console, 1, 1)) return *status;
    if (auto status = parser.applySeed(console)) return *status;
    std::uint64_t turns = 0;
    if (parser.isSet(QStringLiteral("turns"))) {
        bool ok = false;
        turns = parser.value(QStringLiteral("turns")).toULongLong(&ok);
        if (!ok || turns == 0)
            return parser.usageError(console, QStringLiteral("--turns needs a number from 1 up"));
    }
    const bool learn = parser.isSet(QStringLiteral("learn"));

    auto fail = [&](const std::string& message) {
        console.err << "vebix link: " << message << std::endl;
        return kExitFailure;
    };
    // The mind as the window chooses it. Like bot mode, the link holds nothing and asks nobody
    // about a mind held open elsewhere: with --learn it appends what it learned at the end,
    // under the mind's write lock.
    MindKeeper keeper(learn ? MindKeeper::Use::Append : MindKeeper::Use::Read);
    try {
        const StartupChoice start = chooseStartMind(MissingNamedMind::Throw,
                                                    fromQPath(parser.value(QStringLiteral("mind"))),
                                                    fromQPath(systempaths::documentsFolder()));
        keeper.loadMind(start.mindPath);
    } catch (const Error& e) {
        std::string text = e.what();
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        return fail(text);
    }
    if (!keeper.bot()) return fail("no mind to link with");

    std::string error;
    const std::optional<BotListEntry> other =
        findBot(parser.positional().first(), keeper.mindPath(), error);
    if (!other) return fail(error);

    UdlpInfo own;
    own.learn = learn;
    own.showErrors = true;
    TerminalLink link(console, keeper.bot()->botName(), turns);
    link.setQuiet(parser.isSet(QStringLiteral("quiet")));
    QObject mainThread;  // where the loop's hand-overs run
    std::unique_ptr<LinkLoop> loop;
    loop = std::make_unique<LinkLoop>(keeper.bot(),
                                      LinkBot{other->name, other->folder, other->exePath}, own,
                                      link, [&](const std::function<void()>& work) {
                                          // Nothing more is shown once the link is ending.
                                          if (loop->stopRequested()) return;
                                          runOnWindowThread(&mainThread, [&] {
                                              if (!loop->stopRequested()) work();
                                          });
                                      });
    link.setLoop(loop.get());
    const std::atomic<bool> delay{!parser.isSet(QStringLiteral("no-delay")) && readDelaySetting()};
    loop->takeDelayFrom(delay);

    InterruptWatch interrupt;
    QObject::connect(&interrupt, &InterruptWatch::interrupted, &mainThread,
                     [&] { loop->requestStop(); });
    link.note("Linked bots " + keeper.bot()->botName() + " and " + other->name);
    QEventLoop events;
    std::unique_ptr<QThread> worker(QThread::create([&] { loop->run(); }));
    QObject::connect(worker.get(), &QThread::finished, &events, &QEventLoop::quit);
    worker->start();
    events.exec();
    worker->wait();

    // The loop ends by itself only when the link failed; a stop was asked for by the turns or
    // Ctrl-C. A link in which the other bot never answered did not happen.
    const bool failed = !loop->stopRequested() || (!link.answered() && !interrupt.requested());
    if (!link.endSaid()) link.note(std::string(kLinkEndedStatus));
    try {
        keeper.saveLearned();
    } catch (const Error& e) {
        return fail(e.what());
    }
    if (interrupt.requested()) return kExitInterrupted;
    return failed ? kExitFailure : kExitOk;
}

}  // namespace vebix::cli
