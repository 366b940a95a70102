#pragma once
// What every terminal command shares about the mind it works on and how it names files.

#include <string>

namespace vebix::cli {

// The mind a command works on when none is named, chosen as chat and the window choose it:
// the one used last, or Vebix.mdd in the documents folder. Empty when none can be chosen.
std::string defaultMindPath();

// A path as messages show it: in single quotes.
std::string quotedPath(const std::string& path);

}  // namespace vebix::cli
