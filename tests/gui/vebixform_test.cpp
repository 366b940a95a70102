// The main window: layout, the first start, the greeting, a conversation, the probe, the
// apology, the response delay, autosave and closing.
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "app/platform/settings.h"
#include "app/mind/vebixai.h"
#include "app/gui/chatdisplay.h"
#include "app/gui/windowmode.h"
#include "guitestsupport.h"
#include "windowlayout.h"

namespace vebix {
namespace {

using testing::answerNamePrompt;
using testing::child;
using testing::click;
using testing::readBytes;
using testing::TestForm;
using testing::typeInto;
using testing::writeBytes;

// The colour of the character at the first place where text stands in the display.
QColor colorOf(VebixForm& form, const QString& text, int from = 0) {
    QTextDocument* doc = child<QTextEdit>(&form, "disp")->document();
    const QTextCursor found = doc->find(text, from);
    if (found.isNull()) return QColor(0xde, 0xad, 0xbe);
    QTextCursor at(doc);
    at.setPosition(found.selectionStart() + 1);
    return at.charFormat().foreground().color();
}

// The colour the display gives role now.
QColor colourFor(VebixForm& form, ChatRole role) {
    return child<ChatDisplay>(&form, "disp")->colours().of(role);
}

QPalette paletteOf(QColor base, QColor text) {
    QPalette palette = QApplication::palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::Base, base);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Window, base);
        palette.setColor(group, QPalette::WindowText, text);
    }
    return palette;
}

class ChatWindow : public testing::WindowTest {
protected:
    // Starts the window on a new template mind at the default path, as user Ann.
    void startAsAnn(TestForm& form) {
        answerNamePrompt(prompts_, "Ann");
        showAndLoad(form);
        ASSERT_TRUE(form.keeper().bot());
        ASSERT_EQ(form.userName(), "Ann");
    }
};

TEST_F(ChatWindow, LayoutAtCreation) {
    VebixForm form(prompts_, start_);
    EXPECT_EQ(form.windowTitle(), "Vebix " + fromUtf8(release::kVersion));
    EXPECT_EQ(form.minimumSize(), QSize(350, 250));
    auto* disp = child<QTextEdit>(&form, "disp");
    auto* input = child<QLineEdit>(&form, "input");
    EXPECT_EQ(input->maxLength(), 500);
    // The desktop's font and colours, in the display and the input line alike.
    for (QWidget* w : {static_cast<QWidget*>(disp), static_cast<QWidget*>(input)}) {
        EXPECT_EQ(w->font(), QApplication::font()) << w->objectName().toStdString();
        for (auto role : {QPalette::Base, QPalette::Text})
            EXPECT_EQ(w->palette().color(role), QApplication::palette().color(role))
                << w->objectName().toStdString();
    }
    auto* say = child<QPushButton>(&form, "sayBtn");
    EXPECT_EQ(say->text(), "Say");
    EXPECT_FALSE(say->isEnabled());
    EXPECT_EQ(child<QLabel>(&form, "status")->text(), "...");
    for (const char* name : {"linkBotPic1", "linkBotName1", "linkBotPic2", "linkBotName2"})
        EXPECT_TRUE(child<QLabel>(&form, name)->isHidden()) << name;
    EXPECT_FALSE(form.windowIcon().isNull());
    // Tab goes from the display to the input line, Say, then the save notice's buttons.
    QStringList tabOrder;
    QWidget* w = disp;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty())
            tabOrder << w->objectName();
        w = w->nextInFocusChain();
    } while (w != disp);
    EXPECT_EQ(tabOrder, (QStringList{"disp", "input", "sayBtn", "saveNoticeTryAgainBtn",
                                     "saveNoticeSaveAsBtn"}));
    showAndLoad(form);
    // The default size: 450 wide, 350 below the menu bar.
    EXPECT_EQ(form.size(), QSize(450, 350 + form.menuBar()->height()));
    testing::expectLaidOut(form);
}

