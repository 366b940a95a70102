#include "app/gui/appicon.h"

#include <QPixmap>

namespace vebix {

QIcon appIcon() {
    static const QIcon icon = [] {
        const std::string_view bytes = appIconPng();
        QPixmap pixmap;
        pixmap.loadFromData(reinterpret_cast<const uchar*>(bytes.data()),
                            static_cast<uint>(bytes.size()), "PNG");
        return QIcon(pixmap);
    }();
    return icon;
}

}  // namespace vebix
