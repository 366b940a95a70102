#pragma once
// What the program asks of the system about itself and its user: the documents folder, the
// program's own executable, the computer's and the user's names. None needs a
// QCoreApplication. Each is asked once, at start-up, and handed on; tests steer the documents
// folder through HOME and XDG_CONFIG_HOME and hand their own paths in where the program would
// hand these.

#include <QString>

#include <optional>
#include <string>

namespace vebix::systempaths {

// The user's documents folder, or empty when the system gives none.
QString documentsFolder();
// Full path of the running executable (the resolved /proc/self/exe).
QString executablePath();
// The computer's host name and the login name of the current user; nullopt when unknown.
std::optional<std::string> computerName();
std::optional<std::string> userName();

}  // namespace vebix::systempaths
