#include "app/entry/program.h"

#include <exception>
#include <iostream>
#include <string>

#include "app/entry/commandline.h"
#include "app/gui/windowmode.h"
#include "app/irc/irccommand.h"
#include "app/platform/console.h"
#include "app/platform/exitstatus.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"
#include "app/udlp/botmode.h"
#include "engine/base/memorypolicy.h"

namespace vebix {

int runProgram(int argc, char** argv) {
    keepFreedMemory();
    // The chat-room bot is a front end of its own, with its own command line.
    if (irc::isIrcCommand(argc, argv)) return irc::runIrcProgram(argc, argv);
    // The command line first: help, version and the commands need no display, and must not
    // be mistaken for a mind's path.
    const Invocation invocation = parseInvocation(argumentList(argc, argv));
    switch (invocation.kind) {
        case Invocation::Kind::Help:
        case Invocation::Kind::Version: {
            std::cout << (invocation.kind == Invocation::Kind::Help ? programHelp() : versionText())
                             .toStdString();
            Console console = Console::standard();
            return finishOutput("vebix", kExitOk, console, true);
        }
        case Invocation::Kind::Command:
            return runCommandProgram(invocation, argc, argv);
        case Invocation::Kind::Window:
        case Invocation::Kind::UsageError:
            break;
    }
    try {
        // A link program starts us with whatever arguments its info file holds: in bot mode
        // the first one is the mind, as it always was, whatever it looks like.
        if (chatMsgPresent())
            return runBotMode(argc > 1 ? argv[1] : "", fromQPath(systempaths::executablePath()),
                              showFatalBoxIfDisplay);
    } catch (const std::exception& e) {
        return endWithFatalError(e.what(), true, showFatalBoxIfDisplay);
    } catch (...) {
        return endWithFatalError("Unknown error", true, showFatalBoxIfDisplay);
    }
    if (invocation.kind == Invocation::Kind::UsageError) {
        std::cerr << invocation.error.toStdString() << std::endl;
        return kExitUsage;
    }
    return runWindowProgram(
        argc, argv, invocation.mindPath.isEmpty() ? std::string() : fromQPath(invocation.mindPath));
}

}  // namespace vebix
