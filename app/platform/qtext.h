#pragma once
// Bytes of the engine (UTF-8 std::string and views) as Qt text.

#include <QString>

#include <string_view>

namespace vebix {

// s read as UTF-8; a byte that is not valid UTF-8 becomes U+FFFD, as QString::fromUtf8 has it.
inline QString fromUtf8(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace vebix
