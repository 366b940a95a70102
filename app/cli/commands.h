#pragma once
// The terminal commands. Each reads its own arguments (those after its name), works on the
// console and returns the exit status (exitstatus.h). A QCoreApplication exists while they run;
// they catch their own errors and report them as one line on standard error.

#include <QStringList>

namespace vebix {
struct Console;
}  // namespace vebix

namespace vebix::cli {

int runChatCommand(const QStringList& arguments, Console& console);
int runLearnCommand(const QStringList& arguments, Console& console);
int runReplyCommand(const QStringList& arguments, Console& console);
int runLinkCommand(const QStringList& arguments, Console& console);
int runInfoCommand(const QStringList& arguments, Console& console);

}  // namespace vebix::cli
