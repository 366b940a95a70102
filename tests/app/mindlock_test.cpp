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
#include "app/mind/mindwrite.h"

namespace vebix {
namespace {

using testing::readBytes;
using testing::writeBytes;

const std::string kMind = "1.2 1.2 \"Small\"\r\n\r\nk 1 a hello there\r\nk 2 <ai> hi\r\n";

class MindLockTest : public testing::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        writeBytes(path("mind.mdd"), kMind);
        writeBytes(path("other.mdd"), kMind);
    }
    MindKeeper::Loaded load(MindKeeper& keeper, const QString& name, bool openHeldMind = false) {
        return keeper.loadMind(spath(name), {.openHeldMind = openHeldMind});
    }
};

TEST_F(MindLockTest, ASecondKeeperLoadsAHeldMindOnlyWhenToldTo) {
    MindKeeper first;
    ASSERT_EQ(load(first, "mind.mdd"), MindKeeper::Loaded::Existing);

    MindKeeper refused;
    EXPECT_EQ(load(refused, "mind.mdd"), MindKeeper::Loaded::HeldElsewhere);
    EXPECT_FALSE(refused.bot());
    EXPECT_EQ(refused.mindPath(), spath("mind.mdd"));
    MindKeeper anyway;
    EXPECT_EQ(load(anyway, "mind.mdd", true), MindKeeper::Loaded::Existing);
    ASSERT_TRUE(anyway.bot());
    EXPECT_EQ(anyway.bot()->fileName(), spath("mind.mdd"));
    // Opened anyway, it is still the first keeper's to hold.
    anyway.discardMind();
    EXPECT_EQ(load(refused, "mind.mdd"), MindKeeper::Loaded::HeldElsewhere);

    // Once the first keeper has let go (it loads another mind), the mind is free...
    ASSERT_EQ(load(first, "other.mdd"), MindKeeper::Loaded::Existing);
    MindKeeper third;
    EXPECT_EQ(load(third, "mind.mdd"), MindKeeper::Loaded::Existing);
    // ...and the first one, now on other.mdd, is what a fourth finds held.
    MindKeeper fourth;
    EXPECT_EQ(load(fourth, "other.mdd"), MindKeeper::Loaded::HeldElsewhere);
}

// A mind written whole replaces its file through a rename; the new file is held too.
TEST_F(MindLockTest, ANewMindIsHeldAfterItsFirstWrite) {
    MindKeeper maker;
    maker.loadMind(spath("new.mdd"), {.open = MindKeeper::Open::AlwaysNew,
                                      .source = MindKeeper::NewMind::Empty,
                                      .botName = "Newbie"});
    ASSERT_TRUE(QFileInfo::exists(path("new.mdd")));
    MindKeeper second;
    EXPECT_EQ(load(second, "new.mdd"), MindKeeper::Loaded::HeldElsewhere);
}

// Bot mode's keeper neither asks nor holds: it answers for a mind open in a window.
TEST_F(MindLockTest, AKeeperThatAppendsNeitherIsRefusedNorBlocks) {
    MindKeeper window;
    ASSERT_EQ(load(window, "mind.mdd"), MindKeeper::Loaded::Existing);
    MindKeeper botMode(MindKeeper::Use::Append);
    EXPECT_EQ(load(botMode, "mind.mdd"), MindKeeper::Loaded::Existing);
    botMode.bot()->addLine("b!b", "3", "b!b", "hi from the bot");
    botMode.saveLearned();
    EXPECT_NE(readBytes(path("mind.mdd")).find("hi from the bot"), std::string::npos);

    // The window reloads the same mind, still holding it.
    ASSERT_EQ(window.loadMind(window.mindPath()), MindKeeper::Loaded::Existing);
    MindKeeper later;
    EXPECT_EQ(load(later, "mind.mdd"), MindKeeper::Loaded::HeldElsewhere);
}

// A save waits while another writer holds the write lock and runs once it is released.
TEST_F(MindLockTest, ASaveWaitsForAnotherWriter) {
    MindKeeper keeper(MindKeeper::Use::Append);
    ASSERT_EQ(load(keeper, "mind.mdd"), MindKeeper::Loaded::Existing);
    keeper.bot()->addLine("a!a", "3", "a!a", "a line said while another wrote");
    const std::string before = readBytes(path("mind.mdd"));

    std::promise<void> waiting;
    std::atomic<bool> toldOfWait{false};
    VebixAiTestHelper::setOnWriteLockWait(*keeper.bot(), [&] {
        if (!toldOfWait.exchange(true)) waiting.set_value();
    });
    auto writer = std::make_unique<MindWrite>(spath("mind.mdd"));
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
