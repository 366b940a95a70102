#include "app/platform/filewrite.h"

#include <QFile>

namespace vebix {

QString toQPath(std::string_view path) {
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string fromQPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

void writeWholeFile(const QString& path, const ByteProducer& produce,
                    const std::string& failureMessage) {
    writeFileWhole(fromQPath(path), Place::Own, produce, failureMessage);
}

void writeWholeFile(const QString& path, std::string_view contents,
                    const std::string& failureMessage) {
    writeWholeFile(
        path, [&](const ByteSink& sink) { sink(contents); }, failureMessage);
}

}  // namespace vebix
