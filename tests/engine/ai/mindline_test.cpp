#include <gtest/gtest.h>

#include <string>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"
#include "engine/ai/mindline.h"

using namespace vebix;

TEST(MindLine, ParseFields) {
    struct Case {
        std::string line;
        AiSuffix aiSuffix;
        std::string key, time, speaker, text;
    };
    const Case cases[] = {
        {"nokey", AiSuffix::Keep, "", "", "", ""},
        {"", AiSuffix::Keep, "", "", "", ""},
        {"k 12", AiSuffix::Keep, "k", "", "", ""},
        {"k 12 ", AiSuffix::Keep, "k", "12", "", ""},  // two blanks: key and time
        {"k 12 sp", AiSuffix::Keep, "k", "12", "", ""},
        {"k 12 sp ", AiSuffix::Keep, "k", "12", "sp", ""},  // third blank last: empty text
        {"Sam 1700000000 Sam hello there you", AiSuffix::Keep, "Sam", "1700000000", "Sam",
         "hello there you"},
        {"$ 1001 $a Hi.", AiSuffix::Keep, "$", "1001", "$a", "Hi."},
        {"k 1 Bob<ai> hi", AiSuffix::Strip, "k", "1", "Bob", "hi"},
        {"k 1 Bob<ai> hi", AiSuffix::Keep, "k", "1", "Bob<ai>", "hi"},
        {"k 1 <ai> hi", AiSuffix::Strip, "k", "1", "<ai>", "hi"},
        {"k 1 <ai> hi", AiSuffix::Keep, "k", "1", "<ai>", "hi"},
        {"k 1 x<ai>y hi", AiSuffix::Strip, "k", "1", "x<ai>y", "hi"},
        {"  x y", AiSuffix::Keep, "", "", "x", "y"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        MindLine m = parseLine(c.line, c.aiSuffix);
        EXPECT_EQ(m.key, c.key);
        EXPECT_EQ(m.time, c.time);
        EXPECT_EQ(m.speaker, c.speaker);
        EXPECT_EQ(m.text, c.text);
        EXPECT_EQ(lineText(c.line), c.text);
    }
}

TEST(MindLine, TextOffsetAndExcludeMark) {
    EXPECT_EQ(textOffset("k 1 s hello"), 6u);
    EXPECT_EQ(textOffset("k 1 s "), 6u);
    EXPECT_FALSE(textOffset("k 1 s").has_value());
    EXPECT_TRUE(hasExcludeMark("k 1 s do not #- use"));
    EXPECT_TRUE(hasExcludeMark("k#- 1 s x"));
    EXPECT_FALSE(hasExcludeMark("k 1 s # - -#"));
}

TEST(MindLine, ParseTime) {
    EXPECT_EQ(parseTime("0"), 0u);
    EXPECT_EQ(parseTime("1001"), 1001u);
    EXPECT_EQ(parseTime("4294967295"), 4294967295u);
    EXPECT_EQ(parseTime("0004294967295"), 4294967295u);
    for (std::string_view bad :
         {"", "4294967296", "99999999999999999999", "12a", "-1", "+1", " 1", "1.5"})
        EXPECT_FALSE(parseTime(bad).has_value()) << bad;
}

TEST(MindLine, WordBreak) {
    for (char32_t cp : {U' ', U'.', U',', U'!', U'\'', U'-', U'\u00A0', U'\u2014', U'\U0001F600'})
        EXPECT_TRUE(isWordBreak(cp)) << static_cast<unsigned>(cp);
    for (char32_t cp : {U'a', U'Z', U'0', U'9', U'\u00E9', U'\u0416', U'\u4E2D'})
        EXPECT_FALSE(isWordBreak(cp)) << static_cast<unsigned>(cp);
    for (char32_t cp : {char32_t(0xD800), char32_t(0x110000), char32_t(0xFFFFFFFF)})
        EXPECT_FALSE(isWordBreak(cp)) << static_cast<unsigned>(cp);
}

TEST(MindLine, LiesWithin) {
    std::string text = "hello world";
    std::string_view all = text;
    EXPECT_TRUE(liesWithin(all.substr(6, 5), all));
    EXPECT_TRUE(liesWithin(all, all));
    EXPECT_FALSE(liesWithin(all, all.substr(0, 5)));
    EXPECT_FALSE(liesWithin(all.substr(4, 4), all.substr(0, 5)));
    std::string copy = "world";
    EXPECT_FALSE(liesWithin(copy, all));
}

TEST(MindLine, ANewEngineHoldsNothing) {
    Ai ai;
    EXPECT_TRUE(ai.name().empty());
    EXPECT_TRUE(ai.lines().empty());
    EXPECT_TRUE(AiTestHelper::personalizes(ai));
    EXPECT_TRUE(ai.fillWords().empty());
    EXPECT_TRUE(ai.fileName().empty());
    EXPECT_FALSE(AiTestHelper::hasDebugSink(ai));
}

TEST(MindLine, SimAndWcOrderHighestFirst) {
    std::vector<Ai::Sim> sims{{0, 0, 3}, {1, 0, 9}, {2, 0, 5}};
    std::sort(sims.begin(), sims.end());
    EXPECT_EQ(sims[0].index, 1u);
    EXPECT_EQ(sims[2].index, 0u);
    EXPECT_TRUE((Ai::Sim{7, 1, 4} == Ai::Sim{8, 2, 4}));
    Ai::Wc a{"x", 2}, b{"y", 5};
    EXPECT_TRUE(b < a);
}
