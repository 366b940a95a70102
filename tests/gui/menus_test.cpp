// The menu bar and its commands: New Mind, Load Mind, the transcript, Delay Responses, About,
// Link Bots, Enable UDLP, and the entries link mode keeps.
#include <QCheckBox>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include "app/platform/settings.h"
#include "app/udlp/udlpformat.h"
#include "app/gui/newmindform.h"
#include "app/gui/windowmode.h"
#include "guitestsupport.h"

namespace vebix {
namespace {

using testing::answerNamePrompt;
using testing::child;
using testing::click;
using testing::readBytes;
using testing::TestForm;
using testing::typeInto;
using testing::writeBytes;

class Menus : public testing::WindowTest {
protected:
    void startAsAnn(TestForm& form) {
        answerNamePrompt(prompts_, "Ann");
        showAndLoad(form);
        ASSERT_TRUE(form.keeper().bot());
    }
    static void choose(VebixForm& form, const char* item) {
        child<QAction>(&form, item)->trigger();
    }
    // Scripts the New Mind dialog: bot name, template box, Save-as, then Create.
    void answerNewMind(const QString& name, bool useTemplate, const QString& saveAs) {
        prompts_.queueScript("NewMindForm", [=](QDialog& dialog) {
            typeInto(child<QLineEdit>(&dialog, "botNameBox"), name);
            child<QCheckBox>(&dialog, "startWithDefaultMindCheck")->setChecked(useTemplate);
            typeInto(child<QLineEdit>(&dialog, "saveAsBox"), saveAs);
            click(child<QPushButton>(&dialog, "createBtn"));
        });
    }
};

QStringList captions(const QList<QAction*>& items) {
    QStringList out;
    for (QAction* a : items) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

TEST_F(Menus, MenuBarHoldsTheEntriesInOrder) {
    VebixForm form(prompts_, start_);
    EXPECT_EQ(captions(form.menuBar()->actions()), (QStringList{"&File", "&Tools", "&Help"}));
    EXPECT_EQ(captions(child<QMenu>(&form, "fileMenu")->actions()),
              (QStringList{"&New Mind...", "&Load Mind...", "Save Mind &As...", "-",
                           "Save &Transcript...", "-", "E&xit"}));
    EXPECT_EQ(captions(child<QMenu>(&form, "toolsMenu")->actions()),
              (QStringList{"Enable &UDLP (bot linking)...", "&Link Bots (UDLP)...", "-",
                           "&Delay Responses"}));
    EXPECT_EQ(captions(child<QMenu>(&form, "helpMenu")->actions()), QStringList{"&About Vebix"});
}

TEST_F(Menus, LinkModeKeepsOnlyItsEntries) {
    VebixForm form(prompts_, start_);
    form.keepOnlyLinkModeMenuItems();
    EXPECT_EQ(captions(form.menuBar()->actions()), (QStringList{"&File", "&Tools", "&Help"}));
    EXPECT_EQ(captions(child<QMenu>(&form, "fileMenu")->actions()),
              (QStringList{"Save &Transcript...", "-", "E&xit"}));
    EXPECT_EQ(captions(child<QMenu>(&form, "toolsMenu")->actions()),
              QStringList{"&Delay Responses"});
    EXPECT_EQ(captions(child<QMenu>(&form, "helpMenu")->actions()), QStringList{"&About Vebix"});
}

TEST_F(Menus, DelayToggledTwiceComesBackToItsFirstValue) {
    VebixForm form(prompts_, start_);
    QAction* delay = child<QAction>(&form, "delayResponsesItem");
    EXPECT_TRUE(delay->isChecked());  // no "Delay" value: on
    choose(form, "delayResponsesItem");
    EXPECT_FALSE(delay->isChecked());
    EXPECT_FALSE(form.delaysResponses());
    EXPECT_EQ(Settings().findDword(Settings::Key::Delay), 0u);
    choose(form, "delayResponsesItem");
    EXPECT_TRUE(delay->isChecked());
    EXPECT_TRUE(form.delaysResponses());
    EXPECT_EQ(Settings().findDword(Settings::Key::Delay), 1u);
}

TEST_F(Menus, DelayEntryStartsFromTheSetting) {
    Settings().setDword(Settings::Key::Delay, 0);
    prepare();
    VebixForm form(prompts_, start_);
    EXPECT_FALSE(child<QAction>(&form, "delayResponsesItem")->isChecked());
}

TEST_F(Menus, LoadMindCancelledKeepsTheMindUnsaved) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "ok"; };
    sayLine(form, "keep me");
    const auto before = form.keeper().bot();
    prompts_.setNextFileName(QString());
    choose(form, "loadMindItem");
    EXPECT_EQ(prompts_.lastAnsweredRequest()->initialFile, path("Documents/Vebix.mdd"));
    EXPECT_EQ(form.keeper().bot(), before);
    EXPECT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
}

TEST_F(Menus, LoadMindOfAFileThatIsNotAMindShowsWhy) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    writeBytes(path("picture.mdd"), "GIF89a\r\n");
    prompts_.setNextFileName(path("picture.mdd"));
    choose(form, "loadMindItem");
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{"Vebix: Not a valid Vebix mind file"});
    // No mind: the window does not look usable, and says what to do.
    EXPECT_FALSE(form.keeper().bot());
    EXPECT_EQ(status(form), "Please load or create a mind file");
    EXPECT_FALSE(child<QPushButton>(&form, "sayBtn")->isEnabled());
    EXPECT_FALSE(child<QLineEdit>(&form, "input")->isEnabled());

    // A mind that loads makes it usable again.
    answerNamePrompt(prompts_, "Ann");
    prompts_.setNextFileName(path("Documents/Vebix.mdd"));
    choose(form, "loadMindItem");
    EXPECT_TRUE(form.keeper().bot());
    EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
    EXPECT_TRUE(child<QLineEdit>(&form, "input")->isEnabled());
}

