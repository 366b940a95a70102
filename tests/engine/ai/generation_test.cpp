#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"
#include "ai_test_util.h"
#include "engine/base/random.h"
#include "engine/enparse/tokenizer.h"

using namespace vebix;
using vebix::testing::fill;

namespace {

std::vector<std::string> texts(const std::vector<Token>& toks) {
    std::vector<std::string> out;
    for (const auto& t : toks) out.emplace_back(t.text());
    return out;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST(Generation, TokensFromWord) {
    const std::string text = "one, two 3 four!";
    const std::vector<Token> toks = tokenize(text, Tokenize::Plain).tokens();
    struct Case {
        int k;
        Strings out;
    };
    const Case cases[] = {
        {0, {"one", ",", "two", "3", "four", "!"}},
        {1, {"two", "3", "four", "!"}},
        {2, {"3", "four", "!"}},
        {3, {"four", "!"}},
        {4, {}},
        {-1, {"one", ",", "two", "3"}},
        {-2, {"one", ",", "two"}},
        {-3, {"one"}},
        {-4, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(texts(Ai::tokensFromWord(toks, c.k)), c.out) << c.k;
    EXPECT_TRUE(Ai::tokensFromWord({}, 0).empty());
}

TEST(Generation, PickSeedToken) {
    EXPECT_EQ(Ai::pickSeedToken({}), -1);
    const std::string punct = "?! ... ,";
    EXPECT_EQ(Ai::pickSeedToken(tokenize(punct, Tokenize::Normalising).tokens()), -1);
    const std::string text = "well , 42 cats ?";
    const std::vector<Token> toks = tokenize(text, Tokenize::Normalising).tokens();
    std::set<int> picked;
    int numbers = 0;
    for (std::uint64_t seed = 0; seed < 400; ++seed) {
        rng::seed(seed);
        const int p = Ai::pickSeedToken(toks);
        ASSERT_GE(p, 0);
        ASSERT_TRUE(toks[p].type == TokenType::Word || toks[p].type == TokenType::Number);
        picked.insert(p);
        if (toks[p].type == TokenType::Number) ++numbers;
    }
    EXPECT_EQ(picked, (std::set<int>{0, 2, 3}));
    EXPECT_LT(numbers, 100);  // numbers are four times less likely in the first sweeps
    rng::seed(9);
    const int first = Ai::pickSeedToken(toks);
    rng::seed(9);
    EXPECT_EQ(Ai::pickSeedToken(toks), first);
}

TEST(Generation, HeadWordAndTail) {
    Ai ai;
    fill(ai, {"k 1 A I like green apples", "k 2 B the Apples are sweet"});
    const std::set<std::string> possible = {"I like green apples", "I like green apples are sweet",
                                            "the Apples", "the Apples are sweet"};
    std::set<std::string> seen;
    for (std::uint64_t seed = 0; seed < 60; ++seed) {
        rng::seed(seed);
        const std::string r = ai.generateReply("Bob", "apples");
        EXPECT_TRUE(possible.count(r)) << r;
        seen.insert(r);
        rng::seed(seed);
        EXPECT_EQ(ai.generateReply("Bob", "apples"), r);  // repeatable
    }
    // The splice word is written as the first line has it.
    EXPECT_TRUE(seen.count("the Apples"));
    EXPECT_TRUE(seen.count("I like green apples are sweet"));
}

TEST(Generation, NothingToMakeFrom) {
    Ai ai;
    fill(ai, {"k 1 <ai> bananas are yellow", "k 2 A bananas #- are not for you",
              "k 3 A I ate bananas!", "k 4 A mybananas are hidden"});
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
        rng::seed(seed);
        EXPECT_EQ(ai.generateReply("Bob", "?!"), "");      // punctuation only
        EXPECT_EQ(ai.generateReply("Bob", "yellow"), "");  // only in a line of the engine
        EXPECT_EQ(ai.generateReply("Bob", "not"), "");     // only in an excluded line
        EXPECT_EQ(ai.generateReply("Bob", "hidden"), "mybananas are hidden");
        EXPECT_EQ(ai.generateReply("Bob", "bananas"), "I ate bananas!");  // whole words only
    }
    fill(ai, {"k 1 Bob<ai> bananas are yellow"});  // another engine's line, as learned from a link
    rng::seed(1);
    EXPECT_EQ(ai.generateReply("Bob", "yellow"), "bananas are yellow");
}

TEST(Generation, ExtensionNeedsMoreThanTenBytes) {
    // The head before "apples" is 10 bytes in one mind and 11 in the other; only the longer
    // is ever spliced with the line "qq cc d zz" at the phrase "cc d".
    struct Case {
        std::string line;
        bool extends;
    };
    const Case cases[] = {{"k 1 A aa b cc d apples", false}, {"k 1 A aa bb cc d apples", true}};
    for (const auto& c : cases) {
        Ai ai;
        fill(ai, {c.line, "k 2 A qq cc d zz"});
        int extended = 0;
        for (std::uint64_t seed = 0; seed < 300; ++seed) {
            rng::seed(seed);
            const std::string r = ai.generateReply("Bob", "apples");
            if (r.starts_with("qq ")) {
                ++extended;
                EXPECT_EQ(r, "qq cc d apples");
            } else {
                EXPECT_EQ(r, lineText(c.line));
            }
        }
        EXPECT_EQ(extended > 0, c.extends) << c.line << ": " << extended;
    }
}

TEST(Generation, TailExtensionNeedsMoreThanTenBytes) {
    struct Case {
        std::string line;
        bool extends;
    };
    const Case cases[] = {{"k 1 A apples aa b cc d", false}, {"k 1 A apples aa bb cc d", true}};
    for (const auto& c : cases) {
        Ai ai;
        const std::string head = c.line.substr(6, c.line.find(" cc") - 6);  // "apples aa b(b)"
        fill(ai, {c.line, "k 2 A zz " + head.substr(7) + " qq"});
        int extended = 0;
        for (std::uint64_t seed = 0; seed < 300; ++seed) {
            rng::seed(seed);
            const std::string r = ai.generateReply("Bob", "apples");
            if (r.ends_with(" qq")) {
                ++extended;
                EXPECT_EQ(r, head + " qq");
            } else {
                EXPECT_EQ(r, lineText(c.line));
            }
        }
        EXPECT_EQ(extended > 0, c.extends) << c.line << ": " << extended;
    }
}

TEST(Generation, FindLineWithPhrase) {
    Ai ai;
    ai.setName("Vebix");
    fill(ai, {"k 1 Robert Robert likes tea", "k 2 A Tea, please", "k 3 A steam engine"});
    Ai::PhraseHit hit;
    for (std::uint64_t seed = 0; seed < 10; ++seed) {
        rng::seed(seed);
        ASSERT_TRUE(ai.findLineWithPhrase("Sam", "TEA", "", hit));
        EXPECT_TRUE(hit.text == "Vebix likes tea" || hit.text == "Tea, please") << hit.text;
        EXPECT_EQ(hit.text.substr(hit.offset, hit.length).size(), 3u);
        EXPECT_TRUE(hit.text.substr(hit.offset, 3) == "tea" ||
                    hit.text.substr(hit.offset, 3) == "Tea");
        // A line whose whole text lies inside exclude is passed over.
        ASSERT_TRUE(ai.findLineWithPhrase("Sam", "tea", "Oh. Tea, please!", hit));
        EXPECT_EQ(hit.text, "Vebix likes tea");
    }
    // The phrase is looked for in the personalised text, where the name is gone.
    EXPECT_FALSE(ai.findLineWithPhrase("Sam", "robert likes", "", hit));
    rng::seed(3);
    EXPECT_EQ(ai.generateReply("Sam", "robert"), "");
    AiTestHelper::setPersonalize(ai, false);
    ASSERT_TRUE(ai.findLineWithPhrase("Sam", "robert likes", "", hit));
    EXPECT_EQ(hit.text, "Robert likes tea");
    EXPECT_EQ(hit.offset, 0u);
    EXPECT_EQ(hit.length, 12u);
}

TEST(Generation, KeepsAtMost256Positions) {
    Ai ai;
    std::vector<std::string> lines;
    for (int i = 0; i < 2000; ++i) lines.push_back("k 1 A word " + std::to_string(i));
    fill(ai, lines);
    std::set<std::string> found;
    for (std::uint64_t seed = 0; seed < 200; ++seed) {
        rng::seed(seed);
        Ai::PhraseHit hit;
        ASSERT_TRUE(ai.findLineWithPhrase("B", "word", "", hit));
        found.insert(hit.text);
    }
    // Later matches replace kept ones at random: some picks come from beyond the first 256.
    bool late = false;
    for (const auto& t : found) late |= std::stoi(t.substr(5)) >= 256;
    EXPECT_TRUE(late);
}
