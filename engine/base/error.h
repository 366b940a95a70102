#pragma once
// The one error type of the system. Every failure the program reports to a person carries a
// fixed message text; callers show what() as it stands.

#include <stdexcept>
#include <string>

namespace vebix {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace vebix
