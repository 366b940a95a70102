// Tokenizing any bytes, in both modes: no crash, no read outside the text or the list's own
// storage, every token of a length the record can hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/enparse/tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (vebix::Tokenize mode : {vebix::Tokenize::Plain, vebix::Tokenize::Normalising}) {
        const bool normalising = mode == vebix::Tokenize::Normalising;
        vebix::TokenList tokens = vebix::tokenize(text, mode);
        unsigned sum = 0;
        for (const vebix::Token& t : tokens) {
            for (char c : t.text()) sum += static_cast<unsigned char>(c);
        }
        if (!normalising && tokens.size() > size) std::abort();  // one byte makes at most one
        (void)sum;
    }
    return 0;
}