// Larger fonts get the room they need: the window grows past its default and least sizes
// instead of cutting captions, and the controls keep their places.
TEST_F(ChatWindow, TheLayoutHoldsAtLargerFonts) {
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        testing::ScopedAppFontScale font(scale);
        VebixForm form(prompts_, start_);
        showAndLoad(form);
        EXPECT_GE(form.width(), 450);
        EXPECT_GE(form.minimumWidth(), 350);
        EXPECT_GE(form.minimumHeight(), 250);
        testing::expectLaidOut(form);
        // At its least size nothing is cut either.
        form.resize(form.minimumSize());
        QCoreApplication::processEvents();
        testing::expectLaidOut(form);
    }
}

TEST_F(ChatWindow, DisplayContextMenuOffersOnlyCopyAndSelectAll) {
    VebixForm form(prompts_, start_);
    std::unique_ptr<QMenu> menu(child<ChatDisplay>(&form, "disp")->trimmedContextMenu());
    QStringList names;
    for (QAction* a : menu->actions()) names << a->objectName();
    EXPECT_EQ(names, (QStringList{"edit-copy", "select-all"}));
}

TEST_F(ChatWindow, FirstStartMakesTheTemplateMindAtTheDefaultPathAndGreets) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    EXPECT_EQ(form.keeper().mindPath(), spath("Documents/Vebix.mdd"));
    const QStringList lines = shown(form).split('\n');
    ASSERT_EQ(lines.size(), 4) << shown(form).toStdString();
    EXPECT_EQ(lines[0], "Documents/Vebix.mdd");
    EXPECT_EQ(lines[1], "");
    ASSERT_TRUE(lines[2].startsWith("<Vebix> "));
    const QString opening = lines[2].mid(8);
    EXPECT_FALSE(opening.isEmpty());
    EXPECT_EQ(lines[3], "<Ann> ");
    EXPECT_EQ(status(form), "Vebix is waiting for your response");
    EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());

    // Colours: muted path and brackets, green bot name, plain text, blue user name.
    EXPECT_EQ(colorOf(form, "Documents"), colourFor(form, ChatRole::Info));
    EXPECT_EQ(colorOf(form, "<Vebix"), colourFor(form, ChatRole::Info));
    EXPECT_EQ(colorOf(form, "Vebix> "), colourFor(form, ChatRole::BotName));
    EXPECT_EQ(colorOf(form, opening), colourFor(form, ChatRole::Text));
    EXPECT_EQ(colorOf(form, "Ann>"), colourFor(form, ChatRole::UserName));
    EXPECT_EQ(colourFor(form, ChatRole::Text), QApplication::palette().color(QPalette::Text));

    // The opening line is learned; nothing is written yet; the settings record mind and user.
    EXPECT_EQ(std::string(form.keeper().bot()->lines()[form.keeper().bot()->lines().size() - 1])
                  .find("Ann!TAG1"),
              0u);
    EXPECT_NE(std::string(form.keeper().bot()->lines()[form.keeper().bot()->lines().size() - 1])
                  .find("<ai> " + opening.toStdString()),
              std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    Settings settings;
    EXPECT_EQ(settings.findString(Settings::Key::LastMindFile), spath("Documents/Vebix.mdd"));
    EXPECT_EQ(settings.findString(Settings::Key::LastUserName), "Ann");
    EXPECT_TRUE(child<QTimer>(&form, "autosaveTimer")->isActive());
    EXPECT_EQ(child<QTimer>(&form, "autosaveTimer")->interval(), 10000);
}

// The name prompt opens centred over the main window, which the load has just placed in the
// middle of the screen, not where the window system last reported the window.
TEST_F(ChatWindow, TheNamePromptOpensCentredOverTheWindow) {
    TestForm form(prompts_, prepare());
    QRect prompt, window;
    bool visible = false;
    prompts_.queueScript("UserNameForm", [&](QDialog& dialog) {
        visible = dialog.isVisible();
        prompt = dialog.geometry();
        window = form.geometry();
        typeInto(child<QLineEdit>(&dialog, "nameBox"), "Ann");
        click(child<QPushButton>(&dialog, "okBtn"));
    });
    showAndLoad(form);
    ASSERT_TRUE(visible);
    ASSERT_EQ(form.userName(), "Ann");
    EXPECT_EQ(prompt.center(), window.center()) << prompt.x() << "," << prompt.y();
}

