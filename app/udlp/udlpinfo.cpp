#include "app/udlp/udlpinfo.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <memory>
#include <string_view>

#include "engine/base/error.h"
#include "app/platform/filewrite.h"
#include "app/platform/systempaths.h"
#include "app/udlp/botfolder.h"
#include "app/udlp/udlpformat.h"
#include "engine/myfile/readline.h"
#include "engine/base/ascii.h"
#include "engine/base/filehandle.h"

namespace vebix {
namespace {

// A missing line, or one that cannot be read, is empty.
std::string nextLine(std::FILE* file) {
    std::string line;
    if (!readLine(line, file)) line.clear();
    return line;
}

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

}  // namespace

bool parseUdlpFlag(const std::string& value) {
    if (value == "0") return false;
    const std::string lower = lowerAscii(value);
    return lower != "false" && lower != "no";
}

unsigned readUdlpHeader(std::FILE* file, UdlpInfo& info) {
    info.versionMajor = parseVersionPart(nextLine(file));
    info.versionMinor = parseVersionPart(nextLine(file));
    info.exeName = nextLine(file);
    info.botName = nextLine(file);
    return info.versionMajor * 256u + info.versionMinor;
}

UdlpInfo readUdlpInfo(std::FILE* file) {
    UdlpInfo info;
    readUdlpHeader(file, info);
    std::string line;
    while (readLine(line, file)) {
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
    return info;
}

bool loadUdlpInfo(const std::string& folder, UdlpInfo& info) {
    const QString name = QString::fromLatin1(
        udlp::kExtendedFileName.data(), static_cast<qsizetype>(udlp::kExtendedFileName.size()));
    const QString path = folder.empty() ? name : QDir(toQPath(folder)).filePath(name);
    QFileInfo fileInfo(path);
    if (!fileInfo.exists()) return false;
    const std::string pathBytes = fromQPath(path);
    FilePtr file(std::fopen(pathBytes.c_str(), "rb"));
    if (!file) throw Error("Unable to read UDLP info file '" + pathBytes + "'");
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
        const QString path = folder.filePath(
            QString::fromLatin1(fileName.data(), static_cast<qsizetype>(fileName.size())));
        writeWholeFile(path, contents, "Unable to write UDLP info file '" + fromQPath(path) + "'");
    };
    write(udlp::kBasicFileName, basic);
    write(udlp::kExtendedFileName, extended);
}

}  // namespace vebix
