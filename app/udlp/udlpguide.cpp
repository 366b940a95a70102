#include "app/udlp/udlpguide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace vebix {

QString chooseUdlpGuide(const QString& installedPage, const QString& sourcePage) {
    return QFileInfo(installedPage).isFile() ? installedPage : sourcePage;
}

QUrl udlpGuideUrl() {
    // The installed page is looked for from the program's folder, so that a copy installed
    // under any prefix (or unpacked into a scratch root) finds its own; the source tree's place
    // is fixed when the program is built.
    const QString installed =
        QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                            .absoluteFilePath(QStringLiteral(VEBIX_INSTALLED_UDLP_GUIDE)));
    return QUrl::fromLocalFile(chooseUdlpGuide(installed, QStringLiteral(VEBIX_SOURCE_UDLP_GUIDE)));
}

}  // namespace vebix
