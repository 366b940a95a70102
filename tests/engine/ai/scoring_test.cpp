#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"
#include "engine/ai/scoringrules.h"
#include "ai_test_util.h"
#include "engine/base/random.h"
#include "engine/enparse/tokenizer.h"

using namespace vebix;
using vebix::testing::fill;

namespace {

using Scores = std::map<std::uint32_t, int>;  // line index -> score

Scores scoresOf(const std::vector<Ai::Sim>& sims) {
    Scores out;
    for (const auto& s : sims) out[s.index] = s.score;
    return out;
}

struct ScoreCase {
    std::string name;
    std::vector<std::string> lines;
    std::string input;
    std::string partner = "Nobody";
    std::string key = "nokey";
    std::uint32_t referenceTime = 2000000000;
    std::vector<std::string> fillWords = {};
    Scores expected;
};

}  // namespace

// Worked out by hand from the scoring rules: word match 12 (8 for a fill word), alike 4,
// numbers 4 (+12 when equal), own score halved plus the conversation's running score.
TEST(Scoring, HandComputedScores) {
    const std::vector<ScoreCase> cases = {
        {"running context and pause decay",
         {"sam 1000 Sam cats purr",  // own 24: "cats" 12 + "purr" 12 -> 12; running 12
          "sam 1030 <ai> zebra",     // 0 + 12, never a candidate; running 6
          "sam 1200 Sam yak",        // 0 + 6; running 3
          "sam 1330 Sam cats"},      // own 12, 2 minutes' pause -20% -> 10 -> 5 + 3
         "cats purr",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{0, 12}, {2, 6}, {3, 8}}},
        {"pause decay stops at five minutes",
         {"p 1000 A cats purr",   // 24 -> 12; running 12
          "p 9000 A cats purr"},  // long pause: 24 - 50% = 12 -> 6 + 12
         "cats purr",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{0, 12}, {1, 18}}},
        {"recency bonuses",
         {"a 1999999900 X zebra",   // 100 s before: +3 +4 -> 3
          "b 1999999820 X zebra",   // exactly 180 s: +3 +4 -> 3
          "c 1999999819 X zebra",   // 181 s: +4 -> 2
          "d 1997580800 X zebra",   // exactly 28 days: +4 -> 2
          "e 1997580799 X zebra",   // one second more: 0
          "f 2000000000 X zebra",   // the same second: 0
          "g 2000000100 X zebra"},  // in the future: 0
         "hello",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{0, 3}, {1, 3}, {2, 2}, {3, 2}, {4, 0}, {5, 0}, {6, 0}}},
        {"excluded line feeds context",
         {"a 1999999900 X zebra #-",  // own 7, no candidate; running 3
          "a 1999999901 X yak"},      // 7 -> 3 + 3
         "hello",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{1, 6}}},
        {"same conversation and speaker, blanks as stored",
         {"Mary_Ann 100 Mary_Ann!t zebra",  // +6 +4 -> 5; running 5
          "Other 100 Mary_Ann!t zebra",     // +4 -> 2
          "MARY_ANN 100 Bob zebra"},        // same context (case-insensitive), no bonus: 0 + 5
         "hello",
         "Mary Ann!t",
         "Mary Ann",
         2000000000,
         {},
         {{0, 5}, {1, 2}, {2, 5}}},
        {"long line factor",
         {"a 1 X cats bee dog elk fox gnu hen",   // 7 words: (12 + 12) x 0.7 = 16 -> 8
          "b 1 X cats bee dog elk fox gnu",       // 6 words: 12 -> 6
          "c 1 X cats, bee dog elk fox gnu hen",  // punctuation is not a word: 24 x 0.7 -> 8
          "d 1 X cats bee dog"},                  // 12 -> 6
         "cats hen",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{0, 8}, {1, 6}, {2, 8}, {3, 6}}},
        {"other-bot penalties",
         {"k1 1 Nemo!x cats purr",    // 12 - 4
          "k2 1 Nemo! cats purr",     // 5 characters: no penalty
          "k3 1 oNemo!a cats purr",   // 12 - 4
          "k4 1 pavex1 cats purr",    // 12 - 4
          "k5 1 pavex cats purr",     // no penalty
          "k6 1 gbit1 cats purr",     // 12 / 2
          "k7 1 gbit cats purr",      // no penalty
          "k8 1 <ai> cats purr",      // never a candidate
          "k9 1 Bob<ai> cats purr"},  // a candidate
         "cats purr",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{0, 8}, {1, 12}, {2, 8}, {3, 8}, {4, 12}, {5, 6}, {6, 12}, {8, 12}}},
        {"earlier time in the same conversation",
         {"$ 4004 $b My computer could be faster.",  // "computer" 12 -> 6; running 6
          "$ 3005 $a My computer isn't that slow.",  // earlier: ignored
          "$ 4065 $a zebra"},                        // 0 + 6 (context of the first line)
         "computer",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{0, 6}, {2, 6}}},
        {"unreadable times are skipped",
         {"$ 10x1 $a cats purr", "$ 99999999999 $a cats purr", "$ 1002 $a zebra", "short line",
          "$ 1003 $a cats"},
         "cats purr",
         "Nobody",
         "nokey",
         2000000000,
         {},
         {{2, 0}, {4, 6}}},
        {"numbers, alike words, fill words",
         {"a 1 X zebra 42",    // 4 + 12 -> 8
          "b 1 X zebra 7",     // 4 -> 2
          "c 1 X their",       // alike "there": 4 -> 2
          "d 1 X cats purr"},  // "cats" is a fill word: 8 + 12 -> 10
         "42 there cats purr",
         "Nobody",
         "nokey",
         2000000000,
         {"cats"},
         {{0, 8}, {1, 2}, {2, 2}, {3, 10}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Ai ai;
        fill(ai, c.lines);
        AiTestHelper::setFillWords(ai, c.fillWords);
        auto sims = ai.scoreLines(c.partner, c.key, c.input, c.referenceTime);
        EXPECT_EQ(scoresOf(sims), c.expected);
        EXPECT_TRUE(std::is_sorted(sims.begin(), sims.end()));
        for (const auto& s : sims)
            EXPECT_EQ(ai.candidateText(s.index, s.textOffset), lineText(ai.lines()[s.index]));
    }
}

