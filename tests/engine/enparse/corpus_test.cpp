#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/enparse/likeness.h"
#include "engine/enparse/tokenizer.h"
#include "token_text.h"

using namespace vebix;

namespace {

std::vector<std::string> corpusFiles() {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(VEBIX_TEST_DATA_DIR "/corpus")) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool isTypeValue(std::uint16_t t) {
    switch (t) {
        case TokenType::Word:
        case TokenType::Pause:
        case TokenType::Stop:
        case TokenType::Symbol:
        case TokenType::Question:
        case TokenType::QuestionRun:
        case TokenType::Number:
            return true;
        default:
            return false;
    }
}

// Checks every line in both modes; counts the tokens seen.
void checkLines(const std::vector<std::string_view>& lines, const std::string& what,
                std::size_t& total) {
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const std::string_view line = lines[n];
        const TokenList plain = tokenize(line, Tokenize::Plain);
        const char* lastEnd = line.data();
        for (const Token& t : plain) {
            // Plain tokens are slices of the line, in order and not overlapping.
            ASSERT_TRUE(isTypeValue(t.type)) << what << " line " << n + 1;
            ASSERT_GT(t.length, 0u) << what << " line " << n + 1;
            ASSERT_GE(t.data, lastEnd) << what << " line " << n + 1;
            ASSERT_LE(t.data + t.length, line.data() + line.size()) << what << " line " << n + 1;
            if (t.type == TokenType::Symbol) {
                ASSERT_LE(t.length, 4u) << what << " line " << n + 1;
            }
            lastEnd = t.data + t.length;
        }
        const TokenList normal = tokenize(line, Tokenize::Normalising);
        for (const Token& t : normal) {
            ASSERT_TRUE(isTypeValue(t.type)) << what << " line " << n + 1;
            ASSERT_GT(t.length, 0u) << what << " line " << n + 1;
            for (char c : t.text()) {
                ASSERT_FALSE(c >= 'A' && c <= 'Z') << what << " line " << n + 1;
            }
        }
        // A sink sees what the list holds.
        ASSERT_EQ(vebix::testing::sunkToks(line), vebix::testing::toks(normal))
            << what << " line " << n + 1;
        // The likeness functions on neighbouring tokens: they must simply not misbehave.
        for (std::size_t i = 1; i < normal.size(); ++i) {
            (void)wordsAlike(normal[i - 1].text(), normal[i].text());
            (void)looseEquals(normal[i - 1].text(), normal[i].text());
        }
        total += plain.size() + normal.size();
    }
}

}  // namespace

TEST(Corpus, EveryLineTokenizesInBothModes) {
    const auto files = corpusFiles();
    ASSERT_FALSE(files.empty());
    for (const std::string& path : files) {
        const std::string text = readAll(path);
        const auto lines = splitLines(text);
        ASSERT_FALSE(lines.empty()) << path;
        std::size_t tokens = 0;
        checkLines(lines, path, tokens);
        if (HasFatalFailure()) return;
        EXPECT_GT(tokens, lines.size()) << path;
    }
}

TEST(Corpus, DamagedCopyTokenizesInBothModes) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> percent(0, 99);
    std::uniform_int_distribution<int> byte(0, 255);
    for (const std::string& path : corpusFiles()) {
        std::string text = readAll(path);
        std::size_t damaged = 0;
        for (char& c : text) {
            if (percent(random) == 0) {
                c = static_cast<char>(byte(random));
                ++damaged;
            }
        }
        ASSERT_GT(damaged, text.size() / 200) << path;
        const auto lines = splitLines(text);
        std::size_t tokens = 0;
        checkLines(lines, path + " (damaged)", tokens);
        if (HasFatalFailure()) return;
        EXPECT_GT(tokens, lines.size()) << path;
    }
}
