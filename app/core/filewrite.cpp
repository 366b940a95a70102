#include "core/filewrite.h"

#include <QFile>
#include <QSaveFile>

#include <string>

#include "base/error.h"

namespace vebix {

QString toQPath(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string fromQPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void writeWholeFile(const QString& path, const std::function<void(const ByteSink&)>& produce,
                    const std::string& failureMessage) {
    QSaveFile file(path);
    // Unbuffered, with our own buffer: every write reaches the file at once and a short one
    // (a full disk) is seen here. Through Qt's buffer the last block is written only while
    // committing, and a failure there went unnoticed: a cut-short file replaced the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) throw Error(failureMessage);
    constexpr std::size_t kBlock = 1 << 16;
    std::string buffer;
    buffer.reserve(kBlock);
    bool ok = true;
    auto writeOut = [&] {
        if (ok && !buffer.empty())
            ok = file.write(buffer.data(), static_cast<qint64>(buffer.size())) ==
                 static_cast<qint64>(buffer.size());
        buffer.clear();
    };
    produce([&](std::string_view bytes) {
        if (!ok) return;
        if (buffer.size() + bytes.size() > kBlock) writeOut();
        if (bytes.size() >= kBlock) {
            ok = file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                 static_cast<qint64>(bytes.size());
            return;
        }
        buffer.append(bytes);
    });
    writeOut();
    if (!ok || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        throw Error(failureMessage);
    }
    if (!file.commit()) throw Error(failureMessage);
}

void writeWholeFile(const QString& path, std::string_view contents,
                    const std::string& failureMessage) {
    writeWholeFile(path, [&](const ByteSink& sink) { sink(contents); }, failureMessage);
}

}  // namespace vebix
