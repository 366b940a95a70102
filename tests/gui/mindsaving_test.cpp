// Keeping the mind's lines when saving fails (a full disk: the file size limit stands in for
// it): closing asks instead of losing them, autosave shows one notice in the window instead of
// a box per tick, and a window whose load failed neither looks usable nor writes to the file
// it refused.
#include <QFrame>
#include <QTimer>

#include <optional>

#include "app/mind/mindlock.h"
#include "app/platform/settings.h"
#include "app/gui/windowmode.h"
#include "guitestsupport.h"
#include "windowlayout.h"

namespace vebix {
namespace {

using testing::answerNamePrompt;
using testing::child;
using testing::click;
using testing::DiskNearlyFull;
using testing::readBytes;
using testing::TestForm;
using testing::typeInto;
using testing::writeBytes;

const std::string kMind =
    "\xEF\xBB\xBF"
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\nk 1 a hello there\r\nk 2 <ai> hi\r\n";

class MindSaving : public testing::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        writeBytes(path("mind.mdd"), kMind);
        start_.mindPath = spath("mind.mdd");
    }
    void TearDown() override {
        full_.reset();
        EXPECT_EQ(prompts_.pendingChoices(), 0);
        EXPECT_TRUE(prompts_.unmatchedChoices().isEmpty())
            << prompts_.unmatchedChoices().join(", ").toStdString();
        prompts_.clearAnsweredBoxes();
        WindowTest::TearDown();
    }
    // Loads the mind as Ann and says two lines, not saved yet.
    void startAndChat(TestForm& form) {
        answerNamePrompt(prompts_, "Ann");
        showAndLoad(form);
        ASSERT_TRUE(form.keeper().bot());
        form.engine = [](const std::string&) { return "noted"; };
        sayLine(form, "first thing to keep");
        sayLine(form, "second thing to keep");
        ASSERT_GE(form.keeper().unsavedLineCount(), 4u);
    }
    // From now on the mind file cannot grow.
    void fillDisk() { full_.emplace(QFileInfo(path("mind.mdd")).size()); }
    void freeDisk() { full_.reset(); }
    QString failure(const QString& file, const char* reason) const {
        return "Unable to save mind file '" + path(file) + "': " + reason;
    }
    // The mind's lines as they stand in the file at path.
    std::vector<std::string> linesIn(const QString& file) const {
        VebixAi back;
        back.loadFile(fromQPath(path(file)));
        return {back.lines().begin(), back.lines().end()};
    }
    static std::vector<std::string> linesOf(const VebixForm& form) {
        return {form.keeper().bot()->lines().begin(), form.keeper().bot()->lines().end()};
    }

    std::optional<DiskNearlyFull> full_;
};

// ---- closing --------------------------------------------------------------------------------

TEST_F(MindSaving, ExitWithAFailingSaveAsksWithTheReasonAndKeepsTheLines) {
    struct Step {
        const char* button;  // "%n" stands for the number of unsaved lines
        bool freeDiskFirst;
    };
    enum Outcome { SavedInPlace, SavedElsewhere, Discarded, KeptOpen };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        Outcome outcome;
    };
    const Case cases[] = {
        {"try again once space is free", {{"Try Again", true}}, SavedInPlace},
        {"try again while full, then discard",
         {{"Try Again", false}, {"Discard %n lines", false}},
         Discarded},
        {"save as another file", {{"Save As...", true}}, SavedElsewhere},
        {"cancel keeps the window and the mind", {{"Cancel", false}}, KeptOpen},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeBytes(path("mind.mdd"), kMind);
        QFile::remove(path("elsewhere.mdd"));
        start_.mindPath = spath("mind.mdd");
        prompts_.clearAnsweredBoxes();
        TestForm form(prompts_, start_);
        startAndChat(form);
        const std::size_t unsaved = form.keeper().unsavedLineCount();
        const std::vector<std::string> said = linesOf(form);
        for (const Step& step : c.steps) {
            QString button = QString::fromUtf8(step.button);
            button.replace("%n", QString::number(unsaved));
            const bool free = step.freeDiskFirst;
            prompts_.queueChoice(button, [this, free] {
                if (free) freeDisk();
            });
        }
        if (c.outcome == SavedElsewhere) prompts_.setNextFileName(path("elsewhere.mdd"));
        fillDisk();
        child<QAction>(&form, "exitItem")->trigger();
        freeDisk();

        // Every question names the file, the system's reason and what would be lost.
        const QStringList asked = prompts_.answeredBoxes();
        ASSERT_EQ(asked.size(), static_cast<qsizetype>(c.steps.size()));
        for (const QString& box : asked) {
            EXPECT_TRUE(box.startsWith("Vebix: " + failure("mind.mdd", "File too large")))
                << box.toStdString();
            EXPECT_TRUE(box.contains(QString::number(unsaved) + " lines of this conversation"))
                << box.toStdString();
        }
        switch (c.outcome) {
            case SavedInPlace:
                EXPECT_FALSE(form.isVisible());
                EXPECT_EQ(linesIn("mind.mdd"), said);
                break;
            case SavedElsewhere:
                EXPECT_FALSE(form.isVisible());
                EXPECT_EQ(readBytes(path("mind.mdd")), kMind);
                EXPECT_EQ(linesIn("elsewhere.mdd"), said);
                EXPECT_EQ(form.keeper().mindPath(), spath("elsewhere.mdd"));
                EXPECT_EQ(Settings().findString(Settings::Key::LastMindFile),
                          spath("elsewhere.mdd"));
                break;
            case Discarded:
                EXPECT_FALSE(form.isVisible());
                EXPECT_EQ(readBytes(path("mind.mdd")), kMind);
                EXPECT_FALSE(form.keeper().bot());
                break;
            case KeptOpen:
                EXPECT_TRUE(form.isVisible());
                ASSERT_TRUE(form.keeper().bot());
                EXPECT_EQ(linesOf(form), said);
                EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
                EXPECT_EQ(readBytes(path("mind.mdd")), kMind);
                // With room again, closing saves as usual.
                form.close();
                EXPECT_FALSE(form.isVisible());
                EXPECT_EQ(linesIn("mind.mdd"), said);
                break;
        }
        form.hide();
    }
}

