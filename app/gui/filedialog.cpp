#include "app/gui/filedialog.h"

#include "app/mind/mindfileformat.h"

namespace vebix {

FileDialog::Request FileDialog::forMind(const QString& caption, const QString& initialFile) {
    Request request;
    request.caption = caption;
    request.initialFile = initialFile;
    request.filter = QString::fromUtf8(mindfile::kFileFilter.data(),
                                       static_cast<qsizetype>(mindfile::kFileFilter.size()));
    request.defaultSuffix = QString::fromUtf8(mindfile::kExtension.substr(1).data(),
                                              static_cast<qsizetype>(mindfile::kExtension.size() - 1));
    return request;
}

}  // namespace vebix
