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

// Moves its dialog when the show event comes, and again whenever it changes size before it is
// first drawn: a message box whose text wraps takes its final size inside its own show event,
// which runs after this filter, and would otherwise open off-centre by half the difference.
// Once the window system exposes it, the dialog is the person's to move and resize.
class CentreOnShow : public QObject {
public:
    explicit CentreOnShow(QWidget& dialog) : QObject(&dialog) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = static_cast<QWidget*>(watched);
        switch (event->type()) {
            case QEvent::Show:
                placing_ = true;
                centre(*dialog);
                break;
            case QEvent::Resize:
                if (placing_) centre(*dialog);
                break;
            case QEvent::Expose:
            case QEvent::Paint:
            case QEvent::Hide:
                placing_ = false;
                break;
            default:
                break;
        }
        return false;
    }

private:
    static void centre(QWidget& dialog) {
        if (dialog.parentWidget()) centreOver(dialog, *dialog.parentWidget()->window());
    }
    bool placing_ = false;
};

}  // namespace

void centreOverParentWhenShown(QWidget& dialog) {
    dialog.installEventFilter(new CentreOnShow(dialog));
}

}  // namespace vebix
