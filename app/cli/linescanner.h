#pragma once
// Splitting an input into lines exactly as LineSplitter (engine/base/lines.h) does, and telling
// at the same time whether each line is plain ASCII. The importer would otherwise look at every
// byte three times (for the LF, for a CR before it, and for UTF-8), which on big inputs costs
// more than reading them.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vebix::cli {

class LineScanner {
public:
    explicit LineScanner(std::string_view text) : text_(text) {}

    // The next line (a view into the text) and whether all its bytes are below 0x80, or false
    // when the text is used up.
    bool next(std::string_view& line, bool& ascii) {
        const std::size_t size = text_.size();
        if (pos_ >= size) return false;
        const char* const base = text_.data();
        std::size_t i = pos_;
        std::uint64_t seen = 0;  // the bytes before the line end, or-ed together
        bool found = false;
        if constexpr (std::endian::native == std::endian::little) {
            // Eight bytes at a time; the first CR or LF is the lowest flagged byte (a flag
            // above a true one may be false, one below never is).
            for (; i + 8 <= size; i += 8) {
                std::uint64_t word;
                std::memcpy(&word, base + i, 8);
                const std::uint64_t ends = zeroBytes(word ^ kLfs) | zeroBytes(word ^ kCrs);
                if (ends != 0) {
                    const auto before = static_cast<unsigned>(std::countr_zero(ends)) / 8;
                    if (before != 0) seen |= word & (~std::uint64_t{0} >> (64 - 8 * before));
                    i += before;
                    found = true;
                    break;
                }
                seen |= word;
            }
        }
        if (!found)
            for (; i < size && base[i] != '\n' && base[i] != '\r'; ++i)
                seen |= static_cast<unsigned char>(base[i]);
        line = std::string_view(base + pos_, i - pos_);
        ascii = (seen & kHighBits) == 0;
        pos_ = i + 1;
        if (i < size && base[i] == '\r' && pos_ < size && base[pos_] == '\n') ++pos_;
        return true;
    }

private:
    static constexpr std::uint64_t kOnes = 0x0101010101010101ull;
    static constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    static constexpr std::uint64_t kLfs = kOnes * '\n';
    static constexpr std::uint64_t kCrs = kOnes * '\r';
    // The high bit of each zero byte of v set (and maybe of some bytes above the first zero).
    static constexpr std::uint64_t zeroBytes(std::uint64_t v) {
        return (v - kOnes) & ~v & kHighBits;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace vebix::cli
