// vebix learn: feeds a mind the lines of text files in one atomic append.
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "app/platform/commandparser.h"
#include "app/cli/commands.h"
#include "app/cli/jsontext.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "app/cli/importer.h"
#include "app/cli/inputreader.h"
#include "app/platform/interrupt.h"
#include "app/mind/mindappend.h"
#include "app/mind/mindlock.h"
#include "app/mind/mindwrite.h"
#include "app/platform/filewrite.h"
#include "engine/base/clock.h"
#include "engine/base/error.h"

namespace vebix::cli {
namespace {

const char* const kHelp =
    "Usage: vebix learn MIND FILE... [OPTION]...\n"
    "Teach the mind MIND the lines of text files: each line becomes something said in a\n"
    "conversation of the mind, as if it had been said in the chat window. FILE may be '-' for\n"
    "standard input. Everything is added in one step: if the command fails or is stopped, the\n"
    "mind is left as it was. A MIND that does not exist is created from the built-in template.\n"
    "\n"
    "Options:\n"
    "  --bot NAME        lines of speaker NAME become the bot's own, so that the mind learns to\n"
    "                    answer as NAME (case does not matter; may be given more than once)\n"
    "  --speaker NAME    plain text: every line is said by NAME\n"
    "  --format FORMAT   read every FILE as FORMAT: auto (the default), plain, transcript, tsv,\n"
    "                    irssi, weechat, znc, telegram or whatsapp\n"
    "  --ignore-nick NICK  leave out what NICK said, e.g. a bot in a chat log (case does not\n"
    "                    matter; may be given more than once)\n"
    "  --only-nick NICK  take only what NICK said (may be given more than once)\n"
    "  --again           learn every line, also those the mind learned before\n"
    "  --check           read the files and report what would be learned; write nothing\n"
    "  --empty           create a missing MIND empty, named after its file (Robo.mdd: Robo),\n"
    "                    instead of from the template\n"
    "  --json            print the summary as one JSON object: result (learned, check or\n"
    "                    nothing), mind, lines, conversations, formats (what was read),\n"
    "                    created, skipped\n"
    "  -q, --quiet       print no summary; errors are still said\n"
    "  -h, --help        show this help and exit\n"
    "\n"
    "Formats (auto tells them apart by the first 64 KiB of each file):\n"
    "  plain        one line per utterance; a blank line starts a new conversation; the\n"
    "               speakers alternate $a and $b from the start of each conversation\n"
    "  transcript   a transcript saved by Vebix: lines \"<Name> text\"; other lines are skipped\n"
    "  tsv          lines \"speaker<TAB>text\"; a blank line starts a new conversation\n"
    "  irssi        an irssi log: \"12:34 <nick> text\"; each day a new conversation\n"
    "  weechat      a WeeChat log: \"2024-01-02 12:34:56<TAB>nick<TAB>text\"; each day a new\n"
    "               conversation\n"
    "  znc          a ZNC log: \"[12:34:56] <nick> text\" (one file per channel and day)\n"
    "  telegram     a Telegram Desktop export in JSON (result.json); each chat and each day a\n"
    "               new conversation\n"
    "  whatsapp     a WhatsApp chat exported as text; each day a new conversation\n"
    "In the chat logs, the nick or name is the speaker; actions (/me) are kept as text, the\n"
    "nick first; joins, parts, modes, notices, day changes and media are skipped.\n"
    "Each file starts a new conversation. UTF-8 text with or without a byte-order mark, and\n"
    "LF, CR LF or CR line ends are read. Skipped and counted: lines with nothing to say, lines\n"
    "that are not valid UTF-8 and lines over 64 KiB. A file holding a NUL byte, or more than one\n"
    "control byte in 16, is not text and skipped whole.\n"
    "\n"
    "The new lines get conversation keys of their own (learn-TIME-N) and times one second\n"
    "apart, ending at the moment of the import. A mind open in another Vebix cannot be taught;\n"
    "close it there first.\n"
    "\n"
    "Learning a file twice does not teach its lines twice: the lines a conversation starts with\n"
    "are left out when an earlier learn put the same lines (speakers and texts, in order) into\n"
    "the mind as one conversation, and the summary says how many. So a chat log that has grown\n"
    "since it was learned adds only its new lines. --again learns them all the same.\n"
    "\n"
    "Exit status: 0 learned (or checked, or every line learned before), 1 a file could not be\n"
    "read, nothing to learn or the mind could not be written, 2 wrong usage, 130 interrupted\n"
    "(nothing written).\n";

std::string plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string skippedSummary(const SkippedLines& s, std::size_t learnedBefore) {
    if (s.total() == 0 && learnedBefore == 0) return {};
    std::string parts;
    auto part = [&parts](std::size_t n, const char* what) {
        if (n == 0) return;
        if (!parts.empty()) parts += ", ";
        parts += std::to_string(n) + " " + what;
    };
    part(s.empty, "empty");
    part(s.invalidUtf8, "invalid UTF-8");
    part(s.tooLong, "over 64 KiB");
    part(s.untagged, "without a speaker");
    part(s.events, "not said by anyone (joins, parts, modes, notices, media)");
    part(s.filtered, "by --ignore-nick or --only-nick");
    part(learnedBefore, "learned before (--again learns them)");
    return "; skipped " + plural(s.total() + learnedBefore, "line", "lines") + " (" + parts + ")";
}

// The progress of one input on a terminal: drawn in place once reading has taken a second,
// redrawn at most five times a second, erased when the input is read.
class ProgressLine {
public:
    ProgressLine(Console& console, std::string name) : console_(console), name_(std::move(name)) {}
    ~ProgressLine() {
        if (shown_) console_.err << "\r\x1b[K" << std::flush;
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void update(const ReadProgress& at) {
        using namespace std::chrono;
        const auto now = steady_clock::now();
        const double seconds = duration<double>(now - start_).count();
        if (seconds < 1.0 || now - drawn_ < milliseconds(200)) return;
        drawn_ = now;
        const double rate = static_cast<double>(at.bytes) / seconds;
        char text[160];
        std::snprintf(text, sizeof text, "%llu lines, %.1f MB/s",
                      static_cast<unsigned long long>(at.lines), rate / 1e6);
        std::string line = "vebix learn: reading " + name_ + ": " + text;
        if (at.total > at.bytes && rate > 0)
            line += ", " +
                    std::to_string(static_cast<long long>(
                        static_cast<double>(at.total - at.bytes) / rate + 0.5)) +
                    " s left";
        console_.err << "\r\x1b[K" << line << std::flush;
        shown_ = true;
    }

private:
    Console& console_;
    std::string name_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point drawn_{};
    bool shown_ = false;
};

int interrupted(Console& console) {
    console.err << "vebix learn: interrupted; nothing written" << std::endl;
    return kExitInterrupted;
}

}  // namespace

int runLearnCommand(const QStringList& arguments, Console& console) {
    CommandParser parser(QStringLiteral("learn"), QString::fromUtf8(kHelp));
    const QString bot = QStringLiteral("bot"), speaker = QStringLiteral("speaker"),
                  format = QStringLiteral("format"), check = QStringLiteral("check"),
                  empty = QStringLiteral("empty"), ignoreNick = QStringLiteral("ignore-nick"),
                  onlyNick = QStringLiteral("only-nick"), again = QStringLiteral("again");
    parser.addOption(QCommandLineOption(bot, QString(), QStringLiteral("NAME")));
    parser.addOption(QCommandLineOption(speaker, QString(), QStringLiteral("NAME")));
    parser.addOption(QCommandLineOption(format, QString(), QStringLiteral("FORMAT")));
    parser.addOption(QCommandLineOption(check));
    parser.addOption(QCommandLineOption(again));
    parser.addOption(QCommandLineOption(empty));
    parser.addOption(QCommandLineOption(ignoreNick, QString(), QStringLiteral("NICK")));
    parser.addOption(QCommandLineOption(onlyNick, QString(), QStringLiteral("NICK")));
    parser.addOption(QCommandLineOption(QStringLiteral("json")));
    parser.addQuiet();
    if (auto status = parser.parse(arguments, console, 2, -1)) return *status;

    ImportOptions options;
    if (parser.isSet(format)) {
        const auto chosen = formatFromName(parser.value(format).toStdString());
        if (!chosen)
            return parser.usageError(
                console, QStringLiteral("unknown format '%1'").arg(parser.value(format)));
        options.format = *chosen;
    }
    for (const QString& name : parser.values(bot)) {
        if (name.trimmed().isEmpty())
            return parser.usageError(console, QStringLiteral("empty --bot name"));
        options.botNames.push_back(name.trimmed().toStdString());
    }
    for (const auto& [option, list] :
         {std::pair{ignoreNick, &options.ignoreNicks}, std::pair{onlyNick, &options.onlyNicks}}) {
        for (const QString& name : parser.values(option)) {
            if (name.trimmed().isEmpty())
                return parser.usageError(console, QStringLiteral("empty --%1 name").arg(option));
            list->push_back(name.trimmed().toStdString());
        }
    }
    if (parser.isSet(speaker)) {
        options.speaker = parser.value(speaker).trimmed().toStdString();
        if (options.speaker.empty())
            return parser.usageError(console, QStringLiteral("empty --speaker name"));
    }
    const bool checkOnly = parser.isSet(check);
    QStringList positional = parser.positional();
    const std::string mind = fromQPath(QFileInfo(positional.takeFirst()).absoluteFilePath());

    try {
        // Refused before any input is read: a long read from a pipe would be wasted.
        if (!checkOnly && mindOpenElsewhere(mind, {}))
            throw Error("the mind '" + mind +
                        "' is open in another Vebix (a window or a chat); close it there first");

        InterruptWatch watch;
        Importer importer(options);
        std::deque<InputBytes> inputs;  // the importer keeps views into them
        std::string skippedFiles;
        std::vector<InputFormat> formats;  // what was read, each once, in order
        for (const QString& argument : positional) {
            const std::string name = argument == QLatin1String("-") ? "-" : fromQPath(argument);
            InputRead read;
            {
                ProgressLine progress(console, name == "-" ? "standard input" : name);
                std::function<void(const ReadProgress&)> report;
                if (console.errIsTerminal)
                    report = [&progress](const ReadProgress& at) { progress.update(at); };
                read = readInput(name, console.inFd, watch.flag(), report);
            }
            if (read.interrupted) return interrupted(console);
            if (!read.error.empty()) {
                console.err << "vebix learn: cannot read '" << name << "': " << read.error
                            << "; nothing written" << std::endl;
                return kExitFailure;
            }
            inputs.push_back(std::move(read.bytes));
            if (auto reason = importer.add(inputs.back().view())) {
                skippedFiles += "; skipped file " + name + ": " + *reason;
            } else if (std::find(formats.begin(), formats.end(), importer.lastFormat()) ==
                       formats.end()) {
                formats.push_back(importer.lastFormat());
            }
        }

        std::string read;
        for (InputFormat f : formats)
            read += (read.empty() ? "" : ", ") + std::string(formatDescription(f));
        auto counts = [&] {
            return plural(importer.lineCount(), "line", "lines") + " in " +
                   plural(importer.conversationCount(), "conversation", "conversations") +
                   (read.empty() ? "" : " (" + read + ")");
        };
        auto skipped = [&] {
            return skippedSummary(importer.skipped(), importer.leftOutLines()) + skippedFiles;
        };
        // The summary: a line for people, or one JSON object for scripts.
        auto summary = [&](const char* outcome, const std::string& text, bool created) {
            if (parser.quiet()) return;
            if (!parser.isSet(QStringLiteral("json"))) {
                console.out << text << std::endl;
                return;
            }
            std::string formatList;
            for (InputFormat f : formats)
                formatList += (formatList.empty() ? "" : ", ") + jsonString(formatDescription(f));
            std::string skippedText = skipped();
            if (skippedText.rfind("; ", 0) == 0) skippedText.erase(0, 2);
            console.out << "{\"result\": \"" << outcome << "\", \"mind\": " << jsonString(mind)
                        << ", \"lines\": " << importer.lineCount()
                        << ", \"conversations\": " << importer.conversationCount()
                        << ", \"formats\": [" << formatList
                        << "], \"created\": " << (created ? "true" : "false")
                        << ", \"skipped\": " << jsonString(skippedText) << "}" << std::endl;
        };
        // A --bot that matched nobody leaves the mind without the bot's side, which the person
        // would only notice much later in its replies.
        for (const std::string& name : importer.unmatchedBotNames())
            console.err << "vebix learn: --bot " << name
                        << " matched no speaker (plain text's speakers are $a and $b)" << std::endl;
        if (importer.lineCount() == 0) {
            if (checkOnly) {
                summary("check", "Would learn " + counts() + " into " + mind + skipped(), false);
                return kExitOk;
            }
            summary("nothing", "Learned nothing" + skipped(), false);
            console.err << "vebix learn: no lines to learn; " << mind << " left as it was"
                        << std::endl;
            return kExitFailure;
        }
        // What the mind learned before is looked for in one pass over its lines, which also
        // finds the key stamps earlier imports used.
        const bool learnAgain = parser.isSet(again);
        const auto& stop = watch.flag();
        auto lookAt = [&](const ExistingMind& existing, std::uint32_t now) {
            LearnedBefore before(importer, now);
            existing.forEachRun(
                [&](std::string_view lines, std::uint64_t offset) {
                    if (stop.load(std::memory_order_relaxed)) throw AppendCancelled{};
                    before.lines(lines, offset);
                },
                [&](std::string_view line) { before.line(line); });
            if (!learnAgain) importer.leaveOut(before.learned());
            return before.stamp();
        };
        if (checkOnly) {
            std::optional<MindToRead> opened =
                openMindToRead(mind, "Unable to read mind file '" + mind + "'");
            if (opened)
                lookAt(ExistingMind(opened->file.fd.get(), opened->state.size, mind),
                       clock().nowSeconds());
            summary("check", "Would learn " + counts() + " into " + mind + skipped(), false);
            return kExitOk;
        }
        const MindAppendResult result =
            appendToMind(mind, parser.isSet(empty) ? NewMindStart::Empty : NewMindStart::Template,
                         [&](const ExistingMind& existing, const ByteSink& sink) {
                             if (stop.load()) throw AppendCancelled{};
                             const std::uint32_t now = clock().nowSeconds();
                             const std::string stamp = lookAt(existing, now);
                             importer.writeLines(stamp, now, [&](std::string_view block) {
                                 if (stop.load()) throw AppendCancelled{};
                                 sink(block);
                             });
                             if (stop.load()) throw AppendCancelled{};
                         });
        if (importer.lineCount() == 0) {
            summary("nothing", "Learned nothing new into " + mind + skipped(), false);
            return kExitOk;
        }
        summary("learned",
                "Learned " + counts() + " into " + mind + (result.created ? " (a new mind)" : "") +
                    skipped(),
                result.created);
        return kExitOk;
    } catch (const AppendCancelled&) {
        return interrupted(console);
    } catch (const std::exception& e) {
        console.err << "vebix learn: " << e.what() << std::endl;
        return kExitFailure;
    }
}

}  // namespace vebix::cli
