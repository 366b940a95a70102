#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"
#include "support/fakeclock.h"
#include "engine/base/random.h"
#include "tools/mindgen.h"

#include <unistd.h>

using namespace vebix;
namespace fs = std::filesystem;

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
    AiTestHelper::setDebugSink(ai, [&](std::string_view t) {
        if (t.starts_with("Randomly chunked: ")) chunked.emplace_back(t);
        if (t == "Entry: generated") ++generated;
    });
    rng::seed(2024);
    int nonEmpty = 0;
    for (const auto& input : inputs) {
        std::string r;
        EXPECT_NO_THROW(r = ai.reply("Guest!t", "Guest!t", input, now));
        if (!r.empty()) ++nonEmpty;
    }
    std::cout << "[ replies  ] " << nonEmpty << " of " << inputs.size() << " non-empty, "
              << generated << " generated\n";
    RecordProperty("nonEmptyReplies", nonEmpty);
    EXPECT_GT(nonEmpty, 500);
    ASSERT_EQ(chunked.size(), inputs.size());
    for (const auto& c : chunked) EXPECT_EQ(c, "Randomly chunked: 0%");
}

// The replies of a generated 20,000-line mind read from a file (so its lines are views into the
// file, searched a block at a time), learning every other exchange (so new lines mix with
// loaded ones), are the ones recorded in replies_20000.txt: any change to scoring, choosing,
// generation or loading that changes a single reply or random draw shows here.
TEST(Corpus, RepliesAreAsRecordedOnATwentyThousandLineMind) {
    for (const bool prepared : {false, true}) {
        SCOPED_TRACE(prepared ? "prepared" : "not prepared");
        const std::string corpusFile = VEBIX_TEST_DATA_DIR "/corpus/chatterbot_en.txt";
        mindgen::Options options;
        options.lines = 20000;
        options.seed = 7;
        options.plain = true;
        const std::string text = mindgen::makeMind(mindgen::readCorpusFile(corpusFile), options);
        const fs::path folder =
            fs::temp_directory_path() / ("vebix-replies-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        const std::string path = (folder / "mind.dat").string();
        std::ofstream(path, std::ios::binary) << text;
        Ai ai;
        ai.setName("Benchbot");
        ASSERT_EQ(ai.loadFile(path), 20000u);
        ai.calcFillWords();
        const std::atomic<bool> stop{false};
        if (prepared) ai.prepareReplies(stop);

        std::ifstream corpus(corpusFile);
        std::vector<std::string> inputs;
        std::string line;
        while (inputs.size() < 300 && std::getline(corpus, line))
            if (!line.empty()) inputs.push_back(line);
        std::ifstream recorded(VEBIX_TEST_DATA_DIR "/ai/replies_20000.txt");
        std::vector<std::string> expected;
        while (std::getline(recorded, line)) expected.push_back(line);
        ASSERT_EQ(expected.size(), inputs.size());

        std::uint32_t now = *parseTime(parseLine(ai.lines().back(), AiSuffix::Keep).time) + 60;
        FakeClock fake(now);
        ScopedClock scoped(fake);
        int generated = 0;
        AiTestHelper::setDebugSink(
            ai, [&](std::string_view t) { generated += t == "Entry: generated"; });
        rng::seed(99);
        for (std::size_t k = 0; k < inputs.size(); ++k) {
            const std::string r = ai.reply("Guest!t", "Guest!t", inputs[k], now);
            ASSERT_EQ(r, expected[k]) << "reply " << k << " to: " << inputs[k];
            if (k % 2 == 0) {
                ai.addLine("Guest!t", std::to_string(now), "Guest!t", inputs[k]);
                ai.addAiLine("Guest!t", std::to_string(now + 1), r);
                now += 2;
                fake.setSeconds(now);
            }
        }
        EXPECT_GT(generated, 30);  // generation (the block search) had its share
        fs::remove_all(folder);
    }
}
