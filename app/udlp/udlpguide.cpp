#include "app/udlp/udlpguide.h"

#include <QFileInfo>

namespace vebix {

QString chooseUdlpGuide(const QString& installedPage, const QString& sourcePage) {
    return QFileInfo(installedPage).isFile() ? installedPage : sourcePage;
}

QUrl udlpGuideUrl() {
    // Both places are fixed when the program is built: where the package installs the page,
    // and where this build's sources are.
    return QUrl::fromLocalFile(chooseUdlpGuide(QStringLiteral(VEBIX_INSTALLED_UDLP_GUIDE),
                                               QStringLiteral(VEBIX_SOURCE_UDLP_GUIDE)));
}

}  // namespace vebix
