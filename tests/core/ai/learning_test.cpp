#include <gtest/gtest.h>

#include "ai/ai.h"

using namespace vebix;

TEST(Learning, BlanksInSpeakerIdsBecomeUnderscores) {
    Ai ai;
    ai.addLine("Mary Ann!pc", "1700000000", "Mary Ann!pc", " hello  there ");
    ASSERT_EQ(ai.lines.size(), 1u);
    EXPECT_EQ(ai.lines[0], "Mary_Ann!pc 1700000000 Mary_Ann!pc  hello  there ");
    EXPECT_TRUE(ai.modified);
    MindLine m = parseLine(ai.lines[0], false);
    EXPECT_EQ(m.key, "Mary_Ann!pc");
    EXPECT_EQ(m.speaker, "Mary_Ann!pc");
    EXPECT_EQ(m.text, " hello  there ");
}

TEST(Learning, AiLinesAndPlainAppend) {
    Ai ai;
    ai.addAiLine("Sam Smith", "5", "hi Sam");
    EXPECT_EQ(ai.lines[0], "Sam_Smith 5 <ai> hi Sam");
    ai.modified = false;
    ai.appendLine("k 6 x already formatted");
    EXPECT_EQ(ai.lines[1], "k 6 x already formatted");
    EXPECT_TRUE(ai.modified);
}

TEST(Learning, TwoUserTurnsWithoutReplyLeaveTwoUserLines) {
    Ai ai;
    ai.addLine("Sam!x", "100", "Sam!x", "anyone there?");
    ai.addLine("Sam!x", "160", "Sam!x", "hello?");
    ASSERT_EQ(ai.lines.size(), 2u);
    for (std::string_view l : ai.lines) EXPECT_EQ(parseLine(l, false).speaker, "Sam!x");
}