// A mind another window holds open is loaded only after asking: No chooses another file, Yes
// opens it anyway.
TEST_F(ChatWindow, AMindOpenInAnotherWindowIsLoadedOnlyAfterAsking) {
    const std::string mind = "1.2 1.2 \"Small\"\r\n\r\nk 1 a hello there\r\nk 2 <ai> hi\r\n";
    writeBytes(path("Documents/held.mdd"), mind);
    writeBytes(path("Documents/free.mdd"), mind);
    MindKeeper otherWindow;
    ASSERT_EQ(otherWindow.loadMind(spath("Documents/held.mdd")), MindKeeper::Loaded::Existing);

    const QString question =
        "Vebix: The mind file \"" + path("Documents/held.mdd") +
        "\" is open in another window of Vebix. If both keep it open, their lines are saved out "
        "of order.\r\n\r\nOpen it anyway? Choose No to load another mind file.";
    struct Case {
        QMessageBox::StandardButton answer;
        QString chosen;  // answer of the file dialog after No
        std::string loaded;
    };
    const Case cases[] = {
        {QMessageBox::No, path("Documents/free.mdd"), spath("Documents/free.mdd")},
        {QMessageBox::Yes, {}, spath("Documents/held.mdd")},
    };
    for (const Case& c : cases) {
        prompts_.clearAnsweredBoxes();
        TestForm form(prompts_, prepare(spath("Documents/held.mdd").c_str()));
        prompts_.setNextAnswer(c.answer);
        if (!c.chosen.isEmpty()) prompts_.setNextFileName(c.chosen);
        answerNamePrompt(prompts_, "Ann");
        showAndLoad(form);
        EXPECT_EQ(prompts_.answeredBoxes(), QStringList{question});
        ASSERT_TRUE(form.keeper().bot());
        EXPECT_EQ(form.keeper().bot()->fileName(), c.loaded);
        EXPECT_EQ(form.userName(), "Ann");
    }
}

TEST_F(ChatWindow, NoMindChosenAsksToLoadOne) {
    TestForm form(prompts_, start_);
    showAndLoad(form);
    EXPECT_EQ(status(form), "Please load or create a mind file");
    EXPECT_FALSE(form.keeper().bot());
    EXPECT_FALSE(child<QPushButton>(&form, "sayBtn")->isEnabled());
}

TEST_F(ChatWindow, LoadErrorAtStartIsShownWithTheCaptionVebix) {
    writeBytes(path("bad.mdd"), "GIF89a\r\n");
    start_.mindPath = spath("bad.mdd");
    TestForm form(prompts_, start_);
    showAndLoad(form);
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{"Vebix: Not a valid Vebix mind file"});
    // Nothing to talk to: the window says so and takes no input.
    EXPECT_EQ(status(form), "Please load or create a mind file");
    EXPECT_FALSE(form.keeper().bot());
    EXPECT_FALSE(child<QPushButton>(&form, "sayBtn")->isEnabled());
    EXPECT_FALSE(child<QLineEdit>(&form, "input")->isEnabled());
}

TEST_F(ChatWindow, CancellingTheFirstNamePromptEndsTheProgramWithoutSaving) {
    prepare();
    prompts_.queueScript("UserNameForm", [](QDialog& dialog) { dialog.close(); });
    TestForm form(prompts_, start_);
    showAndLoad(form);
    EXPECT_TRUE(form.programEnded);
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    EXPECT_FALSE(Settings().findString(Settings::Key::LastUserName));
}

