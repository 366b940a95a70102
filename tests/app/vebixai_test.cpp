#include "app/mind/vebixai.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "apptestsupport.h"
#include "engine/base/error.h"
#include "engine/base/random.h"
#include "app/mind/templatemind.h"

namespace vebix {
namespace {

using testing::AppTest;
using testing::readBytes;
using testing::writeBytes;

const std::string kBom = "\xEF\xBB\xBF";

std::vector<std::string> linesOf(const VebixAi& ai) {
    return {ai.lines().begin(), ai.lines().end()};
}

std::string errorOf(VebixAi& ai, std::string_view text) {
    try {
        ai.loadText("mind.mdd", text, TextLines::Copied);
    } catch (const Error& e) {
        return e.what();
    }
    return {};
}

// ---- header line ------------------------------------------------------------------------------

struct HeaderCase {
    std::string line;
    std::string error;  // empty: parses
    std::string version, version2, botName;
    bool inBody = false;
};

TEST(VebixAiHeader, ParsesOrRefusesHeaderLines) {
    const std::string notValid = "Not a valid Vebix mind file";
    const std::string incompatible = "Incompatible mind file";
    const std::vector<HeaderCase> cases = {
        {"1.2 1.2 \"Vebix\"", "", "1.2", "1.2", "Vebix", false},
        {"  1.2   1.0   \"Two Words\" tail ", "", "1.2", "1.0", "Two Words", false},
        {"1.1 1.1 Sam", "", "1.1", "1.1", "Sam", true},
        {"1.0 9 Sam more words", "", "1.0", "9", "Sam", true},
        {"\t1.2 1.2 Bo\r", "", "1.2", "1.2", "Bo", false},
        {"1.2 1.2 \"\"", notValid, "", "", "", false},
        {"1.2 1.2 \"open", notValid, "", "", "", false},
        {"1.2 1.2", notValid, "", "", "", false},
        {"1.2 1.2   ", notValid, "", "", "", false},
        {"1.2", notValid, "", "", "", false},
        {"", notValid, "", "", "", false},
        {"2.0 1.2 \"X\"", incompatible, "", "", "", false},
        {"1.3 1.2 X", incompatible, "", "", "", false},
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.line);
        VebixAi ai;
        if (!c.error.empty()) {
            try {
                ai.parseHeaderLine(c.line);
                ADD_FAILURE() << "no error";
            } catch (const Error& e) {
                EXPECT_EQ(e.what(), c.error);
            }
            continue;
        }
        ai.parseHeaderLine(c.line);
        EXPECT_EQ(ai.version(), c.version);
        EXPECT_EQ(ai.version2(), c.version2);
        EXPECT_EQ(ai.botName(), c.botName);
        EXPECT_EQ(ai.inBody(), c.inBody);
    }
}

TEST(VebixAiLoad, ReadsHeaderKeyValuesAndBody) {
    VebixAi ai;
    ai.loadText("m.mdd",
                kBom +
                    "1.2 1.2 \"Ann Lee\"\r\napp=Vebix\r\ngender=f\r\n\r\n"
                    "$ 1 $a Hi.\r\n\r\nk 2 s text with blanks\r\n",
                TextLines::Copied);
    EXPECT_EQ(ai.botName(), "Ann Lee");
    EXPECT_EQ(ai.headerLines(), (std::vector<std::string>{"app=Vebix", "gender=f"}));
    EXPECT_EQ(linesOf(ai), (std::vector<std::string>{"$ 1 $a Hi.", "k 2 s text with blanks"}));
}

TEST(VebixAiLoad, OldVersionsHaveNoKeyValueLines) {
    VebixAi ai;
    ai.loadText("m.mdd", "1.1 1.1 Sam\nk 1 a hello\nk 2 <ai> hi\n", TextLines::Copied);
    EXPECT_EQ(ai.botName(), "Sam");
    EXPECT_TRUE(ai.headerLines().empty());
    EXPECT_EQ(linesOf(ai), (std::vector<std::string>{"k 1 a hello", "k 2 <ai> hi"}));
}

TEST(VebixAiLoad, VersionOneTwoWithoutEmptyLineHasAnEmptyMind) {
    VebixAi ai;
    ai.loadText("m.mdd", "1.2 1.2 \"X\"\rk 1 a hello\rk 2 a bye\r", TextLines::Copied);
    EXPECT_EQ(ai.botName(), "X");
    EXPECT_EQ(ai.headerLines(), (std::vector<std::string>{"k 1 a hello", "k 2 a bye"}));
    EXPECT_TRUE(ai.lines().empty());
}

TEST(VebixAiLoad, TextWithoutHeaderIsNotAMind) {
    VebixAi empty;
    EXPECT_EQ(errorOf(empty, ""), "Not a valid Vebix mind file");
    VebixAi future;
    EXPECT_EQ(errorOf(future, "3.0 3.0 \"X\"\r\n\r\nk 1 a b\r\n"), "Incompatible mind file");
    EXPECT_EQ(future.botName(), "X");  // what was read so far stays
}

TEST(VebixAiLoad, TemplateKeepsItsKeyValueLines) {
    VebixAi ai;
    ai.loadText("t.mdd", templateMindText(), TextLines::Viewed);
    EXPECT_EQ(ai.botName(), "Vebix");
    EXPECT_EQ(ai.headerLines(),
              (std::vector<std::string>{"app=Vebix", "appver=1.2.02", "gender=m"}));
    EXPECT_EQ(ai.lines().size(), 122u);
}

// ---- isGreeting -----------------------------------------------------------------------------------

TEST(VebixAi, IsGreeting) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"sup", true},           {"hi!", true},         {"Hi there", true},
        {"oh hi", true},         {"HEY", true},         {"hey you", true},
        {"Hello", true},         {"xhellox", true},     {"whats up doc", true},
        {"so what's up?", true}, {"how are you", true}, {"this", false},
        {"chime", false},        {"they", false},       {"hi5", false},
        {"suppose", false},      {"", false},           {"good morning", false},
    };
    for (const auto& [text, greeting] : cases)
        EXPECT_EQ(VebixAi::isGreeting(text), greeting) << text;
}

