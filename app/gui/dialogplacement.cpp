#include "app/gui/dialogplacement.h"

#include <QEvent>
#include <QObject>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace vebix {

void centreOver(QWidget& dialog, const QWidget& owner) {
    // Qt's own placement of a dialog asks the window system where the owner is. Just after the
    // owner was shown and moved, the window manager may not have placed it yet, and the answer
    // is the screen's corner. The geometry the program gave the owner is already final.
    QRect placed(QPoint(0, 0), dialog.size());
    placed.moveCenter(owner.geometry().center());
    if (const QScreen* screen = owner.screen()) {
        const QRect area = screen->availableGeometry();
        placed.moveLeft(
            std::max(area.left(), std::min(placed.left(), area.right() - placed.width() + 1)));
        placed.moveTop(
            std::max(area.top(), std::min(placed.top(), area.bottom() - placed.height() + 1)));
    }
    dialog.setGeometry(placed);
}

namespace {

// Moves its dialog when the show event comes: by then a message box has its final size, and the
// window is not yet mapped, so it appears in place.
class CentreOnShow : public QObject {
public:
    explicit CentreOnShow(QWidget& dialog) : QObject(&dialog) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show && dialog->parentWidget())
            centreOver(*dialog, *dialog->parentWidget()->window());
        return false;
    }
};

}  // namespace

void centreOverParentWhenShown(QWidget& dialog) {
    dialog.installEventFilter(new CentreOnShow(dialog));
}

}  // namespace vebix
