#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/fakeclock.h"
#include "engine/base/random.h"
#include "app/udlp/linkloop.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"

using namespace vebix;
namespace fs = std::filesystem;

namespace {

// Records what the loop shows; stops it after a number of the loaded bot's lines.
class RecordingWindow : public LinkLoop::Window {
public:
    void showBotLine(std::string_view text) override {
        events.push_back("bot: " + std::string(text));
        if (++botLines >= stopAfterBotLines && loop) loop->requestStop();
    }
    void showPartnerLine(std::string_view name, std::string_view text) override {
        events.push_back(std::string(name) + ": " + std::string(text));
    }
    void showInfo(std::string_view text) override {
        events.push_back("info: " + std::string(text));
    }
    void setStatus(std::string_view text) override {
        status = text;
        if (onStatus) onStatus();
    }
    void showError(std::string_view text) override { errors.emplace_back(text); }
    void markLearned() override { learned = true; }

    std::vector<std::string> events, errors;
    std::string status;
    bool learned = false;
    int botLines = 0;
    int stopAfterBotLines = 4;
    LinkLoop* loop = nullptr;
    std::function<void()> onStatus;
};

class LinkLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vebix-linkloop-XXXXXX";
        root_ = ::mkdtemp(tmpl);
        rng::seed(99);
        engine_ = std::make_shared<VebixAi>();
        engine_->loadText("template", templateMindText(), TextLines::Viewed);
        engine_->setName(engine_->botName());
    }
    void TearDown() override { fs::remove_all(root_); }

    // A fake bot whose script gets the message as $msg and the turn number as $n (counted in
    // a file of its folder); every message it receives is logged in "received".
    LinkBot bot(const std::string& name, const std::string& body) {
        fs::path folder = root_ / name;
        fs::create_directories(folder);
        fs::path exe = folder / "bot.sh";
        std::ofstream(exe) << "#!/bin/sh\n"
                           << "msg=$(sed -n 2p CHAT.MSG | tr -d '\\r')\n"
                           << "n=$(( $(cat turn 2>/dev/null || echo 0) + 1 )); echo $n > turn\n"
                           << "printf '%s\\n' \"$msg\" >> received\n"
                           << body << "\n";
        fs::permissions(exe, fs::perms::owner_all);
        return LinkBot{name, folder.string(), exe.string()};
    }
    std::vector<std::string> received(const std::string& name) {
        std::ifstream in(root_ / name / "received");
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    void run(LinkLoop& loop, RecordingWindow& window) {
        window.loop = &loop;
        FakeClock fake;
        ScopedClock scope(fake);
        loop.run();
    }
    static UdlpInfo info(bool learn, bool showErrors = true) {
        UdlpInfo i;
        i.learn = learn;
        i.showErrors = showErrors;
        return i;
    }
    static auto direct() {
        return [](const std::function<void()>& f) { f(); };
    }

    fs::path root_;
    std::shared_ptr<VebixAi> engine_;
};

}  // namespace

TEST_F(LinkLoopTest, TurnsAreShownAndOnlyAnsweredLinesLearned) {
    LinkBot other = bot("Echo", "printf 'You said %s\\r\\n' \"$msg\" > CHAT.MSG");
    RecordingWindow window;
    LinkLoop loop(engine_, other, info(true), window, direct());
    std::size_t before = engine_->lines().size();
    run(loop, window);

    // Opening line, then partner and bot lines alternate. The stop came with the fourth bot
    // line, which is therefore never sent.
    ASSERT_EQ(window.events.size(), 7u);
    auto sent = received("Echo");
    ASSERT_EQ(sent.size(), 3u);
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(window.events[2 * t], "bot: " + sent[t]);
        EXPECT_EQ(window.events[2 * t + 1], "Echo: You said " + sent[t]);
    }
    EXPECT_TRUE(window.errors.empty());
    EXPECT_EQ(window.status, "Link Mode: Vebix and Echo");
    EXPECT_TRUE(window.learned);
    // Three answered exchanges: the loaded bot's line and the reply for each.
    ASSERT_EQ(engine_->lines().size(), before + 6);
    for (int t = 0; t < 3; ++t) {
        MindLine own = parseLine(engine_->lines()[before + 2 * t], AiSuffix::Keep);
        MindLine rep = parseLine(engine_->lines()[before + 2 * t + 1], AiSuffix::Keep);
        EXPECT_EQ(own.key, "Echo!Echo");
        EXPECT_EQ(own.speaker, "<ai>");
        EXPECT_EQ(own.text, sent[t]);
        EXPECT_EQ(rep.speaker, "Echo!Echo");
        EXPECT_EQ(rep.text, "You said " + sent[t]);
    }
}

TEST_F(LinkLoopTest, LearnOffLeavesTheMindAlone) {
    LinkBot other = bot("Echo", "printf 'Sure\\r\\n' > CHAT.MSG");
    RecordingWindow window;
    LinkLoop loop(engine_, other, info(false), window, direct());
    std::size_t before = engine_->lines().size();
    run(loop, window);
    EXPECT_EQ(engine_->lines().size(), before);
    EXPECT_FALSE(window.learned);
}