TEST_F(ChatWindow, LastUserNameFillsThePromptAndCancelKeepsIt) {
    Settings().setString(Settings::Key::LastUserName, "Zoe");
    prepare();
    QString offered;
    prompts_.queueScript("UserNameForm", [&offered](QDialog& dialog) {
        offered = child<QLineEdit>(&dialog, "nameBox")->text();
        dialog.close();
    });
    TestForm form(prompts_, start_);
    showAndLoad(form);
    EXPECT_EQ(offered, "Zoe");
    EXPECT_FALSE(form.programEnded);
    EXPECT_EQ(form.userName(), "Zoe");
    EXPECT_TRUE(status(form).startsWith("Vebix is waiting for ")) << status(form).toStdString();
    EXPECT_TRUE(shown(form).endsWith("<Zoe> "));
}

TEST_F(ChatWindow, ElevenLinesAreShownLearnedAndRefreshTheFillWordsAfterTheTenth) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    int n = 0;
    form.engine = [&n](const std::string&) { return "answer " + std::to_string(++n); };
    const std::size_t before = form.keeper().bot()->lines().size();
    const QString greeting = shown(form);

    for (int i = 1; i <= 11; ++i) {
        sayLine(form, QStringLiteral("line number %1").arg(i));
        EXPECT_EQ(status(form), "You are chatting with Vebix") << i;
        EXPECT_EQ(form.fillWordRefreshes, i >= 10 ? 1 : 0) << i;
        EXPECT_EQ(form.keeper().exchangeCount(), i >= 10 ? i - 9 : i) << i;
        EXPECT_TRUE(child<QLineEdit>(&form, "input")->text().isEmpty());
        EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
    }
    EXPECT_EQ(form.replyCalls, 11);
    ASSERT_EQ(form.keeper().bot()->lines().size(), before + 22);
    const std::string stamp = std::to_string(clock_.nowSeconds());
    EXPECT_EQ(std::string(form.keeper().bot()->lines()[before]),
              "Ann!TAG1 " + stamp + " Ann!TAG1 line number 1");
    EXPECT_EQ(std::string(form.keeper().bot()->lines()[before + 1]),
              "Ann!TAG1 " + stamp + " <ai> answer 1");
    EXPECT_EQ(std::string(form.keeper().bot()->lines()[before + 21]),
              "Ann!TAG1 " + stamp + " <ai> answer 11");

    QString expected = greeting;
    for (int i = 1; i <= 11; ++i)
        expected += QStringLiteral("line number %1\n<Vebix> answer %1\n<Ann> ").arg(i);
    EXPECT_EQ(shown(form), expected);
    EXPECT_EQ(colorOf(form, "answer 11"), colourFor(form, ChatRole::Text));
}

TEST_F(ChatWindow, FillWordsAreRecomputedFromTheConversation) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "zebra zebra"; };
    for (int i = 0; i < 10; ++i) sayLine(form, "zebra zebra zebra");
    const auto& words = form.keeper().bot()->fillWords();
    EXPECT_NE(std::find(words.begin(), words.end(), "zebra"), words.end());
}

TEST_F(ChatWindow, AnEngineThatFindsNothingGivesTheGreyApology) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return std::string(); };
    const std::size_t before = form.keeper().bot()->lines().size();
    const QString greeting = shown(form);
    sayLine(form, "anybody there?");
    EXPECT_EQ(form.replyCalls, 10);
    EXPECT_EQ(shown(form), greeting +
                               "anybody there?\n"
                               "Sorry, Vebix is unable to respond to your previous message.\n"
                               "You can try wording your previous message differently.\n"
                               "<Ann> ");
    EXPECT_EQ(colorOf(form, "Sorry"), colourFor(form, ChatRole::Info));
    EXPECT_EQ(colorOf(form, "You can try"), colourFor(form, ChatRole::Info));
    EXPECT_EQ(form.keeper().bot()->lines().size(), before + 1);  // only the user's line
    EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
}