// ---- autosave -------------------------------------------------------------------------------

class FailingAutosave : public MindSaving {
protected:
    // A conversation whose autosave is due, on a full disk; the timer fires at every round of
    // event handling.
    void startFailing(TestForm& form) {
        startAndChat(form);
        timer_ = child<QTimer>(&form, "autosaveTimer");
        timer_->setInterval(0);
        clock_.advanceSeconds(600);
        fillDisk();
    }
    static QFrame* noticeOf(VebixForm& form) { return child<QFrame>(&form, "saveNotice"); }
    static QString noticeText(VebixForm& form) {
        return child<QLabel>(&form, "saveNoticeText")->text();
    }
    QTimer* timer_ = nullptr;
};

TEST_F(FailingAutosave, ShowsOneNoticeInTheWindowInsteadOfABoxPerTick) {
    TestForm form(prompts_, start_);
    startFailing(form);
    for (int tick = 0; tick < 5; ++tick) QCoreApplication::processEvents();

    // No box of any kind, and the person can go on typing.
    EXPECT_TRUE(prompts_.answeredBoxes().isEmpty());
    EXPECT_TRUE(prompts_.answeredErrors().isEmpty());
    EXPECT_TRUE(prompts_.unscripted().isEmpty());
    QFrame* notice = noticeOf(form);
    ASSERT_TRUE(notice->isVisible());
    EXPECT_FALSE(notice->isWindow());
    EXPECT_EQ(noticeText(form),
              "This mind is not being saved. " + failure("mind.mdd", "File too large"));
    auto* input = child<QLineEdit>(&form, "input");
    typeInto(input, "can I still type?");
    EXPECT_EQ(input->text(), "can I still type?");
    EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());

    // Above the input line, with the display shortened to make room.
    auto* disp = child<QTextEdit>(&form, "disp");
    EXPECT_LE(notice->geometry().bottom(), input->geometry().top());
    EXPECT_LE(disp->geometry().bottom(), notice->geometry().top());
    EXPECT_GT(disp->height(), 0);
    const QRect shortened = disp->geometry();
    EXPECT_EQ(readBytes(path("mind.mdd")), kMind);

    // Autosave goes on trying; once there is room the lines are saved and the notice goes.
    const std::vector<std::string> said = linesOf(form);
    freeDisk();
    QCoreApplication::processEvents();
    timer_->setInterval(10000);
    EXPECT_FALSE(notice->isVisible());
    EXPECT_EQ(linesIn("mind.mdd"), said);
    // The display has its room back, down to the input line.
    QCoreApplication::processEvents();
    EXPECT_EQ(disp->geometry().top(), shortened.top());
    EXPECT_GE(disp->geometry().bottom(), shortened.bottom() + notice->height());
    testing::expectLaidOut(form);
}

// At every font size the notice sits between the display and the input line, its buttons
// whole, nothing over anything else.
TEST_F(FailingAutosave, TheNoticeFitsBetweenDisplayAndInputAtAnyFontSize) {
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        testing::ScopedAppFontScale font(scale);
        writeBytes(path("mind.mdd"), kMind);
        TestForm form(prompts_, start_);
        startFailing(form);
        QCoreApplication::processEvents();
        timer_->stop();
        ASSERT_TRUE(noticeOf(form)->isVisible());
        QCoreApplication::processEvents();
        testing::expectLaidOut(form);
        // Also in a window as small as it goes.
        form.resize(form.minimumSize());
        QCoreApplication::processEvents();
        testing::expectLaidOut(form);
        const std::vector<std::string> said = linesOf(form);
        freeDisk();
        form.close();
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(linesIn("mind.mdd"), said);
    }
}