TEST_F(Menus, LoadMindSavesTheCurrentMindFirstAndRemembersTheChosenFile) {
    // A mind to load, made by a first window.
    {
        start_.mindPath = spath("other.mdd");
        TestForm maker(prompts_, start_);
        answerNamePrompt(prompts_, "Ann");
        showAndLoad(maker);
        maker.engine = [](const std::string&) { return "made"; };
        sayLine(maker, "hello other");
        maker.close();
    }
    start_.mindPath = spath("Documents/Vebix.mdd");
    answerNamePrompt(prompts_, "Ann");
    TestForm form(prompts_, start_);
    showAndLoad(form);
    form.engine = [](const std::string&) { return "ok"; };
    sayLine(form, "save me first");

    answerNamePrompt(prompts_, "Ann");
    prompts_.setNextFileName(path("other.mdd"));
    choose(form, "loadMindItem");
    EXPECT_NE(readBytes(path("Documents/Vebix.mdd")).find(" Ann!TAG1 save me first\r\n"),
              std::string::npos);
    EXPECT_EQ(Settings().findString(Settings::Key::LastMindFile), spath("other.mdd"));
    EXPECT_TRUE(shown(form).startsWith(path("other.mdd") + "\n\n"));
    EXPECT_EQ(form.keeper().exchangeCount(), 0);
}

TEST_F(Menus, NewMindFromTheTemplateOrEmptyWithQuotesRemovedFromTheName) {
    for (const bool useTemplate : {true, false}) {
        TestForm form(prompts_, prepare());
        startAsAnn(form);
        const QString file = path(useTemplate ? "Robo1.mdd" : "Robo2.mdd");
        answerNewMind("\"Ro\"bo\"", useTemplate, file);
        answerNamePrompt(prompts_, "Ann");
        choose(form, "newMindItem");
        ASSERT_TRUE(form.keeper().bot());
        EXPECT_EQ(form.keeper().bot()->botName(), "Robo");
        EXPECT_EQ(form.keeper().mindPath(), fromQPath(file));
        const std::string bytes = readBytes(file);
        EXPECT_NE(bytes.find("\"Robo\""), std::string::npos) << bytes.substr(0, 80);
        const std::size_t greetingLines = useTemplate ? 1 : 0;  // the opening line, when any
        EXPECT_EQ(form.keeper().savedCount() + greetingLines >= form.keeper().bot()->lines().size(),
                  true);
        if (useTemplate)
            EXPECT_GT(form.keeper().savedCount(), 100u);
        else
            EXPECT_EQ(form.keeper().savedCount(), 0u);
        form.hide();
    }
}

