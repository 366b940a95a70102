// Link mode in the real window: its start checks, and two copies of the program linked through
// the real CHAT.MSG exchange (this process's window on one side, the built program in bot mode
// on the other).

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/udlp/botfinder.h"
#include "app/mind/templatemind.h"
#include "app/udlp/udlpinfo.h"
#include "app/mind/vebixai.h"
#include "app/gui/botlinkthread.h"
#include "app/gui/findudlpbotform.h"
#include "app/gui/translations.h"
#include "guitestsupport.h"
#include "windowlayout.h"

using namespace vebix;
using namespace vebix::testing;

namespace {

// A window whose link mode is the real one.
class LinkForm : public VebixForm {
public:
    using VebixForm::VebixForm;
    bool programEnded = false;

protected:
    void endProgram() override { programEnded = true; }
};

// This process's children that are still running (zombies are not).
std::vector<std::string> runningChildren() {
    std::vector<std::string> found;
    const std::string me = std::to_string(::getpid());
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream in(entry.path() / "stat");
        std::string stat;
        if (!std::getline(in, stat)) continue;
        // pid (comm) state ppid ...
        const auto close = stat.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(stat.substr(close + 2));
        std::string state, ppid;
        rest >> state >> ppid;
        if (ppid == me && state != "Z") found.push_back(stat.substr(0, close + 1));
    }
    return found;
}

// The template mind under another bot name.
std::string templateNamed(const std::string& name) {
    std::string text(templateMindText());
    const std::string from = "\"Vebix\"";
    text.replace(text.find(from), from.size(), "\"" + name + "\"");
    return text;
}

int countOf(const QString& text, const QString& what) { return text.count(what); }

class LinkModeTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ownMind_ = spath("Own.mdd");
        start_.mindPath = ownMind_;
        start_.delayResponses = false;
        QDir(tmp_.path()).mkpath("home");
        savedHome_ = qgetenv("HOME");
        savedConfig_ = qgetenv("XDG_CONFIG_HOME");
        // The other copy of the program runs with these.
        qputenv("HOME", path("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", path("home").toUtf8());
    }
    void TearDown() override {
        // Closing the window ended link mode and the other bot with it: nothing is left
        // running to wake up later in a folder that is gone.
        EXPECT_EQ(runningChildren(), std::vector<std::string>{});
        qputenv("HOME", savedHome_);
        qputenv("XDG_CONFIG_HOME", savedConfig_);
        WindowTest::TearDown();
    }

    // This side: a mind "Own.mdd" from the template (the window's start mind), loaded into the
    // window, UDLP enabled for it.
    void loadOwnBot(LinkForm& form, bool learn) {
        writeBytes(path("Own.mdd"), std::string(templateMindText()));
        writeUdlpFiles("Vebix", fullPath(ownMind_), learn, programPath());
        answerNamePrompt(prompts_, "Ann");
        showAndLoad(form);
        ASSERT_TRUE(form.keeper().isBotLoaded());
    }
    // The other side: a copy of the program in its own folder, with its own mind and UDLP files.
    void makeOtherBot(bool learn) {
        QDir(tmp_.path()).mkpath("Bea");
        otherFolder_ = spath("Bea");
        otherMind_ = otherFolder_ + "/Bea.mdd";
        writeBytes(path("Bea/Bea.mdd"), templateNamed("Bea"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VEBIX_EXE), path("Bea/vebix")));
        std::string header = "2\r\n0\r\nvebix\r\nBea\r\n";
        writeBytes(path("Bea/UDLP.NFO"), header);
        writeBytes(path("Bea/UDLPX.NFO"),
                   header + "mind=" + otherMind_ + "\r\nexepath=" + otherFolder_ +
                       "/vebix\r\nshowerrors=false\r\nlearn=" + (learn ? "true" : "false") +
                       "\r\n");
    }
    // The find dialog answers with the bot in folder.
    void chooseBotIn(const std::string& folder) {
        prompts_.queueScript("FindUdlpBotForm", [folder](QDialog& dialog) {
            auto& finder = static_cast<FindUdlpBotForm&>(dialog);
            finder.runInitialSearch();
            typeInto(child<QLineEdit>(&dialog, "botFolderBox"), QString::fromStdString(folder));
            click(child<QPushButton>(&dialog, "okBtn"));
        });
    }
    // Runs the window's events until the other bot has answered turns times (or a minute went).
    static bool runTurns(VebixForm& form, int turns) {
        QDeadlineTimer deadline(60000);
        while (countOf(shown(form), "<Bea> ") < turns && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return countOf(shown(form), "<Bea> ") >= turns;
    }
    static std::vector<std::string> mindLines(const std::string& file) {
        VebixAi ai;
        ai.loadFile(file);
        return {ai.lines().begin(), ai.lines().end()};
    }

    std::string ownMind_, otherFolder_, otherMind_;
    QByteArray savedHome_, savedConfig_;
};

}  // namespace

