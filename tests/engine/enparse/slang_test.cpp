#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/enparse/slang.h"
#include "engine/enparse/tokenizer.h"
#include "token_text.h"

using namespace vebix;
using namespace vebix::testing;

namespace {

std::vector<Tok> seqToks(TokenSeq seq) {
    std::vector<Tok> out;
    for (const Token& t : seq) out.push_back({t.type, std::string(t.text())});
    return out;
}

std::vector<Tok> words(std::initializer_list<const char*> texts) {
    std::vector<Tok> out;
    for (const char* t : texts) out.push_back(W(t));
    return out;
}

}  // namespace

TEST(Slang, TableHoldsAll47EntriesInLowerCase) {
    EXPECT_EQ(slangTableSize(), 47u);
    const std::vector<Tok> ageSexLocation = {W("age"), P(","), W("sex"), W("and"), W("location")};
    const std::vector<std::pair<const char*, std::vector<Tok>>> table = {
        {"u", words({"you"})},
        {"r", words({"are"})},
        {"ur", words({"you", "are"})},
        {"thats", words({"that", "is"})},
        {"whats", words({"what", "is"})},
        {"dont", words({"do", "not"})},
        {"wont", words({"will", "not"})},
        {"y", words({"why"})},
        {"fav", words({"favorite"})},
        {"doesnt", words({"does", "not"})},
        {"gonna", words({"going", "to"})},
        {"isnt", words({"is", "not"})},
        {"cuz", words({"because"})},
        {"pls", words({"please"})},
        {"plz", words({"please"})},
        {"ppl", words({"people"})},
        {"wouldnt", words({"would", "not"})},
        {"couldnt", words({"could", "not"})},
        {"didnt", words({"did", "not"})},
        {"theyre", words({"they", "are"})},
        {"theyr", words({"they", "are"})},
        {"ru", words({"are", "you"})},
        {"thx", words({"thanks"})},
        {"k", words({"ok"})},
        {"teh", words({"the"})},
        {"asl", ageSexLocation},
        {"a/s/l", ageSexLocation},
        {"ctc", words({"care", "to", "chat"})},
        {"dunno", words({"do", "not", "know"})},
        {"dono", words({"do", "not", "know"})},
        {"o", words({"oh"})},
        {"im", words({"i", "am"})},
        {"bro", words({"brother"})},
        {"sis", words({"sister"})},
        {"ive", words({"i", "have"})},
        {"n", words({"and"})},
        {"won't", words({"will", "not"})},
        {"aint", words({"am", "not"})},
        {"ain't", words({"am", "not"})},
        {"shouldnt", words({"should", "not"})},
        {"can't", words({"can", "not"})},
        {"cannot", words({"can", "not"})},
        {"notta", words({"nothing"})},
        {"gtg", words({"got", "to", "go"})},
        {"gotta", words({"got", "to"})},
        {"huh", words({"what"})},
        {"bout", words({"about"})},
    };
    ASSERT_EQ(table.size(), slangTableSize());
    for (const auto& [key, expected] : table) {
        EXPECT_EQ(seqToks(expandSlang(key)), expected) << key;
    }
}

TEST(Slang, OnlyExactKeysExpand) {
    for (const char* word : {"", "Dont", "U", "you", "dontt", "don", "a", "s", "l", "asl?",
                             "shouldntt", "aslx", "x"}) {
        EXPECT_TRUE(expandSlang(word).empty()) << word;
    }
}

TEST(Slang, NormalisingTokenizationExpands) {
    struct Case {
        const char* text;
        std::vector<Tok> expected;
    };
    const std::vector<Case> cases = {
        {"u r my bro", words({"you", "are", "my", "brother"})},
        {"U R", words({"u", "r"})},
        {"asl?", {W("age"), P(","), W("sex"), W("and"), W("location"), QR("?")}},
        {"a/s/l", {W("a"), S("/"), W("s"), S("/"), W("l")}},
        {"don't", words({"do", "not"})},
        {"won't", words({"will", "not"})},
        {"can't", words({"can", "not"})},
        {"ain't", words({"am", "not"})},
        {"it's", words({"it", "is"})},
        {"you're", words({"you", "are"})},
        {"we'll", words({"we", "will"})},
        {"do'nt", words({"do", "not"})},
        {"I'm", words({"i", "am"})},
        {"dogs'", {W("dogs"), S("'")}},
        {"I'M", {W("i"), S("'"), W("m")}},
        {"cat't", {W("cat"), S("'"), W("t")}},  // "t" needs an "n" before it
        {"Won't", words({"wo", "not"})},        // keys are case-sensitive
        {"rock'n'roll", {W("rock"), S("'"), W("n"), S("'"), W("roll")}},
        {"gotta go", words({"got", "to", "go"})},
        {"im ok", words({"i", "am", "ok"})},
        // An expansion is appended whole, never suppressed as a repetition ...
        {"u u u u u u u u", words({"you", "you", "you", "you", "you", "you", "you", "you"})},
        // ... and leaves the repetition count alone: the "ha" after it is the seventh in a row.
        {"ha ha ha ha ha ha u ha", words({"ha", "ha", "ha", "ha", "ha", "ha", "you"})},
        // After a sequence the last type is its last token's, a Word: the comma stays.
        {"u, k", {W("you"), P(","), W("ok")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(toks(tokenize(c.text, Tokenize::Normalising)), c.expected) << c.text;
    }
}

TEST(Slang, PlainTokenizationDoesNotExpand) {
    EXPECT_EQ(toks(tokenize("u r gonna", Tokenize::Plain)), words({"u", "r", "gonna"}));
    EXPECT_EQ(toks(tokenize("won't", Tokenize::Plain)),
              (std::vector<Tok>{W("won"), S("'"), W("t")}));
}

TEST(Slang, SplitContraction) {
    struct Case {
        std::size_t apostrophe;
        std::string word;
        std::vector<Tok> expected;
    };
    const std::vector<Case> cases = {
        {2, "it's", words({"it", "is"})},
        {3, "don't", words({"do", "not"})},
        {1, "I'M", {W("I"), S("'"), W("M")}},  // not lower-cased here
        {1, "I'm", words({"I", "am"})},
        {3, "she'll", words({"she", "will"})},
        {4, "they're", words({"they", "are"})},
        {2, "do'nt", words({"do", "not"})},
        {4, "dogs'", {W("dogs"), S("'")}},
        {1, "n't", words({"not"})},  // nothing is left before "not": no empty word
        {3, "cat't", {W("cat"), S("'"), W("t")}},
    };
    for (const Case& c : cases) {
        const TokenList list = splitContraction(c.apostrophe, c.word);
        EXPECT_EQ(toks(list), c.expected) << c.word;
        // The parts before the apostrophe are the word's own bytes.
        if (!list.empty() && c.word.starts_with(list[0].text())) {
            EXPECT_EQ(list[0].data, c.word.data()) << c.word;
        }
    }
}
