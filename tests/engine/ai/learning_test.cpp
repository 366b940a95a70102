#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/ai/ai.h"

using namespace vebix;

TEST(Learning, BlanksInSpeakerIdsBecomeUnderscores) {
    Ai ai;
    ai.addLine("Mary Ann!pc", "1700000000", "Mary Ann!pc", " hello  there ");
    ASSERT_EQ(ai.lines().size(), 1u);
    EXPECT_EQ(ai.lines()[0], "Mary_Ann!pc 1700000000 Mary_Ann!pc  hello  there ");
    MindLine m = parseLine(ai.lines()[0], AiSuffix::Keep);
    EXPECT_EQ(m.key, "Mary_Ann!pc");
    EXPECT_EQ(m.speaker, "Mary_Ann!pc");
    EXPECT_EQ(m.text, " hello  there ");
}

TEST(Learning, AiLinesAndPlainAppend) {
    Ai ai;
    ai.addAiLine("Sam Smith", "5", "hi Sam");
    EXPECT_EQ(ai.lines()[0], "Sam_Smith 5 <ai> hi Sam");
    ai.appendLine("k 6 x already formatted");
    EXPECT_EQ(ai.lines()[1], "k 6 x already formatted");
}

TEST(Learning, TwoUserTurnsWithoutReplyLeaveTwoUserLines) {
    Ai ai;
    ai.addLine("Sam!x", "100", "Sam!x", "anyone there?");
    ai.addLine("Sam!x", "160", "Sam!x", "hello?");
    ASSERT_EQ(ai.lines().size(), 2u);
    for (std::string_view l : ai.lines()) EXPECT_EQ(parseLine(l, AiSuffix::Keep).speaker, "Sam!x");
}

// A mind line can never hold CR, LF or NUL, whichever field they come in and however the line is
// learned: in the text they become blanks, in key and speaker (single fields) underscores. The
// saved mind then reloads with exactly the lines learned, none cut and none split.
TEST(Learning, LineBreaksAndNulsAreNeverStored) {
    using namespace std::string_literals;
    struct Case {
        const char* what;
        std::string key, speaker, text;
        std::string stored;
    };
    const std::vector<Case> cases = {
        {"CR in text", "Sam", "Sam", "one\rtwo", "Sam 100 Sam one two"},
        {"LF in text", "Sam", "Sam", "first line\nsecond line\nthird\tline",
         "Sam 100 Sam first line second line third\tline"},
        {"CR LF in text", "Sam", "Sam", "one\r\ntwo\r\n", "Sam 100 Sam one  two  "},
        {"NUL in text", "Sam", "Sam", "one\0two\0"s, "Sam 100 Sam one two "},
        {"mixed in text", "Sam", "Sam", "\na\r\0b\n\r"s, "Sam 100 Sam  a  b  "},
        {"CR in key", "Sa\rm", "Sam", "hi", "Sa_m 100 Sam hi"},
        {"LF in key", "Sam\n", "Sam", "hi", "Sam_ 100 Sam hi"},
        {"NUL in key", "S\0am"s, "Sam", "hi", "S_am 100 Sam hi"},
        {"CR LF in speaker", "Sam", "Sam\r\nX", "hi", "Sam 100 Sam__X hi"},
        {"NUL in speaker", "Sam", "\0Sam"s, "hi", "Sam 100 _Sam hi"},
        {"mixed everywhere", "A\r\nB C", "\0A B\n"s, "x\0y\rz\n"s, "A__B_C 100 _A_B_ x y z "},
    };
    Ai ai;
    for (const Case& c : cases) {
        ai.addLine(c.key, "100", c.speaker, c.text);
        EXPECT_EQ(ai.lines().back(), c.stored) << c.what;
    }
    // The engine's own lines and lines appended already formatted follow the same rule.
    ai.addAiLine("Sam\r", "101", "a\0b\r\nc"s);
    EXPECT_EQ(ai.lines().back(), "Sam_ 101 <ai> a b  c");
    ai.appendLine("k 102 x one\ntwo\0three\r"s);
    EXPECT_EQ(ai.lines().back(), "k 102 x one two three ");

    std::vector<std::string> learned(ai.lines().begin(), ai.lines().end());
    const auto dir =
        std::filesystem::temp_directory_path() / ("vebix-learning-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "mind.dat").string();
    {
        std::ofstream out(file, std::ios::binary);
        for (std::string_view line : ai.lines()) out << line << "\r\n";
    }
    Ai reloaded;
    reloaded.loadFile(file);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(std::vector<std::string>(reloaded.lines().begin(), reloaded.lines().end()), learned);
}

TEST(Learning, LearnedTextIsWhatTheMindStores) {
    using namespace std::string_literals;
    EXPECT_EQ(learnedText("a\rb\nc\r\nd\0e\tf"s), "a b c  d e\tf");
    EXPECT_EQ(learnedText("caf\xc3\xa9 plain"), "caf\xc3\xa9 plain");
    Ai ai;
    const std::string pasted = "first line\nsecond line\nthird\tline";
    ai.addLine("k", "1", "k", pasted);
    EXPECT_EQ(lineText(ai.lines().back()), learnedText(pasted));
}