TEST_F(ChatWindow, ASecondEngineAnswerAfterEmptyOnesIsShown) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    int calls = 0;
    form.engine = [&calls](const std::string&) { return ++calls < 4 ? std::string() : "at last"; };
    sayLine(form, "hello?");
    EXPECT_EQ(form.replyCalls, 4);
    EXPECT_TRUE(shown(form).endsWith("hello?\n<Vebix> at last\n<Ann> "));
}

TEST_F(ChatWindow, TheProbeIsAnsweredAtOnceAndNothingIsLearned) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "never"; };
    const std::size_t before = form.keeper().bot()->lines().size();
    const QString greeting = shown(form);
    sayLine(form, "!#@ ");
    EXPECT_EQ(shown(form), greeting + "!#@\n<Vebix> <mxo1.7.5>\n<Ann> ");
    EXPECT_EQ(form.replyCalls, 0);
    EXPECT_EQ(form.keeper().bot()->lines().size(), before);
}

TEST_F(ChatWindow, ABlankLineIsIgnored) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    const QString greeting = shown(form);
    sayLine(form, "    ");
    EXPECT_EQ(shown(form), greeting);
    EXPECT_EQ(child<QLineEdit>(&form, "input")->text(), "    ");
    EXPECT_EQ(form.keeper().exchangeCount(), 0);
    EXPECT_EQ(form.replyCalls, 0);
}

TEST_F(ChatWindow, EnterInTheInputLineSays) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "yes"; };
    auto* input = child<QLineEdit>(&form, "input");
    typeInto(input, "by keyboard");
    QTest::keyClick(input, Qt::Key_Return);
    EXPECT_TRUE(shown(form).endsWith("by keyboard\n<Vebix> yes\n<Ann> "));
}

// A multi-line paste leaves line feeds in the input line. What is learned is one line, the breaks
// as blanks (the tab stays), the display shows that line rather than the pasted text, and after a
// save the mind reloads with that whole line once: no cut line, no stray records.
TEST_F(ChatWindow, AMultiLinePasteIsLearnedShownAndReloadedAsOneLine) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "noted"; };
    const std::size_t before = form.keeper().bot()->lines().size();
    const QString greeting = shown(form);
    auto* input = child<QLineEdit>(&form, "input");
    const QString pasted = QStringLiteral("first line\nsecond line\nthird\tline");
    input->setText(pasted);
    ASSERT_EQ(input->text(), pasted);
    QTest::keyClick(input, Qt::Key_Return);

    const std::string learned = "first line second line third\tline";
    ASSERT_EQ(form.keeper().bot()->lines().size(), before + 2);
    const std::string stamp = std::to_string(clock_.nowSeconds());
    EXPECT_EQ(std::string(form.keeper().bot()->lines()[before]),
              "Ann!TAG1 " + stamp + " Ann!TAG1 " + learned);
    EXPECT_EQ(shown(form), greeting + QString::fromStdString(learned) + "\n<Vebix> noted\n<Ann> ");

    form.close();
    VebixAi reloaded;
    reloaded.loadFile(spath("Documents/Vebix.mdd"));
    ASSERT_EQ(reloaded.lines().size(), before + 2);
    std::vector<std::string> holding;
    for (std::string_view l : reloaded.lines())
        if (l.find("first line") != std::string_view::npos ||
            l.find("second line") != std::string_view::npos ||
            l.find("third") != std::string_view::npos)
            holding.emplace_back(l);
    ASSERT_EQ(holding.size(), 1u);
    EXPECT_EQ(holding[0], "Ann!TAG1 " + stamp + " Ann!TAG1 " + learned);
}

