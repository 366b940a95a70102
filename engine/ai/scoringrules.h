#pragma once
// Small pieces shared by the reference scorer and the indexed one, so that both apply the same
// rules in the same way.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace vebix::scoring {

// Per conversation, within one scoring pass.
struct Context {
    std::uint32_t running = 0;
    std::uint32_t lastTime = 0;
};

// Key and speaker are stored with blanks as "_"; what the caller passes is compared in the
// same form, so that a name with a blank still earns the same-conversation and same-speaker
// bonuses.
inline std::string storedForm(std::string_view s) {
    std::string out(s);
    std::replace(out.begin(), out.end(), ' ', '_');
    return out;
}

inline std::uint32_t saturate32(std::uint64_t v) {
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

}  // namespace vebix::scoring