// ---- openingLine ------------------------------------------------------------------------------------

// A seed whose first draws give, modulo 10, the digits asked for (-1: any digit).
std::uint64_t seedDrawing(const std::vector<int>& digits) {
    for (std::uint64_t seed = 1; seed < 10000000; ++seed) {
        rng::seed(seed);
        bool fits = true;
        for (int digit : digits) {
            const int drawn = static_cast<int>(rng::next() % 10);
            if (digit >= 0 && drawn != digit) fits = false;
        }
        if (fits) return seed;
    }
    ADD_FAILURE() << "no seed draws these digits";
    return 0;
}

// One draw per line that may open a conversation, in order: 2 or 6 takes that line at once,
// 0, 1 or 4 keep it (a later keep replaces it), 8 takes the line kept so far if any, the other
// digits pass; at the end the line kept is the opening, or none.
TEST(VebixAi, OpeningLineFollowsTheDrawsOverQualifyingLines) {
    VebixAi ai;
    ai.setName("Vebix");
    ai.loadText("m.mdd",
                "1.2 1.2 \"Vebix\"\r\n\r\n"
                "$ 1001 $a First one.\r\n"  // a conversation start (1001 >= 0 + 900)
                "$ 1002 $b Not a start.\r\n"
                "$ 1003 <ai> hello from me\r\n"  // the bot's own line never opens
                "$ zzz $a hello broken\r\n"      // time does not read: left out
                "$ 1100 $b oh hi\r\n"            // a greeting
                "$ 5000 $a Long pause.\r\n"      // 5000 >= 1100 + 900
                "$ 5001 $b plain\r\n",
                TextLines::Copied);
    // The draws for "First one.", "oh hi" and "Long pause.".
    const struct {
        std::vector<int> draws;
        std::string opening;
    } cases[] = {
        {{2, -1, -1}, "First one."},
        {{6, -1, -1}, "First one."},
        {{0, 8, -1}, "First one."},
        {{4, 3, 9}, "First one."},
        {{1, 4, 7}, "oh hi"},
        {{8, 0, 8}, "oh hi"},
        {{9, 9, 6}, "Long pause."},
        {{3, 5, 1}, "Long pause."},
        {{3, 8, 5}, ""},
        {{5, 7, 3}, ""},
    };
    for (const auto& c : cases) {
        rng::seed(seedDrawing(c.draws));
        EXPECT_EQ(ai.openingLine("Ann"), c.opening)
            << c.draws[0] << " " << c.draws[1] << " " << c.draws[2];
    }
}

TEST(VebixAi, OpeningLineOfEmptyMindIsEmpty) {
    VebixAi ai;
    EXPECT_EQ(ai.openingLine("Ann"), "");
}

// ---- saving -------------------------------------------------------------------------------------------

class VebixAiSave : public AppTest {};

TEST_F(VebixAiSave, SaveAllOfTheTemplateWritesItsBytes) {
    VebixAi ai;
    ai.loadText(spath("t.mdd"), templateMindText(), TextLines::Viewed);
    ai.saveAll();
    EXPECT_EQ(readBytes(path("t.mdd")), std::string(templateMindText()));
    EXPECT_TRUE(ai.headerWritten());
}

