// The built program where no person can see a window: no display set, a display that cannot be
// opened (a stale DISPLAY from ssh or cron), and the offscreen platform. Bot mode reports a
// failure on standard error with status 1; window mode says in one line what is missing and
// ends with status 1. Neither aborts nor waits for an answer nobody can give.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "scratchfolder.h"

#include <string>
#include <utility>
#include <vector>

namespace vebix {
namespace {

// An X display number nothing listens on.
QString unusedDisplay() {
    for (int n = 99;; ++n) {
        if (!QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
            !QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
            return QStringLiteral(":%1").arg(n);
    }
}

struct Outcome {
    bool ended = false;
    bool normalExit = false;
    int exitCode = -1;
    QString err;
};

class NoDisplayE2E : public e2e::ScratchFolderTest {
protected:
    void SetUp() override {
        ScratchFolderTest::SetUp();
        ASSERT_TRUE(QDir(tmp_.path()).mkpath("runtime"));
    }

    // Runs the program in work/ with the display variables given and no others.
    Outcome run(const std::vector<std::pair<QString, QString>>& displayEnv) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "QT_QPA_PLATFORM",
                                 "XDG_SESSION_TYPE"})
            env.remove(name);
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/.config"));
        env.insert("XDG_RUNTIME_DIR", path("runtime"));
        for (const auto& [name, value] : displayEnv) env.insert(name, value);
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(path("work"));
        p.start(QString::fromUtf8(VEBIX_EXE), {});
        Outcome out;
        // A copy waiting in a box or a window would never end on its own.
        out.ended = p.waitForFinished(60000);
        if (!out.ended) {
            p.kill();
            p.waitForFinished();
        }
        out.normalExit = p.exitStatus() == QProcess::NormalExit;
        out.exitCode = p.exitCode();
        out.err = QString::fromUtf8(p.readAllStandardError());
        return out;
    }

    struct Case {
        const char* label;
        std::vector<std::pair<QString, QString>> env;
        QString missing;  // what window mode names as missing
    };
    std::vector<Case> cases() const {
        const QString stale = unusedDisplay();
        return {
            {"no display", {}, "DISPLAY is not set"},
            {"stale DISPLAY",
             {{"DISPLAY", stale}},
             "the X display \"" + stale + "\" cannot be opened"},
            {"stale DISPLAY, xcb named",
             {{"DISPLAY", stale}, {"QT_QPA_PLATFORM", "xcb"}},
             "the X display \"" + stale + "\" cannot be opened"},
            {"offscreen",
             {{"QT_QPA_PLATFORM", "offscreen"}},
             "the platform \"offscreen\" shows windows to nobody"},
            {"offscreen with a stale DISPLAY",
             {{"DISPLAY", stale}, {"QT_QPA_PLATFORM", "offscreen"}},
             "the platform \"offscreen\" shows windows to nobody"},
        };
    }
};

TEST_F(NoDisplayE2E, BotModeFailureEndsWithStatusOneAndTheMessageOnStandardError) {
    for (const Case& c : cases()) {
        QFile request(path("work/CHAT.MSG"));
        ASSERT_TRUE(request.open(QIODevice::WriteOnly | QIODevice::Truncate));
        request.write("Bob\r\n");  // no message: the request is refused
        request.close();
        const Outcome out = run(c.env);
        EXPECT_TRUE(out.ended) << c.label;
        EXPECT_TRUE(out.normalExit) << c.label;
        EXPECT_EQ(out.exitCode, 1) << c.label << ": " << out.err.toStdString();
        EXPECT_TRUE(out.err.startsWith("Fatal Error: "))
            << c.label << ": " << out.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(path("work/CHAT.MSG"))) << c.label;
    }
}

TEST_F(NoDisplayE2E, WindowModeSaysWhatIsMissingInOneLineAndEndsWithStatusOne) {
    for (const Case& c : cases()) {
        const Outcome out = run(c.env);
        EXPECT_TRUE(out.ended) << c.label;
        EXPECT_TRUE(out.normalExit) << c.label;
        EXPECT_EQ(out.exitCode, 1) << c.label << ": " << out.err.toStdString();
        EXPECT_EQ(out.err,
                  "Vebix: no display to show the window on (" + c.missing +
                      "); with a CHAT.MSG in the working folder the program answers it in bot "
                      "mode, which needs no display, and 'vebix chat' chats in the terminal\n")
            << c.label;
        // Nothing was started: no mind and no settings were written.
        EXPECT_TRUE(QDir(path("home/Documents")).isEmpty()) << c.label;
    }
}

}  // namespace
}  // namespace vebix
