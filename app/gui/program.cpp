#include "app/gui/program.h"

#include <QApplication>
#include <QLocale>

#include <exception>
#include <iostream>
#include <memory>

#include "app/cli/commandline.h"
#include "app/cli/console.h"
#include "app/irc/irccommand.h"
#include "engine/base/memorypolicy.h"
#include "app/cli/exitstatus.h"
#include "app/udlp/botmode.h"
#include "app/udlp/chatmsgformat.h"
#include "app/mind/program.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"
#include "app/platform/qtext.h"
#include "app/gui/application.h"
#include "app/gui/displayprobe.h"
#include "app/gui/desktopprompts.h"
#include "app/gui/translations.h"
#include "app/gui/vebixform.h"

namespace vebix {

void showFatalBoxIfDisplay(const std::string& message) {
    // A box nobody can answer would keep the process waiting for ever, and a QApplication for
    // a display that cannot be opened ends the process before the status is returned.
    // The application keeps a reference to argc, so both live as long as it does.
    int boxArgc = 1;
    char boxArg0[] = "vebix";
    char* boxArgv[] = {boxArg0, nullptr};
    std::unique_ptr<QApplication> ownApp;
    if (qApp) {
        if (!runningPlatformIsInteractive()) return;
    } else {
        if (!probeDisplay(boxArgc, boxArgv).interactive) return;
        ownApp = std::make_unique<QApplication>(boxArgc, boxArgv);
    }
    DesktopPrompts prompts;
    prompts.error(nullptr, fromUtf8(chatmsg::kFatalCaption), fromUtf8(message));
}

StartupChoice prepareWindowMode(const char* namedPath, Prompts& prompts) {
    StartupChoice start = chooseStartMind(
        MissingNamedMind::Report, namedPath ? namedPath : "",
        fromQPath(systempaths::documentsFolder()), [&prompts](const std::string& message) {
            prompts.error(QApplication::activeWindow(), QString::fromUtf8(kMessageCaption),
                          fromUtf8(message));
        });
    start.delayResponses = readDelaySetting();
    start.programPath = fromQPath(systempaths::executablePath());
    start.loginName = systempaths::userName();
    return start;
}

int runWindowMode(const char* namedPath, Prompts& prompts) {
    VebixForm form(prompts, prepareWindowMode(namedPath, prompts));
    form.show();
    return QApplication::exec();
}

int runProgram(int argc, char** argv) {
    keepFreedMemory();
    // The chat-room bot is a front end of its own, with its own command line.
    if (irc::isIrcCommand(argc, argv)) return irc::runIrcProgram(argc, argv);
    // The command line first: help, version and the terminal commands need no display, and
    // must not be mistaken for a mind's path.
    const cli::Invocation invocation = cli::parseInvocation(cli::argumentList(argc, argv));
    switch (invocation.kind) {
        case cli::Invocation::Kind::Help:
        case cli::Invocation::Kind::Version: {
            std::cout << (invocation.kind == cli::Invocation::Kind::Help ? cli::programHelp()
                                                                         : cli::versionText())
                             .toStdString();
            cli::Console console = cli::Console::standard();
            return cli::finishOutput("vebix", cli::kExitOk, console, true);
        }
        case cli::Invocation::Kind::Command:
            return cli::runCommandProgram(invocation, argc, argv);
        case cli::Invocation::Kind::Window:
        case cli::Invocation::Kind::UsageError:
            break;
    }
    const char* namedPath = argc > 1 ? argv[1] : nullptr;
    try {
        // A link program starts us with whatever arguments its info file holds: in bot mode
        // the first one is the mind, as it always was, whatever it looks like.
        if (chatMsgPresent())
            return runBotMode(namedPath ? namedPath : "", fromQPath(systempaths::executablePath()),
                              showFatalBoxIfDisplay);
        if (invocation.kind == cli::Invocation::Kind::UsageError) {
            std::cerr << invocation.error.toStdString() << std::endl;
            return cli::kExitUsage;
        }
        const DisplayProbe display = probeDisplay(argc, argv);
        if (!display.interactive) {
            std::cerr << kMessageCaption << ": no display to show the window on ("
                      << display.missing
                      << "); with a CHAT.MSG in the working folder the program answers it in bot "
                         "mode, which needs no display, and 'vebix chat' chats in the terminal"
                      << std::endl;
            return 1;
        }
        const std::string mindPath =
            invocation.mindPath.isEmpty() ? std::string() : fromQPath(invocation.mindPath);
        DesktopPrompts prompts;
        Application app(argc, argv, prompts);
        const Translations translations(QLocale::system(), Translations::installedFolder());
        try {
            return runWindowMode(mindPath.empty() ? nullptr : mindPath.c_str(), prompts);
        } catch (const std::exception& e) {
            return endWithFatalError(e.what(), true, showFatalBoxIfDisplay);
        }
    } catch (const std::exception& e) {
        return endWithFatalError(e.what(), true, showFatalBoxIfDisplay);
    } catch (...) {
        return endWithFatalError("Unknown error", true, showFatalBoxIfDisplay);
    }
}

}  // namespace vebix
