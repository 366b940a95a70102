#include "app/udlp/botfinder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>

#include "engine/base/error.h"
#include "engine/base/ascii.h"
#include "engine/base/filehandle.h"
#include "app/platform/filewrite.h"
#include "app/platform/safefile.h"
#include "app/platform/settings.h"
#include "app/udlp/botfolder.h"
#include "app/udlp/udlpformat.h"
#include "app/udlp/udlpinfo.h"

namespace vebix {
namespace {

constexpr std::uint32_t kBackslashMix = 0x265F9A98u;
constexpr unsigned kEntriesPerPump = 20;
constexpr unsigned kSupportedVersion = 2 * 256 + 0;

bool containsIgnoringCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i)
        if (equalsIgnoringAsciiCase(text.substr(i, part.size()), part)) return true;
    return false;
}

std::string joinPath(const std::string& folder, std::string_view name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += name;
    return path;
}

// Trailing separators say nothing about which folder is meant ("/a/b/" is "/a/b").
std::string_view withoutTrailingSlashes(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    return folder;
}

// The folder that holds the mind file; empty when mindPath names none.
std::string mindFolder(const std::string& mindPath) {
    const std::size_t slash = mindPath.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return mindPath.substr(0, slash);
}

bool holdsFile(const std::string& folder, std::string_view fileName) {
    return QFileInfo(toQPath(joinPath(folder, fileName))).isFile();
}

std::optional<std::string> existingFolder(const std::optional<std::string>& folder) {
    if (!folder || folder->empty() || !QFileInfo(toQPath(*folder)).isDir()) return std::nullopt;
    return folder;
}

}  // namespace

bool botEntryLess(const BotListEntry& a, const BotListEntry& b) {
    const int byName = compareIgnoringAsciiCase(a.name, b.name);
    if (byName != 0) return byName < 0;
    return compareIgnoringAsciiCase(a.folder, b.folder) < 0;
}

bool botEntryEqual(const BotListEntry& a, const BotListEntry& b) {
    return equalsIgnoringAsciiCase(a.name, b.name);
}

