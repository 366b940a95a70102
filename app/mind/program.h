#pragma once
// The program-wide values fixed at start-up and the start-up steps that settle them: which mind
// file to load, the local speaker tag, the response delay; and recording the last mind and user.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vebix {

inline constexpr const char* kMessageCaption = "Vebix";

struct ProgramValues {
    std::string mindPath;           // the current mind file; empty when none is chosen
    std::string defaultMindFolder;  // the user's documents folder; empty when unknown
    std::string localTag;           // appended to the user's name in the user's speaker id
    bool delayResponses = true;     // hold each reply until a second after the engine was asked
};

// The one instance for the process.
ProgramValues& programValues();

// Shows an error message to the user (window mode only).
using ErrorReporter = std::function<void(const std::string& message)>;

// Settles mindPath: the named path when it exists (unchanged); otherwise, when no path is named,
// the "LastMindFile" setting when it names a path that exists, else "Vebix.mdd" in the
// documents folder (created when missing; the file itself need not exist). Also sets localTag
// when empty and defaultMindFolder.
//
// A named path that does not exist gives the message "Mind file not found:" CR LF and its full
// path: quiet throws it as an Error, otherwise it goes to report and the result is false.
// Throws Error when the documents folder is needed and cannot be created.
bool chooseStartMind(bool quiet, const std::string& namedPath, const ErrorReporter& report = {});

// The local tag from the computer's and the user's names; "-" when either is unknown.
std::string computeLocalTag();
std::string computeLocalTag(const std::optional<std::string>& computerName,
                            const std::optional<std::string>& userName);

// Sets delayResponses from the "Delay" setting; a missing or unreadable value leaves it as is.
void readDelaySetting();

// Records the mind file and the user's name as "LastMindFile" and "LastUserName".
void saveSettings(const std::string& mindPath, const std::string& userName);

// The full path of path, as the messages and the mind keeping show it.
std::string fullPath(const std::string& path);

}  // namespace vebix