// The reply is held until 1000 ms after the engine was first asked, when the delay is on; a
// slow engine adds no wait; with the delay off the reply shows at once.
TEST_F(ChatWindow, ResponseDelayCountsFromTheFirstEngineCall) {
    struct Case {
        bool delay;
        std::uint64_t engineMs;
        int heldMs;  // 0: shown before say() returns
    };
    for (const Case c : {Case{true, 0, 1000}, Case{true, 300, 700}, Case{true, 1500, 0},
                         Case{false, 0, 0}, Case{false, 300, 0}}) {
        SCOPED_TRACE(::testing::Message() << "delay " << c.delay << ", engine " << c.engineMs);
        prepare();
        start_.delayResponses = c.delay;
        TestForm form(prompts_, start_);
        startAsAnn(form);
        ConversationTestHelper::setResponseDelayMs(form.conversation(),
                                                   Conversation::kResponseDelayMs);
        form.engine = [this, &c](const std::string&) {
            clock_.advanceMs(c.engineMs);
            return std::string("ok");
        };
        sayLine(form, "hello");
        ASSERT_EQ(form.replyTicks.size(), 1u);
        auto* timer = child<QTimer>(&form, "replyTimer");
        EXPECT_EQ(timer->isActive(), c.heldMs > 0);
        if (c.heldMs > 0) {
            EXPECT_EQ(timer->interval(), c.heldMs);
            EXPECT_FALSE(shown(form).contains("<Vebix> ok"));
            EXPECT_FALSE(child<QPushButton>(&form, "sayBtn")->isEnabled());
            ASSERT_TRUE(finishExchange(form));
        }
        EXPECT_TRUE(shown(form).endsWith("<Vebix> ok\n<Ann> "));
        EXPECT_TRUE(child<QPushButton>(&form, "sayBtn")->isEnabled());
        form.hide();
        prompts_.resetScripts();
    }
}

// While a reply is held, the window paints and its menus open.
TEST_F(ChatWindow, WindowStaysResponsiveDuringTheDelay) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    ConversationTestHelper::setResponseDelayMs(form.conversation(), Conversation::kResponseDelayMs);
    ASSERT_TRUE(form.delaysResponses());
    auto* viewport = child<QTextEdit>(&form, "disp")->viewport();
    QMenu* fileMenu = child<QMenu>(&form, "fileMenu");

    std::vector<bool> paintedWhilePending;
    bool menuOpenWhileWaiting = false;
    bool replyShownWhileWaiting = true;

    struct PaintWatch : QObject {
        std::vector<bool>* painted;
        Conversation* conversation;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) painted->push_back(conversation->exchangePending());
            return false;
        }
    } watch;
    watch.painted = &paintedWhilePending;
    watch.conversation = &form.conversation();
    viewport->installEventFilter(&watch);

    form.engine = [&](const std::string&) {
        // Runs only once the window handles events again, i.e. while the reply is held.
        QTimer::singleShot(0, &form, [&] {
            paintedWhilePending.clear();
            viewport->update();
            fileMenu->popup(form.mapToGlobal(QPoint(0, 0)));
            QTimer::singleShot(0, &form, [&] {
                menuOpenWhileWaiting =
                    fileMenu->isVisible() && form.conversation().exchangePending();
                replyShownWhileWaiting = shown(form).contains("<Vebix> later");
                fileMenu->hide();
            });
        });
        return std::string("later");
    };
    sayLine(form, "are you there?");
    EXPECT_EQ(child<QTimer>(&form, "replyTimer")->interval(), 1000);
    ASSERT_TRUE(finishExchange(form));
    viewport->removeEventFilter(&watch);

    EXPECT_TRUE(menuOpenWhileWaiting);
    EXPECT_FALSE(replyShownWhileWaiting);
    ASSERT_FALSE(paintedWhilePending.empty());
    EXPECT_TRUE(paintedWhilePending.front());
    EXPECT_TRUE(shown(form).endsWith("<Vebix> later\n<Ann> "));
}

