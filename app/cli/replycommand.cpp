// `vebix reply`: the mind's answers to lines given on the command line or read one by one, for
// scripts; nothing is written to the mind unless --learn asks for it.
#include <sys/stat.h>

#include <atomic>
#include <iostream>
#include <string>

#include "engine/ai/mindline.h"
#include "app/chat/conversation.h"
#include "app/platform/commandparser.h"
#include "app/cli/commands.h"
#include "app/cli/terminalfrontend.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/mindlock.h"
#include "app/mind/startup.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"

namespace vebix::cli {
namespace {

const char* const kReplyHelp =
    "Usage: vebix reply MIND [TEXT]... [OPTION]...\n"
    "Print the reply of the mind in the file MIND to TEXT (the words joined by blanks).\n"
    "With no TEXT, read standard input and print one reply line for each line read, at\n"
    "once, so that a script can talk with the mind line by line; an input line the mind\n"
    "has no answer to gets an empty line.\n"
    "\n"
    "Nothing is written to the mind unless --learn is given.\n"
    "\n"
    "Options:\n"
    "  --learn       the mind learns each line and its reply, as in a chat; they are\n"
    "                added to the mind at the end, also while another Vebix has it open;\n"
    "                when the mind cannot be saved they are kept as chat keeps them\n"
    "  --as NAME     speak as NAME (default: your login name)\n"
    "  -h, --help    show this help and exit\n"
    "\n"
    "Exit status:\n"
    "  0  every line got a reply\n"
    "  1  the mind cannot be read (or, with --learn, saved)\n"
    "  2  the command line cannot be read\n"
    "  3  the mind had no answer (to TEXT, or to at least one line read)\n";

// The mind's answer to one line: its reply or the probe's answer; empty when it found none.
class Answers : public QObject {
public:
    explicit Answers(Conversation& conversation) {
        auto take = [this](const QString& text) { answer_ = text.toStdString(); };
        connect(&conversation, &Conversation::replied, this, take);
        connect(&conversation, &Conversation::probeAnswered, this, take);
    }
    std::string ask(Conversation& conversation, const std::string& speaker,
                    const std::string& line) {
        answer_.clear();
        // With the delay off the exchange is over when say() returns.
        conversation.say(speaker, line);
        return answer_;
    }

private:
    std::string answer_;
};

}  // namespace

int runReplyCommand(const QStringList& arguments, Console& console) {
    CommandParser parser(QStringLiteral("reply"), QString::fromUtf8(kReplyHelp));
    parser.addOption(QCommandLineOption(QStringLiteral("learn")));
    parser.addOption(QCommandLineOption(QStringLiteral("as"), QString(), QStringLiteral("NAME")));
    if (const auto status = parser.parse(arguments, console, 1, -1)) return *status;

    std::string name;
    if (parser.isSet(QStringLiteral("as"))) {
        name = parser.value(QStringLiteral("as")).trimmed().toStdString();
        if (name.empty()) return parser.usageError(console, QStringLiteral("empty --as"));
    } else {
        name = systempaths::userName().value_or("user");
        if (name.empty()) name = "user";
    }
    const bool learn = parser.isSet(QStringLiteral("learn"));
    const std::string mindPath = fullPath(fromQPath(parser.positional().first()));
    // Only a name that stands for nothing is not found; a FIFO, a folder or a device there is
    // refused by the load, which says what it is.
    struct stat st {};
    if (::stat(mindPath.c_str(), &st) != 0) {
        console.err << "vebix reply: mind file not found: " << mindPath << std::endl;
        return kExitFailure;
    }
    // As bot mode does, --learn appends what was learned at the end, under the mind's write
    // lock, also to a mind another Vebix holds open.
    MindKeeper keeper(learn ? MindKeeper::Use::Append : MindKeeper::Use::Read);
    keeper.loadMind(mindPath);
    const std::atomic<bool> delay{false};
    Conversation conversation(keeper, delay);
    Answers answers(conversation);
    const std::string speaker = speakerId(name, computeLocalTag());

    bool anyEmpty = false;
    const QStringList words = parser.positional().mid(1);
    if (!words.isEmpty()) {
        const std::string answer =
            answers.ask(conversation, speaker, words.join(QLatin1Char(' ')).toStdString());
        if (answer.empty()) {
            anyEmpty = true;
        } else {
            console.out << shownText(answer, console.outIsTerminal) << '\n' << std::flush;
        }
    } else {
        for (std::string line; std::getline(console.in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const std::string answer = answers.ask(conversation, speaker, line);
            anyEmpty = anyEmpty || answer.empty();
            console.out << shownText(answer, console.outIsTerminal) << '\n' << std::flush;
        }
    }

    if (learn) {
        // A save that fails is settled as a chat's closing is: asked on a terminal, else a
        // rescue file.
        TerminalFrontEnd frontEnd(console, "reply", name);
        switch (saveOrAsk(
            keeper, frontEnd, [&keeper] { keeper.saveLearned(); }, name)) {
            case ChatSession::Closed::Rescued:
            case ChatSession::Closed::Lost:
                return kExitFailure;
            default:
                break;
        }
    }
    return anyEmpty ? kExitNoReply : kExitOk;
}

}  // namespace vebix::cli
