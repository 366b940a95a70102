#include "app/mind/mindkeeper.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include "apptestsupport.h"
#include "support/fakeclock.h"
#include "engine/base/error.h"
#include "engine/base/random.h"
#include "app/mind/templatemind.h"

namespace vebix {
namespace {

using testing::readBytes;
using testing::writeBytes;

constexpr std::uint32_t kNow = 1700000000;
const std::string kSmallMind = "1.2 1.2 \"Small\"\r\n\r\nk 1 a hello there\r\nk 2 <ai> hi\r\n";

class MindKeeperTest : public testing::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        mind_ = spath("mind.mdd");
    }
    std::string mind_;
    FakeClock clock_{kNow};
    ScopedClock scoped_{clock_};
};

TEST_F(MindKeeperTest, LoadsAnExistingFile) {
    writeBytes(path("mind.mdd"), kSmallMind);
    MindKeeper keeper;
    EXPECT_EQ(keeper.loadMind(mind_), MindKeeper::Loaded::Existing);
    ASSERT_TRUE(keeper.bot());
    EXPECT_EQ(keeper.bot()->botName(), "Small");
    EXPECT_EQ(keeper.bot()->name(), "Small");
    EXPECT_EQ(keeper.savedCount(), 2u);
    EXPECT_EQ(keeper.lastLineTime(), kNow);
    EXPECT_EQ(keeper.lastSaveTime(), kNow);
    EXPECT_EQ(keeper.exchangeCount(), 0);
    EXPECT_TRUE(keeper.isBotLoaded());
    EXPECT_FALSE(keeper.hasUnsavedLines());
}

TEST_F(MindKeeperTest, RelativeMindPathIsMadeFull) {
    writeBytes(path("mind.mdd"), kSmallMind);
    const QString previous = QDir::currentPath();
    QDir::setCurrent(tmp_.path());
    MindKeeper keeper;
    keeper.loadMind("mind.mdd");
    QDir::setCurrent(previous);
    EXPECT_EQ(keeper.mindPath(), spath("mind.mdd"));
    EXPECT_EQ(keeper.bot()->fileName(), spath("mind.mdd"));
}

TEST_F(MindKeeperTest, MissingFileGivesTheTemplateAndWritesNothing) {
    MindKeeper keeper;
    EXPECT_EQ(keeper.loadMind(mind_), MindKeeper::Loaded::New);
    EXPECT_EQ(keeper.bot()->botName(), "Vebix");
    EXPECT_EQ(keeper.bot()->lines().size(), 122u);
    EXPECT_EQ(keeper.savedCount(), 0u);
    EXPECT_EQ(keeper.lastSaveTime(), 0u);
    EXPECT_FALSE(QFileInfo::exists(path("mind.mdd")));
}

TEST_F(MindKeeperTest, NewMindsAreWrittenAtOnce) {
    MindKeeper keeper;
    EXPECT_EQ(keeper.loadMind(mind_, {.open = MindKeeper::Open::AlwaysNew,
                                      .source = MindKeeper::NewMind::Empty,
                                      .botName = "Zed"}),
              MindKeeper::Loaded::New);
    EXPECT_EQ(readBytes(path("mind.mdd")),
              "\xEF\xBB\xBF"
              "1.2 1.2 \"Zed\"\r\n\r\n");
    EXPECT_EQ(keeper.savedCount(), 0u);

    writeBytes(path("mind.mdd"), kSmallMind);  // isNew replaces an existing file
    EXPECT_EQ(keeper.loadMind(mind_, {.open = MindKeeper::Open::AlwaysNew, .botName = "Tem Plate"}),
              MindKeeper::Loaded::New);
    EXPECT_EQ(keeper.bot()->botName(), "Tem Plate");
    EXPECT_EQ(keeper.savedCount(), 122u);
    VebixAi back;
    back.loadFile(spath("mind.mdd"));
    EXPECT_EQ(back.botName(), "Tem Plate");
    EXPECT_EQ(back.lines().size(), 122u);
}