std::string escapeLinkBotName(std::string_view trimmedName) {
    static constexpr std::string_view kKept = " {}()_-!";
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(trimmedName.size());
    for (char c : trimmedName) {
        const auto byte = static_cast<unsigned char>(c);
        if (isAsciiAlnum(c) || kKept.find(c) != std::string_view::npos) {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

std::string linkBotValueName(std::string_view name, std::string_view folder) {
    std::string_view trimmedView = trimAsciiSpace(name);
    // A name as long as another bot's info file may give; kept short enough to stay a name.
    if (trimmedView.size() > kMaxRememberedNameBytes) {
        std::size_t end = kMaxRememberedNameBytes;
        while (end > 0 && (static_cast<unsigned char>(trimmedView[end]) & 0xC0) == 0x80) --end;
        trimmedView = trimmedView.substr(0, end);
    }
    const std::string trimmed(trimmedView);
    auto h = static_cast<std::uint32_t>(trimmed.size() + folder.size());
    for (char c : folder) {
        h += static_cast<unsigned char>(asciiLower(c));
        if (c == '\\') h ^= kBackslashMix;
    }
    char digits[9];
    std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(h));
    return escapeLinkBotName(trimmed) + "." + digits;
}

void rememberLinkBot(const BotListEntry& entry) {
    Settings settings;
    settings.writeString(Settings::kLinkBotListGroup, linkBotValueName(entry.name, entry.folder),
                         entry.folder);
}

BotSearchPlaces botSearchPlaces() {
    BotSearchPlaces places;
    places.programFilesFolder = "/opt";
    const QString home = QDir::homePath();
    if (!home.isEmpty()) places.driveRoot = fromQPath(home);
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty()) places.desktopFolder = fromQPath(desktop);
    const std::string userBots = userBotsFolder();
    if (!userBots.empty()) places.userBotsFolder = userBots;
    return places;
}

bool namesKnownBotFolder(std::string_view path) {
    for (std::string_view known : kKnownBotFolderNames)
        if (containsIgnoringCase(path, known)) return true;
    return false;
}

std::optional<std::string> botFolderProblem(std::string_view folderText) {
    const std::string folder(trimAsciiSpace(folderText));
    if (folder.empty()) return std::string(kNoBotLocationMessage);
    if (!holdsFile(folder, udlp::kBasicFileName))
        return std::string(kNotUdlpFolderMessage) + "\r\n\r\n" + folder;
    return std::nullopt;
}

const BotListEntry* BotFinder::findByFolder(std::string_view folder) const {
    for (const BotListEntry& entry : entries_)
        if (equalsIgnoringAsciiCase(entry.folder, folder)) return &entry;
    return nullptr;
}

std::optional<BotListEntry> BotFinder::botFromFolder(const std::string& typedFolder,
                                                     Remember remember) {
    // A bot is listed, remembered and started by its absolute folder: a folder typed relative
    // to where this program started would mean another folder at the next start, and the
    // executable must not depend on the other bot's working folder or on PATH.
    const std::string folder =
        typedFolder.empty()
            ? typedFolder
            : fromQPath(QDir::cleanPath(QFileInfo(toQPath(typedFolder)).absoluteFilePath()));
    const std::string& mindPath = ownMindPath_;
    const std::string ownFolder = mindFolder(mindPath);
    if (!ownFolder.empty() &&
        equalsIgnoringAsciiCase(withoutTrailingSlashes(folder), withoutTrailingSlashes(ownFolder)))
        return std::nullopt;

    if (const BotListEntry* listed = findByFolder(folder)) {
        if (remember == Remember::InSettings) rememberLinkBot(*listed);
        return *listed;
    }

    // An exepath= without a folder names the file in the bot's folder, never one on PATH.
    auto inFolder = [&](const std::string& exe) {
        return !exe.empty() && exe.front() == '/' ? exe : joinPath(folder, exe);
    };
    std::string exePath;
    std::string name;
    if (holdsFile(folder, udlp::kBasicFileName)) {
        const std::string path = joinPath(folder, udlp::kBasicFileName);
        const FilePtr file = openRegularStream(path, Place::BotFolder,
                                               "Unable to read UDLP info file '" + path + "'");
        if (!file) throw systemError("Unable to read UDLP info file '" + path + "'", ENOENT);
        UdlpInfo header;
        if (readUdlpHeader(file.get(), header) == kSupportedVersion) {
            name = header.botName;
            // A header without an executable's name names no executable (not the folder).
            if (!header.exeName.empty()) exePath = inFolder(header.exeName);
        }
    }

    UdlpInfo extended;
    if (loadUdlpInfo(folder, extended)) {
        if (!mindPath.empty() && equalsIgnoringAsciiCase(extended.mind, mindPath))
            return std::nullopt;
        if (!extended.botName.empty()) name = extended.botName;
        if (!extended.exePath.empty()) exePath = inFolder(extended.exePath);
    }

    if (exePath.empty() || name.empty()) return std::nullopt;
    BotListEntry entry{name, folder, exePath};
    entries_.push_back(entry);
    if (added_) added_(entry);
    if (remember == Remember::InSettings) rememberLinkBot(entry);
    return entry;
}

bool BotFinder::examine(const std::string& folder, const EventPump& pump) {
    try {
        botFromFolder(folder, Remember::ForThisSearch);
    } catch (const Error& e) {
        // A bot whose info files cannot be read is not listed; the search goes on.
        skipped_.push_back({folder, e.what()});
    }
    return !pump || pump();
}

bool BotFinder::examineEntries(const std::string& folder, const EventPump& pump, Entries which) {
    // A folder that cannot be listed would read as an empty one.
    if (::access(folder.c_str(), R_OK | X_OK) != 0) {
        skipped_.push_back(
            {folder, withReason("Unable to list the folder '" + folder + "'", errno)});
        return !pump || pump();
    }
    const QDir dir(toQPath(folder));
    const QFileInfoList list = dir.entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
    for (const QFileInfo& info : list) {
        const std::string path = joinPath(folder, fromQPath(info.fileName()));
        const bool candidate = info.isDir() && (which == Entries::All || namesKnownBotFolder(path));
        if (candidate && !examine(path, pump)) return false;
        if (++listedCount_ % kEntriesPerPump == 0 && pump && !pump()) return false;
    }
    return true;
}

bool BotFinder::search(const BotSearchPlaces& places, const EventPump& pump) {
    std::vector<std::string> remembered;
    {
        Settings settings;
        for (const std::string& valueName : settings.valueNames(Settings::kLinkBotListGroup)) {
            std::optional<std::string> folder =
                settings.readString(Settings::kLinkBotListGroup, valueName);
            if (folder && !folder->empty()) remembered.push_back(std::move(*folder));
        }
    }
    for (const std::string& folder : remembered)
        if (!examine(folder, pump)) return false;

    if (auto programFiles = existingFolder(places.programFilesFolder))
        if (!examineEntries(*programFiles, pump, Entries::NamingKnownBots)) return false;

    for (const auto& place : {places.driveRoot, places.desktopFolder}) {
        auto folder = existingFolder(place);
        if (!folder) continue;
        if (!examine(*folder, pump) || !examineEntries(*folder, pump, Entries::NamingKnownBots))
            return false;
    }
    if (auto userBots = existingFolder(places.userBotsFolder))
        if (!examineEntries(*userBots, pump, Entries::All)) return false;
    return true;
}

}  // namespace vebix
