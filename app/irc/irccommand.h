#pragma once
// `vebix irc`: a mind in chat rooms, as a program of its own that runs until it is stopped.
//
//   vebix irc MIND --server HOST [--port N] [--tls] --nick NICK --channel '#room'... [OPTION]...
//   vebix irc --config NAME|FILE [OPTION]...
//
// Loads the mind, connects and keeps connected (ircconnection.h), lets the room talk with the
// mind (roombot.h), saves as the window does, and on SIGTERM or Ctrl-C leaves with QUIT, saves
// and ends with status 0. Everything it does goes to standard error as time-stamped log lines.

#include <QString>

namespace vebix::irc {

// Whether the program's arguments (program name first) ask for this command.
bool isIrcCommand(int argc, char** argv);

// Runs the command as the whole program (it makes the QCoreApplication) and returns the exit
// status: 0 stopped by a signal with the mind saved (or --help), 1 a failure (the mind cannot be
// loaded or saved, the server refuses the bot for good), 2 a command line or config file that
// cannot be read, 130 stopped before the bot reached the server.
int runIrcProgram(int argc, char** argv);

// What "vebix irc --help" prints.
QString ircHelp();

}  // namespace vebix::irc
