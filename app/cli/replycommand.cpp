// `vebix reply`: the mind's answers to lines given on the command line or read one by one, for
// scripts; nothing is written to the mind unless --learn asks for it.
#include <sys/stat.h>

#include <QFileInfo>

#include <atomic>
#include <optional>
#include <iostream>
#include <string>

#include "engine/ai/mindline.h"
#include "app/chat/conversation.h"
#include "app/platform/commandparser.h"
#include "app/cli/commands.h"
#include "app/cli/jsontext.h"
#include "app/cli/minddefaults.h"
#include "app/cli/terminalfrontend.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "engine/ai/linestore.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/mindlock.h"
#include "app/mind/startup.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"

namespace vebix::cli {
namespace {

const char* const kReplyHelp =
    "Usage: vebix reply [MIND] [TEXT]... [OPTION]...\n"
    "Print the reply of a mind to TEXT (the words joined by blanks).\n"
    "With no TEXT, or TEXT \"-\", read standard input and print one reply line for each line\n"
    "read, at once, so that a script can talk with the mind line by line. Blank lines are\n"
    "skipped; a line the mind has no answer to gets an empty line.\n"
    "\n"
    "MIND is a mind file: the first argument when it ends in .mdd or names a file. Without\n"
    "one, the mind chat would open: the one used last, or Vebix.mdd in your documents folder.\n"
    "\n"
    "A reply draws on the mind as it is in its file: each line is answered from the lines the\n"
    "mind held when it was loaded, not from the lines said earlier in the same run. With\n"
    "--learn, each line and its reply are learned as in a chat, so later replies may draw on\n"
    "them, and the mind is saved at the end. The probe \"!#@\" that bots send each other gets\n"
    "no special answer here: it is a line like any other.\n"
    "\n"
    "Options:\n"
    "  --learn       the mind learns each line and its reply, as in a chat; they are\n"
    "                added to the mind at the end, also while another Vebix has it open;\n"
    "                when the mind cannot be saved they are kept as chat keeps them\n"
    "  --as NAME     speak as NAME (default: your login name)\n"
    "  --json        print each reply as a JSON object on a line of its own:\n"
    "                {\"text\": ..., \"made\": \"picked\" or \"spliced\", \"line\": N, \"source\": ...},\n"
    "                line and source being the mind's line the reply was picked from (null\n"
    "                for a spliced one); an input line with no answer gives \"text\": null\n"
    "  --seed N      start the random choices from N, so that a run can be repeated\n"
    "  -q, --quiet   print nothing; only the exit status tells\n"
    "  -h, --help    show this help and exit\n"
    "\n"
    "Exit status:\n"
    "  0  every line got a reply\n"
    "  1  the mind cannot be read (or, with --learn, saved), or the output cannot be written\n"
    "  2  the command line cannot be read (an empty TEXT included)\n"
    "  3  the mind had no answer (to TEXT, or to at least one line read)\n";

// The mind's answer to one line and where it came from, as the engine's diagnostics tell.
struct Answer {
    std::string text;
    bool spliced = false;
    std::size_t line = 0;  // 1-based index of the mind line picked; 0 when spliced or none
};

class Answers : public QObject {
public:
    Answers(Conversation& conversation, MindKeeper& keeper, bool learn)
        : keeper_(keeper), learn_(learn) {
        connect(&conversation, &Conversation::replied, this,
                [this](const QString& text) { answer_.text = text.toStdString(); });
        keeper.bot()->setReplySourceSink([this](std::optional<std::size_t> line) {
            answer_.spliced = !line;
            answer_.line = line ? *line + 1 : 0;
        });
    }
    ~Answers() override {
        if (keeper_.bot()) keeper_.bot()->setReplySourceSink({});
    }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    Answer ask(Conversation& conversation, const std::string& speaker, const std::string& line) {
        answer_ = Answer{};
        // With the delay off the exchange is over when say() returns. The probe is a line like
        // any other here: there is no other bot to answer.
        conversation.say(Conversation::Turn{speaker, line, {}, learn_, false});
        if (answer_.text.empty()) answer_ = Answer{};
        return answer_;
    }
    // The mind line at a 1-based index, as the file holds it.
    std::string sourceLine(std::size_t line) const {
        const LineStore& lines = keeper_.bot()->lines();
        if (line == 0 || line > lines.size()) return {};
        LineStore::Reader reader(lines);
        reader.fill(line - 1, line);
        return std::string(reader.line(line - 1));
    }

private:
    MindKeeper& keeper_;
    bool learn_;
    Answer answer_;
};

// Whether a first argument names the mind rather than starting the text.
bool namesMind(const QString& argument) {
    if (argument.endsWith(QStringLiteral(".mdd"), Qt::CaseInsensitive)) return true;
    const QFileInfo info(argument);
    return info.exists() && !info.isDir();
}

}  // namespace

int runReplyCommand(const QStringList& arguments, Console& console) {
    CommandParser parser(QStringLiteral("reply"), QString::fromUtf8(kReplyHelp));
    parser.addOption(QCommandLineOption(QStringLiteral("learn")));
    parser.addOption(QCommandLineOption(QStringLiteral("as"), QString(), QStringLiteral("NAME")));
    parser.addOption(QCommandLineOption(QStringLiteral("json")));
    parser.addSeedAndQuiet();
    if (const auto status = parser.parse(arguments, console, 0, -1)) return *status;
    if (const auto status = parser.applySeed(console)) return *status;
    const bool json = parser.isSet(QStringLiteral("json"));
    const bool quiet = parser.quiet();

    std::string name;
    if (parser.isSet(QStringLiteral("as"))) {
        name = parser.value(QStringLiteral("as")).trimmed().toStdString();
        if (name.empty()) return parser.usageError(console, QStringLiteral("empty --as"));
    } else {
        name = systempaths::userName().value_or("user");
        if (name.empty()) name = "user";
    }
    const bool learn = parser.isSet(QStringLiteral("learn"));
    QStringList words = parser.positional();
    std::string mindPath;
    if (!words.isEmpty() && namesMind(words.first())) {
        mindPath = fullPath(fromQPath(words.takeFirst()));
    } else {
        mindPath = defaultMindPath();
        if (mindPath.empty()) {
            console.err << "vebix reply: no mind to answer with (name one)" << std::endl;
            return kExitFailure;
        }
    }
    const bool fromInput = words.isEmpty() || words == QStringList{QStringLiteral("-")};
    const std::string text = words.join(QLatin1Char(' ')).toStdString();
    if (!fromInput && text.find_first_not_of(" \t") == std::string::npos)
        return parser.usageError(console, QStringLiteral("empty TEXT"));
    // Only a name that stands for nothing is not found; a FIFO, a folder or a device there is
    // refused by the load, which says what it is.
    struct stat st {};
    if (::stat(mindPath.c_str(), &st) != 0) {
        console.err << "vebix reply: mind file not found: " << quotedPath(mindPath) << std::endl;
        return kExitFailure;
    }
    // As bot mode does, --learn appends what was learned at the end, under the mind's write
    // lock, also to a mind another Vebix holds open.
    MindKeeper keeper(learn ? MindKeeper::Use::Append : MindKeeper::Use::Read);
    keeper.loadMind(mindPath);
    const std::atomic<bool> delay{false};
    Conversation conversation(keeper, delay);
    Answers answers(conversation, keeper, learn);
    const std::string speaker = speakerId(name, computeLocalTag());

    bool anyEmpty = false;
    auto show = [&](const Answer& answer, bool emptyLine) {
        if (quiet) return;
        if (json) {
            const bool none = answer.text.empty();
            std::string object = "{\"text\": ";
            object += none ? "null" : jsonString(answer.text);
            object += ", \"made\": ";
            object += none ? "null" : answer.spliced ? "\"spliced\"" : "\"picked\"";
            object += ", \"line\": ";
            object += answer.line ? std::to_string(answer.line) : "null";
            object += ", \"source\": ";
            object += answer.line ? jsonString(answers.sourceLine(answer.line)) : "null";
            console.out << object << "}\n" << std::flush;
        } else if (!answer.text.empty() || emptyLine) {
            console.out << shownText(answer.text, console.outIsTerminal) << '\n' << std::flush;
        }
    };
    if (!fromInput) {
        const Answer answer = answers.ask(conversation, speaker, text);
        anyEmpty = answer.text.empty();
        show(answer, false);
    } else {
        for (std::string line; std::getline(console.in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.find_first_not_of(" \t") == std::string::npos) continue;
            const Answer answer = answers.ask(conversation, speaker, line);
            anyEmpty = anyEmpty || answer.text.empty();
            show(answer, true);
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
