// The indexed scorer against the reference: the same candidates (index, text offset, score, in
// the same order) and the same draws of the generator, on real minds and on odd lines.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"
#include "ai_test_util.h"
#include "engine/base/random.h"
#include "tools/mindgen.h"

using namespace vebix;
using vebix::testing::fill;

namespace {

struct Query {
    std::string partner;
    std::string key;
    std::string input;
    std::uint32_t time;
};

// Scores every query both ways from the same seed and compares.
void expectSameCandidates(const Ai& ai, const std::vector<Query>& queries, std::uint64_t seed) {
    for (std::size_t q = 0; q < queries.size(); ++q) {
        const Query& query = queries[q];
        rng::seed(seed + q);
        const auto expected = ai.scoreLines(query.partner, query.key, query.input, query.time);
        const std::uint32_t nextAfterReference = rng::next();
        rng::seed(seed + q);
        const auto got = ai.scoreLinesIndexed(query.partner, query.key, query.input, query.time);
        const std::uint32_t nextAfterIndexed = rng::next();
        EXPECT_EQ(nextAfterIndexed, nextAfterReference) << "query " << q << ": " << query.input;
        ASSERT_EQ(got.size(), expected.size()) << "query " << q << ": " << query.input;
        for (std::size_t k = 0; k < got.size(); ++k) {
            EXPECT_EQ(got[k].index, expected[k].index) << "query " << q << " rank " << k;
            EXPECT_EQ(got[k].textOffset, expected[k].textOffset) << "query " << q << " rank " << k;
            EXPECT_EQ(got[k].score, expected[k].score) << "query " << q << " rank " << k;
        }
    }
}

const char* const kCorpus = VEBIX_TEST_DATA_DIR "/corpus/chatterbot_en.txt";

// count lines of the conversation corpus after the first skip; the corpus has enough of them.
std::vector<std::string> corpusLines(std::size_t count, std::size_t skip) {
    std::vector<std::string> out;
    std::ifstream in(kCorpus);
    std::string line;
    std::size_t seen = 0;
    while (out.size() < count && std::getline(in, line)) {
        if (line.empty() || seen++ < skip) continue;
        out.push_back(line);
    }
    EXPECT_EQ(out.size(), count) << kCorpus;
    return out;
}

// Inputs of every kind: corpus lines (short and long), lines of the mind itself, numbers,
// repeated words, punctuation only, empty, invalid UTF-8, a whole paragraph.
std::vector<Query> queriesFor(const Ai& ai, std::uint32_t now, std::size_t corpusInputs = 60) {
    std::vector<Query> queries;
    auto add = [&](std::string input) {
        const std::size_t k = queries.size();
        const std::string partner = k % 3 == 0 ? "Guest!t" : k % 3 == 1 ? "Noah 23" : "Benchbot";
        queries.push_back({partner, k % 2 ? "Noah 23" : "guest!t", std::move(input), now});
    };
    for (const std::string& line : corpusLines(corpusInputs, 1000)) add(line);
    for (std::size_t i = 0; i < ai.lines().size(); i += ai.lines().size() / (corpusInputs / 4) + 1)
        add(std::string(lineText(ai.lines()[i])));
    add("");
    add("?!?");
    add("12 5 12 1984 and 7");
    add("the the the the the the the the the");
    add("hello\xff\xfe wor\xc3ld caf\xc3\xa9 na\xefve");
    add("rober robert rupert robbed there their thier seee sooo");
    add("a an A An");
    std::string paragraph;
    for (const std::string& line : corpusLines(corpusInputs / 3, 100)) paragraph += line + " ";
    add(paragraph);
    return queries;
}

std::uint32_t afterNewest(const Ai& ai) {
    auto t = parseTime(parseLine(ai.lines().back(), AiSuffix::Keep).time);
    return t ? *t + 60 : 2000000000;
}

}  // namespace

TEST(IndexedScoring, SameAsReferenceOnThousandLineMind) {
    Ai ai;
    ASSERT_EQ(ai.loadFile(VEBIX_TEST_DATA_DIR "/ai/mind_1000.dat"), 1000u);
    ai.calcFillWords();
    ASSERT_FALSE(ai.fillWords().empty());
    expectSameCandidates(ai, queriesFor(ai, afterNewest(ai)), 11);
}

