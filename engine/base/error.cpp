#include "engine/base/error.h"

#include <cstring>

namespace vebix {

std::string systemReason(int err) {
    // strerror_r has two forms; the GNU one may return a static text instead of filling buf.
    char buf[256];
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    return ::strerror_r(err, buf, sizeof buf);
#else
    if (::strerror_r(err, buf, sizeof buf) != 0) return "error " + std::to_string(err);
    return buf;
#endif
}

std::string withReason(const std::string& message, int err) {
    if (err == 0) return message;
    return message + ": " + systemReason(err);
}

}  // namespace vebix
