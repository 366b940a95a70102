#pragma once
// Tokens: the small records the tokenizer cuts chat text into. A token does not own its text;
// it points into the text it was cut from, into a constant, into the expansion table, or into
// the lower-cased copies held by the TokenList that contains it. Keep the source text alive for
// as long as the list.

#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace vebix {

// Token kinds. They are bit flags and are compared as numbers: the engine tests Word and Number
// by value and compares kinds for equality, the tokenizer's punctuation merging tests bits.
struct TokenType {
    enum : std::uint16_t {
        Word = 1,
        Pause = 2,
        Stop = 4,
        Symbol = 8,
        Question = 16,         // a question mark that replaced an earlier Pause or Stop
        QuestionRun = 16 | 2,  // a question run as read
        Number = 32,
    };
    static constexpr bool isQuestion(std::uint16_t t) { return (t & Question) != 0; }
};

// The longest text a token can hold (its length field has 16 bits).
inline constexpr std::size_t kMaxTokenLength = 0xFFFF;

struct Token {
    std::uint16_t type = 0;
    std::uint16_t length = 0;
    const char* data = nullptr;

    std::string_view text() const { return {data, length}; }
    // Stores the reference and the length; the text must be at most kMaxTokenLength bytes.
    void setText(std::string_view s) {
        data = s.data();
        length = static_cast<std::uint16_t>(s.size());
    }
};

// An ordered token list with the storage for texts the tokenizer had to copy (lower-cased
// words). Movable, not copyable: a copy would leave its tokens pointing into the original.
class TokenList {
public:
    TokenList() { tokens_.reserve(16); }
    TokenList(TokenList&& other) noexcept { *this = std::move(other); }
    TokenList& operator=(TokenList&& other) noexcept;
    TokenList(const TokenList&) = delete;
    TokenList& operator=(const TokenList&) = delete;

    std::size_t size() const { return tokens_.size(); }
    bool empty() const { return tokens_.empty(); }
    const Token& operator[](std::size_t i) const { return tokens_[i]; }
    Token& operator[](std::size_t i) { return tokens_[i]; }
    const Token& back() const { return tokens_.back(); }
    Token& back() { return tokens_.back(); }
    auto begin() const { return tokens_.begin(); }
    auto end() const { return tokens_.end(); }
    const std::vector<Token>& tokens() const { return tokens_; }

    void push_back(const Token& t) { tokens_.push_back(t); }
    void pop_back() { tokens_.pop_back(); }
    void clear() { tokens_.clear(); }

    // Keeps a copy of s alive as long as this list and returns a view of the copy.
    std::string_view keep(std::string_view s);
    // Takes over the kept texts of another list (whose tokens were appended to this one).
    void adoptStorage(TokenList&& other);

private:
    std::vector<Token> tokens_;
    // Kept texts live in blocks; a block never moves, so views into it survive moves of the list.
    std::vector<std::unique_ptr<char[]>> kept_;
    char* keptCur_ = nullptr;  // free room in the newest small-text block
    std::size_t keptLeft_ = 0;
    std::size_t keptNextBlock_ = 0;  // size of the next small-text block (grows)
};

}  // namespace vebix
