#pragma once
// Shared pieces of the window tests: a fixture with its own settings, documents folder and
// executable folder, a fake clock, scripted answers for every prompt, and a main window whose
// engine answers can be scripted.

#include <QApplication>
#include <QDeadlineTimer>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <functional>
#include <string>
#include <vector>

#include "app/apptestsupport.h"
#include "support/fakeclock.h"
#include "engine/base/random.h"
#include "app/chat/conversation.h"
#include "app/chat/conversationtesthelper.h"
#include "app/gui/application.h"
#include "app/gui/windowmode.h"
#include "app/gui/usernameform.h"
#include "app/gui/vebixform.h"
#include "app/platform/qtext.h"
#include "app/platform/version.h"
#include "scriptedprompts.h"

namespace vebix::testing {

template <class T>
T* child(QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << "no child named " << name;
    return found;
}

// Clears a line edit and types text into it as a person would.
inline void typeInto(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

inline void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// The next user-name prompt is answered by typing name and clicking OK.
inline void answerNamePrompt(ScriptedPrompts& prompts, const QString& name) {
    prompts.queueScript("UserNameForm", [name](QDialog& dialog) {
        typeInto(child<QLineEdit>(&dialog, "nameBox"), name);
        click(child<QPushButton>(&dialog, "okBtn"));
    });
}

// A main window whose engine calls, fill-word refreshes, link-mode start and program end are
// watched; engine, when set, answers in place of the real engine. Its replies are not held
// (a response delay of 0) unless the test sets the delay back.
class TestForm : public VebixForm {
public:
    std::function<std::string(const std::string& line)> engine;
    int replyCalls = 0;
    std::vector<std::uint64_t> replyTicks;  // the tick of every engine call
    int fillWordRefreshes = 0;
    int linkModeStarts = 0;
    bool programEnded = false;

    explicit TestForm(Prompts& prompts, const StartupChoice& start = {})
        : VebixForm(prompts, start) {
        ConversationTestHelper::setResponseDelayMs(conversation(), 0);
        ConversationTestHelper::setEngineCalls(
            conversation(), {[this](VebixAi& ai, const std::string& speaker,
                                    const std::string& line, std::uint32_t referenceTime) {
                                 ++replyCalls;
                                 replyTicks.push_back(clock().tickMs());
                                 if (engine) return engine(line);
                                 return ai.reply(speaker, speaker, line, referenceTime);
                             },
                             [this](VebixAi& ai) {
                                 ++fillWordRefreshes;
                                 ai.calcFillWords();
                             }});
    }

protected:
    void startLinkMode() override { ++linkModeStarts; }
    void endProgram() override { programEnded = true; }
};

// A window test: its own folders and settings, the local tag "TAG1", a fake clock, a seeded
// random generator, no login name, and prompts answered by the test: every message box with OK
// unless the test says otherwise, and no prompt left waiting for a person.
class WindowTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        rng::seed(7);
        start_ = StartupChoice{};
        start_.localTag = "TAG1";
        start_.documentsFolder = spath("Documents");
        start_.programPath = programPath();
        start_.loginName.reset();
        prompts_.setAutoAnswer(QMessageBox::Ok);
    }
    void TearDown() override {
        EXPECT_TRUE(prompts_.unscripted().isEmpty())
            << prompts_.unscripted().join(", ").toStdString();
        EXPECT_TRUE(prompts_.answeredErrors().isEmpty())
            << prompts_.answeredErrors().join(", ").toStdString();
        AppTest::TearDown();
    }

    // Window mode's start-up steps (see prepareWindowMode), kept in start_ with the local tag
    // "TAG1" for the windows the test makes.
    const StartupChoice& prepare(const char* namedPath = nullptr) {
        start_ = prepareWindowMode(namedPath, prompts_);
        start_.localTag = "TAG1";
        start_.programPath = programPath();
        start_.loginName.reset();
        return start_;
    }

    // Shows the window and lets its load event run (the name prompt must be scripted first).
    static void showAndLoad(VebixForm& form) {
        form.show();
        QCoreApplication::processEvents();
    }
    // Types line into the input line and clicks Say.
    static void sayLine(VebixForm& form, const QString& line) {
        typeInto(child<QLineEdit>(&form, "input"), line);
        click(child<QPushButton>(&form, "sayBtn"));
    }
    // Runs the event loop until the window's exchange is over (its held reply shown), for
    // at most 10 s. False when it is still pending.
    static bool finishExchange(VebixForm& form) {
        QDeadlineTimer deadline(10000);
        while (form.conversation().exchangePending() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        return !form.conversation().exchangePending();
    }
    static QString shown(VebixForm& form) { return child<QTextEdit>(&form, "disp")->toPlainText(); }
    static QString status(VebixForm& form) { return child<QLabel>(&form, "status")->text(); }

    FakeClock clock_;
    ScopedClock scopedClock_{clock_};
    ScriptedPrompts prompts_;
    ScopedAppPrompts appPrompts_{prompts_};
    // What the windows of the test start with: no mind until prepare() or the test sets one.
    StartupChoice start_;
};

}  // namespace vebix::testing