TEST_F(LinkModeTest, StartChecks) {
    LinkForm form(prompts_, start_);
    loadOwnBot(form, false);
    prompts_.clearAnsweredBoxes();

    QFile::remove(path("bin/UDLPX.NFO"));
    form.linkBots();
    writeUdlpFiles("Vebix", "/somewhere/else.mdd", false, programPath());
    form.linkBots();
    writeUdlpFiles("Vebix", fullPath(ownMind_), false, programPath());
    prompts_.queueScript("FindUdlpBotForm", [](QDialog& d) { d.reject(); });
    form.linkBots();
    // OK on a folder that holds a UDLP.NFO of another version: no bot to link with.
    QDir(tmp_.path()).mkpath("Old");
    writeBytes(path("Old/UDLP.NFO"), "1\r\n0\r\nold\r\nOld\r\n");
    chooseBotIn(spath("Old"));
    form.linkBots();

    EXPECT_EQ(prompts_.answeredBoxes(),
              (QStringList{"UDLP: You must first enable UDLP",
                           "UDLP: UDLP is enabled for a different Vebix bot; you must enable UDLP "
                           "for this bot or load the desired mind file",
                           "UDLP: Problem interfacing with UDLP bot"}));
    EXPECT_EQ(form.linkThread(), nullptr);
    EXPECT_EQ(form.windowTitle(), "Vebix " + fromUtf8(release::kVersion));
}

TEST_F(LinkModeTest, TwoCopiesTalkForTwentyTurns) {
    LinkForm form(prompts_, start_);
    loadOwnBot(form, true);
    makeOtherBot(false);
    const std::string otherBytes = readBytes(path("Bea/Bea.mdd"));
    const std::size_t ownLinesBefore = mindLines(ownMind_).size();

    chooseBotIn(otherFolder_);
    form.linkBots();
    ASSERT_NE(form.linkThread(), nullptr);

    // The window is link mode's: title, Exit button, no input line, both bots named, the plain
    // menu entries gone.
    EXPECT_EQ(form.windowTitle(), "Vebix " + fromUtf8(release::kVersion) + " - Link Mode");
    EXPECT_EQ(child<QPushButton>(&form, "sayBtn")->text(), "E&xit");
    EXPECT_FALSE(child<QLineEdit>(&form, "input")->isVisible());
    EXPECT_EQ(child<QLabel>(&form, "linkBotName1")->text(), "Vebix");
    EXPECT_EQ(child<QLabel>(&form, "linkBotName2")->text(), "Bea");
    EXPECT_TRUE(child<QLabel>(&form, "linkBotPic2")->isVisible());
    // The two bots take the input line's place in the bottom row, left to right, Exit last.
    QCoreApplication::processEvents();
    vebix::testing::expectLaidOut(form);
    int left = -1;
    for (const char* name : {"linkBotPic1", "linkBotName1", "linkBotPic2", "linkBotName2"}) {
        const QRect r = child<QLabel>(&form, name)->geometry();
        EXPECT_GT(r.left(), left) << name;
        EXPECT_LT(r.right(), child<QPushButton>(&form, "sayBtn")->geometry().left()) << name;
        left = r.right();
    }
    QStringList entries;
    for (QAction* top : form.menuBar()->actions()) {
        entries << top->objectName();
        if (top->menu())
            for (QAction* a : top->menu()->actions()) entries << a->objectName();
    }
    EXPECT_FALSE(entries.contains("newMindItem"));
    EXPECT_FALSE(entries.contains("linkBotsItem"));
    EXPECT_TRUE(entries.contains("exitItem")) << entries.join(",").toStdString();
    EXPECT_TRUE(shown(form).startsWith("Linked bots Vebix and Bea\n\n"));

    ASSERT_TRUE(runTurns(form, 20)) << shown(form).toStdString();
    EXPECT_EQ(status(form), "Link Mode: Vebix and Bea");
    EXPECT_EQ(countOf(shown(form), "was unable to respond"), 0) << shown(form).toStdString();

    // Exit ends link mode, then saves what this side learned.
    click(child<QPushButton>(&form, "sayBtn"));
    QCoreApplication::processEvents();
    EXPECT_EQ(form.linkThread(), nullptr);

    // Every line shown was learned on this side, in pairs: its own line and Bea's answer.
    const QString text = shown(form);
    const int beaLines = countOf(text, "<Bea> ");
    auto own = mindLines(ownMind_);
    ASSERT_EQ(own.size(), ownLinesBefore + 2 * static_cast<std::size_t>(beaLines));
    for (std::size_t i = ownLinesBefore; i < own.size(); i += 2) {
        MindLine mine = parseLine(own[i], AiSuffix::Keep);
        MindLine hers = parseLine(own[i + 1], AiSuffix::Keep);
        EXPECT_EQ(mine.key, "Bea!Bea");
        EXPECT_EQ(mine.speaker, "<ai>");
        EXPECT_EQ(hers.speaker, "Bea!Bea");
        EXPECT_TRUE(text.contains(
            "<Bea> " +
            QString::fromUtf8(hers.text.data(), static_cast<qsizetype>(hers.text.size())) + "\n"));
    }
    // Bea's side has learning off: its mind is byte for byte as it was, and it still loads.
    EXPECT_EQ(readBytes(path("Bea/Bea.mdd")), otherBytes);
    EXPECT_FALSE(mindLines(otherMind_).empty());
}