TEST(Scoring, ScoresSaturateInsteadOfWrapping) {
    // The walk both scorers share: a score beyond 16 bits stays at the top, before any penalty
    // takes its share, and a running score beyond 32 bits stays at the top of those.
    struct Case {
        std::uint64_t own;
        std::uint32_t running;
        scoring::SpeakerPenalty penalty;
        std::uint16_t score;
    };
    const Case cases[] = {
        {131070, 0, scoring::SpeakerPenalty::None, 65535},
        {131072, 0, scoring::SpeakerPenalty::None, 65535},
        {2, 65535, scoring::SpeakerPenalty::None, 65535},
        {std::uint64_t{1} << 40, 0, scoring::SpeakerPenalty::None, 65535},
        {std::uint64_t{1} << 40, 0, scoring::SpeakerPenalty::Third, 43690},
        {std::uint64_t{1} << 40, 0, scoring::SpeakerPenalty::Half, 32767},
        {131068, 0, scoring::SpeakerPenalty::None, 65534},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.own);
        scoring::Context context;
        context.running = c.running;
        scoring::WalkLine line;
        line.own = c.own;
        line.scored = line.candidate = true;
        line.penalty = c.penalty;
        std::vector<Ai::Sim> candidates;
        scoring::walk(context, line, candidates);
        ASSERT_EQ(candidates.size(), 1u);
        EXPECT_EQ(candidates[0].score, c.score);
    }
}

TEST(Scoring, PhraseMatchScoreRuns) {
    Ai ai;
    struct Case {
        std::string line, input;
        std::uint64_t score;
    };
    const Case cases[] = {
        {"cats purr", "cats purr", 24},
        {"zebra cats purr", "cats purr", 24},
        {"cats cats purr", "cats purr",
         36},                   // the run goes on over both; the second start was seen
        {"there", "their", 4},  // alike, the longer list's word first
        {"7", "42", 4},
        {"42", "42", 16},
        {"cats ?", "cats ?", 12},  // punctuation ends a run
        {"", "cats", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line + " | " + c.input);
        EXPECT_EQ(ai.phraseMatchScore(tokenize(c.line, Tokenize::Normalising),
                                      tokenize(c.input, Tokenize::Normalising)),
                  c.score);
    }
}

TEST(Scoring, TrimCandidatesKeepsTheBest48) {
    std::vector<Ai::Sim> sims;
    for (std::uint32_t i = 0; i < 60; ++i) sims.push_back({i, 0, static_cast<std::uint16_t>(i)});
    Ai::trimCandidates(sims);
    ASSERT_EQ(sims.size(), 48u);
    EXPECT_EQ(sims.front().score, 59);
    EXPECT_EQ(sims.back().score, 12);
}

TEST(Scoring, AtMost48CandidatesFromAnyMind) {
    Ai ai;
    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i)
        lines.push_back("k" + std::to_string(i) + " 1 X cats number " + std::to_string(i % 50));
    fill(ai, lines);
    auto sims = ai.scoreLines("n", "k", "cats 7", 2000000000);
    EXPECT_EQ(sims.size(), 48u);
    // Every line holding 7 as its number scores 12 + 4 + 12 = 28 -> 14, and there are six.
    EXPECT_EQ(std::count_if(sims.begin(), sims.end(), [](auto& s) { return s.score == 14; }), 6);
}

TEST(Scoring, RandomChunkingOnlyAbove1000Lines) {
    vebix::testing::DebugLog log;
    for (std::size_t size : {std::size_t{0}, std::size_t{10}, std::size_t{1000}}) {
        Ai ai;
        log.attach(ai);
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < size; ++i)
            lines.push_back("k " + std::to_string(i + 1) + " X cats");
        fill(ai, lines);
        rng::seed(7);
        auto sims = ai.scoreLines("n", "k", "cats", 2000000000);
        EXPECT_EQ(log.last("Randomly chunked: "), "0%") << size;
    }

    Ai big;
    log.attach(big);
    std::vector<std::string> lines;
    for (int i = 0; i < 20000; ++i) lines.push_back("k" + std::to_string(i) + " 1 X cats");
    fill(big, lines);
    rng::seed(7);
    big.scoreLines("n", "k", "cats", 2000000000);
    const double percent = std::stod(log.last("Randomly chunked: ").c_str());
    // About 1 line in 128 starts a run of 20 + 20000/640 lines on average.
    EXPECT_GT(percent, 10.0);
    EXPECT_LT(percent, 60.0);
}

TEST(Scoring, ChunkedPercentFormatting) {
    EXPECT_EQ(formatChunkedPercent(0.0), "0");
    EXPECT_EQ(formatChunkedPercent(12.5), "12.5");
    EXPECT_EQ(formatChunkedPercent(100.0), "100");
    EXPECT_EQ(formatChunkedPercent(100.0 / 3), "33.3333");
}