TEST_F(LinkLoopTest, UnansweredTurnsAndTheProbeBothWays) {
    // Turn 1: the request is left untouched. Turn 2: the probe. Turn 3 on: an answer.
    LinkBot other = bot("Odd", R"(case $n in
1) ;;
2) printf '!#@\r\n' > CHAT.MSG ;;
*) printf 'Fine\r\n' > CHAT.MSG ;;
esac)");
    RecordingWindow window;
    window.stopAfterBotLines = 3;
    LinkLoop loop(engine_, other, info(true), window, direct());
    std::size_t before = engine_->lines().size();
    run(loop, window);

    auto sent = received("Odd");
    ASSERT_EQ(sent.size(), 3u);
    // After the probe the loaded bot's next line is the probe answer, shown nowhere.
    EXPECT_EQ(sent[2], "<mxo1.7.5>");
    std::vector<std::string> expected = {
        "bot: " + sent[0],    "info: Odd was unable to respond", "bot: " + sent[1], "Odd: Fine",
        window.events.back(),
    };
    ASSERT_EQ(window.events.size(), 5u);
    EXPECT_EQ(window.events, expected);
    // Learned: nothing for the unanswered line; the line the probe answered, but not the
    // probe; then the reply to the probe answer, but not the probe answer itself.
    ASSERT_EQ(engine_->lines().size(), before + 2);
    EXPECT_EQ(parseLine(engine_->lines()[before], AiSuffix::Keep).speaker, "<ai>");
    EXPECT_EQ(parseLine(engine_->lines()[before], AiSuffix::Keep).text, sent[1]);
    EXPECT_EQ(parseLine(engine_->lines()[before + 1], AiSuffix::Keep).text, "Fine");
}

TEST_F(LinkLoopTest, AnExecutableThatCannotStartIsSaidOnceWithTheReasonAndEndsTheTurns) {
    struct Case {
        const char* what;
        std::string contents;  // of the executable; none: it does not exist
        fs::perms perms;
        std::string note;  // after the executable's quoted path
    };
    const Case cases[] = {
        {"missing", {}, fs::perms::none, ""},
        {"not executable", "#!/bin/sh\nexit 0\n", fs::perms::owner_read | fs::perms::owner_write,
         ": Permission denied"},
        {"not a program",
         std::string("\x7f"
                     "ELF\x01\x02 garbage",
                     14),
         fs::perms::owner_all, ": Exec format error"},
    };
    for (const Case& c : cases) {
        const fs::path folder = root_ / c.what;
        fs::create_directories(folder);
        LinkBot other{"Gone", folder.string(), (folder / "bot").string()};
        if (!c.contents.empty()) {
            std::ofstream(folder / "bot", std::ios::binary) << c.contents;
            fs::permissions(folder / "bot", c.perms);
        }
        const std::string head = c.contents.empty() ? "UDLP bot exe file not found \""
                                                    : "UDLP bot exe file cannot be started \"";
        // With or without error boxes: one note in the display, no box, and the loop ends by
        // itself (nothing stops it here), leaving nothing in the folder.
        for (bool showErrors : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (showErrors ? ", error boxes" : ""));
            RecordingWindow window;
            window.stopAfterBotLines = 100;
            LinkLoop loop(engine_, other, info(true, showErrors), window, direct());
            run(loop, window);
            EXPECT_TRUE(window.errors.empty());
            ASSERT_EQ(window.events.size(), 2u);
            EXPECT_EQ(window.events[1], "info: " + head + other.exePath + "\"" + c.note);
            EXPECT_EQ(window.status, "Link Mode ended");
            EXPECT_FALSE(fs::exists(folder / "CHAT.MSG"));
        }
    }
}

TEST_F(LinkLoopTest, StatusSaysLinkModeAsSoonAsTheOtherBotRuns) {
    // The first answer comes only once the status is shown: the window lets the bot go.
    fs::create_directories(root_ / "Echo");
    const fs::path release = root_ / "Echo" / "release";
    ASSERT_EQ(::mkfifo(release.c_str(), 0600), 0);
    LinkBot other =
        bot("Echo", "[ $n -eq 1 ] && read line < release\nprintf 'ok\\r\\n' > CHAT.MSG");
    RecordingWindow window;
    window.stopAfterBotLines = 2;
    int statusShown = 0;
    window.onStatus = [&] {
        ++statusShown;
        std::ofstream(release) << "go\n";
    };
    // The fake clock does not move while the bot waits for its release: however long the
    // status takes in real time, the bot is still given its time to answer.
    LinkLoop loop(engine_, other, info(false), window, direct());
    run(loop, window);
    EXPECT_EQ(statusShown, 1);
    EXPECT_EQ(window.status, "Link Mode: Vebix and Echo");
    ASSERT_GE(window.events.size(), 2u);
    EXPECT_EQ(window.events[1], "Echo: ok");
}

