// The importer's line scanner against the engine's splitter it must agree with.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "app/cli/linescanner.h"
#include "engine/base/lines.h"

namespace vebix::cli {
namespace {

struct Scanned {
    std::vector<std::string_view> lines;
    std::vector<bool> ascii;
};

Scanned scan(std::string_view text) {
    Scanned s;
    LineScanner scanner(text);
    std::string_view line;
    bool ascii = false;
    while (scanner.next(line, ascii)) {
        s.lines.push_back(line);
        s.ascii.push_back(ascii);
    }
    return s;
}

// The same views as LineSplitter gives (same bytes at the same places), and ascii true exactly
// for the lines without a byte from 0x80 up.
void expectAgrees(std::string_view text) {
    const Scanned s = scan(text);
    std::vector<std::string_view> expected;
    forEachLine(text, [&](std::string_view line) { expected.push_back(line); });
    ASSERT_EQ(s.lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(s.lines[i].data(), expected[i].data()) << i;
        EXPECT_EQ(s.lines[i].size(), expected[i].size()) << i;
        const bool ascii = std::none_of(expected[i].begin(), expected[i].end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x80;
        });
        EXPECT_EQ(s.ascii[i], ascii) << i;
    }
}

TEST(LineScanner, SplitsLikeTheEngineAndTellsAsciiLines) {
    const std::string cases[] = {
        "",
        "a",
        "\n",
        "\r\n",
        "\r\r\n\n",
        "plain ascii line longer than a word\nsecond\r\nthird\rfourth",
        "caf\xC3\xA9 at the start of a long line\n\xFF\n",
        "exactly8\nexactly8\r\n1234567\r",
        // A high byte right after the line end, in the same eight bytes: not part of the line.
        "ab\n\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\n",
        "abcdefg\x80\nabcdefgh\r\x80",
        std::string("nul\0inside\nline", 16),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        expectAgrees(text);
    }
    // Every mix of the bytes that matter at every alignment, from a fixed seed.
    std::mt19937 random(20240611);
    const char alphabet[] = {'a', ' ', '\n', '\r', '\x80', '\xC3', '\x7F', '\0'};
    for (int round = 0; round < 3000; ++round) {
        std::string text(random() % 40, 'x');
        for (char& c : text) c = alphabet[random() % sizeof alphabet];
        SCOPED_TRACE(round);
        expectAgrees(text);
    }
}

}  // namespace
}  // namespace vebix::cli
