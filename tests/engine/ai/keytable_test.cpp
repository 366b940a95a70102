#include <gtest/gtest.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "engine/ai/keytable.h"
#include "engine/base/ascii.h"
#include "engine/base/random.h"

using namespace vebix;

// Keys that are one key in another letter case, and keys that differ in a single byte at every
// place the table looks: inside the first sixteen bytes, just past them, in a long tail, and in
// length alone. Bytes outside A-Z/a-z (digits, "@" and "[" around the letters, UTF-8) are never
// folded.
TEST(KeyTable, CaseIsIgnoredAndEveryOtherByteCounts) {
    const std::string tail(40, 'q');
    struct Case {
        std::string a, b;
        bool same;
    };
    const std::vector<Case> cases = {
        {"Ann", "ann", true},
        {"ANN_42", "ann_42", true},
        {"", "", true},
        {"Ann", "Anne", false},
        {"ann", "ann ", false},
        {"Ann@", "ann@", true},
        {"@", "`", false},  // 0x40 and 0x60 are not a letter pair
        {"[", "{", false},  // nor 0x5B and 0x7B
        {"Z", "z", true},
        {"\xC3\x89", "\xC3\xA9", false},  // É and é: not ASCII, kept apart
        {"\xC1", "\xE1", false},          // bytes whose low seven bits are "A" and "a"
        {"Mary_Ann_Smith_1", "mary_ann_smith_1", true},    // exactly sixteen bytes
        {"Mary_Ann_Smith_1", "mary_ann_smith_2", false},   // the sixteenth byte
        {"Mary_Ann_Smith_12", "MARY_ANN_SMITH_12", true},  // one byte past sixteen
        {"Mary_Ann_Smith_12", "Mary_Ann_Smith_13", false},
        {"Mary_Ann_Smith_12", "Mary_Ann_Smith_1", false},
        {"X" + tail + "A", "x" + tail + "a", true},
        {"X" + tail + "A", "X" + tail + "B", false},
        {"X" + tail, "X" + tail + "q", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " | " + c.b);
        KeyTable table;
        EXPECT_EQ(table.id("first"), 0u);
        const std::uint32_t a = table.id(c.a);
        EXPECT_EQ(a, 1u);
        const std::uint32_t b = table.id(c.b);
        EXPECT_EQ(b == a, c.same);
        EXPECT_EQ(table.size(), c.same ? 2u : 3u);
        EXPECT_EQ(table.id(c.a), a);  // still found after the other went in
    }
}

// Many keys of every length, met in a random order and in random letter case, get the numbers
// a plain map of their lower-case forms gives them, through many growths of the table.
TEST(KeyTable, NumbersAsAPlainMapGivesThem) {
    rng::seed(11);
    std::vector<std::string> keys;
    for (int i = 0; i < 30000; ++i) {
        std::string k;
        const std::size_t length = rng::next() % 40;
        for (std::size_t j = 0; j < length; ++j) k.push_back("aBz_9\xC3Q"[rng::next() % 7]);
        keys.push_back(k);
    }
    KeyTable table;
    std::unordered_map<std::string, std::uint32_t> expected;
    for (int round = 0; round < 3; ++round) {
        for (std::string k : keys) {
            for (char& c : k)
                if (rng::next() % 2) c = asciiUpper(c);
            const auto [it, fresh] =
                expected.try_emplace(lowerAscii(k), static_cast<std::uint32_t>(expected.size()));
            ASSERT_EQ(table.id(k), it->second) << k;
        }
    }
    EXPECT_EQ(table.size(), expected.size());
    table.clear();
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.id(keys[5]), 0u);
}

// A short key probed in place, from a line with more bytes after it, is the key probed alone:
// the same number, and the same as its other-case forms; a key one byte longer or shorter is
// not.
TEST(KeyTable, ShortKeysProbedInPlaceAreTheSameKeys) {
    rng::seed(12);
    KeyTable table;
    for (std::size_t length = 0; length <= 16; ++length) {
        for (int round = 0; round < 20; ++round) {
            std::string line;
            for (int j = 0; j < 40; ++j) line.push_back("aBz_9 \xC3Q!"[rng::next() % 9]);
            const std::string key = line.substr(0, length);
            std::string other = key;
            for (char& c : other) c = asciiUpper(c);
            const KeyTable::Probe inPlace = KeyTable::probeShort(line.data(), length);
            const std::uint32_t id = table.id(other);
            EXPECT_EQ(table.id(key, inPlace), id) << key;
            EXPECT_TRUE(KeyTable::sameShortKey(inPlace, KeyTable::probe(other))) << key;
            EXPECT_FALSE(
                KeyTable::sameShortKey(inPlace, KeyTable::probe(line.substr(0, length + 1))));
            if (length > 0) {
                EXPECT_FALSE(KeyTable::sameShortKey(inPlace, KeyTable::probe(key.substr(1))));
            }
        }
    }
}
