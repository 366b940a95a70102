// vebix info: what a mind file holds, and with --check the lines the engine would not read as
// they look. The counting is mindreport.cpp's; this file reads the options and prints.
#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <ostream>

#include "app/platform/commandparser.h"
#include "app/cli/commands.h"
#include "app/cli/jsontext.h"
#include "app/cli/minddefaults.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "app/cli/mindreport.h"
#include "app/platform/filewrite.h"
#include "engine/base/error.h"

namespace vebix::cli {
namespace {

const char* const kHelp =
    "Usage: vebix info [MIND] [OPTION]...\n"
    "Show what the mind file MIND holds: its bot, how many lines, conversations and speakers,\n"
    "the times of its first and last lines, and its most frequent words. Without MIND, the\n"
    "mind chat would open: the one used last, or Vebix.mdd in your documents folder.\n"
    "\n"
    "Conversations are counted by their keys, letter case ignored, as the engine tells them\n"
    "apart. The bot's own lines are counted apart from the other speakers. Times are shown as\n"
    "local dates (ISO 8601) with the number in the file; small numbers read as 1970.\n"
    "\n"
    "Options:\n"
    "  --check        also list, as they are found and before the counts, every line the\n"
    "                 engine would skip or misread, with its line number and why (faults):\n"
    "                 fewer than three blanks, a time that is not a decimal number of 32 bits,\n"
    "                 a NUL byte, a header whose key=value lines lack the empty line after\n"
    "                 them; and, as notes, what loses nothing: a time earlier than the line\n"
    "                 before it in the same conversation, invalid UTF-8, a header line that is\n"
    "                 not key=value\n"
    "  --words N      show the N most frequent words (default 10; 0 shows none, which is\n"
    "                 faster on a big mind); words shorter than three letters are left out\n"
    "  --json         print the report as one JSON object: file, bytes, bot, version, lines,\n"
    "                 botLines, conversations, speakers, firstTime and lastTime (numbers,\n"
    "                 or null), topSpeakers and topWords ([name, count] pairs), and with\n"
    "                 --check, problems ({line, fault, reason})\n"
    "  -q, --quiet    print nothing; only the exit status tells (with --check: whether a\n"
    "                 fault was found)\n"
    "  -h, --help     show this help and exit\n"
    "\n"
    "Exit status: 0 success (notes alone included); 1 when the file cannot be read or is not\n"
    "a mind, or --check found a fault, or the output cannot be written; 2 a command line\n"
    "that cannot be read.\n";

std::string jsonCounted(const std::vector<Counted>& counted) {
    std::string json = "[";
    for (const Counted& c : counted) {
        if (json.size() > 1) json += ", ";
        json += "[" + jsonString(c.first) + ", " + std::to_string(c.second) + "]";
    }
    return json + "]";
}

std::string jsonReport(const std::string& path, std::uint64_t size, const MindReport& r,
                       bool check) {
    auto time = [](const std::optional<std::uint32_t>& t) {
        return t ? std::to_string(*t) : std::string("null");
    };
    std::string json = "{\"file\": " + jsonString(path) + ", \"bytes\": " + std::to_string(size);
    json += ", \"bot\": " + jsonString(r.botName) + ", \"version\": " + jsonString(r.version);
    json += ", \"lines\": " + std::to_string(r.lines);
    json += ", \"botLines\": " + std::to_string(r.botLines);
    json += ", \"conversations\": " + std::to_string(r.conversations);
    json += ", \"speakers\": " + std::to_string(r.speakers);
    json += ", \"firstTime\": " + time(r.firstTime) + ", \"lastTime\": " + time(r.lastTime);
    json += ", \"topSpeakers\": " + jsonCounted(r.topSpeakers);
    json += ", \"topWords\": " + jsonCounted(r.topWords);
    if (check) {
        json += ", \"problems\": [";
        bool first = true;
        for (const MindProblem& p : r.problems) {
            if (!first) json += ", ";
            first = false;
            json += "{\"line\": " + std::to_string(p.line) +
                    ", \"fault\": " + (p.fault ? "true" : "false") +
                    ", \"reason\": " + jsonString(p.reason) + "}";
        }
        json += "]";
    }
    return json + "}\n";
}

std::string localDate(std::uint32_t seconds) {
    // With its offset from UTC, so that the date reads the same anywhere.
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate).toStdString();
}

// Columns line up by characters, not bytes: names are UTF-8.
std::size_t columns(const std::string& s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// Names and words come from the mind, which learned them from anyone: on a terminal they are
// shown, never obeyed (shownText).
void printCounted(std::ostream& out, const std::vector<Counted>& counted, bool terminal) {
    std::vector<std::string> shown;
    std::size_t width = 0;
    for (const Counted& c : counted) {
        shown.push_back(shownText(c.first, terminal));
        width = std::max(width, columns(shown.back()));
    }
    for (std::size_t i = 0; i < counted.size(); ++i)
        out << "  " << shown[i] << std::string(width - columns(shown[i]) + 2, ' ')
            << counted[i].second << '\n';
}

void printReport(std::ostream& out, const std::string& path, std::uint64_t size,
                 const MindReport& r, bool terminal) {
    out << "File:           " << shownText(path, terminal) << " (" << size << " bytes)\n";
    out << "Bot:            " << shownText(r.botName, terminal) << " (mind file version "
        << shownText(r.version, terminal) << ")\n";
    out << "Lines:          " << r.lines << " (" << r.botLines << " of them the bot's own)\n";
    out << "Conversations:  " << r.conversations << " (distinct keys, letter case ignored)\n";
    out << "Speakers:       " << r.speakers << " besides the bot";
    if (!r.topSpeakers.empty()) out << "; the most frequent:";
    out << '\n';
    printCounted(out, r.topSpeakers, terminal);
    if (r.firstTime) {
        out << "First time:     " << localDate(*r.firstTime) << " (" << *r.firstTime << ")\n";
        out << "Last time:      " << localDate(*r.lastTime) << " (" << *r.lastTime << ")\n";
    } else {
        out << "Times:          none readable\n";
    }
    if (!r.topWords.empty()) {
        out << "Frequent words:\n";
        printCounted(out, r.topWords, terminal);
    }
}

}  // namespace

int runInfoCommand(const QStringList& arguments, Console& console) {
    CommandParser parser(QStringLiteral("info"), QString::fromLatin1(kHelp));
    parser.addOption(QCommandLineOption(QStringLiteral("check")));
    parser.addOption(QCommandLineOption(QStringLiteral("words"), QString(), QStringLiteral("N")));
    parser.addOption(QCommandLineOption(QStringLiteral("json")));
    parser.addQuiet();
    if (auto status = parser.parse(arguments, console, 0, 1)) return *status;

    MindReportOptions options;
    options.check = parser.isSet(QStringLiteral("check"));
    if (parser.isSet(QStringLiteral("words"))) {
        bool ok = false;
        const int words = parser.value(QStringLiteral("words")).toInt(&ok);
        if (!ok || words < 0)
            return parser.usageError(console, QStringLiteral("--words needs a number from 0 up"));
        options.words = words;
    }
    QString mind;
    if (parser.positional().isEmpty()) {
        mind = toQPath(defaultMindPath());
        if (mind.isEmpty()) {
            console.err << "vebix info: no mind to show (name one)" << std::endl;
            return kExitFailure;
        }
    } else {
        mind = parser.positional().first();
    }
    const std::string path = fromQPath(QFileInfo(mind).absoluteFilePath());
    // Each problem is told as it is found, so that a big mind's first ones show at once and
    // none need be kept; the counts follow at the end. JSON keeps them for its one object;
    // --quiet neither shows nor keeps them.
    if (options.check && parser.quiet())
        options.onProblem = [](const MindProblem&) {};
    else if (options.check && !parser.isSet(QStringLiteral("json")))
        options.onProblem = [&console](const MindProblem& p) {
            console.out << "  line " << p.line << ": " << (p.fault ? "" : "note: ")
                        << shownText(p.reason, console.outIsTerminal) << '\n';
        };
    MindReport report;
    try {
        report = reportMindFile(path, options);
    } catch (const Error& e) {
        console.err << "vebix info: " << e.what() << std::endl;
        return kExitFailure;
    }
    if (!report.isMind) {
        console.err << "vebix info: " << quotedPath(path) << " is not a mind file ("
                    << report.notMind << ")" << std::endl;
        return kExitFailure;
    }
    const int status = options.check && report.faults() != 0 ? kExitFailure : kExitOk;
    if (parser.quiet()) return status;
    if (parser.isSet(QStringLiteral("json"))) {
        console.out << jsonReport(path, static_cast<std::uint64_t>(QFileInfo(mind).size()), report,
                                  options.check)
                    << std::flush;
        return status;
    }
    printReport(console.out, path, static_cast<std::uint64_t>(QFileInfo(mind).size()), report,
                console.outIsTerminal);
    if (options.check) {
        const std::size_t faults = report.faultCount;
        const std::size_t notes = report.noteCount;
        if (faults + notes == 0) {
            console.out << "Check:          no problems found\n";
        } else {
            console.out << "Check:          " << faults << (faults == 1 ? " fault, " : " faults, ")
                        << notes << (notes == 1 ? " note" : " notes")
                        << " (listed above by line)\n";
        }
    }
    console.out.flush();
    // Notes lose nothing: only a fault fails the check.
    return options.check && report.faults() != 0 ? kExitFailure : kExitOk;
}

}  // namespace vebix::cli
