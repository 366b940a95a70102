#pragma once
// Saving a terminal session's mind at its end without losing lines: when the save fails, the
// person at the terminal chooses (try again, save as another file, discard), as the window asks;
// when nobody can be asked, the whole mind goes to a rescue file.

#include <QDateTime>

#include <string>

namespace vebix {
class MindKeeper;
}

namespace vebix {
struct Console;
}  // namespace vebix

namespace vebix::cli {

// Closes the keeper's mind, saving its new lines. command names the command in messages
// ("chat"); userName is recorded with the mind's new place after a Save As. Returns 0 when the
// mind was saved or discarded by choice, 1 when the lines had to go to a rescue file (or could
// not be kept at all). Questions are read from console.inFd when it is a terminal.
int closeMindOrRescue(MindKeeper& keeper, Console& console, const std::string& command,
                      const std::string& userName);

// Where a mind that cannot be saved to mindPath goes: beside it, "<name>.rescued-<time>.mdd"
// (the ".mdd" of the name dropped first), the time as yyyyMMdd-HHmmss.
std::string rescuePathBeside(const std::string& mindPath, const QDateTime& when);
// The same name in the user's data folder (XDG_DATA_HOME/vebix) when the mind's own folder
// cannot take it.
std::string rescuePathInDataFolder(const std::string& mindPath, const QDateTime& when);

}  // namespace vebix::cli
