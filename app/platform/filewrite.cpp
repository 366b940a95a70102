#include "app/platform/filewrite.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <string>

#include "engine/base/error.h"

namespace vebix {

QString toQPath(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string fromQPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

void writeWholeFile(const QString& path, const std::function<void(const ByteSink&)>& produce,
                    const std::string& failureMessage) {
    QSaveFile file(path);
    // The message carries the system's text for the call that failed ("Permission denied",
    // "No space left on device"): the person needs it to put things right. errno is read right
    // after the failing call, as the toolkit's own text is sometimes a sentence of its own or
    // "Unknown error" after a short write.
    auto failed = [&file, &failureMessage](int error) {
        const std::string reason =
            error != 0 ? std::string(std::strerror(error)) : file.errorString().toStdString();
        return Error(reason.empty() ? failureMessage : failureMessage + ": " + reason);
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) throw failed(errno);
    // Unbuffered, with our own buffer: every write reaches the file at once and a short one
    // (a full disk) is seen here. Through Qt's buffer the last block is written only while
    // committing, and a failure there went unnoticed: a cut-short file replaced the old one.
    // A short write is followed by another for the rest, which then fails with the reason.
    int writeError = 0;
    bool ok = true;
    auto writeAll = [&](const char* data, std::size_t size) {
        while (ok && size > 0) {
            errno = 0;
            const qint64 n = file.write(data, static_cast<qint64>(size));
            if (n <= 0) {
                writeError = errno != 0 ? errno : ENOSPC;
                ok = false;
                return;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    };
    constexpr std::size_t kBlock = 1 << 16;
    std::string buffer;
    buffer.reserve(kBlock);
    auto writeOut = [&] {
        writeAll(buffer.data(), buffer.size());
        buffer.clear();
    };
    produce([&](std::string_view bytes) {
        if (!ok) return;
        if (buffer.size() + bytes.size() > kBlock) writeOut();
        if (bytes.size() >= kBlock) {
            writeAll(bytes.data(), bytes.size());
            return;
        }
        buffer.append(bytes);
    });
    writeOut();
    if (!ok || file.error() != QFileDevice::NoError) {
        const Error error = failed(writeError);
        file.cancelWriting();
        throw error;
    }
    errno = 0;
    if (!file.commit()) throw failed(errno);
}

void writeWholeFile(const QString& path, std::string_view contents,
                    const std::string& failureMessage) {
    writeWholeFile(
        path, [&](const ByteSink& sink) { sink(contents); }, failureMessage);
}

}  // namespace vebix