TEST_F(Menus, NewMindOntoAnExistingFileAsksBeforeReplacingIt) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    writeBytes(path("taken.mdd"), "precious\r\n");

    // No: the dialog stays open and nothing is written; then Cancel.
    bool stayedOpen = false;
    prompts_.queueScript("NewMindForm", [&](QDialog& dialog) {
        typeInto(child<QLineEdit>(&dialog, "saveAsBox"), path("taken.mdd"));
        prompts_.setNextAnswer(QMessageBox::No);
        click(child<QPushButton>(&dialog, "createBtn"));
        stayedOpen = dialog.isVisible();
        click(child<QPushButton>(&dialog, "cancelBtn"));
    });
    choose(form, "newMindItem");
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(readBytes(path("taken.mdd")), "precious\r\n");
    ASSERT_EQ(prompts_.answeredBoxes().size(), 1);
    EXPECT_EQ(prompts_.answeredBoxes()[0],
              "New Mind: " +
                  QString::fromUtf8(NewMindForm::kReplaceQuestion).arg(path("taken.mdd")));

    // Yes: replaced by the new mind.
    prompts_.queueScript("NewMindForm", [&](QDialog& dialog) {
        typeInto(child<QLineEdit>(&dialog, "saveAsBox"), path("taken.mdd"));
        prompts_.setNextAnswer(QMessageBox::Yes);
        click(child<QPushButton>(&dialog, "createBtn"));
    });
    answerNamePrompt(prompts_, "Ann");
    choose(form, "newMindItem");
    EXPECT_NE(readBytes(path("taken.mdd")).find("Vebix"), std::string::npos);
    EXPECT_EQ(readBytes(path("taken.mdd")).find("precious"), std::string::npos);
}

TEST_F(Menus, NewMindCancelledChangesNothing) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    const auto before = form.keeper().bot();
    prompts_.queueScript("NewMindForm",
                         [](QDialog& d) { click(child<QPushButton>(&d, "cancelBtn")); });
    choose(form, "newMindItem");
    EXPECT_EQ(form.keeper().bot(), before);
    EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
}

TEST_F(Menus, TranscriptOfAFreshConversation) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    const QString opening = shown(form).split('\n')[2];
    ASSERT_TRUE(opening.startsWith("<Vebix> "));
    const QByteArray expected = "Documents/Vebix.mdd\r\n\r\n" + opening.toUtf8() + "\r\n<Ann> ";
    EXPECT_EQ(form.transcriptBytes(), expected);

    prompts_.setNextFileName(path("talk.txt"));
    choose(form, "saveTranscriptItem");
    const auto request = prompts_.lastAnsweredRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->initialFile, "Vebix");
    EXPECT_EQ(request->filter, "Text Files (*.txt)");
    EXPECT_EQ(request->defaultSuffix, "txt");
    EXPECT_TRUE(request->confirmOverwrite);
    EXPECT_EQ(readBytes(path("talk.txt")), expected.toStdString());
}

TEST_F(Menus, TranscriptKeepsAnApologyAndNonAsciiText) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return std::string(); };
    // Typed through an input method: key clicks carry ASCII only.
    child<QLineEdit>(&form, "input")->setText(QString::fromUtf8("gr\xc3\xbc\xc3\x9f dich"));
    click(child<QPushButton>(&form, "sayBtn"));
    const QByteArray bytes = form.transcriptBytes();
    EXPECT_TRUE(
        bytes.endsWith("gr\xc3\xbc\xc3\x9f dich\r\n"
                       "Sorry, Vebix is unable to respond to your previous message.\r\n"
                       "You can try wording your previous message differently.\r\n"
                       "<Ann> "));
    EXPECT_FALSE(bytes.startsWith("\xef\xbb\xbf"));
}

