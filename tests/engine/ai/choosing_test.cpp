#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"
#include "ai_test_util.h"
#include "support/fakeclock.h"
#include "engine/base/random.h"

using namespace vebix;
using vebix::testing::DebugLog;
using vebix::testing::fill;

namespace {

std::vector<Ai::Sim> sims(const std::vector<int>& scores) {
    std::vector<Ai::Sim> out;
    for (std::size_t i = 0; i < scores.size(); ++i)
        out.push_back({static_cast<std::uint32_t>(i), 10, static_cast<std::uint16_t>(scores[i])});
    return out;
}

// Four lines that generation can splice at "cheese", and whose texts are plain replies. The
// text of each starts at offset 10, as the candidates made by sims() say.
const std::vector<std::string> kCheeseMind = {
    "k 100 Sam I like cheese very much",
    "k 101 Sam cheese is tasty",
    "k 102 Sam Hello there",
    "k 103 Sam Good morning",
};

}  // namespace

TEST(Choosing, GroupThresholds) {
    const std::pair<int, int> table[] = {
        {0, 0},  {1, 1},  {2, 2},  {3, 1},  {4, 1},   {5, 2},   {6, 2},   {7, 3},    {9, 3},
        {10, 4}, {12, 4}, {13, 5}, {15, 5}, {16, 12}, {22, 18}, {23, 17}, {100, 94}, {65535, 65529},
    };
    for (auto [top, threshold] : table) EXPECT_EQ(Ai::groupThreshold(top), threshold) << top;
}

TEST(Choosing, GroupSizeAndBudget) {
    struct Case {
        std::vector<int> scores;
        std::size_t n;
    };
    const Case cases[] = {
        {{20, 20, 20, 20}, 3},      // threshold 16, budget 10: 4 + 4, then 4 more overdraws
        {{30, 29, 28, 10}, 3},      // threshold 24, budget 12: 5 + 4, then 10 is below
        {{5, 2, 2, 1}, 3},          // threshold 2, budget 2: the twos cost nothing
        {{1, 1, 1}, 3},             // threshold 1, budget 0
        {{12, 12, 12, 12, 12}, 1},  // threshold 4, budget 6: 8 overdraws at once
        {{11, 5, 5, 5, 4, 3}, 5},   // threshold 4, budget 5: 1 + 1 + 1 + 0, 3 is below
        {{40}, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(Ai::groupSize(sims(c.scores)), c.n);
}

TEST(Choosing, NoCandidatesNoReply) {
    Ai ai;
    std::vector<Ai::Sim> none;
    EXPECT_EQ(ai.chooseReply("Bob", none, "hello"), "");
    EXPECT_EQ(ai.reply("Bob", "Bob", "hello", 1000), "");  // an empty mind
}

TEST(Choosing, WeakCandidatesAreGeneratedFromFirst) {
    // A best score of 10, or only three candidates, always tries generation first; above 10
    // with four candidates the pick is direct.
    struct Case {
        std::vector<int> scores;
        bool generated;
    };
    const Case cases[] = {
        {{10, 10, 10, 10}, true},
        {{50, 50, 50}, true},
        {{11, 11, 11, 11}, false},
    };
    FakeClock fakeClock(1000000);
    ScopedClock fixed(fakeClock);
    for (const auto& c : cases) {
        for (std::uint64_t seed = 1; seed <= 5; ++seed) {
            Ai ai;
            fill(ai, kCheeseMind);
            DebugLog log;
            log.attach(ai);
            rng::seed(seed);
            auto cands = sims(c.scores);
            std::string r = ai.chooseReply("Bob", cands, "cheese");
            EXPECT_FALSE(r.empty());
            EXPECT_EQ(log.has("Entry: generated"), c.generated) << r;
            if (c.generated) {
                EXPECT_NE(r.find("cheese"), std::string::npos) << r;
            } else {
                EXPECT_EQ(log.last("Entry: "), "1");  // group of one
            }
        }
    }
}

TEST(Choosing, LongInputWithWeakGroupGenerates) {
    // The group's mean score 11 is below (input bytes / 5) x 4 = 80.
    const std::string input = "cheese " + std::string(93, '!');
    FakeClock fakeClock(1000000);
    ScopedClock fixed(fakeClock);
    Ai ai;
    fill(ai, kCheeseMind);
    DebugLog log;
    log.attach(ai);
    rng::seed(3);
    auto cands = sims({11, 11, 11, 11});
    ai.chooseReply("Bob", cands, input);
    EXPECT_TRUE(log.has("Entry: generated"));
}

TEST(Choosing, RecentTextsAreNotRepeated) {
    FakeClock fake(1000000);
    ScopedClock scoped(fake);
    // The last eight lines, oldest first, were said within ten minutes; the three best
    // candidates repeat one of them.
    std::vector<std::string> lines = {
        "k 1 A I said this first",  // 0: candidate texts
        "k 2 A fresh words here",   // 1
    };
    for (int i = 0; i < 8; ++i)
        lines.push_back("u " + std::to_string(999500 + i) + " B i said this first");
    Ai ai;
    AiTestHelper::setPersonalize(ai, false);
    fill(ai, lines);
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        DebugLog log;
        log.attach(ai);
        rng::seed(seed);
        std::vector<Ai::Sim> cands = {{0, 6, 20}, {0, 6, 20}, {0, 6, 20}, {1, 6, 20}};
        std::string r = ai.chooseReply("Bob", cands, "something else");
        if (log.last("Tries: ") == "32") continue;  // the last pick is taken as it falls
        EXPECT_EQ(r, "fresh words here");
    }

    // Once the newest lines are older than ten minutes they no longer block anything.
    AiTestHelper::setDebugSink(ai, nullptr);
    fake.advanceSeconds(700);
    int repeats = 0;
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        rng::seed(seed);
        std::vector<Ai::Sim> cands = {{0, 6, 20}, {0, 6, 20}, {0, 6, 20}, {1, 6, 20}};
        if (ai.chooseReply("Bob", cands, "something else") == "I said this first") ++repeats;
    }
    EXPECT_EQ(repeats, 20);  // the group is the first three candidates
}

