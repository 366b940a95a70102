#include "engine/enparse/likeness.h"

#include <array>

#include "engine/base/ascii.h"
#include "engine/enparse/unicode.h"

namespace vebix {

namespace {

bool isArticle(std::string_view w) {
    return equalsIgnoringAsciiCase(w, "a") || equalsIgnoringAsciiCase(w, "an");
}

// lettersAlike compares words of up to this many bytes letter by letter, in fixed buffers.
constexpr std::size_t kLetterBuffer = 16;

// A word as lower-cased code points, with every run of three or more equal code points cut to
// two. False when the word is not valid UTF-8.
struct Letters {
    std::array<char32_t, kLetterBuffer> cp;
    std::size_t size = 0;

    bool read(std::string_view word) {
        std::size_t pos = 0;
        while (pos < word.size()) {
            std::size_t len;
            const char32_t c = unicode::decode(word, pos, len);
            if (c == unicode::kInvalid) return false;
            pos += len;
            const char32_t low = unicode::toLower(c);
            if (size >= 2 && cp[size - 1] == low && cp[size - 2] == low) continue;
            cp[size++] = low;  // at most one code point per byte, so it fits
        }
        return true;
    }
};

// Stands for the end of a word; unequal to every code point.
constexpr char32_t kEnd = 0xFFFFFFFF;

constexpr bool isERI(char32_t c) { return c == 'e' || c == 'r' || c == 'i'; }

// Sound-code digit of each letter A to Z; '0' gives no digit.
constexpr std::string_view kSoundDigits = "01230120022455012623010202";

}  // namespace

bool looseEquals(std::string_view first, std::string_view second) {
    std::size_t i = 0, j = 0;
    for (;;) {
        while (i < first.size() && !isAsciiAlnum(first[i])) ++i;
        while (j < second.size() && !isAsciiAlnum(second[j])) ++j;
        if (i == first.size() || j == second.size()) {
            return i == first.size() && j == second.size();
        }
        if (asciiUpper(first[i]) != asciiUpper(second[j])) {
            return false;
        }
        ++i;
        ++j;
    }
}

bool wordsAlike(std::string_view first, std::string_view second) {
    if (first.size() <= 5 || second.size() <= 5) return lettersAlike(first, second);
    return soundAlike(first, second);
}

bool lettersAlike(std::string_view first, std::string_view second) {
    if (first.size() > kLetterBuffer || second.size() > kLetterBuffer) {
        return equalsIgnoringAsciiCase(first, second);
    }
    if (first.empty() || second.empty()) return false;
    if (first.size() <= 2 && isArticle(first) && isArticle(second)) return true;

    Letters a, b;
    if (!a.read(first) || !b.read(second)) return false;
    if (a.cp[0] != b.cp[0]) return false;

    char32_t prevA = a.cp[0];
    char32_t prevB = b.cp[0];
    for (std::size_t k = 1;; ++k) {
        const char32_t ca = k < a.size ? a.cp[k] : kEnd;
        const char32_t cb = k < b.size ? b.cp[k] : kEnd;
        if (ca == kEnd && cb == kEnd) return true;
        if (ca != cb) {
            // An "e", "r" or "i" of the first word may stand for anything (a typo or a swap).
            if (isERI(ca)) {
                // tolerated
            } else if (((ca == 't' && cb == 'd') || (ca == 'd' && cb == 't')) && k != a.size - 1 &&
                       k != b.size - 1) {
                // "d" and "t" stand for each other except at the end of a word
            } else {
                return false;
            }
        } else {
            // An equal pair right after a tolerated mismatch must not show that the letters were
            // other than swapped ("er" against "rr", "ei" against "ii", "re"/"ie" against "ee").
            if (prevA == 'e' && ca == 'r' && prevB == 'r') return false;
            if (prevA == 'e' && ca == 'i' && prevB == 'i') return false;
            if ((prevA == 'r' || prevA == 'i') && ca == 'e' && prevB == 'e') return false;
        }
        prevA = ca;
        prevB = cb;
    }
}

bool soundAlike(std::string_view first, std::string_view second) {
    if (lettersAlike(first, second)) return true;
    char bufA[16], bufB[16];
    std::string spillA, spillB;
    return soundCode(first, bufA, sizeof bufA, spillA) ==
           soundCode(second, bufB, sizeof bufB, spillB);
}

std::string_view soundCode(std::string_view word, char* buffer, std::size_t bufferSize,
                           std::string& spill) {
    char* out = buffer;
    if (buffer == nullptr || bufferSize < word.size()) {
        spill.resize(word.size());
        out = spill.data();
    }
    std::size_t len = 0;
    char prev = 0;  // the previous digit; 0 when there is none
    for (const char ch : word) {
        const auto c = static_cast<unsigned char>(asciiUpper(ch));
        if (c < 'A' || c > 'Z') {
            prev = 0;  // a non-letter separates like a vowel
            continue;
        }
        const char digit = kSoundDigits[c - 'A'];
        if (len == 0) {
            out[len++] = static_cast<char>(c);
            prev = digit;
            continue;
        }
        if (c == 'H' || c == 'W') continue;
        if (c == 'A' || c == 'E' || c == 'I' || c == 'O' || c == 'U') prev = 0;
        if (digit == '0' || digit == prev) continue;
        out[len++] = digit;
        prev = digit;
    }
    return {out, len};
}

std::string soundCode(std::string_view word) {
    std::string code(word.size(), '\0');
    std::string unused;
    code.resize(soundCode(word, code.data(), code.size(), unused).size());
    return code;
}

}  // namespace vebix