// A refused file leaves no bot, not even one named from its first line, so nothing is ever
// written to it: not on closing, not when a save was requested.
TEST_F(MindKeeperTest, LoadErrorsPropagateAndLeaveNoBot) {
    struct Case {
        std::string file;
        const char* error;
    };
    for (const Case& c : {Case{"garbage", "Not a valid Vebix mind file"},
                          Case{"Dear Ann, thanks for the letter.\r\nSee you soon.\r\n",
                               "Incompatible mind file"}}) {
        SCOPED_TRACE(c.error);
        writeBytes(path("mind.mdd"), c.file);
        MindKeeper keeper;
        try {
            keeper.loadMind(mind_);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
        EXPECT_FALSE(keeper.bot());
        EXPECT_FALSE(keeper.isBotLoaded());
        EXPECT_EQ(keeper.unsavedLineCount(), 0u);
        keeper.requestSave();
        keeper.setExchangeCount(1);
        keeper.closeBot();
        keeper.saveNow();
        EXPECT_EQ(readBytes(path("mind.mdd")), c.file);
    }
}

TEST_F(MindKeeperTest, SaveAsWritesTheWholeMindThereAndMakesItTheMind) {
    writeBytes(path("mind.mdd"), kSmallMind);
    MindKeeper keeper;
    keeper.loadMind(mind_);
    keeper.setExchangeCount(1);
    keeper.bot()->addLine("Ann", "4", "Ann", "keep me");
    EXPECT_EQ(keeper.unsavedLineCount(), 1u);

    // A folder that does not exist: the error names the reason and the mind keeps its file.
    try {
        keeper.saveAs(spath("no/such/folder/x.mdd"));
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to save mind file '" +
                                             spath("no/such/folder/x.mdd") +
                                             "': No such file or directory");
    }
    EXPECT_EQ(keeper.bot()->fileName(), spath("mind.mdd"));
    EXPECT_EQ(keeper.mindPath(), spath("mind.mdd"));
    EXPECT_EQ(keeper.unsavedLineCount(), 1u);

    keeper.saveAs(spath("other.mdd"));
    EXPECT_EQ(keeper.mindPath(), spath("other.mdd"));
    EXPECT_EQ(keeper.unsavedLineCount(), 0u);
    EXPECT_EQ(readBytes(path("mind.mdd")), kSmallMind);
    VebixAi back;
    back.loadFile(spath("other.mdd"));
    EXPECT_EQ(back.botName(), "Small");
    ASSERT_EQ(back.lines().size(), 3u);
    EXPECT_EQ(std::string(back.lines()[2]), "Ann 4 Ann keep me");

    // Later lines go to the new file.
    keeper.bot()->addLine("Ann", "5", "Ann", "and me");
    keeper.closeBot();
    EXPECT_NE(readBytes(path("other.mdd")).find("Ann 5 Ann and me\r\n"), std::string::npos);
    EXPECT_EQ(readBytes(path("mind.mdd")), kSmallMind);
}

struct TickCase {
    std::uint32_t sinceSave, sinceLine;
    bool saves;
};

TEST_F(MindKeeperTest, AutosaveWhenTheScoreReaches180) {
    const std::vector<TickCase> cases = {
        {150, 90, true},                    // 150 + 30
        {140, 90, false},                   // 140 + 30
        {180, 0, true},   {179, 2, false},  // 179 + 0
        {0, 540, true},                     // 0 + 180
        {0, 539, false},
    };
    for (const TickCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.sinceSave) + "/" + std::to_string(c.sinceLine));
        writeBytes(path("mind.mdd"), kSmallMind);
        // Loaded (and so saved) sinceSave seconds ago; the last user line sinceLine ago.
        FakeClock atLoad(kNow - c.sinceSave);
        ScopedClock loadTime(atLoad);
        MindKeeper keeper;
        keeper.loadMind(mind_);
        atLoad.setSeconds(kNow);
        keeper.setExchangeCount(1);
        keeper.bot()->addLine("Ann", "5", "Ann", "new line");
        keeper.noteUserLine(kNow - c.sinceLine);
        keeper.autosaveTick();
        EXPECT_EQ(readBytes(path("mind.mdd")) == kSmallMind + "Ann 5 Ann new line\r\n", c.saves);
        EXPECT_EQ(keeper.hasUnsavedLines(), !c.saves);
        EXPECT_EQ(keeper.lastSaveTime(), c.saves ? kNow : kNow - c.sinceSave);
    }
}