TEST(Choosing, OnlyTheLastPickMayRepeatTheInput) {
    FakeClock fakeClock(1000000);
    ScopedClock fixed(fakeClock);
    Ai ai;
    fill(ai, {"k 1 A what is this", "k 2 A ...", "k 3 A x", "k 4 A y"});
    DebugLog log;
    log.attach(ai);
    rng::seed(5);
    // Candidates: the input itself and a text without a letter or digit.
    std::vector<Ai::Sim> cands = {{0, 6, 40}, {1, 6, 40}, {0, 6, 40}, {1, 6, 40}};
    std::string r = ai.chooseReply("Bob", cands, "What is this?");
    EXPECT_EQ(log.last("Tries: "), "32");
    EXPECT_TRUE(r == "what is this" || r == "...") << r;
}

TEST(Choosing, PickedLineIsPersonalised) {
    FakeClock fakeClock(1000000);
    ScopedClock fixed(fakeClock);
    Ai ai;
    ai.setName("Vebix!local");
    fill(ai, {"$ 7001 $a What is your name?", "$ 7002 Bot My name is Bot. Pleased to meet you.",
              "$ 7003 $a x", "$ 7004 $a y"});
    DebugLog log;
    log.attach(ai);
    rng::seed(1);
    std::vector<Ai::Sim> cands = {{1, 11, 30}, {2, 10, 5}, {3, 10, 5}, {0, 10, 5}};
    EXPECT_EQ(ai.chooseReply("Sam!pc", cands, "name"), "My name is Vebix. Pleased to meet you.");
    EXPECT_EQ(log.last("Entry: "), "2");
    AiTestHelper::setPersonalize(ai, false);
    EXPECT_EQ(ai.chooseReply("Sam!pc", cands, "name"), "My name is Bot. Pleased to meet you.");
}

TEST(Choosing, TemplateInputIsNotEchoed) {
    // The input equals a stored line: that line scores best, but the reply is another line.
    FakeClock fakeClock(1000000);
    ScopedClock fixed(fakeClock);
    Ai ai;
    fill(ai, {"$ 1001 $a How are you doing today?", "$ 1002 $b I am fine, thanks for asking.",
              "$ 2001 $a Do you like music?", "$ 2002 $b Yes, I love music.",
              "$ 3001 $a What are you doing today?", "$ 3002 $b Nothing much, just relaxing."});
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        rng::seed(seed);
        auto cands = ai.scoreLines("Sam", "Sam", "How are you doing today?", 2000000000);
        // The stored question scores 5 x 12 / 2 = 30; the answer after it inherits all of that
        // through running (its own score is 0).
        ASSERT_GE(cands.size(), 2u);
        EXPECT_EQ(cands[0].index, 0u);
        EXPECT_EQ(cands[0].score, 30);
        EXPECT_EQ(cands[1].index, 1u);
        EXPECT_EQ(cands[1].score, 30);
        std::string r = ai.chooseReply("Sam", cands, "How are you doing today?");
        EXPECT_NE(r, "How are you doing today?");
        EXPECT_FALSE(r.empty());
    }
}
