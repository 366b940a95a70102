#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"
#include "ai_test_util.h"

using namespace vebix;
using vebix::testing::fill;

TEST(FillWords, CountsTheLastQuarter) {
    Ai ai;
    std::vector<std::string> lines;
    for (int i = 0; i < 12; ++i) lines.push_back("k 1 X old words only here");
    // The last quarter (4 of 16): "the" 4 times, "cat" 3, "sat" 2, "mat" once.
    lines.push_back("k 1 X the cat sat");
    lines.push_back("k 1 X the cat sat");
    lines.push_back("k 1 X The cat");
    lines.push_back("k 1 X the mat");
    fill(ai, lines);
    ai.calcFillWords();
    EXPECT_EQ(ai.fillWords(), (std::vector<std::string>{"the", "cat", "sat", "mat"}));
    EXPECT_FALSE(ai.notFillWord("the"));
    EXPECT_TRUE(ai.notFillWord("old"));
    EXPECT_TRUE(ai.notFillWord("The"));  // byte-equal only
}

TEST(FillWords, SizesAndLimits) {
    Ai ai;
    AiTestHelper::setFillWords(ai, {"keep"});
    ai.calcFillWords();  // empty mind: unchanged
    EXPECT_EQ(ai.fillWords(), (std::vector<std::string>{"keep"}));
    fill(ai, {"k 1 X a b", "k 1 X c d", "k 1 X e f"});
    ai.calcFillWords();  // three lines: no line in the last quarter
    EXPECT_TRUE(ai.fillWords().empty());

    // 40 distinct words: at most 30 kept, the most frequent first.
    std::vector<std::string> lines;
    std::string all;
    for (int i = 0; i < 40; ++i)
        all += " w" + std::string(1, static_cast<char>('a' + i % 26)) +
               std::string(1, static_cast<char>('a' + i / 26));
    for (int i = 0; i < 8; ++i) lines.push_back("k 1 X" + all + " often often");
    fill(ai, lines);
    ai.calcFillWords();
    ASSERT_EQ(ai.fillWords().size(), 30u);
    EXPECT_EQ(ai.fillWords()[0], "often");  // 4 times in the last two lines, the others twice
}

TEST(FillWords, OnlyTheLast448LinesOfBigMinds) {
    Ai ai;
    std::vector<std::string> lines(2000, "k 1 X early");
    for (int i = 0; i < 448; ++i) lines.push_back("k 1 X late");
    fill(ai, lines);
    ai.calcFillWords();
    EXPECT_EQ(ai.fillWords(), (std::vector<std::string>{"late"}));
}
