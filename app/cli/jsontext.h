#pragma once
// Text for the --json output of the terminal commands: one JSON object per line.

#include <string>
#include <string_view>

namespace vebix::cli {

// text as a JSON string, quotes included. Valid UTF-8 passes as it is (controls, quote and
// backslash escaped); a byte that is not part of valid UTF-8 is written as the code point of
// the same number ("\u00e9" for a Latin-1 "é"), so that the line stays valid JSON.
std::string jsonString(std::string_view text);

}  // namespace vebix::cli