TEST_F(Menus, TranscriptThatCannotBeWrittenReachesTheErrorDialog) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    prompts_.setNextFileName(path("no/such/folder/talk.txt"));
    prompts_.setNextErrorChoice(Prompts::ErrorChoice::Continue);
    choose(form, "saveTranscriptItem");
    ASSERT_EQ(prompts_.answeredErrors().size(), 1);
    EXPECT_TRUE(prompts_.answeredErrors()[0].startsWith("Unable to write the transcript file"));
    prompts_.clearAnsweredErrors();
}

TEST_F(Menus, LinkBotsNeedsALoadedBot) {
    TestForm form(prompts_, prepare());
    choose(form, "linkBotsItem");
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{": Bot not loaded"});
    EXPECT_EQ(form.linkModeStarts, 0);
    startAsAnn(form);
    prompts_.clearAnsweredBoxes();
    choose(form, "linkBotsItem");
    EXPECT_TRUE(prompts_.answeredBoxes().isEmpty());
    EXPECT_EQ(form.linkModeStarts, 1);
}

TEST_F(Menus, AboutShowsTheVersionLine) {
    VebixForm form(prompts_, start_);
    choose(form, "aboutItem");
    ASSERT_EQ(prompts_.answeredBoxes().size(), 1);
    EXPECT_TRUE(prompts_.answeredBoxes()[0].startsWith("About Vebix: Vebix " +
                                                       fromUtf8(release::kVersion) + "\r\n"));
}

TEST_F(Menus, ExitClosesAndSavesWhenTheUserSpoke) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "bye"; };
    sayLine(form, "see you");
    choose(form, "exitItem");
    EXPECT_FALSE(form.isVisible());
    EXPECT_NE(readBytes(path("Documents/Vebix.mdd")).find(" Ann!TAG1 see you\r\n"),
              std::string::npos);
}

// The info files name the mind's file, and a link program may start the bot at once: a new
// mind that was only in memory, with the lines said so far, is on disk when the dialog closes.
TEST_F(Menus, EnablingUdlpWritesTheMindAtOnce) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "fine"; };
    sayLine(form, "how are you");
    ASSERT_TRUE(finishExchange(form));
    ASSERT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    prompts_.queueScript("UdlpForm", [](QDialog& d) {
        click(child<QPushButton>(&d, "enableUdlpBtn"));
        click(child<QPushButton>(&d, "doneBtn"));
    });
    choose(form, "enableUdlpItem");
    EXPECT_TRUE(QFileInfo::exists(path("bin/UDLPX.NFO")));
    const std::string mind = readBytes(path("Documents/Vebix.mdd"));
    EXPECT_NE(mind.find(" Ann!TAG1 how are you\r\n"), std::string::npos);
    EXPECT_FALSE(form.keeper().hasUnsavedLines());
}

