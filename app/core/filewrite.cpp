#include "core/filewrite.h"

#include <QFile>
#include <QSaveFile>

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
    if (!file.open(QIODevice::WriteOnly)) throw Error(failureMessage);
    bool ok = true;
    produce([&](std::string_view bytes) {
        if (!ok || bytes.empty()) return;
        ok = file.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
             static_cast<qint64>(bytes.size());
    });
    if (!ok) {
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
