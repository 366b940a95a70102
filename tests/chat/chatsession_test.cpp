// The chat session every front end runs, with a scripted front end: opening a new or existing
// mind, a mind held elsewhere and each answer to it, the name and the greeting, the autosave's
// failure notice, and closing after a failed save with each answer.
#include "app/chat/chatsession.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <memory>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/mind/mindkeeper.h"
#include "app/mind/vebixai.h"
#include "app/platform/settings.h"
#include "engine/base/clock.h"
#include "engine/base/random.h"
#include "support/fakeclock.h"
#include "support/userfolders.h"

namespace vebix {
namespace {

using AfterFailedSave = ChatSession::AfterFailedSave;

const char* const kMind =
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n"
    "$ 1001 $a Hi.\r\n$ 1002 $b Hello there.\r\n";

// Answers from queues, each with an optional step taken just before it is given (a disk made
// writable again); a question nobody scripted fails the test. Everything asked and shown is
// recorded in order.
class ScriptedFrontEnd : public ChatSession::FrontEnd {
public:
    struct SaveAnswer {
        AfterFailedSave answer;
        std::function<void()> before = {};
    };

    std::deque<std::string> heldMindAnswers;
    std::deque<std::optional<std::string>> nameAnswers;
    std::deque<SaveAnswer> saveAnswers;
    std::deque<std::string> saveAsPaths;
    std::vector<std::string> events;
    std::vector<ChatSession::SaveFailure> failures;

    std::string askAboutHeldMind(const std::string& path) override {
        events.push_back("held? " + path);
        if (heldMindAnswers.empty()) return unscripted("askAboutHeldMind"), std::string();
        std::string answer = heldMindAnswers.front();
        heldMindAnswers.pop_front();
        return answer;
    }
    std::optional<std::string> askName(const ChatSession::NameQuestion& question) override {
        events.push_back("name? " + question.fallback());
        if (nameAnswers.empty()) return unscripted("askName"), std::nullopt;
        std::optional<std::string> answer = nameAnswers.front();
        nameAnswers.pop_front();
        return answer;
    }
    AfterFailedSave askAfterFailedSave(const ChatSession::SaveFailure& failure) override {
        events.push_back("failed save?");
        failures.push_back(failure);
        if (saveAnswers.empty()) return unscripted("askAfterFailedSave"), AfterFailedSave::KeepOpen;
        SaveAnswer answer = saveAnswers.front();
        saveAnswers.pop_front();
        if (answer.before) answer.before();
        return answer.answer;
    }
    std::string askSaveAsPath(const std::string&) override {
        events.push_back("save as?");
        if (saveAsPaths.empty()) return unscripted("askSaveAsPath"), std::string();
        std::string path = saveAsPaths.front();
        saveAsPaths.pop_front();
        return path;
    }

    void showLoading() override { events.push_back("loading"); }
    void showMindLoaded(const std::string& path) override { events.push_back("loaded " + path); }
    void showGreeting(const std::string& name, const std::string& opening) override {
        events.push_back("hi " + name);
        greetingOpening = opening;
    }
    void showClosing() override { events.push_back("closing"); }
    void showSaveFailing(const std::string&) override { events.push_back("save failing"); }
    void showSaveFailingOver() override { events.push_back("save failing over"); }
    void showSaveAsRefused(const std::string&) override { events.push_back("save as refused"); }
    void showRescued(const std::string& path, std::size_t unsavedLines, bool whole) override {
        events.push_back("rescued " + std::to_string(unsavedLines) + (whole ? " whole" : ""));
        rescuedTo = path;
    }
    void showRescueFailed(const std::string&, std::size_t) override {
        events.push_back("rescue failed");
    }

    std::string greetingOpening;
    std::string rescuedTo;

private:
    static void unscripted(const char* question) { ADD_FAILURE() << "unscripted " << question; }
};

class ChatSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(QDir().mkpath(work()));
        rng::seed(7);
    }

