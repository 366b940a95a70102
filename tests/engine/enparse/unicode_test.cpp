#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/enparse/unicode.h"

using namespace vebix;

TEST(Unicode, DecodesValidSequences) {
    struct Case {
        std::string bytes;
        char32_t cp;
    };
    const std::vector<Case> cases = {
        {"A", U'A'},
        {"\x7F", 0x7F},
        {"\xC2\x80", 0x80},
        {"\xC3\xA9", 0xE9},
        {"\xDF\xBF", 0x7FF},
        {"\xE0\xA0\x80", 0x800},
        {"\xED\x9F\xBF", 0xD7FF},
        {"\xEE\x80\x80", 0xE000},
        {"\xEF\xBF\xBF", 0xFFFF},
        {"\xF0\x90\x80\x80", 0x10000},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF},
    };
    for (const Case& c : cases) {
        std::size_t len = 0;
        EXPECT_EQ(unicode::decode(c.bytes + "x", 0, len), c.cp)
            << std::hex << static_cast<unsigned>(c.cp);
        EXPECT_EQ(len, c.bytes.size()) << std::hex << static_cast<unsigned>(c.cp);
        EXPECT_TRUE(unicode::isValid(c.bytes)) << std::hex << static_cast<unsigned>(c.cp);
    }
}

TEST(Unicode, RejectsMalformedSequencesOneByteAtATime) {
    const std::vector<std::string> bad = {
        "\x80",
        "\xBF",
        "\xC0\x80",
        "\xC1\xBF",
        "\xC2",
        "\xC2x",
        "\xE0\x9F\xBF",
        "\xE2\x82",
        "\xED\xA0\x80",
        "\xED\xBF\xBF",
        "\xF0\x8F\xBF\xBF",
        "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80",
        "\xFE",
        "\xFF",
        "\xF0\x9F\x98",
        "\xE2\x82\xC3\xA9",
    };
    for (const std::string& b : bad) {
        std::size_t len = 0;
        EXPECT_EQ(unicode::decode(b, 0, len), unicode::kInvalid) << b;
        EXPECT_EQ(len, 1u) << b;
        EXPECT_FALSE(unicode::isValid("ok" + b)) << b;
    }
    std::size_t len = 0;
    EXPECT_EQ(unicode::decode("ab", 2, len), unicode::kInvalid);  // past the end
}

TEST(Unicode, EncodeAndDecodeRoundTripEveryCodePoint) {
    std::string s;
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        s.clear();
        unicode::encode(cp, s);
        std::size_t len = 0;
        ASSERT_EQ(unicode::decode(s, 0, len), cp);
        ASSERT_EQ(len, s.size());
    }
}

TEST(Unicode, SimpleLowerCase) {
    struct Case {
        char32_t in, out;
    };
    const std::vector<Case> cases = {
        {U'A', U'a'},         {U'Z', U'z'},       {U'a', U'a'},     {U'@', U'@'},
        {U'[', U'['},         {0xC9, 0xE9},       {0xD7, 0xD7},  // multiplication sign
        {0xDF, 0xDF},    // sharp s has no simple upper/lower pair
        {0x1E9E, 0xDF},  // capital sharp s
        {0x130, 0x69},   // capital I with dot above
        {0x100, 0x101},       {0x101, 0x101},     {0x178, 0xFF},    {0x3A9, 0x3C9},
        {0x416, 0x436},       {0x212A, U'k'},     {0x2126, 0x3C9},  {0x23A, 0x2C65},
        {0x10400, 0x10428},   {0x1E921, 0x1E943}, {0x4E2D, 0x4E2D}, {0x1F600, 0x1F600},
        {0x10FFFF, 0x10FFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unicode::toLower(c.in), c.out) << std::hex << static_cast<unsigned>(c.in);
    }
}

TEST(Unicode, Alphabetic) {
    struct Case {
        char32_t cp;
        bool alphabetic;
    };
    const std::vector<Case> cases = {
        {U'a', true},     {U'Z', true},    {U'0', false},   {U'_', false},
        {U' ', false},    {0xAA, true},                     // feminine ordinal indicator (Lo)
        {0xE9, true},     {0xD7, false},   {0x2B0, true},   // modifier letter (Lm)
        {0x1C5, true},                                      // title case (Lt)
        {0x4E2D, true},   {0x16EE, true},  {0x216B, true},  // letter numbers (Nl)
        {0x660, false},                                     // Arabic-Indic digit zero (Nd)
        {0x300, false},                                     // combining grave (Mn)
        {0x1F600, false}, {0x20000, true}, {0xD800, false}, {0x10FFFF, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unicode::isAlphabetic(c.cp), c.alphabetic)
            << std::hex << static_cast<unsigned>(c.cp);
    }
}