TEST_F(FailingAutosave, TheNoticeOffersTryAgainAndSaveAs) {
    TestForm form(prompts_, start_);
    startFailing(form);
    QCoreApplication::processEvents();
    timer_->stop();
    QFrame* notice = noticeOf(form);
    ASSERT_TRUE(notice->isVisible());
    auto* tryAgain = child<QPushButton>(&form, "saveNoticeTryAgainBtn");
    auto* saveAs = child<QPushButton>(&form, "saveNoticeSaveAsBtn");

    // Still full: the notice stays. A file elsewhere cannot be written either: it says so.
    click(tryAgain);
    EXPECT_TRUE(notice->isVisible());
    prompts_.setNextFileName(path("elsewhere.mdd"));
    click(saveAs);
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(noticeText(form),
              "This mind is not being saved. " + failure("elsewhere.mdd", "File too large"));
    EXPECT_EQ(form.keeper().mindPath(), spath("mind.mdd"));

    freeDisk();
    // Never over a mind another window keeps open: that file stays as it was.
    writeBytes(path("held.mdd"), kMind);
    {
        MindLock otherWindow;
        ASSERT_EQ(otherWindow.hold(spath("held.mdd")), MindLock::Outcome::Held);
        prompts_.clearAnsweredBoxes();
        prompts_.setNextAnswer(QMessageBox::Ok);
        prompts_.setNextFileName(path("held.mdd"));
        click(saveAs);
        EXPECT_EQ(prompts_.answeredBoxes(),
                  QStringList{"Vebix: The mind file \"" + path("held.mdd") +
                              "\" is open in another window of Vebix.\r\n\r\nPlease choose "
                              "another file name."});
        EXPECT_TRUE(notice->isVisible());
        EXPECT_EQ(readBytes(path("held.mdd")), kMind);
        EXPECT_EQ(form.keeper().mindPath(), spath("mind.mdd"));
    }

    // Save As with room: the whole mind goes to the new file, which is now the mind.
    const std::vector<std::string> said = linesOf(form);
    prompts_.setNextFileName(path("elsewhere.mdd"));
    click(saveAs);
    EXPECT_FALSE(notice->isVisible());
    EXPECT_EQ(linesIn("elsewhere.mdd"), said);
    EXPECT_EQ(readBytes(path("mind.mdd")), kMind);
    EXPECT_EQ(form.keeper().mindPath(), spath("elsewhere.mdd"));
    EXPECT_EQ(form.keeper().unsavedLineCount(), 0u);

    // Try Again once the disk has room.
    sayLine(form, "a third thing");
    full_.emplace(QFileInfo(path("elsewhere.mdd")).size());
    clock_.advanceSeconds(600);
    timer_->start(0);
    QCoreApplication::processEvents();
    timer_->stop();
    ASSERT_TRUE(notice->isVisible());
    freeDisk();
    click(tryAgain);
    EXPECT_FALSE(notice->isVisible());
    EXPECT_EQ(linesIn("elsewhere.mdd"), linesOf(form));
}

// ---- failed loads ---------------------------------------------------------------------------

TEST_F(MindSaving, AFileRefusedAsNotAMindIsNeverWrittenTo) {
    const std::string letter = "Dear Ann, thanks for the letter.\r\nSee you soon.\r\n";
    writeBytes(path("letter.txt"), letter);
    start_.mindPath = spath("letter.txt");
    TestForm form(prompts_, start_);
    showAndLoad(form);
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{"Vebix: Incompatible mind file"});
    EXPECT_EQ(status(form), "Please load or create a mind file");
    EXPECT_FALSE(child<QLineEdit>(&form, "input")->isEnabled());
    prompts_.clearAnsweredBoxes();

    prompts_.queueScript("UdlpForm", [](QDialog& d) {
        click(child<QPushButton>(&d, "enableUdlpBtn"));
        click(child<QPushButton>(&d, "doneBtn"));
    });
    child<QAction>(&form, "enableUdlpItem")->trigger();
    child<QAction>(&form, "linkBotsItem")->trigger();
    EXPECT_EQ(prompts_.answeredBoxes(),
              (QStringList{"UDLP: Unable to enable UDLP2 for the current bot: no bot loaded",
                           ": Bot not loaded"}));
    EXPECT_EQ(form.linkModeStarts, 0);
    EXPECT_FALSE(QFileInfo::exists(path("bin/UDLPX.NFO")));

    child<QAction>(&form, "exitItem")->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(readBytes(path("letter.txt")), letter);
}

}  // namespace
}  // namespace vebix
