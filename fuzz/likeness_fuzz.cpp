// The loose comparisons on any two byte strings: no crash; looseEquals symmetric; a sound code
// never longer than its word and the same through the buffer and the string forms.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/enparse/likeness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t split = data[0] % size;
    const std::string_view all(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::string_view a = all.substr(0, split);
    const std::string_view b = all.substr(split);

    if (vebix::looseEquals(a, b) != vebix::looseEquals(b, a)) std::abort();
    (void)vebix::wordsAlike(a, b);
    (void)vebix::lettersAlike(a, b);
    (void)vebix::soundAlike(b, a);

    for (std::string_view w : {a, b}) {
        const std::string code = vebix::soundCode(w);
        if (code.size() > w.size()) std::abort();
        char small[4];
        std::string spill;
        std::string_view viaBuffer = vebix::soundCode(w, small, sizeof small, spill);
        if (viaBuffer != code) std::abort();
    }
    return 0;
}