// Autosave: (seconds since the last save) + (seconds since the last user line) / 3 must reach
// 180. The mind was made from the template at load time T and not yet written (last save 0),
// so here an existing mind file is loaded instead.
TEST_F(ChatWindow, AutosaveTimerSavesAtAScoreOf180AndNotAt170) {
    {
        TestForm first(prompts_, prepare());
        startAsAnn(first);
        first.engine = [](const std::string&) { return "fine"; };
        sayLine(first, "make the file");
        first.close();
    }
    ASSERT_TRUE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    const std::string saved = readBytes(path("Documents/Vebix.mdd"));

    answerNamePrompt(prompts_, "Ann");
    TestForm form(prompts_, start_);
    showAndLoad(form);
    form.engine = [](const std::string&) { return "sure"; };
    auto* timer = child<QTimer>(&form, "autosaveTimer");
    ASSERT_TRUE(timer->isActive());
    // Load and the line at the same second; the timer fires at once from here on.
    sayLine(form, "remember this");
    timer->setInterval(0);

    clock_.advanceSeconds(128);  // 128 + 42 = 170
    QCoreApplication::processEvents();
    EXPECT_EQ(readBytes(path("Documents/Vebix.mdd")), saved);

    clock_.advanceSeconds(7);  // 135 + 45 = 180
    QCoreApplication::processEvents();
    timer->setInterval(10000);
    const std::string after = readBytes(path("Documents/Vebix.mdd"));
    ASSERT_GT(after.size(), saved.size());
    EXPECT_NE(after.find(" Ann!TAG1 remember this\r\n"), std::string::npos);
    EXPECT_NE(after.find(" <ai> sure\r\n"), std::string::npos);
    EXPECT_EQ(form.keeper().savedCount(), form.keeper().bot()->lines().size());
}

TEST_F(ChatWindow, ClosingSavesOnlyWhenTheUserSpoke) {
    {
        TestForm form(prompts_, prepare());
        startAsAnn(form);
        form.close();
        EXPECT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    }
    answerNamePrompt(prompts_, "Ann");
    TestForm form(prompts_, start_);
    showAndLoad(form);
    form.engine = [](const std::string&) { return "bye then"; };
    sayLine(form, "goodbye");
    form.close();
    const std::string file = readBytes(path("Documents/Vebix.mdd"));
    EXPECT_NE(file.find(" Ann!TAG1 goodbye\r\n"), std::string::npos);
    EXPECT_NE(file.find(" <ai> bye then\r\n"), std::string::npos);
    EXPECT_FALSE(child<QPushButton>(&form, "sayBtn")->isEnabled());
}

// The display takes the room a larger window gives; the input line widens and Say keeps its
// size in the bottom right corner.
TEST_F(ChatWindow, ControlsFollowTheWindowSize) {
    TestForm form(prompts_, start_);
    showAndLoad(form);
    auto* disp = child<QTextEdit>(&form, "disp");
    auto* input = child<QLineEdit>(&form, "input");
    auto* say = child<QPushButton>(&form, "sayBtn");
    const QSize client = form.centralWidget()->size();
    const QRect dispBefore = disp->geometry(), inputBefore = input->geometry(),
                sayBefore = say->geometry();
    form.resize(form.width() + 100, form.height() + 60);
    QCoreApplication::processEvents();
    ASSERT_EQ(form.centralWidget()->size(), client + QSize(100, 60));
    EXPECT_EQ(disp->geometry(), dispBefore.adjusted(0, 0, 100, 60));
    EXPECT_EQ(input->geometry(), inputBefore.adjusted(0, 60, 100, 60));
    EXPECT_EQ(say->geometry(), sayBefore.translated(100, 60));
    testing::expectLaidOut(form);
}

