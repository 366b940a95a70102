#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "support/fakeclock.h"
#include "engine/base/random.h"

using namespace vebix;

// A 1,000-line mind made by the benchmark mind generator (make_mind.py --lines 1000 --seed 1
// --plain) answers 1,000 lines taken from the conversation corpus.
TEST(Corpus, ThousandRepliesOnAThousandLineMind) {
    Ai ai;
    ai.setName("Benchbot");
    ASSERT_EQ(ai.loadFile(VEBIX_TEST_DATA_DIR "/ai/mind_1000.dat"), 1000u);
    ai.calcFillWords();
    EXPECT_FALSE(ai.fillWords().empty());

    std::ifstream corpus(VEBIX_TEST_DATA_DIR "/corpus/chatterbot_en.txt");
    ASSERT_TRUE(corpus.good());
    std::vector<std::string> inputs;
    std::string line;
    while (inputs.size() < 1000 && std::getline(corpus, line))
        if (!line.empty()) inputs.push_back(line);
    ASSERT_EQ(inputs.size(), 1000u);

    const std::uint32_t now = *parseTime(parseLine(ai.lines().back(), AiSuffix::Keep).time) + 60;
    FakeClock fake(now);
    ScopedClock scoped(fake);
    std::vector<std::string> chunked;
    int generated = 0;
    ai.setDebugSink([&](std::string_view t) {
        if (t.starts_with("Randomly chunked: ")) chunked.emplace_back(t);
        if (t == "Entry: generated") ++generated;
    });
    rng::seed(2024);
    int nonEmpty = 0;
    for (const auto& input : inputs) {
        std::string r;
        EXPECT_NO_THROW(r = ai.reply("Guest!t", {}, "Guest!t", input, now));
        if (!r.empty()) ++nonEmpty;
    }
    std::cout << "[ replies  ] " << nonEmpty << " of " << inputs.size() << " non-empty, "
              << generated << " generated\n";
    RecordProperty("nonEmptyReplies", nonEmpty);
    EXPECT_GT(nonEmpty, 500);
    ASSERT_EQ(chunked.size(), inputs.size());
    for (const auto& c : chunked) EXPECT_EQ(c, "Randomly chunked: 0%");
}
