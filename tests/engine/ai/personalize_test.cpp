#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "ai_test_util.h"

using namespace vebix;
using vebix::testing::fill;

TEST(Personalize, Names) {
    struct Case {
        std::string name;  // the engine's own name
        std::vector<std::string> lines;
        std::string partner;
        std::string expected;  // for the text of the last line
    };
    const Case cases[] = {
        {"Vebix!local",
         {"$ 7002 Bot My name is Bot. Pleased to meet you."},
         "Sam!pc",
         "My name is Vebix. Pleased to meet you."},
        {"", {"$ 7002 Bot Bot here."}, "Sam", "me here."},                 // no name: "me"
        {"Vebix", {"$ 1001 $a I am $a and $b"}, "Sam", "I am $a and $b"},  // two characters
        {"Vebix", {"k 1 Al Al here"}, "Sam", "Al here"},
        {"Vebix",
         {"k 1 Alice!t how are you", "k 2 Bob Bob thanks Alice, fine"},
         "Sam!x",
         "Vebix thanks Sam, fine"},                                                    // addressee
        {"Vebix", {"k 1 Alice!t hi", "j 2 Bob thanks Alice"}, "Sam", "thanks Alice"},  // other key
        {"Vebix",
         {"k 1 Alice!t hi", "k 2 X a", "k 3 X b", "k 4 X c", "k 5 Bob hi Alice"},
         "Sam",
         "hi Alice"},  // too far back
        {"Vebix",
         {"k 1 Alice hi", "k 2 X Aliceson is Alice"},
         "Sam",
         "Samson is Sam"},  // found as a token, replaced anywhere
        {"Vebix",
         {"k 1 <ai> hello", "k 2 Tom thanks Vebix"},
         "Sam",
         "thanks Sam"},  // the engine addressed
        {"Vebix",
         {"k 1 Tom hi", "k 2 Bot<ai> Bot greets Tom, Tomas"},
         "Sam",
         "Bot greets Sam, Samas"},  // spoken by an engine: its name is ours; byte-exact, not whole words
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lines.back());
        Ai ai;
        ai.setName(c.name);
        fill(ai, c.lines);
        const std::size_t last = c.lines.size() - 1;
        EXPECT_EQ(ai.personalizeText(c.partner, last, lineText(ai.lines()[last])), c.expected);
    }
}
