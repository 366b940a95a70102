#include "engine/enparse/slang.h"

#include <algorithm>
#include <array>

#include "engine/enparse/tokenizer.h"
#include "engine/enparse/tokenizer_internal.h"

namespace vebix {

namespace {

struct SlangEntry {
    std::string_view key;
    std::string_view expansion;
};

// Keys are lower case and compared byte for byte. Order matters only in that the first matching
// entry wins; keys are unique.
constexpr std::array<SlangEntry, 47> kSlang = {{
    {"u", "you"},
    {"r", "are"},
    {"ur", "you are"},
    {"thats", "that is"},
    {"whats", "what is"},
    {"dont", "do not"},
    {"wont", "will not"},
    {"y", "why"},
    {"fav", "favorite"},
    {"doesnt", "does not"},
    {"gonna", "going to"},
    {"isnt", "is not"},
    {"cuz", "because"},
    {"pls", "please"},
    {"plz", "please"},
    {"ppl", "people"},
    {"wouldnt", "would not"},
    {"couldnt", "could not"},
    {"didnt", "did not"},
    {"theyre", "they are"},
    {"theyr", "they are"},
    {"ru", "are you"},
    {"thx", "thanks"},
    {"k", "ok"},
    {"teh", "the"},
    {"asl", "age, sex and location"},
    {"a/s/l", "age, sex and location"},
    {"ctc", "care to chat"},
    {"dunno", "do not know"},
    {"dono", "do not know"},
    {"o", "oh"},
    {"im", "I am"},
    {"bro", "brother"},
    {"sis", "sister"},
    {"ive", "I have"},
    {"n", "and"},
    {"won't", "will not"},
    {"aint", "am not"},
    {"ain't", "am not"},
    {"shouldnt", "should not"},
    {"can't", "can not"},
    {"cannot", "can not"},
    {"notta", "nothing"},
    {"gtg", "got to go"},
    {"gotta", "got to"},
    {"huh", "what"},
    {"bout", "about"},
}};

// Lookup buckets: one per first byte and length of a key.
constexpr std::size_t kLongestKey = 8;
constexpr std::size_t kMostPerBucket = 4;
constexpr std::size_t kBuckets = 256 * (kLongestKey + 1);
// For a word of 1 to kLongestKey bytes.
constexpr std::size_t bucketOf(std::string_view w) {
    return static_cast<unsigned char>(w.front()) * (kLongestKey + 1) + w.size();
}

struct Bucket {
    std::uint8_t count = 0;
    std::array<std::uint8_t, kMostPerBucket> entries{};
};
static_assert([] {
    std::array<std::size_t, kBuckets> perBucket{};
    for (const auto& e : kSlang) {
        if (e.key.empty() || e.key.size() > kLongestKey) return false;
        if (++perBucket[bucketOf(e.key)] > kMostPerBucket) return false;
    }
    return true;
}());

// The table as the tokenizer reads it: per entry the tokens of its expansion, and the entries
// grouped by the first byte and the length of their key, in table order, so that a word is
// compared with two keys at most.
class SlangTable {
public:
    SlangTable() {
        // Every expansion is tokenized before any key is reachable, so expansions are never
        // looked up in the table themselves.
        for (std::size_t i = 0; i < kSlang.size(); ++i) {
            sequences_[i] = detail::tokenizeUnexpanded(kSlang[i].expansion);
        }
        for (std::size_t i = 0; i < kSlang.size(); ++i) {
            auto& bucket = buckets_[bucketOf(kSlang[i].key)];
            bucket.entries[bucket.count++] = static_cast<std::uint8_t>(i);
        }
    }

    TokenSeq find(std::string_view word) const {
        if (word.empty() || word.size() > kLongestKey) return {};
        const auto& bucket = buckets_[bucketOf(word)];
        for (std::size_t j = 0; j < bucket.count; ++j) {
            const std::size_t i = bucket.entries[j];
            if (std::equal(word.begin(), word.end(), kSlang[i].key.begin())) {
                const auto& tokens = sequences_[i].tokens();
                return {tokens.data(), tokens.size()};
            }
        }
        return {};
    }

private:
    std::array<TokenList, kSlang.size()> sequences_;
    std::array<Bucket, kBuckets> buckets_{};
};

const SlangTable& table() {
    static const SlangTable instance;
    return instance;
}

// Built while the program starts, before main, so the first chat line does not pay for it; a
// tokenize call from another static initialiser that runs earlier builds it on the spot.
[[maybe_unused]] const SlangTable& builtAtStart = table();

// Contraction suffixes (the whole rest of the word after its apostrophe) and their words.
struct Suffix {
    std::string_view suffix;
    std::string_view word;
};
constexpr std::array<Suffix, 6> kSuffixes = {{
    {"m", "am"},
    {"s", "is"},
    {"t", "not"},  // only when the part before the apostrophe ends in "n", which is dropped
    {"ll", "will"},
    {"nt", "not"},
    {"re", "are"},
}};

}  // namespace

TokenSeq expandSlang(std::string_view word) { return table().find(word); }

std::size_t slangTableSize() { return kSlang.size(); }

TokenList splitContraction(std::size_t apostrophe, std::string_view word) {
    if (apostrophe < word.size()) {
        std::string_view prefix = word.substr(0, apostrophe);
        const std::string_view suffix = word.substr(apostrophe + 1);
        for (const Suffix& s : kSuffixes) {
            if (s.suffix != suffix) continue;
            if (suffix == "t") {
                if (prefix.empty() || prefix.back() != 'n') break;
                prefix.remove_suffix(1);
            }
            TokenList out;
            // "n't" leaves nothing before "not"; an empty word token would only mislead the
            // engine, so none is made.
            detail::appendPieces(out, prefix, TokenType::Word);
            detail::appendPieces(out, s.word, TokenType::Word);
            return out;
        }
    }
    // Not a contraction we know: the word splits at its apostrophes as in plain mode.
    return tokenize(word, Tokenize::Plain);
}

}  // namespace vebix
