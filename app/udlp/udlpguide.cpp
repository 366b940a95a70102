#include "app/udlp/udlpguide.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/platform/filewrite.h"
#include "app/platform/version.h"

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
                            .absoluteFilePath(toQPath(release::kUdlpGuideFromProgram)));
    return QUrl::fromLocalFile(chooseUdlpGuide(installed, toQPath(release::kSourceUdlpGuide)));
}

}  // namespace vebix