// The desktop's standard keys, pressed in the window, run their entries: New Mind opens its
// dialog, Load Mind and the two saves ask for a file, Quit closes the window.
TEST_F(Menus, StandardShortcutsRunTheirEntries) {
    struct Case {
        const char* item;
        QKeySequence::StandardKey key;
        QKeySequence fallback;    // where the keyboard scheme has no key for it
        const char* fileCaption;  // the file dialog the entry asks, if any
    };
    const Case cases[] = {
        {"newMindItem", QKeySequence::New, QKeySequence("Ctrl+N"), nullptr},
        {"loadMindItem", QKeySequence::Open, QKeySequence("Ctrl+O"), "Load Mind"},
        {"saveMindAsItem", QKeySequence::SaveAs, QKeySequence("Ctrl+Shift+S"), "Save Mind As"},
        {"saveTranscriptItem", QKeySequence::Save, QKeySequence("Ctrl+S"), "Save Transcript"},
        {"exitItem", QKeySequence::Quit, QKeySequence("Ctrl+Q"), nullptr},
    };
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.activateWindow();
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), &form);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        QAction* item = child<QAction>(&form, c.item);
        QList<QKeySequence> expected = QKeySequence::keyBindings(c.key);
        if (expected.isEmpty()) expected = {c.fallback};
        EXPECT_EQ(item->shortcuts(), expected);
        const QKeySequence keys = item->shortcut();
        ASSERT_FALSE(keys.isEmpty());
        QSignalSpy triggered(item, &QAction::triggered);
        bool dialogShown = false;
        if (c.key == QKeySequence::New)
            prompts_.queueScript("NewMindForm", [&](QDialog& dialog) {
                dialogShown = true;
                click(child<QPushButton>(&dialog, "cancelBtn"));
            });
        // Cancelled file dialogs: the entry asked, and nothing else changes.
        if (c.fileCaption) prompts_.setNextFileName(QString());
        QTest::keySequence(child<QLineEdit>(&form, "input"), keys);
        EXPECT_EQ(triggered.count(), 1);
        if (c.key == QKeySequence::New) {
            EXPECT_TRUE(dialogShown);
        }
        if (c.fileCaption) {
            ASSERT_TRUE(prompts_.lastAnsweredRequest());
            EXPECT_EQ(prompts_.lastAnsweredRequest()->caption, c.fileCaption);
        }
        EXPECT_EQ(form.isVisible(), c.key != QKeySequence::Quit);
    }
}

// Save Mind As... writes the whole mind, the new lines too, to the chosen file, which becomes
// the mind and is opened at the next start; the old file keeps what it had.
TEST_F(Menus, SaveMindAsWritesTheWholeMindToTheChosenFile) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "a copy, then"; };
    sayLine(form, "keep this elsewhere");
    const std::vector<std::string> lines(form.keeper().bot()->lines().begin(),
                                         form.keeper().bot()->lines().end());
    child<QMenu>(&form, "fileMenu")->aboutToShow();
    EXPECT_TRUE(child<QAction>(&form, "saveMindAsItem")->isEnabled());
    prompts_.setNextFileName(path("copy.mdd"));
    choose(form, "saveMindAsItem");
    EXPECT_EQ(prompts_.lastAnsweredRequest()->defaultSuffix, "mdd");
    VebixAi copy;
    copy.loadFile(fromQPath(path("copy.mdd")));
    EXPECT_EQ(std::vector<std::string>(copy.lines().begin(), copy.lines().end()), lines);
    EXPECT_EQ(copy.botName(), "Vebix");
    EXPECT_EQ(form.keeper().mindPath(), spath("copy.mdd"));
    EXPECT_EQ(form.keeper().unsavedLineCount(), 0u);
    EXPECT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    EXPECT_EQ(Settings().findString(Settings::Key::LastMindFile), spath("copy.mdd"));

    // A file that cannot be written is said so; the mind keeps its file.
    prompts_.setNextFileName(path("no/such/folder/x.mdd"));
    choose(form, "saveMindAsItem");
    ASSERT_EQ(prompts_.answeredBoxes().size(), 1);
    EXPECT_TRUE(prompts_.answeredBoxes()[0].startsWith("Vebix: Unable to save mind file"))
        << prompts_.answeredBoxes()[0].toStdString();
    EXPECT_EQ(form.keeper().mindPath(), spath("copy.mdd"));
}

TEST_F(Menus, SaveMindAsIsOfferedOnlyWithAMind) {
    TestForm form(prompts_, start_);
    showAndLoad(form);
    child<QMenu>(&form, "fileMenu")->aboutToShow();
    EXPECT_FALSE(child<QAction>(&form, "saveMindAsItem")->isEnabled());
}

TEST_F(Menus, EnableDialogClosedWithoutEnablingRequestsNoSave) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    prompts_.queueScript("UdlpForm", [](QDialog& d) { click(child<QPushButton>(&d, "doneBtn")); });
    choose(form, "enableUdlpItem");
    EXPECT_FALSE(form.keeper().saveRequested());
}

}  // namespace
}  // namespace vebix
