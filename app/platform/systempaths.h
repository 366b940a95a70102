#pragma once
// What the program asks of the system about itself and its user: the documents folder, the
// program's own executable, the computer's and the user's names. Each can be overridden, so
// that tests never look at (or write beside) the real ones. None needs a QCoreApplication.

#include <QString>

#include <optional>
#include <string>

namespace vebix::systempaths {

// The user's documents folder, or empty when the system gives none.
QString documentsFolder();
// Full path of the running executable (the resolved /proc/self/exe).
QString executablePath();
// Its folder and its file name.
QString executableFolder();
QString executableFileName();
// The computer's host name and the login name of the current user; nullopt when unknown.
std::optional<std::string> computerName();
std::optional<std::string> userName();

// Overrides for tests; nullopt restores the system's answer. With an executable path
// overridden, executableFolder and executableFileName follow it.
void overrideDocumentsFolder(std::optional<QString> folder);
void overrideExecutablePath(std::optional<QString> path);

}  // namespace vebix::systempaths
