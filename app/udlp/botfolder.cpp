#include "app/udlp/botfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

#include "engine/base/ascii.h"
#include "engine/base/error.h"
#include "app/platform/filewrite.h"

namespace vebix {
namespace {

constexpr std::string_view kEmptyNameFolder = "Bot";

bool isControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// A byte that continues a UTF-8 character: the cut goes before the character it belongs to.
bool isContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

std::string cleanAbsolute(const std::string& path) {
    return fromQPath(QDir::cleanPath(QFileInfo(toQPath(path)).absoluteFilePath()));
}

}  // namespace

std::string userBotsFolder() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty()) return {};
    return fromQPath(QDir(data).filePath(QStringLiteral("vebix/bots")));
}

std::string botFolderName(std::string_view botName) {
    std::string name(trimAsciiSpace(botName));
    for (char& c : name)
        if (isControl(static_cast<unsigned char>(c)) || c == '/') c = '_';
    // Dots are decided on the name as it was, so that "..." becomes "___" and not "_._".
    const std::string dots = name;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (dots[i] != '.') continue;
        const bool nextToDot =
            (i > 0 && dots[i - 1] == '.') || (i + 1 < dots.size() && dots[i + 1] == '.');
        if (i == 0 || nextToDot) name[i] = '_';
    }
    if (name.size() > kMaxBotFolderName) {
        std::size_t cut = kMaxBotFolderName;
        while (cut > 0 && isContinuation(static_cast<unsigned char>(name[cut]))) --cut;
        name.resize(cut);
    }
    if (name.empty()) return std::string(kEmptyNameFolder);
    return name;
}

std::string userBotFolder(std::string_view botName) {
    const std::string bots = userBotsFolder();
    if (bots.empty()) return {};
    return fromQPath(QDir(toQPath(bots)).filePath(toQPath(botFolderName(botName))));
}

bool folderWritable(const std::string& folder) {
    // Asking the system whether writing is allowed says nothing about a read-only mount, and
    // says yes to root everywhere; making a file is the only answer that holds.
    const QFileInfo info(toQPath(folder));
    if (!info.isDir()) return false;
    QTemporaryFile probe(QDir(info.absoluteFilePath()).filePath(QStringLiteral(".vebix-XXXXXX")));
    return probe.open();  // removed again when probe goes
}

std::string udlpFolderFor(std::string_view botName, const std::string& programPath) {
    const std::string own = fromQPath(QFileInfo(toQPath(programPath)).absolutePath());
    return folderWritable(own) ? own : userBotFolder(botName);
}

std::string prepareBotFolder(const std::string& folder, const std::string& programPath) {
    const QFileInfo program(toQPath(programPath));
    const std::string exe = cleanAbsolute(programPath);
    const std::string target = cleanAbsolute(folder);
    if (target == fromQPath(QDir::cleanPath(program.absolutePath()))) return exe;

    namespace fs = std::filesystem;
    {
        std::error_code made;
        fs::create_directories(fs::path(target), made);
        if (made || !fs::is_directory(fs::path(target)))
            throw Error("Unable to create the bot's folder '" + target + "'" +
                        (made ? ": " + made.message() : std::string(": it is not a folder")));
    }
    const fs::path link = fs::path(target) / fs::path(fromQPath(program.fileName()));
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(link, ec);
    if (fs::exists(status) && !fs::is_symlink(status))
        throw Error("Unable to link the program into the bot's folder: '" + link.string() +
                    "' is in the way");
    // Made under another name and renamed over the old link, so that a link program never finds
    // the bot without its executable.
    const fs::path fresh = link.string() + ".new";
    fs::remove(fresh, ec);
    fs::create_symlink(exe, fresh, ec);
    if (!ec) fs::rename(fresh, link, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(fresh, ignored);
        throw Error("Unable to link the program into the bot's folder '" + target +
                    "': " + ec.message());
    }
    return link.string();
}

}  // namespace vebix