    // The minds' folder, apart from the user's folders.
    QString work() const { return QDir(tmp_.path()).filePath(QStringLiteral("work")); }
    std::string path(const char* name) const {
        return QDir(work()).filePath(QString::fromUtf8(name)).toStdString();
    }
    std::string writeMind(const char* name) const {
        const std::string file = path(name);
        QFile out(QString::fromStdString(file));
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(kMind);
        return file;
    }
    static std::string read(const std::string& file) {
        QFile in(QString::fromStdString(file));
        if (!in.open(QIODevice::ReadOnly)) return {};
        return in.readAll().toStdString();
    }
    std::unique_ptr<ChatSession> session(ChatSession::FrontEnd& frontEnd) {
        return std::make_unique<ChatSession>(frontEnd,
                                             ChatSession::Options{.localTag = "T",
                                                                  .loginName = std::string("login"),
                                                                  .delayResponses = false,
                                                                  .prepareReplies = false});
    }
    // Opens the mind at file as Ann and teaches it a line, so that closing must save.
    void openAndLearn(ChatSession& chat, ScriptedFrontEnd& frontEnd, const std::string& file) {
        frontEnd.nameAnswers.push_back("Ann");
        ASSERT_EQ(chat.open(file), ChatSession::Opened::Greeted);
        chat.keeper().bot()->addLine(chat.speakerId(), "1700000100", chat.speakerId(),
                                     "a line worth keeping");
        chat.keeper().noteLearned();
    }
    // Takes the mind file's place with a folder, so that no save can go there.
    void breakMind(const std::string& file) const {
        ASSERT_TRUE(
            QDir().rename(QString::fromStdString(file), QString::fromStdString(file + ".moved")));
        ASSERT_TRUE(QDir().mkdir(QString::fromStdString(file)));
    }
    void mendMind(const std::string& file) const {
        ASSERT_TRUE(QDir().rmdir(QString::fromStdString(file)));
        ASSERT_TRUE(
            QDir().rename(QString::fromStdString(file + ".moved"), QString::fromStdString(file)));
    }

    FakeClock clock_{1700000000};
    ScopedClock scoped_{clock_};
    QTemporaryDir tmp_;
    testing::ScopedUserFolders folders_{QDir(tmp_.path()).filePath(QStringLiteral("home"))};
};

// A new mind always opens the conversation with a line of its own; a name not given ends the
// session with nothing written and nothing recorded.
TEST_F(ChatSessionTest, OpeningANewOrExistingMindAsksTheNameAndGreets) {
    struct Case {
        const char* what;
        bool existing;
        std::optional<std::string> name;
        ChatSession::Opened opened;
    };
    const Case cases[] = {
        {"existing, named", true, "Ann", ChatSession::Opened::Greeted},
        {"new, named", false, "Ann", ChatSession::Opened::Greeted},
        {"existing, nobody", true, std::nullopt, ChatSession::Opened::Ended},
        {"new, nobody", false, std::nullopt, ChatSession::Opened::Ended},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(QString::fromStdString(path("mind.mdd")));
        const Settings::KeyInfo& name = Settings::info(Settings::Key::LastUserName);
        Settings().removeValue(name.group, name.name);
        const std::string file = c.existing ? writeMind("mind.mdd") : path("mind.mdd");
        const std::string before = read(file);
        ScriptedFrontEnd frontEnd;
        frontEnd.nameAnswers.push_back(c.name);
        auto chat = session(frontEnd);
        EXPECT_EQ(chat->open(file), c.opened);

        std::vector<std::string> expected = {"loading", "loaded " + file, "name? login"};
        if (c.name) expected.push_back("hi " + *c.name);
        EXPECT_EQ(frontEnd.events, expected);
        if (!c.name) {
            EXPECT_FALSE(chat->keeper().bot());
            EXPECT_EQ(chat->close(), ChatSession::Closed::Saved);
            EXPECT_EQ(read(file), before) << "nothing written";
            EXPECT_FALSE(Settings().findString(Settings::Key::LastUserName));
            continue;
        }
        EXPECT_EQ(chat->speakerId(), *c.name + "!T");
        EXPECT_EQ(Settings().findString(Settings::Key::LastUserName), *c.name);
        EXPECT_EQ(Settings().findString(Settings::Key::LastMindFile), file);
        if (!c.existing) {
            EXPECT_FALSE(frontEnd.greetingOpening.empty());
        }
        if (!frontEnd.greetingOpening.empty()) {
            const std::string last(chat->keeper().bot()->lines().back());
            EXPECT_EQ(last.substr(0, chat->speakerId().size()), chat->speakerId()) << last;
            EXPECT_TRUE(last.ends_with("<ai> " + frontEnd.greetingOpening)) << last;
        }
        EXPECT_EQ(chat->close(), ChatSession::Closed::Saved);
    }
}

