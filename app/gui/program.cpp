#include "app/gui/program.h"

#include <QApplication>

#include <exception>
#include <iostream>
#include <memory>

#include "app/udlp/botmode.h"
#include "app/udlp/chatmsgformat.h"
#include "app/mind/program.h"
#include "app/gui/application.h"
#include "app/gui/displayprobe.h"
#include "app/gui/messagebox.h"
#include "app/gui/vebixform.h"

namespace vebix {
namespace {

int g_boxArgc = 1;
char g_boxArg0[] = "vebix";
char* g_boxArgv[] = {g_boxArg0, nullptr};

}  // namespace

void showFatalBoxIfDisplay(const std::string& message) {
    // A box nobody can answer would keep the process waiting for ever, and a QApplication for
    // a display that cannot be opened ends the process before the status is returned.
    std::unique_ptr<QApplication> ownApp;
    if (qApp) {
        if (!runningPlatformIsInteractive()) return;
    } else {
        if (!probeDisplay(g_boxArgc, g_boxArgv).interactive) return;
        ownApp = std::make_unique<QApplication>(g_boxArgc, g_boxArgv);
    }
    MessageBox::error(nullptr, QString::fromUtf8(chatmsg::kFatalCaption.data(),
                                                 static_cast<qsizetype>(chatmsg::kFatalCaption.size())),
                      QString::fromStdString(message));
}

StartupChoice prepareWindowMode(const char* namedPath) {
    StartupChoice start =
        chooseStartMind(false, namedPath ? namedPath : "", [](const std::string& message) {
            MessageBox::error(QApplication::activeWindow(), QString::fromUtf8(kMessageCaption),
                              QString::fromStdString(message));
        });
    start.delayResponses = readDelaySetting();
    return start;
}

int runWindowMode(const char* namedPath) {
    VebixForm form(prepareWindowMode(namedPath));
    form.show();
    return QApplication::exec();
}

int runProgram(int argc, char** argv) {
    const char* namedPath = argc > 1 ? argv[1] : nullptr;
    try {
        if (chatMsgPresent()) return runBotMode(namedPath ? namedPath : "", showFatalBoxIfDisplay);
        const DisplayProbe display = probeDisplay(argc, argv);
        if (!display.interactive) {
            std::cerr << kMessageCaption << ": no display to show the window on (" << display.missing
                      << "); with a CHAT.MSG in the working folder the program answers it in bot "
                         "mode, which needs no display"
                      << std::endl;
            return 1;
        }
        Application app(argc, argv);
        try {
            return runWindowMode(namedPath);
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
