#pragma once
// Pieces shared by the tokenizer and the slang table; not for use outside enparse.

#include <cstdint>
#include <string_view>

#include "engine/enparse/token.h"

namespace vebix::detail {

// Normalising tokenization that does not look words up in the expansion table. The table is
// built with it, so that expansions are never themselves expanded.
TokenList tokenizeUnexpanded(std::string_view text);

// Appends a token of the given type; a text longer than kMaxTokenLength bytes becomes several
// consecutive tokens of that type (the text must then be ASCII, so every cut falls between
// characters). Returns the number of tokens appended (0 for an empty text).
std::size_t appendPieces(TokenList& list, std::string_view text, std::uint16_t type);

}  // namespace vebix::detail
