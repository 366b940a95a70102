#include "app/gui/filedialog.h"

#include <QCoreApplication>

#include "app/mind/mindfileformat.h"
#include "app/platform/qtext.h"

namespace vebix {

FileDialog::Request FileDialog::forMind(const QString& caption, const QString& initialFile) {
    Request request;
    request.caption = caption;
    request.initialFile = initialFile;
    // The descriptions are translated; the patterns are what the file dialog matches.
    request.filter =
        QCoreApplication::translate("vebix::FileDialog", "Vebix Mind Files") +
        QStringLiteral(" (*") + fromUtf8(mindfile::kExtension) + QStringLiteral(");;") +
        QCoreApplication::translate("vebix::FileDialog", "All Files") + QStringLiteral(" (*)");
    request.defaultSuffix = fromUtf8(mindfile::kExtension.substr(1));
    return request;
}

}  // namespace vebix
