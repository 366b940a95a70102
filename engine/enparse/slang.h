#pragma once
// Slang and contraction expansion for the tokenizer's normalising mode.
//
// The expansion table has 47 entries (short form -> plain words); each expansion is tokenized
// once, in normalising mode, when the program starts, and the table is read-only afterwards.

#include <cstddef>
#include <string_view>

#include "engine/enparse/token.h"

namespace vebix {

// A ready-made token sequence (a view of tokens owned elsewhere).
struct TokenSeq {
    const Token* data = nullptr;
    std::size_t size = 0;
    bool empty() const { return size == 0; }
    const Token* begin() const { return data; }
    const Token* end() const { return data + size; }
};

// The sequence of the first table entry whose key equals word byte for byte, or an empty
// sequence when there is none (also before the table is built).
TokenSeq expandSlang(std::string_view word);

// The tokens for a word holding an apostrophe at byte index apostrophe (the word's last
// apostrophe). The tokens point into word and into constant replacement words; they are not
// lower-cased here.
TokenList splitContraction(std::size_t apostrophe, std::string_view word);

// Number of entries of the table (47).
std::size_t slangTableSize();

}  // namespace vebix