TEST(IndexedScoring, SameAsReferenceOnTwentyThousandLineMind) {
    mindgen::Options options;
    options.lines = 20000;
    options.seed = 1;
    options.plain = true;
    const std::string text = mindgen::makeMind(mindgen::readCorpusFile(kCorpus), options);
    Ai ai;
    ASSERT_EQ(ai.loadText("mind_20000.dat", text, TextLines::Viewed), 20000u);
    ai.calcFillWords();
    // Early in the mind (recency and decay matter) and a minute after its newest line.
    expectSameCandidates(ai, queriesFor(ai, afterNewest(ai), 16), 21);
    expectSameCandidates(ai, queriesFor(ai, 1704200000, 8), 31);
}

TEST(IndexedScoring, SameAsReferenceOnOddLines) {
    std::vector<std::string> lines;
    const std::string longText = [] {
        std::string s;
        for (int i = 0; i < 3000; ++i) s += (i % 7 ? "cats and dogs " : "12 ");
        return s;
    }();
    const std::vector<std::string> odd = {
        "k 1000 A 12 34 5678",                      // numbers only
        "k 1001 A " + longText,                     // very long
        "k 1002 A caf\xc3\xa9 \xff\xfe cats \xc3",  // invalid UTF-8
        "k 1003 <ai> cats and dogs",                // the engine's own line
        "k 1004 <ai>",                              // two blanks only
        "<ai>",                                     // no blank at all
        "k 1005 <ai> ",                             // empty text
        "k notatime A cats",                        // unreadable time
        "k 1006 A cats #- excluded",                // exclude mark
        "K 1007 A Cats and dogs",                   // same conversation, other case
        "k 900 A cats went back in time",           // earlier than its predecessor
        "k 1500 Nemo!x cats purr",                  // other bots
        "k 1501 pavex1 cats purr",
        "k 1502 gbit1 cats purr",
        "Noah_23 1503 Noah_23 the cat sat on the mat with a hat",
        "k 1504 A the the the the the the the the cat",
        "k 1505 A rober robert rupert robbed there their thier",
        "k 1506 A a an A An the",
        "k 1507 A \xef\xbb\xbf cats",
    };
    for (int round = 0; round < 3; ++round)
        for (const std::string& l : odd) lines.push_back(l);
    Ai ai;
    fill(ai, lines);
    AiTestHelper::setFillWords(ai, {"the", "cat", "and"});
    std::vector<Query> queries;
    const std::vector<std::string> inputs = {"cats",
                                             "the cat sat",
                                             "12 and 34",
                                             "rober robert rupert robbed",
                                             "thier there their",
                                             "an a",
                                             longText.substr(0, 5000),
                                             "caf\xc3\xa9 \xff cats",
                                             "",
                                             "the the the cat cat",
                                             "cats and dogs and cats and dogs and 12 12 13"};
    for (const std::string& in : inputs) {
        queries.push_back({"A", "k", in, 1600});
        queries.push_back({"Noah 23", "Noah 23", in, 2000000000});
    }
    expectSameCandidates(ai, queries, 41);
}

TEST(IndexedScoring, FollowsLearningAndReloading) {
    Ai ai;
    ASSERT_EQ(ai.loadFile(VEBIX_TEST_DATA_DIR "/ai/mind_1000.dat"), 1000u);
    ai.calcFillWords();
    const std::uint32_t now = afterNewest(ai);
    const std::vector<Query> queries = {{"Sam", "Sam", "do you like movies about space", now},
                                        {"Sam", "Sam", "what is your favourite song 2", now}};
    expectSameCandidates(ai, queries, 51);
    // New lines are scored as soon as they are learned, ...
    for (int i = 0; i < 30; ++i) {
        ai.addLine("Sam", std::to_string(now + i), "Sam",
                   "I like movies about space " + std::to_string(i));
        ai.addAiLine("Sam", std::to_string(now + i), "So do I, space is great");
    }
    expectSameCandidates(ai, queries, 52);
    // ... and after the lines were replaced, the old ones are forgotten.
    fill(ai, {"x 1 A nothing to see", "x 2 B space movies are fun", "x 3 C movies"});
    expectSameCandidates(ai, queries, 53);
}
