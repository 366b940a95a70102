#pragma once
// The program's command line, read before anything else: help and version, the commands
// (chat, learn, reply, link, info: the terminal's), or the window on a mind. Qt's own options
// ("-platform xcb", "-style Fusion", ...) are recognised and left for Qt.
//
//   vebix [--help | --version]
//   vebix [QT-OPTION]... [MIND]          the window (or bot mode with a CHAT.MSG present)
//   vebix COMMAND [ARGUMENT]...          a terminal command; "vebix COMMAND --help"

#include <QString>
#include <QStringList>

#include <string>

namespace vebix {

struct Console;

struct Invocation {
    enum class Kind {
        Help,        // print programHelp() and end with status 0
        Version,     // print versionText() and end with status 0
        Command,     // run command with arguments
        Window,      // open the window on mindPath (empty: the usual start mind)
        UsageError,  // print error (one line) on standard error, status 2
    };
    Kind kind = Kind::Window;
    QString command;
    QStringList arguments;  // the command's arguments, after its name
    QString mindPath;
    QString error;
};

// Reads arguments (argv as given, program name first). A first argument that names a command
// is that command, whatever follows; otherwise the options are read as the window's.
Invocation parseInvocation(const QStringList& arguments);

// The program's arguments as text (file names decoded as the system does).
QStringList argumentList(int argc, char** argv);

bool isCommandName(const QString& name);
// The command a mistyped word most likely meant ("lern": "learn"); empty when none is close.
QString commandSuggestion(const QString& word);
// "vebix: unknown command 'lern' (did you mean 'learn'?); see 'vebix --help'".
QString unknownCommandMessage(const QString& word);
QString programHelp();
QString versionText();

// Runs a command (Kind::Command) on the console: the front end it belongs to reads its own
// arguments. A QCoreApplication must exist. Returns the exit status; never throws.
int runCommand(const QString& command, const QStringList& arguments, Console& console);

// Ends a command's run: its output flushed, and a failure to write it (a full disk, a closed
// pipe) said on the console's error stream under who ("vebix reply") and made status 1
// (an interrupted run keeps 130). standardOut: the output is the process's standard output,
// whose stdio stream is checked too.
int finishOutput(const std::string& who, int status, Console& console, bool standardOut);

// Runs a command as the whole program: makes the QCoreApplication, runs it on the standard
// streams, returns the exit status.
int runCommandProgram(const Invocation& invocation, int& argc, char** argv);

}  // namespace vebix