TEST_F(VebixAiSave, OldFileIsRewrittenAsVersionOneTwo) {
    writeBytes(path("old.mdd"), "1.1 1.0 Sam\r\nk 1 a hello\r\nk 2 <ai> hi\r\n");
    VebixAi ai;
    ai.loadFile(spath("old.mdd"));
    ai.saveAll();
    EXPECT_EQ(readBytes(path("old.mdd")),
              kBom + "1.2 1.2 \"Sam\"\r\n\r\nk 1 a hello\r\nk 2 <ai> hi\r\n");
    EXPECT_EQ(ai.version(), "1.2");
    EXPECT_EQ(ai.version2(), "1.2");
}

TEST_F(VebixAiSave, SaveFromAppendsOnlyNewLinesAndNeverASecondHeader) {
    VebixAi ai;
    ai.setBotName("Bo");
    ai.loadText(spath("bo.mdd"), "", TextLines::Copied);
    ai.addLine("Ann", "10", "Ann", "first");
    ai.saveFrom(0);  // no file yet: written whole
    const std::string whole = kBom + "1.2 1.2 \"Bo\"\r\n\r\nAnn 10 Ann first\r\n";
    EXPECT_EQ(readBytes(path("bo.mdd")), whole);
    ai.addLine("Ann", "11", "Ann", "second");
    ai.addAiLine("Ann", "11", "reply");
    ai.saveFrom(1);
    EXPECT_EQ(readBytes(path("bo.mdd")), whole + "Ann 11 Ann second\r\nAnn 11 <ai> reply\r\n");

    VebixAi fresh;  // a new object appending to the existing file
    fresh.loadFile(spath("bo.mdd"));
    fresh.addLine("Cy", "12", "Cy", "third");
    fresh.saveFrom(3);
    const std::string bytes = readBytes(path("bo.mdd"));
    EXPECT_EQ(bytes.find("1.2 1.2"), bytes.rfind("1.2 1.2"));
    VebixAi check;
    check.loadFile(spath("bo.mdd"));
    EXPECT_EQ(check.lines().size(), 4u);
}

TEST_F(VebixAiSave, AppendingEndsALastLineThatHasNoLineEnd) {
    writeBytes(path("m.mdd"), "1.2 1.2 \"M\"\n\nk 1 a one\nk 2 a two");
    VebixAi ai;
    ai.loadFile(spath("m.mdd"));
    ASSERT_EQ(linesOf(ai), (std::vector<std::string>{"k 1 a one", "k 2 a two"}));
    ai.addLine("k", "3", "a", "three");
    ai.saveFrom(2);
    EXPECT_EQ(readBytes(path("m.mdd")), "1.2 1.2 \"M\"\n\nk 1 a one\nk 2 a two\r\nk 3 a three\r\n");
    VebixAi back;
    back.loadFile(spath("m.mdd"));
    EXPECT_EQ(linesOf(back), (std::vector<std::string>{"k 1 a one", "k 2 a two", "k 3 a three"}));
}

TEST_F(VebixAiSave, EmptyExistingFileIsWrittenWhole) {
    writeBytes(path("e.mdd"), "");
    VebixAi ai;
    ai.setBotName("E");
    ai.loadText(spath("e.mdd"), "", TextLines::Copied);
    ai.addLine("k", "1", "a", "x");
    ai.saveFrom(0);
    EXPECT_EQ(readBytes(path("e.mdd")), kBom + "1.2 1.2 \"E\"\r\n\r\nk 1 a x\r\n");
}

TEST_F(VebixAiSave, MindMadeByTheProgramLoadsBackLineForLine) {
    VebixAi ai;
    ai.loadText(spath("round.mdd"), templateMindText(), TextLines::Viewed);
    ai.setBotName("Round Trip");
    ai.addLine("Ann Lee", "1700000000", "Ann Lee", "  blanks kept  ");
    ai.addAiLine("Ann Lee", "1700000000", "bytes \xFF\xFE and \xC3\xA9");
    ai.addLine("k", "1700000001", "k", std::string(100000, 'x'));
    ai.saveAll();
    VebixAi back;
    back.loadFile(spath("round.mdd"));
    EXPECT_EQ(back.botName(), "Round Trip");
    EXPECT_EQ(back.headerLines(), ai.headerLines());
    EXPECT_EQ(linesOf(back), linesOf(ai));
}

TEST_F(VebixAiSave, SaveFailuresAreRaised) {
    VebixAi ai;
    ai.setBotName("K");
    ai.loadText(spath("missing-folder/keep.mdd"), "", TextLines::Copied);
    ai.addLine("k", "1", "a", "x");
    try {
        ai.saveAll();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("missing-folder/keep.mdd"), std::string::npos);
    }
    EXPECT_FALSE(QFile::exists(path("missing-folder/keep.mdd")));
}

}  // namespace
}  // namespace vebix
