#include "app/udlp/udlpinfo.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <memory>
#include <string_view>

#include "engine/base/error.h"
#include "app/platform/filewrite.h"
#include "app/platform/safefile.h"
#include "app/platform/systempaths.h"
#include "app/udlp/botfolder.h"
#include "app/udlp/udlpformat.h"
#include "engine/myfile/readline.h"
#include "engine/base/ascii.h"
#include "engine/base/filehandle.h"

namespace vebix {
namespace {

std::uint8_t parseVersionPart(const std::string& text) {
    if (text.empty()) throw Error(std::string(udlp::kBadVersionMessage));
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') throw Error(std::string(udlp::kBadVersionMessage));
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > udlp::kMaxVersionPart) throw Error(std::string(udlp::kBadVersionMessage));
    }
    return static_cast<std::uint8_t>(value);
}

// Lines of an info file, with the bounds of a file others can place.
BoundedLineReader infoReader(std::FILE* file) {
    return BoundedLineReader(file, kMaxLineBytes, kMaxReadBytes);
}

// A missing line, or one that cannot be read, is empty.
std::string nextLine(BoundedLineReader& reader) {
    std::string line;
    if (!reader.next(line)) line.clear();
    return line;
}

unsigned readHeader(BoundedLineReader& reader, UdlpInfo& info) {
    info.versionMajor = parseVersionPart(nextLine(reader));
    info.versionMinor = parseVersionPart(nextLine(reader));
    info.exeName = nextLine(reader);
    info.botName = nextLine(reader);
    info.cut = reader.anyCut();
    return info.versionMajor * 256u + info.versionMinor;
}

}  // namespace

bool parseUdlpFlag(const std::string& value) {
    if (value == "0") return false;
    const std::string lower = lowerAscii(value);
    return lower != "false" && lower != "no";
}

unsigned readUdlpHeader(std::FILE* file, UdlpInfo& info) {
    BoundedLineReader reader = infoReader(file);
    return readHeader(reader, info);
}

UdlpInfo readUdlpInfo(std::FILE* file) {
    UdlpInfo info;
    BoundedLineReader reader = infoReader(file);
    readHeader(reader, info);
    std::string line;
    while (reader.next(line)) {
        auto take = [&](std::string_view key) {
            return line.size() > key.size() && std::string_view(line).substr(0, key.size()) == key;
        };
        if (take(udlp::kMindKey))
            info.mind = line.substr(udlp::kMindKey.size());
        else if (take(udlp::kShowErrorsKey))
            info.showErrors = parseUdlpFlag(line.substr(udlp::kShowErrorsKey.size()));
        else if (take(udlp::kLearnKey))
            info.learn = parseUdlpFlag(line.substr(udlp::kLearnKey.size()));
        else if (take(udlp::kExePathKey))
            info.exePath = line.substr(udlp::kExePathKey.size());
    }
    info.cut = reader.anyCut();
    return info;
}

bool loadUdlpInfo(const std::string& folder, UdlpInfo& info) {
    const QString name = QString::fromLatin1(
        udlp::kExtendedFileName.data(), static_cast<qsizetype>(udlp::kExtendedFileName.size()));
    const QString path = folder.empty() ? name : QDir(toQPath(folder)).filePath(name);
    const std::string pathBytes = fromQPath(path);
    // In a bot folder, which others may write: a link or a FIFO there is refused.
    const std::string shown = fromQPath(QFileInfo(path).absoluteFilePath());
    const FilePtr file = openRegularStream(pathBytes, Place::BotFolder,
                                           "Unable to read UDLP info file '" + shown + "'");
    if (!file) return false;
    info = readUdlpInfo(file.get());
    info.infoPath = pathBytes;
    return true;
}

bool findUdlpInfo(UdlpInfo& info, const std::string& programPath, std::string_view botName) {
    if (loadUdlpInfo({}, info)) return true;
    if (loadUdlpInfo(fromQPath(QFileInfo(toQPath(programPath)).absolutePath()), info)) return true;
    // An installed copy keeps each bot's files in the bot's own folder, not beside itself.
    if (botName.empty()) return false;
    const std::string folder = userBotFolder(botName);
    return !folder.empty() && loadUdlpInfo(folder, info);
}

void writeUdlpFiles(const std::string& botName, const std::string& mindPath, bool learn,
                    const std::string& programPath) {
    const QFileInfo program(toQPath(programPath));
    const QDir folder(program.absolutePath());
    const std::string exeName = fromQPath(program.fileName());
    const std::string exePath = fromQPath(program.absoluteFilePath());
    const std::string mindFull = fromQPath(QFileInfo(toQPath(mindPath)).absoluteFilePath());

    std::string basic;
    for (std::string_view line : {udlp::kWrittenMajor, udlp::kWrittenMinor,
                                  std::string_view(exeName), std::string_view(botName)}) {
        basic += line;
        basic += udlp::kLineEnd;
    }
    std::string extended = basic;
    auto keyLine = [&](std::string_view key, std::string_view value) {
        extended += key;
        extended += value;
        extended += udlp::kLineEnd;
    };
    keyLine(udlp::kMindKey, mindFull);
    keyLine(udlp::kExePathKey, exePath);
    keyLine(udlp::kShowErrorsKey, udlp::kTrue);
    keyLine(udlp::kLearnKey, learn ? udlp::kTrue : udlp::kFalse);

    auto write = [&](std::string_view fileName, const std::string& contents) {
        const std::string path = fromQPath(folder.filePath(
            QString::fromLatin1(fileName.data(), static_cast<qsizetype>(fileName.size()))));
        // The bot's folder: whatever has the name is replaced, a link there never followed.
        writeFileWhole(
            path, Place::BotFolder, [&](const ByteSink& sink) { sink(contents); },
            "Unable to write UDLP info file '" + path + "'");
    };
    write(udlp::kBasicFileName, basic);
    write(udlp::kExtendedFileName, extended);
}

}  // namespace vebix