// Another front end holds the mind: the answer opens it anyway, loads another one, or none.
TEST_F(ChatSessionTest, AMindHeldElsewhereIsOpenedOnlyAsAnswered) {
    const std::string held = writeMind("held.mdd");
    const std::string other = writeMind("other.mdd");
    MindKeeper holder(MindKeeper::Use::Converse);
    ASSERT_EQ(holder.loadMind(held), MindKeeper::Loaded::Existing);
    struct Case {
        const char* what;
        std::string answer;
        ChatSession::Opened opened;
        std::string loaded;  // the mind loaded, or empty
    };
    const Case cases[] = {
        {"open it anyway", held, ChatSession::Opened::Greeted, held},
        {"another mind instead", other, ChatSession::Opened::Greeted, other},
        {"none", "", ChatSession::Opened::NoMind, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedFrontEnd frontEnd;
        frontEnd.heldMindAnswers.push_back(c.answer);
        if (!c.loaded.empty()) frontEnd.nameAnswers.push_back("Ann");
        auto chat = session(frontEnd);
        EXPECT_EQ(chat->open(held), c.opened);
        ASSERT_GE(frontEnd.events.size(), 2u);
        EXPECT_EQ(frontEnd.events[1], "held? " + held);
        EXPECT_EQ(chat->keeper().bot() != nullptr, !c.loaded.empty());
        if (!c.loaded.empty()) {
            EXPECT_EQ(chat->keeper().mindPath(), c.loaded);
        }
        EXPECT_EQ(chat->close(), ChatSession::Closed::Saved);
    }
    // Nobody there to ask: a held mind is left to its holder.
    ChatSession::UnattendedFrontEnd nobody;
    auto chat = session(nobody);
    EXPECT_EQ(chat->open(held), ChatSession::Opened::NoMind);
    EXPECT_FALSE(chat->keeper().bot());
}

// Closing cannot save: each answer, and what is left on disk and in the session.
TEST_F(ChatSessionTest, AFailedSaveOnClosingIsSettledAsAnswered) {
    using Answer = ScriptedFrontEnd::SaveAnswer;
    struct Case {
        const char* what;
        std::vector<Answer> answers;  // the fix, when a case has one, is taken by the test
        std::vector<std::string> saveAsPaths;
        ChatSession::Closed closed;
        bool kept;         // the line is in the mind's own file afterwards
        bool inOther;      // the line is in other.mdd
        bool rescued;      // the line is in a rescue file
        bool stillLoaded;  // the mind is still open in the session, its lines unsaved
        std::vector<bool> newFailures;
    };
    const std::string file = path("mind.mdd");
    const std::string other = path("other.mdd");
    auto mend = [this, file] { mendMind(file); };
    const Case cases[] = {
        {"try again after mending",
         {{AfterFailedSave::TryAgain, mend}},
         {},
         ChatSession::Closed::Saved,
         true,
         false,
         false,
         false,
         {true}},
        {"try again unmended, then discard",
         {{AfterFailedSave::TryAgain}, {AfterFailedSave::Discard, mend}},
         {},
         ChatSession::Closed::Discarded,
         false,
         false,
         false,
         false,
         {true, true}},
        {"save as another file",
         {{AfterFailedSave::SaveAs}},
         {other},
         ChatSession::Closed::Saved,
         false,
         true,
         false,
         false,
         {true}},
        {"save as nothing, then rescue",
         {{AfterFailedSave::SaveAs}, {AfterFailedSave::Rescue}},
         {""},
         ChatSession::Closed::Rescued,
         false,
         false,
         true,
         false,
         {true, false}},
        {"keep open",
         {{AfterFailedSave::KeepOpen}},
         {},
         ChatSession::Closed::KeptOpen,
         false,
         false,
         false,
         true,
         {true}},
        {"discard",
         {{AfterFailedSave::Discard}},
         {},
         ChatSession::Closed::Discarded,
         false,
         false,
         false,
         false,
         {true}},
        {"rescue",
         {{AfterFailedSave::Rescue}},
         {},
         ChatSession::Closed::Rescued,
         false,
         false,
         true,
         false,
         {true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(work()).removeRecursively();
        QDir().mkpath(work());
        writeMind("mind.mdd");
        ScriptedFrontEnd frontEnd;
        auto chat = session(frontEnd);
        openAndLearn(*chat, frontEnd, file);
        breakMind(file);
        for (const Answer& answer : c.answers) frontEnd.saveAnswers.push_back(answer);
        for (const std::string& p : c.saveAsPaths) frontEnd.saveAsPaths.push_back(p);

        const std::size_t unsaved = chat->keeper().unsavedLineCount();
        ASSERT_GE(unsaved, 1u);
        EXPECT_EQ(chat->close(), c.closed);
        EXPECT_TRUE(frontEnd.saveAnswers.empty()) << "answers left over";
        ASSERT_EQ(frontEnd.failures.size(), c.newFailures.size());
        for (std::size_t i = 0; i < c.newFailures.size(); ++i) {
            EXPECT_EQ(frontEnd.failures[i].newFailure, c.newFailures[i]) << i;
            EXPECT_FALSE(frontEnd.failures[i].reason.empty());
            EXPECT_EQ(frontEnd.failures[i].unsavedLines, unsaved);
        }
        const std::string line = "a line worth keeping";
        if (QFileInfo(QString::fromStdString(file)).isFile())
            EXPECT_EQ(read(file).find(line) != std::string::npos, c.kept);
        else
            EXPECT_FALSE(c.kept);
        EXPECT_EQ(read(other).find(line) != std::string::npos, c.inOther);
        if (c.inOther) {
            EXPECT_EQ(Settings().findString(Settings::Key::LastMindFile), other);
        }
        EXPECT_EQ(!frontEnd.rescuedTo.empty(), c.rescued);
        if (c.rescued) {
            EXPECT_EQ(QFileInfo(QString::fromStdString(frontEnd.rescuedTo)).absolutePath(), work());
            EXPECT_NE(read(frontEnd.rescuedTo).find(line), std::string::npos);
        }
        if (c.closed != ChatSession::Closed::Saved) {
            EXPECT_EQ(chat->keeper().bot() != nullptr, c.stillLoaded);
        }
        if (c.stillLoaded) {
            EXPECT_TRUE(chat->keeper().hasUnsavedLines());
            mendMind(file);
            EXPECT_EQ(chat->close(), ChatSession::Closed::Saved);
            EXPECT_NE(read(file).find(line), std::string::npos);
        }
    }
}

// A failing autosave is told once however many ticks fail, and its end once when a save works.
TEST_F(ChatSessionTest, AFailingAutosaveIsToldOnceAndItsEndOnce) {
    const std::string file = writeMind("mind.mdd");
    ScriptedFrontEnd frontEnd;
    auto chat = session(frontEnd);
    openAndLearn(*chat, frontEnd, file);
    auto* timer = chat->findChild<QTimer*>(QStringLiteral("autosaveTimer"));
    ASSERT_TRUE(timer);
    EXPECT_TRUE(timer->isActive());
    auto tick = [&] {
        clock_.advanceSeconds(600);
        ASSERT_TRUE(QMetaObject::invokeMethod(timer, "timeout", Qt::DirectConnection));
    };
    auto told = [&](const char* what) {
        return std::count(frontEnd.events.begin(), frontEnd.events.end(), what);
    };
    breakMind(file);
    for (int i = 0; i < 3; ++i) tick();
    EXPECT_EQ(told("save failing"), 1);
    EXPECT_TRUE(chat->saveFailing());
    EXPECT_EQ(told("save failing over"), 0);
    mendMind(file);
    tick();
    tick();
    EXPECT_EQ(told("save failing over"), 1);
    EXPECT_FALSE(chat->saveFailing());
    EXPECT_NE(read(file).find("a line worth keeping"), std::string::npos);
    EXPECT_EQ(chat->close(), ChatSession::Closed::Saved);
}

}  // namespace
}  // namespace vebix
