// The last net for errors: the "Error" dialog for errors escaping a handler.
#include <QLabel>
#include <QTimer>

#include "engine/base/error.h"
#include "guitestsupport.h"

namespace vebix {
namespace {

using testing::child;

// An object whose event handler fails.
class Failing : public QObject {
public:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) throw Error("Disk on fire");
        return QObject::event(e);
    }
};

class ErrorNet : public ::testing::Test {
protected:
    void SetUp() override {
        app_ = qobject_cast<Application*>(qApp);
        ASSERT_NE(app_, nullptr);
        ApplicationTestHelper::setQuitAction(*app_, [this] { ++quits_; });
    }
    void TearDown() override {
        if (app_) ApplicationTestHelper::setQuitAction(*app_, {});
    }
    Application* app_ = nullptr;
    int quits_ = 0;
    testing::ScriptedPrompts prompts_;
    testing::ScopedAppPrompts appPrompts_{prompts_};
};

TEST_F(ErrorNet, AnErrorEscapingAnEventHandlerIsShownAndContinueGoesOn) {
    ASSERT_NE(dynamic_cast<Application*>(qApp), nullptr);
    Failing target;
    prompts_.setNextErrorChoice(Prompts::ErrorChoice::Continue);
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts_.answeredErrors(), QStringList{"Disk on fire"});
    EXPECT_EQ(quits_, 0);

    // The loop goes on: later events are still delivered.
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    QCoreApplication::processEvents();
    EXPECT_TRUE(ran);
}

TEST_F(ErrorNet, QuitEndsTheProgram) {
    Failing target;
    prompts_.setNextErrorChoice(Prompts::ErrorChoice::Quit);
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(quits_, 1);
}

TEST_F(ErrorNet, GuardedWorkReportsAtTheSlotBoundary) {
    prompts_.setNextErrorChoice(Prompts::ErrorChoice::Continue);
    bool after = false;
    guarded([] { throw Error("Unable to save the settings"); });
    after = true;
    EXPECT_TRUE(after);
    EXPECT_EQ(prompts_.answeredErrors(), QStringList{"Unable to save the settings"});
    prompts_.setNextErrorChoice(Prompts::ErrorChoice::Continue);
    guarded([] { throw 42; });
    EXPECT_EQ(prompts_.answeredErrors().last(), "Unknown error");
}

TEST_F(ErrorNet, TheDialogShowsTheFixedTextTheMessageAndTwoButtons) {
    ErrorDialog dialog("Something broke");
    EXPECT_EQ(dialog.windowTitle(), "Error");
    EXPECT_EQ(child<QLabel>(&dialog, "introLabel")->text(),
              "An application exception has occurred. Click Continue to allow the application to "
              "ignore this error and attempt to continue.");
    EXPECT_EQ(child<QLabel>(&dialog, "messageLabel")->text(), "Something broke");
    auto* cont = child<QPushButton>(&dialog, "continueBtn");
    auto* quit = child<QPushButton>(&dialog, "quitBtn");
    EXPECT_EQ(cont->text(), "&Continue");
    EXPECT_EQ(quit->text(), "&Quit");
    dialog.show();
    QTest::mouseClick(quit, Qt::LeftButton);
    EXPECT_EQ(dialog.choice(), ErrorDialog::Quit);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ErrorNet, AnErrorInSayLeavesSayEnabledAndIsReported) {
    QTemporaryDir tmp;
    const testing::ScopedUserFolders folders(tmp.path());
    StartupChoice start;
    start.mindPath = (tmp.path() + "/m.mdd").toStdString();
    testing::answerNamePrompt(prompts_, "Ann");
    testing::TestForm form(prompts_, start);
    form.show();
    QCoreApplication::processEvents();
    form.engine = [](const std::string&) -> std::string { throw Error("engine failure"); };
    prompts_.setNextErrorChoice(Prompts::ErrorChoice::Continue);
    testing::typeInto(child<QLineEdit>(&form, "input"), "hello");
    testing::click(child<QPushButton>(&form, "sayBtn"));
    EXPECT_EQ(prompts_.answeredErrors(), QStringList{"engine failure"});
    EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
    form.hide();
}

}  // namespace
}  // namespace vebix
