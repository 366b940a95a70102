#include "engine/ai/findnocase.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/base/ascii.h"

namespace vebix {
namespace {

bool matchesAt(const char* p, std::string_view needle) {
    for (std::size_t j = 0; j < needle.size(); ++j)
        if (asciiLower(p[j]) != asciiLower(needle[j])) return false;
    return true;
}

}  // namespace

std::size_t findNoCase(std::string_view hay, std::string_view needle, std::size_t from) {
    if (from > hay.size()) return std::string_view::npos;
    if (needle.empty()) return from;
    if (needle.size() > hay.size() - from) return std::string_view::npos;
    const std::size_t last = hay.size() - needle.size();  // the last possible start
    const char* const h = hay.data();
    std::size_t p = from;
#ifdef __SSE2__
    // Sixteen starts at a time: a start is a candidate when its first and its last byte match
    // the needle's (a letter in either case: setting bit 5 of a byte maps exactly 'A'..'Z' and
    // 'a'..'z' onto 'a'..'z'), and only candidates are compared in full. Most of a big text is
    // passed over at the speed of memory.
    const char first = needle.front(), end = needle.back();
    const __m128i firstCase = _mm_set1_epi8(isAsciiLetter(first) ? 0x20 : 0);
    const __m128i endCase = _mm_set1_epi8(isAsciiLetter(end) ? 0x20 : 0);
    const __m128i firstByte = _mm_set1_epi8(asciiLower(first));
    const __m128i endByte = _mm_set1_epi8(asciiLower(end));
    const std::size_t back = needle.size() - 1;
    while (p + 16 <= last + 1) {
        const __m128i a =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + p)), firstCase);
        const __m128i b =
            _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + p + back)), endCase);
        auto hits = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(a, firstByte), _mm_cmpeq_epi8(b, endByte))));
        while (hits != 0) {
            const std::size_t at = p + static_cast<std::size_t>(__builtin_ctz(hits));
            if (matchesAt(h + at, needle)) return at;
            hits &= hits - 1;
        }
        p += 16;
    }
#endif
    for (; p <= last; ++p)
        if (matchesAt(h + p, needle)) return p;
    return std::string_view::npos;
}

}  // namespace vebix
