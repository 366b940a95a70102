#pragma once
// The tokenizer: one chat text (UTF-8) in, an ordered TokenList out.
//
// Plain mode keeps the text as typed (case, punctuation runs, an apostrophe ends a word).
// Normalising mode lower-cases every token, gives each punctuation run a one-character text
// ("?", "." or ","), keeps apostrophes inside words and rewrites slang words and contractions
// into plain words.
//
// Never fails. A NUL byte ends the text. A byte that does not start a valid UTF-8 sequence
// becomes a one-byte Symbol token. A run of letters or digits longer than kMaxTokenLength bytes
// becomes several tokens of at most that length (see tokenizer.cpp).
//
// Safe to call from several threads at once.

#include <cstdint>
#include <string_view>

#include "engine/enparse/token.h"

namespace vebix {

// Which of the two modes above tokenize works in.
enum class Tokenize { Plain, Normalising };

TokenList tokenize(std::string_view text, Tokenize mode);

// Takes the tokens of a tokenization one at a time, for a caller that turns each into something
// of its own at once and needs no list.
class TokenSink {
public:
    // The next token. Its text (lower case, at most kMaxTokenLength bytes) lives only until the
    // call returns.
    virtual void push(std::uint16_t type, std::string_view text) = 0;
    // Takes back the last token pushed (a punctuation token that a stronger one replaces).
    virtual void pop() = 0;

protected:
    ~TokenSink() = default;
};

// Normalising tokenization into sink: the same tokens as tokenize(text, Tokenize::Normalising),
// pushed in order, with the same take-backs the list would see.
void tokenizeInto(std::string_view text, TokenSink& sink);

}  // namespace vebix