TEST_F(MindKeeperTest, AutosaveAsTheClockMoves) {
    writeBytes(path("mind.mdd"), kSmallMind);
    MindKeeper keeper;
    keeper.loadMind(mind_);
    clock_.advanceSeconds(100);
    keeper.autosaveTick();  // nobody spoke: nothing to do
    keeper.setExchangeCount(1);
    keeper.autosaveTick();  // nothing unsaved: the file holds every line as of now
    EXPECT_EQ(keeper.lastSaveTime(), kNow + 100);
    keeper.bot()->addLine("Ann", "5", "Ann", "line");
    keeper.noteUserLine(kNow + 100);
    for (int i = 0; i < 13; ++i) {
        clock_.advanceSeconds(10);
        keeper.autosaveTick();
    }
    EXPECT_TRUE(keeper.hasUnsavedLines());  // 130 + 43
    clock_.advanceSeconds(10);              // 140 + 46
    keeper.autosaveTick();
    EXPECT_FALSE(keeper.hasUnsavedLines());
    EXPECT_EQ(readBytes(path("mind.mdd")), kSmallMind + "Ann 5 Ann line\r\n");
}

TEST_F(MindKeeperTest, SaveRequestedSkipsTheEarlyExitsButNotTheScore) {
    writeBytes(path("mind.mdd"), kSmallMind);
    MindKeeper keeper;
    keeper.loadMind(mind_);
    keeper.requestSave();
    keeper.autosaveTick();  // score 0
    EXPECT_TRUE(keeper.saveRequested());
    clock_.advanceSeconds(180);
    keeper.autosaveTick();
    EXPECT_FALSE(keeper.saveRequested());
    EXPECT_EQ(keeper.lastSaveTime(), kNow + 180);
}

TEST_F(MindKeeperTest, CloseBotSavesOnlyWhenTheUserSpoke) {
    writeBytes(path("mind.mdd"), kSmallMind);
    MindKeeper keeper;
    keeper.loadMind(mind_);
    keeper.bot()->addAiLine("Ann", "3", "opening line");  // learned, but nobody spoke
    keeper.closeBot();
    EXPECT_EQ(readBytes(path("mind.mdd")), kSmallMind);
    EXPECT_TRUE(keeper.bot());

    keeper.setExchangeCount(1);
    keeper.bot()->addLine("Ann", "4", "Ann", "hi");
    keeper.closeBot();
    EXPECT_EQ(readBytes(path("mind.mdd")),
              kSmallMind + "Ann 3 <ai> opening line\r\nAnn 4 Ann hi\r\n");
    EXPECT_FALSE(keeper.bot());
    EXPECT_FALSE(keeper.isBotLoaded());
    keeper.closeBot();  // nothing loaded: nothing happens
}

TEST_F(MindKeeperTest, CloseBotSavesWhenRequested) {
    MindKeeper keeper;
    keeper.loadMind(mind_);  // template mind, no file yet
    keeper.requestSave();
    keeper.closeBot();
    EXPECT_FALSE(keeper.saveRequested());
    VebixAi back;
    back.loadFile(spath("mind.mdd"));
    EXPECT_EQ(back.lines().size(), 122u);
}

