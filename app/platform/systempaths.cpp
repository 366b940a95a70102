#include "app/platform/systempaths.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <vector>

namespace vebix::systempaths {
QString documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString executablePath() { return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath(); }

std::optional<std::string> computerName() {
    char buffer[HOST_NAME_MAX + 1] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0 || buffer[0] == '\0') return std::nullopt;
    return std::string(buffer);
}

std::optional<std::string> userName() {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name || found->pw_name[0] == '\0')
        return std::nullopt;
    return std::string(found->pw_name);
}

}  // namespace vebix::systempaths