TEST_F(LinkLoopTest, AnEngineThatFindsNothingNeverSendsAnEmptyLine) {
    auto empty = std::make_shared<VebixAi>();
    empty->setBotName("Blank");
    empty->setName("Blank");
    LinkBot other = bot("Echo", "printf 'Hello there\\r\\n' > CHAT.MSG");
    RecordingWindow window;
    window.stopAfterBotLines = 3;
    LinkLoop loop(empty, other, info(true), window, direct());
    run(loop, window);
    auto sent = received("Echo");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], "hi");  // no opening line in an empty mind
    for (const auto& s : sent) EXPECT_FALSE(s.empty());
    // Whatever the engine said is learned; its fallback words carry the exclude mark.
    for (std::size_t i = 0; i < empty->lines().size(); ++i) {
        MindLine m = parseLine(empty->lines()[i], AiSuffix::Keep);
        if (m.speaker == "<ai>" && m.text.starts_with("I don't know")) {
            EXPECT_EQ(m.text, "I don't know.....#-");
        }
    }
}

TEST_F(LinkLoopTest, RequestThatCannotBeWrittenEndsTheLoopWithAnError) {
    fs::path file = root_ / "notafolder";
    std::ofstream(file) << "x";
    LinkBot other{"Nobody", file.string(), "/bin/true"};
    RecordingWindow window;
    window.stopAfterBotLines = 100;
    LinkLoop loop(engine_, other, info(true, false), window, direct());
    run(loop, window);                    // returns: the thread ends
    ASSERT_EQ(window.errors.size(), 1u);  // shown even with showerrors off
    EXPECT_EQ(window.events.size(), 1u);  // the opening line only
}

TEST_F(LinkLoopTest, PausesFollowTheDelaySettingAndStopEndsThem) {
    LinkBot other = bot("Echo", "printf 'ok\\r\\n' > CHAT.MSG");
    RecordingWindow window;
    LinkLoop loop(engine_, other, info(false), window, direct());
    window.loop = &loop;
    FakeClock fake;
    ScopedClock scope(fake);
    std::uint64_t start = fake.tickMs();
    loop.run();
    // Three exchanges and three engine lines, each held until 2200 ms after it began.
    EXPECT_GE(fake.tickMs() - start, 6u * kLinkPauseMs);

    RecordingWindow fast;
    LinkLoop noDelay(engine_, other, info(false), fast, direct());
    const std::atomic<bool> off{false};
    noDelay.takeDelayFrom(off);
    fast.loop = &noDelay;
    start = fake.tickMs();
    noDelay.run();
    EXPECT_EQ(fake.tickMs(), start);
}

// The mind changes only in what the loop hands to the window thread: its learned lines and its
// fill words, which a refresh every nine engine lines rebuilds.
TEST_F(LinkLoopTest, TheMindChangesOnlyInWhatIsHandedToTheWindow) {
    LinkBot other = bot("Echo", "printf 'You said %s\\r\\n' \"$msg\" > CHAT.MSG");
    RecordingWindow window;
    window.stopAfterBotLines = 12;
    std::vector<std::string> fillWords = engine_->fillWords();
    std::size_t lines = engine_->lines().size();
    int changedOutside = 0, handedOver = 0;
    LinkLoop loop(engine_, other, info(true), window, [&](const std::function<void()>& work) {
        changedOutside += engine_->fillWords() != fillWords || engine_->lines().size() != lines;
        ++handedOver;
        work();
        fillWords = engine_->fillWords();
        lines = engine_->lines().size();
    });
    ASSERT_TRUE(engine_->fillWords().empty());
    run(loop, window);
    EXPECT_GT(handedOver, 12);
    EXPECT_EQ(changedOutside, 0);
    EXPECT_FALSE(engine_->fillWords().empty());
}

TEST_F(LinkLoopTest, RunsOnItsOwnThreadHandingWindowWorkOver) {
    LinkBot other = bot("Echo", "printf 'Thread reply\\r\\n' > CHAT.MSG");
    RecordingWindow window;
    FakeClock fake;
    ScopedClock scope(fake);
    std::thread::id windowThread = std::this_thread::get_id();
    // A stand-in for the window's run-and-wait: work is queued to this thread and waited for.
    std::mutex m;
    std::condition_variable cv;
    std::function<void()> pending;
    bool done = false, finished = false;
    LinkLoop threaded(engine_, other, info(true), window, [&](const std::function<void()>& f) {
        std::unique_lock<std::mutex> lock(m);
        pending = f;
        done = false;
        cv.notify_all();
        cv.wait(lock, [&] { return done; });
    });
    window.loop = &threaded;
    std::vector<std::thread::id> ranOn;
    std::thread t([&] {
        threaded.run();
        std::lock_guard<std::mutex> lock(m);
        finished = true;
        cv.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(m);
        for (;;) {
            cv.wait(lock, [&] { return finished || pending; });
            if (pending) {
                ranOn.push_back(std::this_thread::get_id());
                pending();
                pending = nullptr;
                done = true;
                cv.notify_all();
            } else {
                break;
            }
        }
    }
    t.join();
    EXPECT_EQ(window.events.size(), 7u);
    for (auto id : ranOn) EXPECT_EQ(id, windowThread);
}
