#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ai/findnocase.h"
#include "engine/base/ascii.h"
#include "engine/base/random.h"

using namespace vebix;

namespace {

// The plain rendering: every start in turn.
std::size_t plainFind(std::string_view hay, std::string_view needle, std::size_t from) {
    if (from > hay.size()) return std::string_view::npos;
    for (std::size_t p = from; p + needle.size() <= hay.size(); ++p) {
        bool same = true;
        for (std::size_t j = 0; j < needle.size() && same; ++j)
            same = asciiLower(hay[p + j]) == asciiLower(needle[j]);
        if (same) return p;
    }
    return std::string_view::npos;
}

}  // namespace

TEST(FindNoCase, Cases) {
    struct Case {
        std::string hay, needle;
        std::size_t from, expected;
    };
    const std::size_t npos = std::string_view::npos;
    const std::string longHay = std::string(40, 'x') + "Tea" + std::string(40, 'y') + "tEA";
    const std::vector<Case> cases = {
        {"Robert likes TEA", "tea", 0, 13},
        {"Robert likes TEA", "TEA", 14, npos},
        {"steam", "tea", 0, 1},
        {"", "a", 0, npos},
        {"abc", "", 2, 2},
        {"abc", "", 4, npos},
        {"a@b", "A`B", 0, npos},  // '@' and '`' differ by the case bit but are not letters
        {"A[b", "a{B", 0, npos},
        {"caf\xC3\xA9 CAF\xC3\xA9", "caf\xC3\xA9", 1, 6},
        {"caf\xC3\x89", "caf\xC3\xA9", 0, npos},  // no case folding beyond ASCII
        {longHay, "tea", 0, 40},
        {longHay, "tea", 41, 83},
        {longHay, "x", 39, 39},
        {longHay, std::string(41, 'x'), 0, npos},
    };
    for (const auto& c : cases)
        EXPECT_EQ(findNoCase(c.hay, c.needle, c.from), c.expected)
            << c.hay << " / " << c.needle << " from " << c.from;
}

// Random texts of a few letters (many near misses), against the plain rendering.
TEST(FindNoCase, SameAsThePlainSearch) {
    rng::seed(5);
    const std::string letters = "aAbB @`{[";
    for (int round = 0; round < 3000; ++round) {
        std::string hay(rng::next() % 90, ' '), needle(rng::next() % 5 + 1, ' ');
        for (char& c : hay) c = letters[rng::next() % letters.size()];
        for (char& c : needle) c = letters[rng::next() % letters.size()];
        const std::size_t from = rng::next() % (hay.size() + 2);
        ASSERT_EQ(findNoCase(hay, needle, from), plainFind(hay, needle, from))
            << hay << " / " << needle << " from " << from;
    }
}
