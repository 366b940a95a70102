#pragma once
// What the fast scorer keeps about the mind's lines. A line never changes once learned, so what
// is derived from it is worked out once and kept:
//   - for every line (cheap, made for all lines the first time a reply needs them): whether the
//     line takes part in scoring at all (three blanks and a readable time), its time, and its
//     conversation (the lower-case key) as a number;
//   - for a line the first time it is scored on its words: its tokens (normalising mode) as
//     numbers into a word table, each marked when it is the first of its kind in the line.
// Nothing here depends on the fill words, the input or the reference time.
//
// Not synchronised: the owner (Ai) holds its lock for the index while it uses or extends it.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/ai/linestore.h"
#include "engine/base/arena.h"
#include "engine/base/hugealloc.h"

namespace vebix {

class ReplyIndex {
public:
    // A token that is neither a Word nor a Number: it can only end a run.
    static constexpr std::uint32_t kBreak = 0;
    // Set on a token that is the first of its type and text in its line.
    static constexpr std::uint32_t kFirstBit = 0x80000000u;
    static constexpr std::uint32_t kIdMask = 0x7FFFFFFFu;

    struct LineTokens {
        const std::uint32_t* ids = nullptr;  // word ids, kBreak, each maybe with kFirstBit
        std::uint32_t count = 0;             // all tokens of the line
        bool longLine = false;               // a long line (scoring::isLongLine)
    };

    // Brings the per-line facts up to date with lines: the lines appended since the last call,
    // or all of them again when lines was cleared in between.
    void sync(const LineStore& lines);
    // Takes in the next line of the store last synced (its bytes, read by the caller): a loader
    // hands over each line while it has its bytes at hand.
    void append(std::string_view line);
    // Room for this many lines without growing.
    void reserve(std::size_t lines);

    std::size_t size() const { return time_.size(); }
    bool usable(std::size_t i) const { return (flags_[i] & kUsable) != 0; }
    // Said by "<ai>" (after the suffix strip): such a line never lends its text to a generated
    // reply, nor makes one a repeat (nor does a line marked "#-", which callers look for).
    bool fromAi(std::size_t i) const { return (flags_[i] & kAiStripped) != 0; }
    // The text field of line i (empty when it has fewer than three blanks).
    std::string_view text(std::size_t i, std::string_view line) const;
    std::uint32_t time(std::size_t i) const { return time_[i]; }
    std::uint32_t conversation(std::size_t i) const { return conversation_[i]; }
    std::size_t conversationCount() const { return conversations_.size(); }

    // The tokens of line i, whose text field is text; made on the first call. The pointer
    // stays valid until the next call of tokens() or sync().
    LineTokens tokens(std::size_t i, std::string_view text);
    bool hasTokens(std::size_t i) const { return tokenStart_[i] != kNone; }

    // The lines a phrase search found (see Ai::findLineWithPhrase), kept for the next search
    // of the same phrase (ASCII case ignored) with the same exclude: generation often looks
    // for a word and then for the same word as a line writes it. Forgotten when lines are
    // added or the store is cleared. Null when not kept.
    const std::vector<std::uint32_t>* foundLines(std::string_view phrase,
                                                 std::string_view exclude) const;
    void keepFoundLines(std::string_view phrase, std::string_view exclude,
                        std::vector<std::uint32_t> found);

    // The word table: ids from 1; type is TokenType::Word or TokenType::Number.
    std::size_t wordCount() const { return words_.size(); }
    std::uint16_t wordType(std::uint32_t id) const { return types_[id]; }
    std::string_view wordText(std::uint32_t id) const { return words_[id]; }

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const {
            return std::hash<std::string_view>{}(s);
        }
    };
    using Table = std::unordered_map<std::string, std::uint32_t, Hash, std::equal_to<>>;
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    void reset();
    std::uint32_t wordId(std::uint16_t type, std::string_view text);

    std::uint64_t epoch_ = ~std::uint64_t{0};
    // Per line.
    HugeVector<std::uint32_t> time_;
    HugeVector<std::uint32_t> conversation_;
    enum : std::uint8_t {
        kUsable = 1,      // three blanks and a readable time
        kHasText = 2,     // three blanks
        kAiStripped = 4,  // the speaker is "<ai>" after the suffix strip
    };
    HugeVector<std::uint8_t> flags_;
    HugeVector<std::uint8_t> textOffset_;   // 255: look for it again
    HugeVector<std::uint32_t> tokenStart_;  // into pool_, or kNone
    // Per line with tokens: a header (token count, bit 31 set for a long line), then the ids.
    HugeVector<std::uint32_t> pool_;
    // Conversations by lower-case key.
    Table conversations_;
    // The word table; index 0 stands for kBreak. Looked up through an open-addressing table of
    // (hash, id) slots: a reply on a big mind looks up thousands of words.
    struct Slot {
        std::uint64_t head = 0;   // the first eight bytes of the text, zeros after its end
        std::uint32_t id = 0;     // 0: empty
        std::uint16_t check = 0;  // more bits of the hash
        std::uint8_t length = 0;  // of the text, 255 for 255 or more
        std::uint8_t type = 0;    // TokenType::Word or Number
    };
    std::vector<Slot> slots_;
    std::vector<std::uint32_t> hashes_{0};  // by word id, for growing the table
    Arena texts_;                           // the words' texts, which words_ views
    std::vector<std::string_view> words_{std::string_view()};
    std::vector<std::uint16_t> types_{0};
    // The previous line's key and its conversation: lines of one conversation come in runs.
    std::string lastKey_;
    std::string lowerKey_;  // scratch
    // The latest phrase searches, newest last.
    struct Found {
        std::string phrase;  // lower case
        std::string exclude;
        std::vector<std::uint32_t> lines;
    };
    std::vector<Found> found_;
    std::uint32_t lastConversation_ = kNone;
};

}  // namespace vebix
