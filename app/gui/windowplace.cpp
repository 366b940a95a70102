#include "app/gui/windowplace.h"

#include <QByteArray>
#include <QWidget>

#include <optional>
#include <string>

#include "app/platform/settings.h"

namespace vebix {

bool restoreWindowPlace(QWidget& window) {
    Settings settings;
    const std::optional<std::string> saved = settings.findString(Settings::Key::WindowGeometry);
    if (!saved || saved->empty()) return false;
    const QByteArray geometry = QByteArray::fromBase64(QByteArray::fromStdString(*saved),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    // restoreGeometry checks what it reads, and keeps the window on the screens there are now.
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void saveWindowPlace(const QWidget& window) {
    Settings settings;
    settings.setString(Settings::Key::WindowGeometry,
                       window.saveGeometry().toBase64().toStdString());
    settings.sync();
}

}  // namespace vebix
