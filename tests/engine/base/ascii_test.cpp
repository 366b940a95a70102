#include <gtest/gtest.h>

#include <string>

#include "engine/base/ascii.h"

using namespace vebix;

TEST(Ascii, EveryByteFoldsOnlyWithinAToZ) {
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const bool upper = b >= 'A' && b <= 'Z';
        const bool lower = b >= 'a' && b <= 'z';
        const bool digit = b >= '0' && b <= '9';
        EXPECT_EQ(asciiLower(c), upper ? static_cast<char>(b + 32) : c) << b;
        EXPECT_EQ(asciiUpper(c), lower ? static_cast<char>(b - 32) : c) << b;
        EXPECT_EQ(isAsciiLetter(c), upper || lower) << b;
        EXPECT_EQ(isAsciiDigit(c), digit) << b;
        EXPECT_EQ(isAsciiAlnum(c), upper || lower || digit) << b;
        EXPECT_EQ(isAsciiSpace(c), b == ' ' || (b >= '\t' && b <= '\r')) << b;
    }
}

TEST(Ascii, CodePointsAboveAsciiAreNeverLetters) {
    // Code points whose low byte is an ASCII letter stay what they are.
    for (char32_t cp : {U'\u0141', U'\u0161', U'\u0241', U'\U0001F641'}) {
        EXPECT_FALSE(isAsciiLetter(cp)) << static_cast<unsigned>(cp);
        EXPECT_EQ(asciiLower(cp), cp);
    }
    EXPECT_EQ(asciiLower(U'Q'), U'q');
    EXPECT_TRUE(isAsciiDigit(U'7'));
}

TEST(Ascii, StringsCompareIgnoringAsciiCaseOnly) {
    EXPECT_EQ(lowerAscii("MiXeD 42 \xC3\x84Z"), "mixed 42 \xC3\x84z");
    struct Case {
        std::string a, b;
        bool equal;
        int order;  // sign of compareIgnoringAsciiCase(a, b)
    };
    const Case cases[] = {
        {"Hello", "hELLO", true, 0},
        {"", "", true, 0},
        {"abc", "abd", false, -1},
        {"ABD", "abc", false, 1},
        {"ab", "ABC", false, -1},
        {"\xC3\x84", "\xC3\xA4", false, -1},  // not ASCII: bytes compared as they are, unsigned
        {"_", "a", false, -1},                // '_' sorts before the lower-case letters
    };
    for (const Case& c : cases) {
        EXPECT_EQ(equalsIgnoringAsciiCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
        const int order = compareIgnoringAsciiCase(c.a, c.b);
        EXPECT_EQ((order > 0) - (order < 0), c.order) << c.a << " / " << c.b;
    }
    EXPECT_TRUE(startsWithIgnoringAsciiCase("Documents/x", "documents"));
    EXPECT_FALSE(startsWithIgnoringAsciiCase("Doc", "documents"));
}

TEST(Ascii, TrimmingRemovesOnlyAsciiWhiteSpaceAtTheEnds) {
    struct Case {
        std::string text, left, right, both;
    };
    const Case cases[] = {
        {"", "", "", ""},
        {" \t\n\v\f\r", "", "", ""},
        {"a", "a", "a", "a"},
        {" \ta b\r\n", "a b\r\n", " \ta b", "a b"},
        {"\v\fx\f\v", "x\f\v", "\v\fx", "x"},
        // A no-break space (C2 A0), NUL and other bytes are text, not white space.
        {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},
        {std::string(" \0 ", 3), std::string("\0 ", 2), std::string(" \0", 2),
         std::string("\0", 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(trimAsciiSpaceLeft(c.text), c.left);
        EXPECT_EQ(trimAsciiSpaceRight(c.text), c.right);
        EXPECT_EQ(trimAsciiSpace(c.text), c.both);
    }
    static_assert(trimAsciiSpace("  x y  ") == "x y");
}
