#include "app/mind/startup.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>

#include "engine/base/error.h"
#include "app/platform/filewrite.h"
#include "app/platform/qtext.h"
#include "app/mind/mindfileformat.h"
#include "app/platform/settings.h"
#include "app/platform/systempaths.h"

namespace vebix {
namespace {

bool pathExists(const std::string& path) {
    return !path.empty() && QFileInfo::exists(toQPath(path));
}

}  // namespace

std::string fullPath(const std::string& path) {
    return fromQPath(QFileInfo(toQPath(path)).absoluteFilePath());
}

StartupChoice chooseStartMind(MissingNamedMind onMissing, const std::string& namedPath,
                              const std::string& documentsFolder, const ErrorReporter& report) {
    StartupChoice values;
    values.localTag = computeLocalTag();

    // An unknown documents folder fails the start-up only when the default mind is needed.
    values.documentsFolder = documentsFolder;

    if (!namedPath.empty()) {
        if (pathExists(namedPath)) {
            values.mindPath = namedPath;
            return values;
        }
        std::string message = "Mind file not found:\r\n" + fullPath(namedPath);
        if (onMissing == MissingNamedMind::Throw) throw Error(message);
        if (report) report(message);
        return values;
    }

    {
        Settings settings;
        std::optional<std::string> last = settings.findString(Settings::Key::LastMindFile);
        if (last && pathExists(*last)) {
            values.mindPath = *last;
            return values;
        }
    }

    const QString folder = toQPath(values.documentsFolder);
    if (folder.isEmpty() || !QFileInfo::exists(folder)) {
        if (folder.isEmpty())
            throw Error("Unable to create the folder '" + values.documentsFolder + "'");
        if (::mkdir(values.documentsFolder.c_str(), 0777) != 0)
            throw systemError("Unable to create the folder '" + values.documentsFolder + "'",
                              errno);
    }
    values.mindPath = fromQPath(QDir(folder).filePath(fromUtf8(mindfile::kDefaultFileName)));
    return values;
}

std::string computeLocalTag(const std::optional<std::string>& computerName,
                            const std::optional<std::string>& userName) {
    if (!computerName || !userName) return "-";
    const std::string& m = *computerName;
    const std::string& u = *userName;
    std::uint32_t h = static_cast<std::uint32_t>(m.size() + u.size()) ^ 0x8D16AAu;
    for (unsigned char b : m) h = (h + b) ^ 0x211EDBu;
    for (unsigned char b : u) h = (h + b) ^ 0x7BC95u;
    h = ((~h) >> 16) ^ (h & 0xFFFFu);
    return m.substr(0, 3) + std::to_string(h);
}

std::string computeLocalTag() {
    return computeLocalTag(systempaths::computerName(), systempaths::userName());
}

bool readDelaySetting() {
    Settings settings;
    const std::optional<std::uint32_t> delay = settings.findDword(Settings::Key::Delay);
    return !delay || *delay != 0;
}

void saveSettings(const std::string& mindPath, const std::string& userName) {
    Settings settings;
    settings.setString(Settings::Key::LastMindFile, mindPath);
    settings.setString(Settings::Key::LastUserName, userName);
    settings.sync();
}

}  // namespace vebix
