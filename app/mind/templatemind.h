#pragma once
// The built-in template mind: a complete mind file (byte-order mark, header for the bot "Vebix",
// the key=value lines, an empty line, then 122 lines of short chit-chat in 35 conversations),
// from which a new mind starts. Its bytes are app/resources/template_mind.mdd, built into the
// program.

#include <string_view>

namespace vebix {

// The exact bytes of the template mind file. Valid for the life of the program.
std::string_view templateMindText();

}  // namespace vebix
