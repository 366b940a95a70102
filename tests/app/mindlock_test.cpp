// Two keepers on one mind: the held-open lock and the lock around every write.
#include "app/mind/vebixaitesthelper.h"
#include "app/mind/mindlock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <atomic>
#include <future>
#include <thread>

#include "apptestsupport.h"
#include "app/mind/mindkeeper.h"

namespace vebix {
namespace {

using testing::readBytes;
using testing::writeBytes;

const std::string kMind = "1.2 1.2 \"Small\"\r\n\r\nk 1 a hello there\r\nk 2 <ai> hi\r\n";

// A keeper whose observer answers the question about a held mind as told and records it.
class AskingKeeper : public MindKeeper, private MindKeeper::Observer {
public:
    explicit AskingKeeper(Holding holding = Holding::HoldOpen) : MindKeeper(this, holding) {}

    std::string answer = "<same>";
    std::vector<std::string> asked;

private:
    std::string resolveHeldMind(const std::string& path) override {
        asked.push_back(path);
        return answer == "<same>" ? path : answer;
    }
};

class MindLockTest : public testing::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        writeBytes(path("mind.mdd"), kMind);
        writeBytes(path("other.mdd"), kMind);
    }
    bool load(MindKeeper& keeper, const QString& name) { return keeper.loadMind(spath(name)); }
};

TEST_F(MindLockTest, ASecondKeeperOnAHeldMindIsAskedAndFollowsTheAnswer) {
    AskingKeeper first;
    ASSERT_TRUE(load(first, "mind.mdd"));
    EXPECT_TRUE(first.asked.empty());

    struct Case {
        std::string answer;
        bool loaded;
        std::string file;  // the mind loaded, when one is
    };
    const Case cases[] = {
        {"", false, ""},                                 // choose none
        {spath("other.mdd"), true, spath("other.mdd")},  // choose another
        {"<same>", true, spath("mind.mdd")},             // open anyway
    };
    for (const Case& c : cases) {
        AskingKeeper second;
        second.answer = c.answer;
        EXPECT_EQ(load(second, "mind.mdd"), c.loaded) << c.answer;
        EXPECT_EQ(second.asked, std::vector<std::string>{spath("mind.mdd")}) << c.answer;
        EXPECT_EQ(static_cast<bool>(second.bot()), c.loaded) << c.answer;
        if (c.loaded) {
            EXPECT_EQ(second.bot()->fileName(), c.file) << c.answer;
        }
    }

    // Once the first keeper has let go (it loads another mind), nobody is asked.
    ASSERT_TRUE(load(first, "other.mdd"));
    AskingKeeper third;
    EXPECT_TRUE(load(third, "mind.mdd"));
    EXPECT_TRUE(third.asked.empty());
    // ...and the first one, now on other.mdd, is what a fourth finds held.
    AskingKeeper fourth;
    fourth.answer = "";
    EXPECT_FALSE(load(fourth, "other.mdd"));
    EXPECT_EQ(fourth.asked.size(), 1u);
}

// A mind written whole replaces its file through a rename; the new file is held too.
TEST_F(MindLockTest, ANewMindIsHeldAfterItsFirstWrite) {
    AskingKeeper maker;
    maker.loadMind(spath("new.mdd"), {.open = MindKeeper::Open::AlwaysNew,
                                      .source = MindKeeper::NewMind::Empty,
                                      .botName = "Newbie"});
    ASSERT_TRUE(QFileInfo::exists(path("new.mdd")));
    AskingKeeper second;
    second.answer = "";
    EXPECT_FALSE(load(second, "new.mdd"));
    EXPECT_EQ(second.asked.size(), 1u);
}

// Bot mode's keeper neither asks nor holds: it answers for a mind open in a window.
TEST_F(MindLockTest, AKeeperThatDoesNotHoldNeitherAsksNorBlocks) {
    AskingKeeper window;
    ASSERT_TRUE(load(window, "mind.mdd"));
    AskingKeeper botMode(MindKeeper::Holding::DoNotHold);
    EXPECT_TRUE(load(botMode, "mind.mdd"));
    EXPECT_TRUE(botMode.asked.empty());
    botMode.bot()->addLine("b!b", "3", "b!b", "hi from the bot");
    botMode.setExchangeCount(1);
    botMode.closeBot();
    EXPECT_NE(readBytes(path("mind.mdd")).find("hi from the bot"), std::string::npos);

    window.loadMind(window.mindPath());  // reloads the same mind, still holding it
    AskingKeeper later;
    later.answer = "";
    EXPECT_FALSE(load(later, "mind.mdd"));
}

// A save waits while another writer holds the write lock and runs once it is released.
TEST_F(MindLockTest, ASaveWaitsForAnotherWriter) {
    MindKeeper keeper(nullptr, MindKeeper::Holding::DoNotHold);
    ASSERT_TRUE(load(keeper, "mind.mdd"));
    keeper.bot()->addLine("a!a", "3", "a!a", "a line said while another wrote");
    const std::string before = readBytes(path("mind.mdd"));

    std::promise<void> waiting;
    std::atomic<bool> toldOfWait{false};
    VebixAiTestHelper::setOnWriteLockWait(*keeper.bot(), [&] {
        if (!toldOfWait.exchange(true)) waiting.set_value();
    });
    auto writer = std::make_unique<MindWriteLock>(spath("mind.mdd"));
    std::future<void> save = std::async(std::launch::async, [&] { keeper.bot()->saveFrom(2); });
    const bool sawWait =
        waiting.get_future().wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    EXPECT_TRUE(sawWait);
    EXPECT_EQ(readBytes(path("mind.mdd")), before);
    writer.reset();
    save.get();
    EXPECT_EQ(readBytes(path("mind.mdd")),
              before + "a!a 3 a!a a line said while another wrote\r\n");
}

}  // namespace
}  // namespace vebix
