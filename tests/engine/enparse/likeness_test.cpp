#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/enparse/likeness.h"

using namespace vebix;

TEST(Likeness, LooseEquals) {
    struct Case {
        const char* first;
        const char* second;
        bool equal;
    };
    const std::vector<Case> cases = {
        {"Hello, world!", "hello world", true},
        {"it's", "its", true},
        {"abc", "abd", false},
        {"...", "!!", true},
        {"", "", true},
        {"", "a", false},
        {"a", "", false},
        {"?!", "", true},
        {"abc", "ab", false},
        {"ab", "abc", false},
        {"ab c1", "A-B-C-1 ", true},
        {"caf\xC3\xA9", "CAF", true},  // non-ASCII bytes are ignored
        {"x9", "X 9!", true},
        {"a1", "a2", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(looseEquals(c.first, c.second), c.equal) << c.first << " | " << c.second;
        EXPECT_EQ(looseEquals(c.second, c.first), c.equal) << c.second << " | " << c.first;
    }
}

TEST(Likeness, SoundCode) {
    struct Case {
        const char* word;
        const char* code;
    };
    const std::vector<Case> cases = {
        {"Robert", "R163"},
        {"Rupert", "R163"},
        {"Ashcraft", "A2613"},
        {"Tymczak", "T522"},
        {"Pfister", "P236"},
        {"Washington", "W25235"},
        {"123", ""},
        {"", ""},
        {"a", "A"},
        {"lee", "L"},
        {"Bb-b", "B1"},
        {"ab-b", "A11"},  // a non-letter separates
        {"4you", "Y"},
        {"Lloyd", "L3"},
        {"Jackson", "J25"},
        {"Schwarzenegger", "S62526"},
        {"caf\xC3\xA9", "C1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(soundCode(c.word), c.code) << c.word;
        char buffer[16];
        std::string spill;
        const std::string_view word = c.word;
        const std::string_view code = soundCode(word, buffer, sizeof buffer, spill);
        EXPECT_EQ(code, c.code) << c.word;
        // A word that fits the buffer is coded in it, nothing else is touched.
        if (!code.empty()) {
            EXPECT_EQ(code.data(), buffer) << c.word;
        }
        EXPECT_TRUE(spill.empty()) << c.word;
    }
}

TEST(Likeness, SoundCodeOfLongWordsUsesTheSpill) {
    const std::string word = "Pneumonoultramicroscopic";  // 24 bytes
    char buffer[16];
    std::string spill;
    const std::string_view code = soundCode(word, buffer, sizeof buffer, spill);
    EXPECT_EQ(code, soundCode(word));
    EXPECT_EQ(code, "P555436526212");
    EXPECT_EQ(code.data(), spill.data());
}

TEST(Likeness, WordsAlike) {
    struct Case {
        const char* first;
        const char* second;
        bool alike;
    };
    const std::vector<Case> cases = {
        {"soooo", "soo", true},
        {"soooo", "so", false},
        {"hellllo", "hello", true},
        {"their", "there", true},
        {"there", "th", true},
        {"th", "there", false},
        {"sed", "set", false},
        {"modem", "motem", true},
        {"a", "An", true},
        {"AN", "a", true},
        {"an", "the", false},
        {"a", "the", false},
        {"Cat", "cat", true},
        {"cat", "bat", false},
        {"Robert", "Rupert", true},
        {"Rob", "Rup", false},
        {"", "", false},
        {"a", "", false},
        // A tolerated e/r/i mismatch must not be followed by a pair that shows no swap.
        {"xer", "xrr", false},
        {"xer", "xre", true},
        {"xei", "xii", false},
        {"xre", "xee", false},
        {"xie", "xee", false},
        {"xie", "xei", true},
        // "d"/"t" anywhere but at the last position of either word.
        {"dad", "dat", false},
        {"tdx", "ttx", true},
        {"tdx", "tt", false},
        // Upper case beyond ASCII is lowered before comparing.
        {"\xC3\x89t\xC3\xA9", "\xC3\xA9t\xC3\xA9", true},
        {"caf\xC3\xA9", "caf", false},
        // Longer than five bytes: letters, or else equal sound codes.
        {"theirs", "theres", true},
        {"Ashcraft", "Ashcroft", true},
        {"Ashcraft", "Ashford", false},
        {"dontcare", "donotcare", true},  // D5326 both
        {"Robert", "Robbins", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(wordsAlike(c.first, c.second), c.alike) << c.first << " | " << c.second;
    }
}

TEST(Likeness, LongWordsCompareIgnoringCaseOrBySound) {
    const std::string a = "internationalisation";  // 20 bytes
    const std::string b = "INTERNATIONALISATION";
    const std::string c = "internationalization";
    const std::string d = "internationalisationx";
    EXPECT_TRUE(lettersAlike(a, b));
    EXPECT_FALSE(lettersAlike(a, c));
    EXPECT_FALSE(lettersAlike(a, d));
    EXPECT_FALSE(lettersAlike(a, "intern"));  // one long word is enough
    EXPECT_TRUE(wordsAlike(a, c));            // s and z share their sound digit
    EXPECT_FALSE(wordsAlike(a, "internal"));
    // 16 bytes is still compared letter by letter.
    EXPECT_TRUE(lettersAlike("aaaaaaaaaaaaaaab", "aab"));
    EXPECT_FALSE(lettersAlike("aaaaaaaaaaaaaaaab", "aab"));
}

TEST(Likeness, InvalidUtf8IsNeverLetterAlike) {
    const std::vector<std::string> bad = {"ab\xFF", "\x80", "caf\xC3", "x\xED\xA0\x80",
                                          "abcdefghijklmno\xC3"};
    for (const std::string& w : bad) {
        EXPECT_FALSE(lettersAlike(w, w)) << w;
        EXPECT_FALSE(lettersAlike("ab", w)) << w;
        if (w.size() <= 5) {
            EXPECT_FALSE(wordsAlike(w, w)) << w;
        }
    }
    // Long enough for the sound code, which ignores non-ASCII bytes.
    EXPECT_TRUE(soundAlike("abc\xFFxyz", "abc\xFFxyz"));
    EXPECT_TRUE(wordsAlike("Robert\xFF", "Rupert"));
}
