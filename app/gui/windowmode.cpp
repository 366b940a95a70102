#include "app/gui/windowmode.h"

#include <QApplication>
#include <QLocale>

#include <exception>
#include <iostream>
#include <memory>

#include "app/udlp/botmode.h"
#include "app/udlp/chatmsgformat.h"
#include "app/mind/startup.h"
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

int runWindowProgram(int& argc, char** argv, const std::string& mindPath) {
    try {
        const DisplayProbe display = probeDisplay(argc, argv);
        if (!display.interactive) {
            std::cerr << kMessageCaption << ": no display to show the window on ("
                      << display.missing
                      << "); with a CHAT.MSG in the working folder the program answers it in bot "
                         "mode, which needs no display, and 'vebix chat' chats in the terminal"
                      << std::endl;
            return 1;
        }
        DesktopPrompts prompts;
        Application app(argc, argv, prompts);
        const Translations translations(QLocale::system(), Translations::installedFolder());
        try {
            return runWindowMode(mindPath.empty() ? nullptr : mindPath.c_str(), prompts);
        } catch (const std::exception& e) {
            // Shown on the running application, while it still exists.
            return endWithFatalError(e.what(), true, showFatalBoxIfDisplay);
        }
    } catch (const std::exception& e) {
        return endWithFatalError(e.what(), true, showFatalBoxIfDisplay);
    } catch (...) {
        return endWithFatalError("Unknown error", true, showFatalBoxIfDisplay);
    }
}

}  // namespace vebix
