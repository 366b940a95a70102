#pragma once
// The start-up steps: which mind file to load, the documents folder, the local speaker tag, the
// response delay; and recording the last mind and user. The values are settled once and then
// handed to whoever uses them (the window, the mind keeper, bot mode).

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vebix {

inline constexpr const char* kMessageCaption = "Vebix";

// What start-up settled.
struct StartupChoice {
    std::string mindPath;         // the mind file to load; empty when none was chosen
    std::string documentsFolder;  // the user's documents folder; empty when unknown
    std::string localTag;         // appended to the user's name in the user's speaker id
    bool delayResponses = true;   // hold each reply until a second after the engine was asked
    std::string programPath;      // the program's own executable, which the UDLP files name
    std::optional<std::string> loginName;  // offered in the name prompt; none when unknown
};

// Shows an error message to the user (window mode only).
using ErrorReporter = std::function<void(const std::string& message)>;

// Settles the mind path: the named path when it exists (unchanged); otherwise, when no path is
// named, the "LastMindFile" setting when it names a path that exists, else "Vebix.mdd" in the
// documentsFolder (created when missing; the file itself need not exist). Also gives the
// documents folder and this machine's local tag; delayResponses and programPath stay as they
// are by default.
//
// What a named mind that does not exist gives: an Error (bot mode, which has no one to tell),
// or a message to the person and a choice with no mind path.
enum class MissingNamedMind { Throw, Report };

// A named path that does not exist gives the message "Mind file not found:" CR LF and its full
// path, thrown or reported as onMissing says. Throws Error when the documents folder is needed
// and cannot be created.
StartupChoice chooseStartMind(MissingNamedMind onMissing, const std::string& namedPath,
                              const std::string& documentsFolder, const ErrorReporter& report = {});

// The local tag from the computer's and the user's names; "-" when either is unknown.
std::string computeLocalTag();
std::string computeLocalTag(const std::optional<std::string>& computerName,
                            const std::optional<std::string>& userName);

// The "Delay" setting: false only for a stored 0; true when it is missing or unreadable.
bool readDelaySetting();

// Records the mind file and the user's name as "LastMindFile" and "LastUserName".
void saveSettings(const std::string& mindPath, const std::string& userName);

// The full path of path, as the messages and the mind keeping show it.
std::string fullPath(const std::string& path);

}  // namespace vebix
