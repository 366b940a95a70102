#include "app/gui/filedialog.h"

#include "app/mind/mindfileformat.h"
#include "app/platform/qtext.h"

namespace vebix {

FileDialog::Request FileDialog::forMind(const QString& caption, const QString& initialFile) {
    Request request;
    request.caption = caption;
    request.initialFile = initialFile;
    request.filter = fromUtf8(mindfile::kFileFilter);
    request.defaultSuffix = fromUtf8(mindfile::kExtension.substr(1));
    return request;
}

}  // namespace vebix