TEST_F(LinkModeTest, OnlyAnsweredLinesAreLearnedOnTheOtherSide) {
    LinkForm form(prompts_, start_);
    loadOwnBot(form, false);
    makeOtherBot(true);
    const std::size_t otherBefore = mindLines(otherMind_).size();
    const std::string ownBytes = readBytes(path("Own.mdd"));
    chooseBotIn(otherFolder_);
    form.linkBots();
    ASSERT_TRUE(runTurns(form, 5));
    form.close();
    QCoreApplication::processEvents();
    // Closing waited for the copy that was answering, if one was: Bea has ended and saved.
    EXPECT_EQ(runningChildren(), std::vector<std::string>{});
    EXPECT_FALSE(QFile::exists(path("Bea/CHAT.MSG")));
    // Bea learned two lines for every line it answered: each shown here, and at most one
    // more exchange that was in flight when the window closed (answered, never shown). This
    // side, with learning off, learned nothing.
    const QString text = shown(form);
    const std::size_t shownPairs = 2 * static_cast<std::size_t>(countOf(text, "<Bea> "));
    const auto other = mindLines(otherMind_);
    const std::size_t learned = other.size() - otherBefore;
    EXPECT_TRUE(learned == shownPairs || learned == shownPairs + 2)
        << learned << " lines learned, " << shownPairs << " shown";
    for (std::size_t i = otherBefore + 1; i < otherBefore + shownPairs; i += 2) {
        const std::string said(parseLine(other[i], AiSuffix::Keep).text);
        EXPECT_TRUE(text.contains("<Bea> " + QString::fromStdString(said) + "\n")) << said;
    }
    EXPECT_EQ(readBytes(path("Own.mdd")), ownBytes);
}