// What a keeper is for decides what it writes, and whether it loads a mind another keeper
// holds open: a keeper for conversations holds its mind and leaves another's alone unless told
// to open it anyway; one that appends holds nothing and adds what it learned whatever holds the
// mind; one that reads writes nothing, whatever it is asked.
TEST_F(MindKeeperTest, WhatAKeeperIsForDecidesWhatItWritesAndHolds) {
    struct Case {
        MindKeeper::Use use;
        bool openHeldMind;
        MindKeeper::Loaded loaded;
        bool writes;
    };
    const Case cases[] = {
        {MindKeeper::Use::Converse, false, MindKeeper::Loaded::HeldElsewhere, false},
        {MindKeeper::Use::Converse, true, MindKeeper::Loaded::Existing, true},
        {MindKeeper::Use::Append, false, MindKeeper::Loaded::Existing, true},
        {MindKeeper::Use::Read, false, MindKeeper::Loaded::Existing, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.use) * 2 + c.openHeldMind);
        writeBytes(path("mind.mdd"), kSmallMind);
        MindKeeper window;
        ASSERT_EQ(window.loadMind(mind_), MindKeeper::Loaded::Existing);
        window.bot()->addLine("Ann", "3", "Ann", "the window's line");
        window.setExchangeCount(1);

        MindKeeper second(c.use);
        EXPECT_EQ(second.loadMind(mind_, {.openHeldMind = c.openHeldMind}), c.loaded);
        EXPECT_EQ(second.mindPath(), mind_);
        if (c.loaded == MindKeeper::Loaded::HeldElsewhere) {
            EXPECT_FALSE(second.bot());
            continue;
        }
        ASSERT_TRUE(second.bot());
        second.bot()->addLine("Bob", "4", "Bob", "the second's line");
        // Nobody spoke to the second keeper: what it learned is saved only when asked by name.
        second.saveLearned();
        second.requestSave();
        second.saveNow();
        second.closeBot();
        window.closeBot();
        const std::string expected =
            c.writes ? "Bob 4 Bob the second's line\r\nAnn 3 Ann the window's line\r\n"
                     : "Ann 3 Ann the window's line\r\n";
        EXPECT_EQ(readBytes(path("mind.mdd")), kSmallMind + expected);
    }
}

// Link mode teaches the window's mind with nobody speaking: closing saves it all the same.
TEST_F(MindKeeperTest, LinesLearnedWithoutAnExchangeAreSavedOnClosing) {
    writeBytes(path("mind.mdd"), kSmallMind);
    MindKeeper keeper;
    keeper.loadMind(mind_);
    keeper.bot()->addAiLine("Bea!Bea", "5", "from the link");
    keeper.noteLearned();
    EXPECT_EQ(keeper.exchangeCount(), 1);
    keeper.closeBot();
    EXPECT_EQ(readBytes(path("mind.mdd")), kSmallMind + "Bea!Bea 5 <ai> from the link\r\n");
    EXPECT_FALSE(keeper.bot());
}

}  // namespace
}  // namespace vebix

namespace vebix {
namespace {

// A keeper that prepares replies starts the work after loading, and stops it before the mind
// goes. Lines learned while it runs are all kept, and the replies are the ones an unprepared
// mind gives, line for line and draw for draw.
TEST_F(MindKeeperTest, PreparedRepliesAreTheSameAndLearningMayGoOn) {
    std::string mind = "1.2 1.2 \"Big\"\r\n\r\n";
    for (int i = 0; i < 30000; ++i)
        mind += "k" + std::to_string(i / 7) + " " + std::to_string(1000 + i) +
                (i % 2 ? " Ann " : " <ai> ") + "line " + std::to_string(i % 501) +
                (i % 3 ? " about tea and cake\r\n" : " on the weather today\r\n");
    writeBytes(path("mind.mdd"), mind);

    auto answers = [&](bool prepare) {
        MindKeeper keeper;
        keeper.setPrepareReplies(prepare);
        keeper.loadMind(mind_);
        EXPECT_EQ(keeper.preparer() != nullptr, prepare);
        // Learned at once, while the preparation (if any) is under way.
        for (int i = 0; i < 200; ++i)
            keeper.bot()->addLine("g", std::to_string(40000 + i), "Guest",
                                  "more about tea " + std::to_string(i));
        if (prepare) {
            keeper.preparer()->wait();
            EXPECT_TRUE(keeper.preparer()->finished());
        }
        EXPECT_EQ(keeper.bot()->lines().size(), 30200u);
        rng::seed(3);
        std::vector<std::string> out;
        for (const char* input : {"tea and cake?", "the weather", "line 12 about tea", "cake"})
            out.push_back(keeper.bot()->reply("Guest", "g", input, 50000));
        keeper.discardMind();
        EXPECT_EQ(keeper.preparer(), nullptr);
        return out;
    };
    const std::vector<std::string> plain = answers(false);
    EXPECT_EQ(answers(true), plain);
    EXPECT_FALSE(plain[0].empty());
}

}  // namespace
}  // namespace vebix
