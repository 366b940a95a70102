// The project's mind generator (tools/mindgen.h), which the tests use for big minds: the minds
// it makes are valid, realistic in shape, and the same for the same seed.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/mind/vebixai.h"
#include "tools/mindgen.h"

namespace vebix {
namespace {

const char* const kCorpus = VEBIX_TEST_DATA_DIR "/corpus/chatterbot_en.txt";

TEST(MindGenerator, MakesAValidMindOfExactlyTheLinesAskedFor) {
    const auto corpus = mindgen::readCorpusFile(kCorpus);
    ASSERT_GT(corpus.size(), 500u);
    std::size_t utterances = 0;
    for (const auto& c : corpus) utterances += c.size();
    // Small, and more than the corpus holds (its lines used again, varied).
    for (std::size_t n : {std::size_t{1}, std::size_t{7}, utterances + 500}) {
        mindgen::Options options;
        options.lines = n;
        options.seed = 5;
        options.botName = "Genbot";
        const std::string text = mindgen::makeMind(corpus, options);
        ASSERT_TRUE(
            text.starts_with("\xEF\xBB\xBF"
                             "1.2 1.2 \"Genbot\"\r\n"))
            << n;
        VebixAi ai;
        ai.loadText("generated.mdd", text, TextLines::Copied);
        EXPECT_EQ(ai.botName(), "Genbot");
        ASSERT_EQ(ai.lines().size(), n);

        std::uint32_t previous = 0;
        std::set<std::string> keys;
        std::size_t aiLines = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const std::string_view line = ai.lines()[i];
            const MindLine m = parseLine(line, AiSuffix::Keep);
            ASSERT_FALSE(m.text.empty()) << line;
            EXPECT_EQ(m.text.find_first_of(std::string_view("\r\n\0\t", 4)),
                      std::string_view::npos);
            const auto time = parseTime(m.time);
            ASSERT_TRUE(time) << line;
            EXPECT_GT(*time, previous) << line;  // times grow, line by line
            previous = *time;
            EXPECT_TRUE(m.speaker == kAiSpeaker || m.speaker == m.key) << line;
            if (m.speaker == kAiSpeaker) ++aiLines;
            keys.emplace(m.key);
        }
        if (n > 1) {
            EXPECT_GT(aiLines, 0u);
            EXPECT_LT(aiLines, n);
        }
        if (n > 1000) {
            EXPECT_GT(keys.size(), 50u);
        }
    }
}

TEST(MindGenerator, SameSeedSameBytesOtherSeedOtherMind) {
    const auto corpus = mindgen::readCorpusFile(kCorpus);
    mindgen::Options options;
    options.lines = 3000;
    options.seed = 9;
    const std::string first = mindgen::makeMind(corpus, options);
    EXPECT_EQ(mindgen::makeMind(corpus, options), first);
    options.seed = 10;
    EXPECT_NE(mindgen::makeMind(corpus, options), first);
    // Plain: the same lines as an AI data file, LF ends and no header.
    options.seed = 9;
    options.plain = true;
    const std::string plain = mindgen::makeMind(corpus, options);
    Ai data;
    ASSERT_EQ(data.loadText("plain.dat", plain, TextLines::Copied), 3000u);
    VebixAi mind;
    mind.loadText("mind.mdd", first, TextLines::Copied);
    EXPECT_EQ(std::vector<std::string>(data.lines().begin(), data.lines().end()),
              std::vector<std::string>(mind.lines().begin(), mind.lines().end()));
    EXPECT_EQ(plain.find('\r'), std::string::npos);
}

TEST(MindGenerator, CorpusUtterancesAreCleanedAndConversationsSplitAtEmptyLines) {
    const auto corpus =
        mindgen::parseCorpus("\xEF\xBB\xBFHi\tthere \r\n  you\n\n\n\nWho  are\r you?\nMe.");
    ASSERT_EQ(corpus.size(), 2u);
    EXPECT_EQ(corpus[0], (mindgen::Conversation{"Hi there", "you"}));
    EXPECT_EQ(corpus[1], (mindgen::Conversation{"Who are you?", "Me."}));
    EXPECT_THROW(mindgen::readCorpusFile(VEBIX_TEST_DATA_DIR "/no-such-corpus.txt"),
                 std::exception);
}

}  // namespace
}  // namespace vebix