TEST_F(LinkModeTest, ClosingInTheMiddleOfATurnEndsLinkModeAndSavesWhatWasLearned) {
    LinkForm form(prompts_, start_);
    loadOwnBot(form, true);
    // A bot that answers twice, then takes its time until the test lets it go.
    QDir(tmp_.path()).mkpath("Slow");
    const std::string folder = spath("Slow");
    ASSERT_EQ(::mkfifo((folder + "/release").c_str(), 0600), 0);
    writeBytes(path("Slow/bot.sh"),
               "#!/bin/sh\n"
               "n=$(( $(cat turn 2>/dev/null || echo 0) + 1 )); echo $n > turn\n"
               "if [ $n -gt 2 ]; then read line < release; fi\n"
               "printf 'Answer %s\\r\\n' $n > CHAT.MSG\n");
    QFile::setPermissions(path("Slow/bot.sh"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    writeBytes(path("Slow/UDLP.NFO"), "2\r\n0\r\nbot.sh\r\nBea\r\n");
    chooseBotIn(folder);
    form.linkBots();
    ASSERT_TRUE(runTurns(form, 2));
    // The third request is out: wait until the bot has started on it.
    QDeadlineTimer deadline(30000);
    while (readBytes(path("Slow/turn")) != "3\n" && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ASSERT_EQ(readBytes(path("Slow/turn")), "3\n");

    // The bot will not end by itself: closing gives it the whole exit wait before ending it,
    // and still waits for link mode's thread rather than leaving it behind. The waits are the
    // window clock's: from here on they pass at once, moving it by the time they were given.
    form.linkThread()->requestStop();
    const std::uint64_t before = clock_.tickMs();
    clock_.expireWaits();
    form.close();
    EXPECT_EQ(form.linkThread(), nullptr);
    EXPECT_GE(clock_.tickMs() - before, kLinkExitWaitMs);
    // The bot was ended (nobody reads its release pipe) and its folder holds no request.
    EXPECT_EQ(::open((folder + "/release").c_str(), O_WRONLY | O_NONBLOCK), -1);
    EXPECT_EQ(errno, ENXIO);
    EXPECT_FALSE(QFile::exists(path("Slow/CHAT.MSG")));
    // The two answered exchanges were learned and saved.
    auto own = mindLines(ownMind_);
    ASSERT_GE(own.size(), 4u);
    EXPECT_EQ(parseLine(own[own.size() - 3], AiSuffix::Keep).text, "Answer 1");
    EXPECT_EQ(parseLine(own.back(), AiSuffix::Keep).text, "Answer 2");
}

TEST_F(LinkModeTest, LinkBotsChosenWhileAReplyWaitsStartsAfterIt) {
    LinkForm form(prompts_, start_);
    loadOwnBot(form, true);
    makeOtherBot(false);
    const std::size_t ownLinesBefore = mindLines(ownMind_).size();
    chooseBotIn(otherFolder_);
    // Tools > Link Bots while the reply is held for its delay.
    form.toggleDelay();
    ASSERT_TRUE(form.delaysResponses());
    bool chosenDuringReply = false;
    VebixForm::BotLinkThread* threadThen = nullptr;
    QTimer::singleShot(0, &form, [&] {
        form.linkBots();
        chosenDuringReply = true;
        threadThen = form.linkThread();
    });
    sayLine(form, "Tell me about yourself");
    ASSERT_TRUE(form.conversation().exchangePending());
    QDeadlineTimer chosen(30000);
    while (!chosenDuringReply && !chosen.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ASSERT_TRUE(chosenDuringReply);
    EXPECT_EQ(threadThen, nullptr);
    form.toggleDelay();

    // Then link mode starts, with the exchange already shown and learned before it.
    QDeadlineTimer deadline(30000);
    while (!form.linkThread() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    ASSERT_NE(form.linkThread(), nullptr);
    ASSERT_TRUE(runTurns(form, 2)) << shown(form).toStdString();
    form.close();
    const QString text = shown(form);
    EXPECT_TRUE(text.startsWith("Linked bots Vebix and Bea\n\n")) << text.toStdString();
    EXPECT_FALSE(text.contains("<Ann>")) << text.toStdString();
    // Learned in order: the user's line, its reply, then the link's lines.
    const auto own = mindLines(ownMind_);
    std::size_t at = ownLinesBefore;
    while (at < own.size() && parseLine(own[at], AiSuffix::Keep).text != "Tell me about yourself")
        ++at;
    ASSERT_LT(at + 2, own.size());
    const MindLine said = parseLine(own[at], AiSuffix::Keep);
    const MindLine answered = parseLine(own[at + 1], AiSuffix::Keep);
    EXPECT_EQ(answered.speaker, "<ai>");
    EXPECT_EQ(answered.key, said.speaker);
    EXPECT_EQ(parseLine(own[at + 2], AiSuffix::Keep).key, "Bea!Bea");
}

// A bot whose program is gone ends link mode at once, and the window says so in its own
// language: plain English without a translation, none of it under the pseudo-translation.
TEST_F(LinkModeTest, ABotWhoseProgramIsGoneEndsLinkModeInTheWindowsLanguage) {
    QDir(tmp_.path()).mkpath("Gone");
    writeBytes(path("Gone/UDLP.NFO"), "2\r\n0\r\nvebix\r\nGone\r\n");
    for (const bool pseudo : {false, true}) {
        std::optional<Translations> translations;
        if (pseudo) {
            translations.emplace(QLocale::c(), QString());
            ASSERT_TRUE(translations->installFile(QStringLiteral(VEBIX_PSEUDO_QM)));
        }
        LinkForm form(prompts_, start_);
        loadOwnBot(form, false);
        chooseBotIn(spath("Gone"));
        form.linkBots();
        ASSERT_NE(form.linkThread(), nullptr) << pseudo;
        QDeadlineTimer deadline(60000);
        while (!form.linkThread()->loopEnded() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        ASSERT_TRUE(form.linkThread()->loopEnded()) << pseudo;
        QCoreApplication::processEvents();
        const QString said = status(form);
        if (pseudo) {
            EXPECT_FALSE(said.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}"))))
                << said.toStdString();
            EXPECT_EQ(said, QCoreApplication::translate("vebix::BotLinkThread", "Link Mode ended"));
        } else {
            EXPECT_EQ(said, "Link Mode ended");
        }
        form.close();
        QCoreApplication::processEvents();
    }
}
