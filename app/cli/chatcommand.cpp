// `vebix chat`: its command line; the chat itself is terminalchat.cpp.
#include "app/platform/commandparser.h"
#include "app/cli/commands.h"
#include "app/cli/terminalchat.h"
#include "app/platform/filewrite.h"

namespace vebix::cli {
namespace {

const char* const kChatHelp =
    "Usage: vebix chat [MIND] [OPTION]...\n"
    "Chat with a mind in the terminal, as in the chat window.\n"
    "\n"
    "MIND is a mind file (.mdd); by default the mind used last, or Vebix.mdd in your\n"
    "documents folder, made from the template mind when it does not exist yet. A MIND\n"
    "that is named but does not exist is an error.\n"
    "\n"
    "Type a line and press Enter to say it; the mind answers and learns both lines. Lines\n"
    "may be of any length, and their bytes are kept as typed. On a terminal the line can be\n"
    "edited, earlier lines recalled with the arrow keys or searched with Ctrl-R; the history\n"
    "is kept in $XDG_STATE_HOME/vebix/history. Ctrl-D, Ctrl-C or /quit ends the chat and\n"
    "saves the mind (it is also saved every little while). When standard input is not a\n"
    "terminal, its lines are said one by one, with no prompt and no line editing.\n"
    "\n"
    "Commands typed as lines:\n"
    "  /help        show these commands\n"
    "  /save        save the mind now\n"
    "  /info        show the mind's file and how many of its lines are not saved yet\n"
    "  /name NAME   go on as NAME\n"
    "  /quit        end the chat, saving the mind (as Ctrl-D does)\n"
    "  /discard     end the chat without saving what was said since the last save\n"
    "  //text       say \"/text\" (a line that starts with / is written with two)\n"
    "\n"
    "Options:\n"
    "  --name NAME   chat as NAME; by default you are asked, the name used last offered\n"
    "                (with no terminal to ask, the name used last or your login name)\n"
    "  --delay       hold each reply until a second has passed, as the window does\n"
    "  --seed N      start the random choices from N, so that a chat can be repeated\n"
    "  -q, --quiet   leave out the notes (the mind's path, the greeting)\n"
    "  -h, --help    show this help and exit\n"
    "\n"
    "Colour is used on a terminal unless NO_COLOR is set or TERM is \"dumb\".\n"
    "\n"
    "Exit status:\n"
    "  0    the chat ended and the mind was saved (or had nothing new to save, or /discard)\n"
    "  1    the mind could not be loaded, or could not be saved and its lines were written\n"
    "       to a rescue file (named on standard error) instead, or the output could not be\n"
    "       written\n"
    "  2    the command line cannot be read\n"
    "  130  ended by Ctrl-C (the mind saved first)\n";

}  // namespace

int runChatCommand(const QStringList& arguments, Console& console) {
    CommandParser parser(QStringLiteral("chat"), QString::fromUtf8(kChatHelp));
    ChatOptions options;
    parser.addOption(QCommandLineOption(QStringLiteral("name"), QString(), QStringLiteral("NAME")));
    parser.addOption(QCommandLineOption(QStringLiteral("delay")));
    parser.addSeedAndQuiet();
    if (const auto status = parser.parse(arguments, console, 0, 1)) return *status;
    if (const auto status = parser.applySeed(console)) return *status;
    options.quiet = parser.quiet();

    if (!parser.positional().isEmpty()) options.namedMind = fromQPath(parser.positional().first());
    if (parser.isSet(QStringLiteral("name"))) {
        const QString name = parser.value(QStringLiteral("name")).trimmed();
        if (name.isEmpty()) return parser.usageError(console, QStringLiteral("empty --name"));
        options.name = name.toStdString();
    }
    options.delay = parser.isSet(QStringLiteral("delay"));
    return runTerminalChat(options, console);
}

}  // namespace vebix::cli
