#pragma once
// The one error type of the system. Every failure the program reports to a person carries a
// fixed message text; callers show what() as it stands. Where the system gave a reason (an
// errno), it follows the fixed text after ": ", as the system words it, so that the person
// can put things right ("No space left on device", "Permission denied").

#include <stdexcept>
#include <string>

namespace vebix {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// The system's own words for the errno value err ("Permission denied").
std::string systemReason(int err);

// message, ": " and the system's words for err; message alone when err is 0.
std::string withReason(const std::string& message, int err);

// An Error whose text is withReason(message, err).
inline Error systemError(const std::string& message, int err) {
    return Error(withReason(message, err));
}

}  // namespace vebix
