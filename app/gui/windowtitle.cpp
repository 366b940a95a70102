#include "app/gui/windowtitle.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace vebix {

QString windowTitleFor(const WindowTitleParts& parts) {
    QStringList pieces;
    if (!parts.botName.isEmpty()) pieces << parts.botName;
    if (!parts.partner.isEmpty())
        pieces
            << QCoreApplication::translate("vebix::VebixForm", "linked with %1").arg(parts.partner);
    else if (!parts.mindPath.isEmpty())
        pieces << QFileInfo(parts.mindPath).fileName();
    pieces << QStringLiteral("Vebix");
    return pieces.join(QStringLiteral(" \u2014 "));
}

}  // namespace vebix