// The conversation already shown takes the colours of a new palette, light to dark and back;
// what is said afterwards has them too.
TEST_F(ChatWindow, ThePaletteChangeRecoloursTheConversation) {
    TestForm form(prompts_, prepare());
    startAsAnn(form);
    form.engine = [](const std::string&) { return "night falls"; };
    sayLine(form, "evening");
    struct Case {
        const char* what;
        QPalette palette;
    };
    const Case cases[] = {
        {"dark", paletteOf(QColor(0x23, 0x26, 0x29), QColor(0xef, 0xf0, 0xf1))},
        {"black", paletteOf(Qt::black, Qt::white)},
        {"light", paletteOf(Qt::white, Qt::black)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        form.setPalette(c.palette);
        const ChatColours expected = chatColours(c.palette);
        EXPECT_EQ(colorOf(form, "Documents"), expected.info);
        EXPECT_EQ(colorOf(form, "<Vebix"), expected.info);
        EXPECT_EQ(colorOf(form, "Vebix> "), expected.botName);
        EXPECT_EQ(colorOf(form, "Ann>"), expected.userName);
        EXPECT_EQ(colorOf(form, "evening"), expected.text);
        EXPECT_EQ(colorOf(form, "night falls"), expected.text);
        form.showPartnerTag(QStringLiteral("Zed"));
        EXPECT_EQ(colorOf(form, "Zed"), expected.partnerName);
        const QColor base = child<QTextEdit>(&form, "disp")->palette().color(QPalette::Base);
        EXPECT_EQ(base, c.palette.color(QPalette::Base));
        for (const QString& text : {QStringLiteral("Documents"), QStringLiteral("Vebix> "),
                                    QStringLiteral("Ann>"), QStringLiteral("Zed")})
            EXPECT_GE(contrastRatio(colorOf(form, text), base), kMinChatContrast)
                << text.toStdString();
    }
    // The light colours are back: the dark ones were not left behind anywhere.
    EXPECT_EQ(colorOf(form, "Vebix> "), QColor(0, 128, 64));
    EXPECT_EQ(colorOf(form, "Ann>"), QColor(0, 0, 255));
}

TEST_F(ChatWindow, RestoringFromMinimisedShowsTheEndOfTheConversation) {
    TestForm form(prompts_, start_);
    showAndLoad(form);
    for (int i = 0; i < 200; ++i)
        form.appendText(QStringLiteral("line %1\r\n").arg(i), ChatRole::Text);
    QScrollBar* bar = child<QTextEdit>(&form, "disp")->verticalScrollBar();
    bar->setValue(0);
    ASSERT_GT(bar->maximum(), 0);
    QWindowStateChangeEvent restored(Qt::WindowMinimized);
    QCoreApplication::sendEvent(&form, &restored);
    EXPECT_EQ(bar->value(), bar->maximum());
}

TEST_F(ChatWindow, DisplayPathShowsTheDocumentsFolderByItsName) {
    struct Case {
        QString mind;
        QString shown;
    };
    const QString docs = path("Documents");
    for (const Case& c : {Case{docs + "/Vebix.mdd", "Documents/Vebix.mdd"},
                          Case{docs + "/bots/Ann.mdd", "Documents/bots/Ann.mdd"},
                          Case{path("elsewhere/x.mdd"), path("elsewhere/x.mdd")},
                          Case{docs + "2/x.mdd", docs + "2/x.mdd"}}) {
        EXPECT_EQ(VebixForm::displayPath(c.mind.toStdString(), spath("Documents")), c.shown)
            << c.mind.toStdString();
    }
    EXPECT_EQ(VebixForm::displayPath((docs + "/Vebix.mdd").toStdString(), {}), docs + "/Vebix.mdd");
}

TEST_F(ChatWindow, AnExistingMindOpensWithProbabilityOneHalf) {
    {
        TestForm first(prompts_, prepare());
        startAsAnn(first);
        first.engine = [](const std::string&) { return "ok"; };
        sayLine(first, "save me");
        first.close();
    }
    int opened = 0;
    for (int run = 0; run < 40; ++run) {
        start_.mindPath = spath("Documents/Vebix.mdd");
        answerNamePrompt(prompts_, "Ann");
        TestForm form(prompts_, start_);
        showAndLoad(form);
        const bool opens = shown(form).split('\n').size() == 4;
        EXPECT_EQ(status(form), opens ? "Vebix is waiting for your response"
                                      : "Vebix is waiting for you to start chatting");
        opened += opens;
        form.hide();
    }
    EXPECT_GT(opened, 5);
    EXPECT_LT(opened, 35);
}

}  // namespace
}  // namespace vebix
