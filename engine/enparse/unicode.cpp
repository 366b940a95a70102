#include "engine/enparse/unicode.h"

#include <algorithm>
#include <cstdint>

#include "engine/base/ascii.h"

namespace vebix::unicode {

namespace {

struct LowerRun {
    char32_t first;
    std::uint16_t count;
    std::uint8_t stride;
    std::int32_t delta;
};

struct CodeRange {
    char32_t first;
    char32_t last;
};

#include "engine/enparse/unicode_tables.inc"

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

char32_t decode(std::string_view text, std::size_t pos, std::size_t& length) {
    length = 1;
    const std::size_t n = text.size();
    if (pos >= n) return kInvalid;
    const auto* s = reinterpret_cast<const unsigned char*>(text.data()) + pos;
    const std::size_t left = n - pos;
    const unsigned char b0 = s[0];
    if (b0 < 0x80) return b0;

    // The range allowed for the second byte excludes overlong forms, surrogates and code points
    // above U+10FFFF, so every later byte only needs to be a continuation byte.
    std::size_t len;
    unsigned char lo = 0x80, hi = 0xBF;
    char32_t cp;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return kInvalid;  // a continuation byte, or a lead byte that can only start an overlong
                          // or out-of-range sequence
    }
    if (left < len || s[1] < lo || s[1] > hi) return kInvalid;
    cp = (cp << 6) | (s[1] & 0x3F);
    for (std::size_t i = 2; i < len; ++i) {
        if (!isContinuation(s[i])) return kInvalid;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    length = len;
    return cp;
}

void encode(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char32_t toLower(char32_t cp) {
    if (cp < 0x80) return asciiLower(cp);
    // The last run starting at or before cp.
    const auto* end = std::end(kLowerRuns);
    const auto* it = std::upper_bound(std::begin(kLowerRuns), end, cp,
                                      [](char32_t c, const LowerRun& r) { return c < r.first; });
    if (it == std::begin(kLowerRuns)) return cp;
    const LowerRun& r = *(it - 1);
    const char32_t offset = cp - r.first;
    if (offset % r.stride != 0 || offset / r.stride >= r.count) return cp;
    return static_cast<char32_t>(static_cast<std::int64_t>(cp) + r.delta);
}

bool isAlphabetic(char32_t cp) {
    if (cp < 0x80) return isAsciiLetter(cp);
    const auto* it = std::upper_bound(std::begin(kAlphabetic), std::end(kAlphabetic), cp,
                                      [](char32_t c, const CodeRange& r) { return c < r.first; });
    return it != std::begin(kAlphabetic) && cp <= (it - 1)->last;
}

bool isValid(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        std::size_t len;
        if (decode(text, pos, len) == kInvalid) return false;
        pos += len;
    }
    return true;
}

}  // namespace vebix::unicode
