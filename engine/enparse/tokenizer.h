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

#include <string_view>

#include "engine/enparse/token.h"

namespace vebix {

// Which of the two modes above tokenize works in.
enum class Tokenize { Plain, Normalising };

TokenList tokenize(std::string_view text, Tokenize mode);

}  // namespace vebix
